#pragma once

#include <signal.h>

#include <chrono>

namespace pelmora {

// Holds back SIGINT, SIGTERM and SIGHUP while it lives, so that a recording can
// notice them between frames and finish what it has instead of dying
// half-way through a file. Blocking and polling needs no handler and no
// global flag. The previous signal mask comes back on destruction.
class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    // The first signal that arrived so far, taken off the pending set, or 0.
    int caught();
    // Waits up to `wait` for a signal; true when one came (in which case
    // caught() no longer returns 0).
    bool arrivesWithin(std::chrono::milliseconds wait);
    // The exit status a shell gives a program that signal stopped: 128 + n.
    static int exitStatusFor(int signal) { return 128 + signal; }

private:
    sigset_t watched_;
    sigset_t previous_;
    int caught_ = 0;
};

}  // namespace pelmora
