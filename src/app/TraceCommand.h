#pragma once

#include <cstdio>
#include <string>

#include "ProgramOptions.h"
#include "SettingsStore.h"

namespace pelmora {

// `pelmora trace`: runs one view without a display and writes its state
// after creation and after every frame as JSON Lines. Returns the exit status.
int runTrace(const ProgramOptions& options, SettingsStores& stores, std::FILE* out);

// `pelmora trace --help`.
std::string traceHelpText();

}  // namespace pelmora
