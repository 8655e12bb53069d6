#include "FullScreenMode.h"

#include <memory>
#include <vector>

#include "ConsoleMessages.h"
#include "FrameLoop.h"
#include "SaverStores.h"
#include "SaverWindow.h"

namespace pelmora {
namespace {

BOOL CALLBACK collectMonitor(HMONITOR, HDC, LPRECT area, LPARAM list) {
    reinterpret_cast<std::vector<RECT>*>(list)->push_back(*area);
    return TRUE;
}

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
    std::vector<std::unique_ptr<SaverWindow>> windows;
    for (const RECT& area : monitorAreas()) {
        SaverWindow::Setup setup;
        setup.kind = SaverWindow::Kind::FullScreen;
        setup.placement = area;
        setup.stores = stores.get();
        setup.moduleName = options.moduleName;
        setup.onEnd = [] { PostQuitMessage(0); };
        auto window = std::make_unique<SaverWindow>(module, setup);
        if (window->window() == nullptr) {
            writeMessage("cannot open a full-screen window: error " + std::to_string(GetLastError()));
            return 1;
        }
        windows.push_back(std::move(window));
    }
    ShowCursor(FALSE);
    const int code = FrameLoop::run(windows, windows.front()->view()->animationTimeInterval(), nullptr);
    ShowCursor(TRUE);
    return code;
}

}  // namespace pelmora
