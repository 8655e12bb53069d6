#pragma once

#include <string_view>

namespace pelmora {

// What to do with frames while the machine runs on battery (--on-battery).
enum class BatteryPolicy { Run, Slow, Pause };

// Whether, and how often, a host draws its view's frames, from what the host
// knows about the world around it: whether anybody can see the view (a
// covered or unmapped window, an output the compositor stopped asking to
// draw, a monitor powered off) and whether the machine runs on battery. A
// closed gate draws nothing and the simulation waits with it; when it opens
// again the next frame carries on from the last, without a catch-up burst
// (FramePacer restarts its schedule after a gap).
class FrameGate {
public:
    explicit FrameGate(BatteryPolicy policy = BatteryPolicy::Slow) : policy_(policy) {}

    // The host's view can (true) or cannot (false) be seen.
    void setSeen(bool seen) { seen_ = seen; }
    void setOnBattery(bool onBattery) { onBattery_ = onBattery; }

    bool seen() const { return seen_; }
    bool onBattery() const { return onBattery_; }
    // Frames may be drawn.
    bool open() const { return seen_ && !(onBattery_ && policy_ == BatteryPolicy::Pause); }
    // The view's frame interval is multiplied by this: 2 (half the frame rate) on battery with Slow.
    int intervalMultiple() const { return onBattery_ && policy_ == BatteryPolicy::Slow ? 2 : 1; }

    // "run", "slow", "pause": the option's words; false for anything else.
    static bool parsePolicy(std::string_view word, BatteryPolicy& policy);

private:
    BatteryPolicy policy_;
    bool seen_ = true;
    bool onBattery_ = false;
};

}  // namespace pelmora
