#include "HackMode.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "InteractiveOptions.h"
#include "MessageText.h"
#include "SettingsSetup.h"
#include "WindowId.h"
#include "X11Hack.h"

namespace pelmora {

namespace {

// --window-id wins (xscreensaver-settings' preview passes it together with
// --root); then the window the screen locker names; else the root window.
// Empty optional with ok=false when the locker's variable is unreadable.
struct TargetChoice {
    bool ok = true;
    std::optional<std::uint64_t> windowId;
};

TargetChoice chooseTarget(const ProgramOptions& options) {
    if (options.windowId) {
        return {true, options.windowId};
    }
    const char* lockerWindow = std::getenv("XSCREENSAVER_WINDOW");
    if (lockerWindow == nullptr || *lockerWindow == '\0') {
        return {};
    }
    const std::optional<std::uint32_t> parsed = parseWindowId(lockerWindow);
    if (!parsed) {
        std::fprintf(stderr, "pelmora: XSCREENSAVER_WINDOW=%s is not a window ID (expected 0x... or decimal)\n",
                     quoteForMessage(lockerWindow).c_str());
        return {false, std::nullopt};
    }
    return {true, *parsed};
}

bool isSet(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// xsecurelock (Debian 12's 1.8) starts its saver as `saver -root`, with
// this variable set by the helper that gives each screen its window. It has
// no settings page of its own, so its hack keeps the settings file.
bool startedByXsecurelock() {
    return isSet("XSECURELOCK_INSIDE_SAVER_MULTIPLEX");
}

}  // namespace

int runHackMode(const ProgramOptions& given) {
    ProgramOptions options = given;
    if (options.display.empty() && !isSet("DISPLAY") && isSet("WAYLAND_DISPLAY")) {
        // A Wayland session without Xwayland: Xlib's "cannot open display"
        // would leave the user guessing what to run instead.
        std::fputs(
            "pelmora: --root and --window-id draw into X11 windows for XScreenSaver or xsecurelock, and this "
            "Wayland session has no X display; use --layer overlay (saver) or --layer background (wallpaper)\n",
            stderr);
        return EXIT_FAILURE;
    }
    if (startedByXsecurelock()) {
        options.settingsFromCommandLine = false;
    }
    const TargetChoice target = chooseTarget(options);
    if (!target.ok) {
        return EXIT_FAILURE;
    }
    if (!options.display.empty()) {
        useDisplay(options.display);
    }
    const auto stores = makeSettingsStores(options);
    seedFirstView(options);
    X11Hack hack(*stores, options.moduleName, options.fps);
    if (options.delayMicroseconds) {
        hack.setFrameInterval(frameIntervalSeconds(*options.delayMicroseconds));
    }
    hack.setVerbose(options.verbose);
    hack.setThreads(options.threads);
    return hack.run(target.windowId);
}

}  // namespace pelmora
