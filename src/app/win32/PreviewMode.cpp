#include "PreviewMode.h"

#include <memory>
#include <string>
#include <vector>

#include "ConsoleMessages.h"
#include "FrameLoop.h"
#include "PowerWatch.h"
#include "PaneWatch.h"
#include "SaverStores.h"
#include "SaverWindow.h"

namespace pelmora {

int runPreview(HINSTANCE module, const SaverOptions& options) {
    HWND pane = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(options.window.value_or(0)));
    if (pane == nullptr || !IsWindow(pane)) {
        writeMessage("/p: " + std::to_string(options.window.value_or(0)) + " is not a window");
        return 1;
    }
    const auto stores = makeSaverStores(options, writeMessage);
    // Before the window, which tells it the power messages it receives.
    PowerWatch power(options.onBattery);
    SaverWindow::Setup setup;
    setup.kind = SaverWindow::Kind::Preview;
    setup.parent = pane;
    setup.stores = stores.get();
    setup.moduleName = options.moduleName;
    setup.onEnd = [] { PostQuitMessage(0); };
    setup.power = &power;
    std::vector<std::unique_ptr<SaverWindow>> windows;
    windows.push_back(std::make_unique<SaverWindow>(module, setup));
    if (windows.front()->window() == nullptr) {
        writeMessage("cannot open a window in the preview pane: error " + std::to_string(GetLastError()));
        return 1;
    }
    // A preview pane is no place for a message box; the pane stays as it is.
    if (const std::string failure = windows.front()->drawingFailure(); !failure.empty()) {
        writeMessage("cannot draw the preview: " + failure);
        return 1;
    }
    const PaneWatch watch(pane, std::chrono::milliseconds(50), std::chrono::milliseconds(250));
    return FrameLoop::run(windows, windows.front()->view()->animationTimeInterval(), watch.goneEvent(),
                          &power.gate());
}

}  // namespace pelmora
