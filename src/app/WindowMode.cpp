#include "WindowMode.h"

#include <cstdio>

#include "GtkDesktop.h"
#include "InteractiveOptions.h"
#include "SettingsSetup.h"

namespace pelmora {

int runWindowMode(const ProgramOptions& options) {
    if (!options.display.empty()) {
        useDisplay(options.display);
    }
    if (!GtkDesktop::openDisplay()) {
        std::fputs(
            "pelmora: no display to open a window on (DISPLAY is not set or cannot be reached); "
            "try `pelmora record` to render frames to files instead\n",
            stderr);
        return 1;
    }
    auto stores = makeSettingsStores(options);
    GtkDesktop::Options desktopOptions{options.moduleName, options.fullscreen, options.preview, options.fps,
                                       std::nullopt, options.threads, options.verbose};
    if (options.delayMicroseconds) {
        desktopOptions.frameInterval = frameIntervalSeconds(*options.delayMicroseconds);
    }
    seedFirstView(options);
    GtkDesktop desktop(*stores, desktopOptions);
    return desktop.run();
}

}  // namespace pelmora
