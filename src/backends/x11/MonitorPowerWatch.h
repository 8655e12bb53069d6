#pragma once

#include <chrono>
#include <cstdint>

#include "DisplayPower.h"
#include "Sight.h"

namespace pelmora {

// Looks now and then whether the monitor is on and tells the view's Sight.
// DPMS sends no events, so the look is a poll: rare while the monitor is on
// (a round trip to the server every two seconds), twice a second while it
// is off, so that the view comes back soon after the monitor does without
// waking the process more often than that while nobody looks.
class MonitorPowerWatch {
public:
    using Clock = std::chrono::steady_clock;

    static constexpr Clock::duration kWhileOn = std::chrono::seconds(2);
    static constexpr Clock::duration kWhileOff = std::chrono::milliseconds(500);

    // The first look is due at `start`.
    MonitorPowerWatch(DisplayPower& power, Sight& sight, Clock::time_point start)
        : power_(power), sight_(sight), next_(start) {}

    // Looks if a look is due at `now`; the view has drawn `framesDrawn` frames.
    void poll(Clock::time_point now, std::uint64_t framesDrawn);
    Clock::time_point nextLook() const { return next_; }

private:
    DisplayPower& power_;
    Sight& sight_;
    Clock::time_point next_;
};

}  // namespace pelmora
