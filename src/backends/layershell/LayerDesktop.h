#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "LayerCover.h"
#include "ModeLoop.h"
#include "SettingsStore.h"

namespace pelmora {

// Pelmora on a layer-shell compositor: a LayerCover over every output. The
// overlay runs until saver input or a signal, the background only until a
// signal; both end with 0, or with 1 when a frame fails.
class LayerDesktop {
public:
    using Options = LayerCover::Options;

    enum class Support { Ready, NoDisplay, NotWayland, NoLayerShell };

    // Catches SIGTERM, SIGINT and SIGHUP at once; make it before the display
    // is opened.
    LayerDesktop(SettingsStores& stores, Options options);
    LayerDesktop(const LayerDesktop&) = delete;
    LayerDesktop& operator=(const LayerDesktop&) = delete;

    // Opens the default display and tells whether layer surfaces can be made on it.
    static Support openDisplay();

    // Covers the outputs and runs until the end; the exit status.
    int run();

private:
    // First, so that the signals are caught before the display opens.
    ModeLoop loop_;
    LayerCover cover_;
};

}  // namespace pelmora
