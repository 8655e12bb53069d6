#pragma once

#include <signal.h>

namespace pelmora {

// Turns SIGTERM, SIGINT and SIGHUP into readable events on a file descriptor
// (signalfd), so the frame loop can wait on them together with the X
// connection and leave through its normal path. The signals are blocked for
// the watch's lifetime; threads started meanwhile inherit the block, so no
// library thread can be killed by them instead.
class SignalWatch {
public:
    SignalWatch();
    ~SignalWatch();
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

    // -1 when the watch could not be set up.
    int fd() const { return fd_; }
    // The number of a signal that has arrived, or 0.
    int takeSignal();

private:
    sigset_t previousMask_{};
    int fd_ = -1;
};

}  // namespace pelmora
