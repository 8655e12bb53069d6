#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FrameGate.h"
#include "SettingsStore.h"

namespace pelmora {

enum class SaverMode { FullScreen, Preview, Configure, Help };

// What Windows (or a person) asked the screen saver to do.
struct SaverOptions {
    // No argument at all means the options dialog, as Windows expects.
    SaverMode mode = SaverMode::Configure;
    // The preview pane (/p) or the dialog's owner (/c:HWND), as a number.
    std::optional<std::uint64_t> window;
    std::string moduleName = "pelmora";
    // --seed N: the generator's seed, for the same start again; else the clock's.
    std::optional<unsigned> seed;
    // --on-battery run|slow|pause: what frames do while on battery.
    BatteryPolicy onBattery = BatteryPolicy::Slow;
    // -key value pairs that override the stored settings for this run only.
    SettingsDefaults domain;
};

// Reads the screen-saver conventions: /s, /p HWND or /p:HWND, /c or
// /c:HWND, in any case and with '-' as well as '/', plus the settings'
// -key value pairs and --module-name NAME that every Pelmora program takes,
// --seed N and --on-battery run|slow|pause.
class SaverArguments {
public:
    struct Result {
        SaverOptions options;
        std::string error;  // empty when the arguments are good
    };

    // `args` excludes the program name.
    static Result parse(const std::vector<std::string>& args);
    static std::string helpText();
};

}  // namespace pelmora
