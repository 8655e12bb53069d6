#pragma once

#include <string>

#include "ProgramOptions.h"
#include "SettingsStore.h"

namespace pelmora {

// `pelmora record`: renders frames without a display into numbered PNG files
// or, through ffmpeg, a video. Returns the exit status: 0, or 1 when nothing
// usable was written. When SIGINT, SIGTERM or SIGHUP ends the recording early,
// what was recorded so far is finished and kept (unless a second signal
// abandons it), and then that signal ends the process: it does not return.
int runRecord(const ProgramOptions& options, SettingsStores& stores);

// Why the record options cannot make a recording, or empty; checked before
// anything is written.
std::string checkRecordOptions(const ProgramOptions& options);

// `pelmora record --help`.
std::string recordHelpText();

}  // namespace pelmora
