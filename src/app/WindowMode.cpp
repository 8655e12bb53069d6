#include "WindowMode.h"

#include <cstdio>

#include "GtkDesktop.h"
#include "SettingsSetup.h"

namespace pelmora {

int runWindowMode(const ProgramOptions& options) {
    if (!GtkDesktop::openDisplay()) {
        std::fputs(
            "pelmora: no display to open a window on (DISPLAY is not set or cannot be reached); "
            "try `pelmora record` to render frames to files instead\n",
            stderr);
        return 1;
    }
    auto stores = makeSettingsStores(options);
    GtkDesktop desktop(*stores, {options.moduleName, options.fullscreen, options.preview, options.fps, options.threads});
    return desktop.run();
}

}  // namespace pelmora
