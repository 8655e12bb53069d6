#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "SettingsStore.h"

namespace pelmora {

enum class ProgramMode { Window, Hack, Trace, Record, Help, Version };

// Everything the command line asked for, already checked. Options start with
// one or two dashes alike ("-fps" is "--fps"); a single-dash name that is a
// setting key ("-numberOfThings 80") is a pair of the argument domain.
struct ProgramOptions {
    ProgramMode mode = ProgramMode::Window;
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

    // Trace and record modes.
    std::int32_t frames = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::optional<unsigned> seed;
    bool draw = false;
    std::string output;
};

}  // namespace pelmora
