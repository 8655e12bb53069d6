#pragma once

#include <signal.h>

#include <chrono>

namespace pelmora {

// Turns SIGTERM, SIGINT and SIGHUP into readable events on a file descriptor
// (signalfd), so that a loop can wait on them together with its other work
// and leave through its normal path: the hack's frame loop, and a recording
// that must finish its file. The signals are blocked for the watch's
// lifetime; threads started meanwhile inherit the block, so no library
// thread can be killed by them instead. Signals the caller already holds
// back stay the caller's to take.
//
// Once a signal has been taken, the signals stay blocked after the watch
// ends: its owner is on its way out, and a second signal during the
// teardown must neither kill it half-way nor change how it ended. Pending
// ones die with the process. Without one, the previous mask comes back.
class SignalWatch {
public:
    SignalWatch();
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // -1 when the watch could not be set up (the signals are then left as
    // they were).
    int fd() const { return fd_; }
    // Takes every signal that has arrived; returns the first one ever taken,
    // or 0.
    int caught();
    // How many signals have been taken so far (two of a kind sent before
    // the first is taken count as one).
    int count() const { return count_; }
    // Waits up to `wait` for a signal; true when one came (and was taken).
    bool arrivesWithin(std::chrono::milliseconds wait);
    // Ends the process by `signal` with its default action, as if the watch
    // had never held it back, so that a shell sees how the program ended
    // (a shell loop stops only for a child that died by SIGINT).
    [[noreturn]] static void endProcessBy(int signal);

private:
    // Reads one signal off the descriptor; false when none is pending.
    bool takeOne();
    void restoreMask();

    sigset_t watched_{};
    sigset_t previousMask_{};
    int fd_ = -1;
    int first_ = 0;
    int count_ = 0;
};

}  // namespace pelmora
