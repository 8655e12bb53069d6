#pragma once

#include <gio/gio.h>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HackProcess.h"
#include "SwayServer.h"

namespace pelmora::testing {

// A private headless Mutter with two virtual monitors side by side (Meta-0,
// 1280x800, and Meta-1, 800x600), inside a
// session bus of its own (dbus-run-session) with PipeWire for its screen
// casts, as GNOME runs it minus the shell. Mutter will not run as root, so as root it runs as nobody; the bus
// lets root's clients in too, so that the program under test, the test's
// input and the mock services can all reach it.
class MutterServer {
public:
    MutterServer() : MutterServer(std::string()) {}
    // GNOME on X11: Mutter as the window manager of the X server at
    // `x11Display`, with its session bus, and no screen casts.
    explicit MutterServer(const std::string& x11Display);
    ~MutterServer();
    MutterServer(const MutterServer&) = delete;
    MutterServer& operator=(const MutterServer&) = delete;

    // Empty when Mutter is up; else why it is not.
    const std::string& error() const { return error_; }
    // The variables a client of this Mutter needs, for HackProcess: Wayland
    // only (or X11 only), and this session bus.
    std::map<std::string, std::string> clientEnvironment() const;
    GDBusConnection* bus() const { return bus_; }

    // Input as a person's, through Mutter's remote desktop interface: a
    // pointer move, or a key pressed and let go (an evdev key code).
    bool movePointer(double dx, double dy) const;
    bool pressKey(unsigned keycode) const;
    // A monitor as Mutter shows it, one frame of a screen cast read
    // through PipeWire: 0 for Meta-0, 1 for Meta-1.
    std::optional<Screenshot> screenshot(int monitor) const;

    // A mock service on this bus from python3-dbusmock's `template` (a name
    // of its own or a file), running until the server goes; whether it came
    // up under `name`. A system service (logind) is on this bus too, which
    // the clients take for their system bus.
    bool mockService(const std::string& templ, const std::string& name, bool system = false);
    // A method call on this bus, waiting for the answer; the reply or nullptr.
    GVariant* ask(const char* service, const char* path, const char* interface, const char* method,
                  GVariant* arguments) const;
    // A method call on this bus, waiting for the answer; whether it succeeded.
    bool call(const char* service, const char* path, const char* interface, const char* method,
              GVariant* arguments) const;

private:
    bool nameRuns(const char* name) const;
    // The object path a method answers with, or nothing when it failed.
    std::optional<std::string> askPath(const char* service, const char* path, const char* interface,
                                       const char* method, GVariant* arguments) const;
    bool remoteInput(const std::vector<std::pair<const char*, GVariant*>>& steps) const;
    std::optional<unsigned> castNode(const std::string& session, const std::string& connector) const;

    std::filesystem::path base_;
    std::string x11Display_;
    std::string address_;
    std::unique_ptr<HackProcess> mutter_;
    std::vector<std::unique_ptr<HackProcess>> mocks_;
    GDBusConnection* bus_ = nullptr;
    std::string error_;
};

}  // namespace pelmora::testing
