#pragma once

#include "ProgramOptions.h"

namespace pelmora {

// The GTK window (or one full-screen window per monitor). Returns the exit status.
int runWindowMode(const ProgramOptions& options);

}  // namespace pelmora
