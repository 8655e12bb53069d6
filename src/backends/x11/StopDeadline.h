#pragma once

#include <chrono>
#include <thread>

namespace pelmora {

// Ends the process when a stop signal has waited longer than `grace` for the
// frame loop. The loop looks at its signals only between frames, and a frame
// on a very large window, or on a server that has stopped answering, can take
// seconds; a screen locker must still be able to stop its saver at once. The
// hack keeps nothing that needs saving, and the X server frees what the
// connection held when it drops, so ending without unwinding loses nothing.
class StopDeadline {
public:
    // `signalFd` is the signal watch's descriptor; the deadline only looks
    // whether it is readable and leaves the reading to the loop.
    StopDeadline(int signalFd, std::chrono::milliseconds grace);
    // Tells the watching thread that the loop is done and waits for it.
    ~StopDeadline();
    StopDeadline(const StopDeadline&) = delete;
    StopDeadline& operator=(const StopDeadline&) = delete;

private:
    void watch() const;
    // Polls until `fd` is readable or `timeoutMs` passes (-1: no limit);
    // true when it is readable.
    static bool readable(int fd, int timeoutMs);

    int signalFd_;
    int doneFd_ = -1;
    std::chrono::milliseconds grace_;
    std::thread thread_;
};

}  // namespace pelmora
