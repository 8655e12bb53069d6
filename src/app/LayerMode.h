#pragma once

#include <optional>
#include <string>

#include "ProgramOptions.h"

namespace pelmora {

// `--layer overlay|background`: the saver and the live wallpaper of
// layer-shell compositors (sway, Hyprland, river, KDE Plasma).
class LayerMode {
public:
    // The layer named on the command line, or nothing for an unknown name.
    static std::optional<ScreenLayer> parseLayer(const std::string& name);
    static std::string helpText();
    // Runs until saver input or a signal; the exit status.
    static int run(const ProgramOptions& options);
};

}  // namespace pelmora
