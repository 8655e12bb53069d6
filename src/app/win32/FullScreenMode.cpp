#include "FullScreenMode.h"

#include <memory>
#include <string>
#include <vector>

#include "ConsoleMessages.h"
#include "FrameLoop.h"
#include "PowerWatch.h"
#include "SaverStores.h"
#include "SaverWindow.h"

namespace pelmora {
namespace {

BOOL CALLBACK collectMonitor(HMONITOR, HDC, LPRECT area, LPARAM list) {
    reinterpret_cast<std::vector<RECT>*>(list)->push_back(*area);
    return TRUE;
}

// Shown again however the saver ends, a failure included.
class HiddenCursor {
public:
    HiddenCursor() { ShowCursor(FALSE); }
    ~HiddenCursor() { ShowCursor(TRUE); }
    HiddenCursor(const HiddenCursor&) = delete;
    HiddenCursor& operator=(const HiddenCursor&) = delete;
};

std::vector<RECT> monitorAreas() {
    std::vector<RECT> areas;
    EnumDisplayMonitors(nullptr, nullptr, collectMonitor, reinterpret_cast<LPARAM>(&areas));
    if (areas.empty()) {
        areas.push_back(RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
    }
    return areas;
}

}  // namespace

int runFullScreen(HINSTANCE module, const SaverOptions& options) {
    const auto stores = makeSaverStores(options, writeMessage);
    // Before the windows, which tell it the power messages they receive.
    PowerWatch power(options.onBattery);
    std::vector<std::unique_ptr<SaverWindow>> windows;
    for (const RECT& area : monitorAreas()) {
        SaverWindow::Setup setup;
        setup.kind = SaverWindow::Kind::FullScreen;
        setup.placement = area;
        setup.stores = stores.get();
        setup.moduleName = options.moduleName;
        setup.onEnd = [] { PostQuitMessage(0); };
        setup.power = &power;
        auto window = std::make_unique<SaverWindow>(module, setup);
        if (window->window() == nullptr) {
            writeMessage("cannot open a full-screen window: error " + std::to_string(GetLastError()));
            return 1;
        }
        windows.push_back(std::move(window));
    }
    if (const std::string failure = windows.front()->drawingFailure(); !failure.empty()) {
        // The full-screen windows would hide the message.
        windows.clear();
        tellUser("cannot draw the saver: " + failure);
        return 1;
    }
    const HiddenCursor hidden;
    return FrameLoop::run(windows, windows.front()->view()->animationTimeInterval(), nullptr, &power.gate());
}

}  // namespace pelmora
