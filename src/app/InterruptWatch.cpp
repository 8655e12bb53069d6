#include "InterruptWatch.h"

#include <pthread.h>

#include <ctime>
#include <initializer_list>

namespace pelmora {

InterruptWatch::InterruptWatch() {
    sigemptyset(&watched_);
    sigaddset(&watched_, SIGINT);
    sigaddset(&watched_, SIGTERM);
    // A closed terminal must not lose the recording either.
    sigaddset(&watched_, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &watched_, &previous_);
    // Signals the caller holds back already stay the caller's to take.
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        if (sigismember(&previous_, signal) == 1) {
            sigdelset(&watched_, signal);
        }
    }
}

InterruptWatch::~InterruptWatch() {
    // A signal that came after the last look is taken here rather than
    // delivered on unblocking, which would kill the finished program.
    caught();
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

bool InterruptWatch::arrivesWithin(std::chrono::milliseconds wait) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    const timespec timeout{static_cast<time_t>(seconds.count()),
                           static_cast<long>(std::chrono::nanoseconds(wait - seconds).count())};
    const int signal = sigtimedwait(&watched_, nullptr, &timeout);
    if (signal <= 0) {
        return false;
    }
    if (caught_ == 0) {
        caught_ = signal;
    }
    return true;
}

int InterruptWatch::caught() {
    const timespec now{0, 0};
    for (int signal = sigtimedwait(&watched_, nullptr, &now); signal > 0;
         signal = sigtimedwait(&watched_, nullptr, &now)) {
        if (caught_ == 0) {
            caught_ = signal;
        }
    }
    return caught_;
}

}  // namespace pelmora
