#include "MonitorPowerWatch.h"

namespace pelmora {

void MonitorPowerWatch::poll(Clock::time_point now, std::uint64_t framesDrawn) {
    if (now < next_) {
        return;
    }
    const bool on = power_.monitorOn();
    sight_.set(Sight::Cause::MonitorOff, !on, framesDrawn);
    // From now rather than from the missed look: a process that was stopped
    // for a while looks once, not once per missed period.
    next_ = now + (on ? kWhileOn : kWhileOff);
}

}  // namespace pelmora
