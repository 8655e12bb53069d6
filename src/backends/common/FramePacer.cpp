#include "FramePacer.h"

namespace pelmora {

namespace {
FramePacer::Clock::duration toDuration(double seconds) {
    // A non-positive or absurd interval would spin or never fire; fall back to 60 Hz.
    if (!(seconds > 0.0) || seconds > 3600.0) {
        seconds = 1.0 / 60.0;
    }
    return std::chrono::duration_cast<FramePacer::Clock::duration>(std::chrono::duration<double>(seconds));
}
}  // namespace

FramePacer::FramePacer(double intervalSeconds, Clock::time_point start)
    : interval_(toDuration(intervalSeconds)), next_(start) {}

bool FramePacer::takeFrameIfDue(Clock::time_point now) {
    if (now < next_) {
        return false;
    }
    next_ += interval_;
    if (next_ <= now) {
        next_ = now + interval_;
    }
    return true;
}

}  // namespace pelmora
