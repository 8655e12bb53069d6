#pragma once

#include <chrono>

namespace pelmora {

// Paces frames on an absolute schedule: frame k is due at start + k * interval,
// so small delays do not accumulate into drift. After a stall longer than one
// interval (a SIGSTOP, a busy machine) the schedule restarts from now instead
// of firing a burst of catch-up frames.
class FramePacer {
public:
    using Clock = std::chrono::steady_clock;

    explicit FramePacer(double intervalSeconds, Clock::time_point start = Clock::now());

    // True when a frame is due at `now`; taking it advances the schedule.
    bool takeFrameIfDue(Clock::time_point now);
    Clock::time_point nextDeadline() const { return next_; }
    Clock::duration interval() const { return interval_; }
    // Frames every `multiple` intervals of the one made with (1 again for the
    // full rate), from the next frame on: a slower rate on battery.
    void setIntervalMultiple(int multiple);

private:
    Clock::duration base_;
    Clock::duration interval_;
    Clock::time_point next_;
};

}  // namespace pelmora
