#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "FrameGate.h"
#include "ScreenLayer.h"
#include "SettingsStore.h"

namespace pelmora {

enum class ProgramMode { Window, Hack, Layer, Idle, Trace, Record, Help, Version };

// Everything the command line asked for, already checked. Options start with
// one or two dashes alike ("-fps" is "--fps"); a single-dash name that is a
// setting key ("-numberOfThings 80") is a pair of the argument domain.
struct ProgramOptions {
    ProgramMode mode = ProgramMode::Window;
    // The mode whose help --help asked for.
    ProgramMode helpFor = ProgramMode::Window;
    std::string moduleName = "pelmora";
    // Threads a frame's physics may use; 0 means one per core.
    std::int32_t threads = 0;
    // -key value pairs that override the stored settings for this run only.
    SettingsDefaults domain;

    // Window and hack modes.
    bool fps = false;
    bool fullscreen = false;
    bool preview = false;
    bool root = false;
    std::optional<std::uint64_t> windowId;
    // Layer mode.
    std::optional<ScreenLayer> layer;
    // Idle mode: seconds without input before the saver shows.
    int idleSeconds = 0;
    // XScreenSaver's way (`--root` or `--window-id` given): the registered
    // defaults and the -key value pairs are the whole configuration; no
    // settings file is read.
    bool settingsFromCommandLine = false;
    // Microseconds between frames (XScreenSaver's -delay); empty: the view's own.
    std::optional<std::int64_t> delayMicroseconds;
    // What frames do while the machine runs on battery (window, layer and idle modes).
    BatteryPolicy onBattery = BatteryPolicy::Slow;
    // The X display to use instead of $DISPLAY.
    std::string display;
    // Report normal ends (the window was destroyed) on standard error too.
    bool verbose = false;

    // Trace and record modes.
    std::int32_t frames = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::optional<unsigned> seed;
    bool draw = false;
    std::string output;

    // Record mode: frames per second of a video (0: the format's own), and
    // leave to replace the frames of an earlier recording.
    std::int32_t rate = 0;
    bool force = false;
};

}  // namespace pelmora
