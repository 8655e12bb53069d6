#include "HackMode.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>

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

}  // namespace

int runHackMode(const ProgramOptions& options) {
    const TargetChoice target = chooseTarget(options);
    if (!target.ok) {
        return EXIT_FAILURE;
    }
    const auto stores = makeSettingsStores(options);
    X11Hack hack(*stores, options.moduleName, options.fps);
    hack.setThreads(options.threads);
    return hack.run(target.windowId);
}

}  // namespace pelmora
