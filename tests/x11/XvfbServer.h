#pragma once

#include <sys/types.h>

#include <string>

namespace pelmora::testing {

// A private X server for one test, so that windows of tests running in
// parallel (and of a screen saver daemon) never cover each other's pixels.
class XvfbServer {
public:
    XvfbServer(int width, int height);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    // Empty when the server did not start; error() says why.
    const std::string& display() const { return display_; }
    const std::string& error() const { return error_; }
    // Ends the server now, as a display going away under its clients.
    void stop();
    // Stops and continues the server's process: a server that has stopped
    // answering, as one busy with a huge drawing seems to its clients.
    void pause();
    void resume();

private:
    pid_t pid_ = -1;
    std::string display_;
    std::string error_;
};

}  // namespace pelmora::testing
