#include "HackMode.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "InteractiveOptions.h"
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
        std::fprintf(stderr, "pelmora: XSCREENSAVER_WINDOW=\"%s\" is not a window ID (expected 0x... or decimal)\n",
                     lockerWindow);
        return {false, std::nullopt};
    }
    return {true, *parsed};
}

// xsecurelock (Debian 12's 1.8) starts its saver as `saver -root`, with
// this variable set by the helper that gives each screen its window. It has
// no settings page of its own, so its hack keeps the settings file.
bool startedByXsecurelock() {
    const char* marker = std::getenv("XSECURELOCK_INSIDE_SAVER_MULTIPLEX");
    return marker != nullptr && *marker != '\0';
}

}  // namespace

int runHackMode(const ProgramOptions& given) {
    ProgramOptions options = given;
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
    X11Hack hack(*stores, options.moduleName, options.fps);
    if (options.delayMicroseconds) {
        hack.setFrameInterval(frameIntervalSeconds(*options.delayMicroseconds));
    }
    hack.setVerbose(options.verbose);
    return hack.run(target.windowId);
}

}  // namespace pelmora
