#pragma once

#include "ProgramOptions.h"
#include "SettingsStore.h"

namespace pelmora {

// `pelmora record`: renders frames without a display into numbered PNG files
// or, through ffmpeg, a video. Returns the exit status.
int runRecord(const ProgramOptions& options, SettingsStores& stores);

}  // namespace pelmora
