#pragma once

#include <string>

#include "ProgramOptions.h"
#include "SettingsStore.h"

namespace pelmora {

// `pelmora record`: renders frames without a display into numbered PNG files
// or, through ffmpeg, a video. Returns the exit status: 0, 1 when nothing
// usable was written, or 128 + the signal when SIGINT, SIGTERM or SIGHUP ended the
// recording early (what was recorded so far is then finished and kept).
int runRecord(const ProgramOptions& options, SettingsStores& stores);

// Why the record options cannot make a recording, or empty; checked before
// anything is written.
std::string checkRecordOptions(const ProgramOptions& options);

// `pelmora record --help`.
std::string recordHelpText();

}  // namespace pelmora
