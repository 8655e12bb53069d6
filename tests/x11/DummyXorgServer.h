#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace pelmora::testing {

// A private Xorg server on the dummy video driver with several monitors side
// by side, each a RandR output with a mode of its own, as GDK and
// XScreenSaver see real monitors (Xvfb has a single output). Its files live
// in a folder of its own, so it needs no system configuration.
class DummyXorgServer {
public:
    struct Monitor {
        int width;
        int height;
    };

    // Monitors from left to right, top edges aligned.
    explicit DummyXorgServer(std::vector<Monitor> monitors);
    ~DummyXorgServer();
    DummyXorgServer(const DummyXorgServer&) = delete;
    DummyXorgServer& operator=(const DummyXorgServer&) = delete;

    // Empty when the server did not start or its monitors could not be
    // set up; error() says why.
    const std::string& display() const { return display_; }
    const std::string& error() const { return error_; }
    // Xorg's own log, for a failure's message.
    std::string log() const;

private:
    bool setUpMonitors();
    void fail(std::string why);

    std::vector<Monitor> monitors_;
    std::string folder_;
    pid_t pid_ = -1;
    std::string display_;
    std::string error_;
};

}  // namespace pelmora::testing
