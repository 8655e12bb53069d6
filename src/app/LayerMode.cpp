#include "LayerMode.h"

#include <cstdio>

#include "BatteryWatch.h"
#include "InteractiveOptions.h"
#include "LayerDesktop.h"
#include "SettingsSetup.h"

namespace pelmora {

namespace {

// One line for each way the desktop can fail the mode, each naming what
// works there instead.
const char* unsupportedMessage(LayerDesktop::Support support) {
    switch (support) {
        case LayerDesktop::Support::NoDisplay:
            return "pelmora: --layer needs a Wayland compositor, and none answers ($WAYLAND_DISPLAY is not set "
                   "or cannot be reached); in a desktop session without one, use --fullscreen instead";
        case LayerDesktop::Support::NotWayland:
            return "pelmora: --layer needs a Wayland compositor with layer shell (sway, Hyprland, river, KDE "
                   "Plasma); this is an X11 display: use --fullscreen or --root here instead";
        case LayerDesktop::Support::NoLayerShell:
            return "pelmora: this Wayland compositor has no layer shell, which --layer needs (GNOME has none); "
                   "use --fullscreen here instead";
        case LayerDesktop::Support::Ready:
            break;
    }
    return "";
}

}  // namespace

std::optional<ScreenLayer> LayerMode::parseLayer(const std::string& name) {
    if (name == "overlay") {
        return ScreenLayer::Overlay;
    }
    if (name == "background") {
        return ScreenLayer::Background;
    }
    return std::nullopt;
}

std::string LayerMode::helpText() {
    return "Layer (Wayland compositors with layer shell: sway, Hyprland, river, KDE Plasma):\n"
           "  --layer overlay    a saver over every output, above all windows; any key, click or\n"
           "                     mouse move ends it (swayidle -w timeout 300 'pelmora --layer overlay')\n"
           "  --layer background a live wallpaper under all windows on every output; runs until\n"
           "                     SIGTERM, SIGINT or SIGHUP (exec pelmora --layer background)\n"
           "  --verbose          here also: how many views there are as outputs come and go,\n"
           "                     and when the compositor gives the overlay no keyboard\n";
}

int LayerMode::run(const ProgramOptions& options) {
    auto stores = makeSettingsStores(options);
    // Before the surfaces, which it outlives.
    BatteryWatch battery(options.onBattery, options.verbose);
    LayerDesktop::Options desktopOptions{options.moduleName, options.layer.value_or(ScreenLayer::Overlay), options.fps,
                                         std::nullopt, options.threads, options.verbose, options.onBattery,
                                         battery.gates()};
    if (options.delayMicroseconds) {
        desktopOptions.frameInterval = frameIntervalSeconds(*options.delayMicroseconds);
    }
    LayerDesktop desktop(*stores, desktopOptions);
    const LayerDesktop::Support support = LayerDesktop::openDisplay();
    if (support != LayerDesktop::Support::Ready) {
        std::fprintf(stderr, "%s\n", unsupportedMessage(support));
        return 1;
    }
    seedFirstView(options);
    return desktop.run();
}

}  // namespace pelmora
