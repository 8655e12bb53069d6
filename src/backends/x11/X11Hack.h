#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "SettingsStore.h"

namespace pelmora {

// Pelmora as an XScreenSaver / xsecurelock hack: one view drawn into a window
// that the screen locker owns (or the root window), never a window of its
// own, paced at the view's interval until a signal arrives or the window goes.
class X11Hack {
public:
    X11Hack(SettingsStores& stores, std::string moduleName, bool showFps);

    // Seconds between frames instead of the view's own interval.
    void setFrameInterval(double seconds) { frameInterval_ = seconds; }
    // Also report a normal end (the window destroyed) on standard error.
    void setVerbose(bool verbose) { verbose_ = verbose; }

    // Draws into the window `windowId`, or the root window when empty.
    // Returns the exit status: 0 after SIGTERM, SIGINT, SIGHUP or the
    // window's destruction; 1 with a one-line message when the display or
    // the window cannot be used.
    int run(std::optional<std::uint64_t> windowId);

    // Threads for the view's physics and drawing; 0 (the default) means one
    // per core.
    void setThreads(std::int32_t threads) { threads_ = threads; }

private:
    SettingsStores& stores_;
    std::string moduleName_;
    bool showFps_;
    std::optional<double> frameInterval_;
    bool verbose_ = false;
    std::int32_t threads_ = 0;
};

}  // namespace pelmora
