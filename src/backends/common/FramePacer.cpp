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
    : base_(toDuration(intervalSeconds)), interval_(base_), next_(start) {}

void FramePacer::setIntervalMultiple(int multiple) {
    if (multiple < 1) {
        multiple = 1;
    }
    const Clock::duration interval = base_ * multiple;
    // The frame already scheduled moves with the new rate, so a slower rate
    // starts at once rather than one frame late.
    next_ += interval - interval_;
    interval_ = interval;
}

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
