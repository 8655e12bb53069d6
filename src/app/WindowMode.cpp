#include "WindowMode.h"

#include <cstdio>

#include "BatteryWatch.h"
#include "GtkDesktop.h"
#include "InteractiveOptions.h"
#include "SettingsSetup.h"

namespace pelmora {

int runWindowMode(const ProgramOptions& options) {
    if (!options.display.empty()) {
        useDisplay(options.display);
    }
    auto stores = makeSettingsStores(options);
    // Before the windows, which it outlives.
    BatteryWatch battery(options.onBattery, options.verbose);
    GtkDesktop::Options desktopOptions{options.moduleName, options.fullscreen, options.preview, options.fps,
                                       std::nullopt, options.threads, options.verbose, options.onBattery,
                                       battery.gates()};
    if (options.delayMicroseconds) {
        desktopOptions.frameInterval = frameIntervalSeconds(*options.delayMicroseconds);
    }
    seedFirstView(options);
    // Made first, so that a signal while the display opens ends the mode
    // cleanly once it would start.
    GtkDesktop desktop(*stores, desktopOptions);
    if (!GtkDesktop::openDisplay()) {
        std::fputs(
            "pelmora: no display to open a window on (DISPLAY is not set or cannot be reached); "
            "try `pelmora record` to render frames to files instead\n",
            stderr);
        return 1;
    }
    return desktop.run();
}

}  // namespace pelmora
