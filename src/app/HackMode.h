#pragma once

#include "ProgramOptions.h"

namespace pelmora {

// Draws into the window XScreenSaver or xsecurelock hands over ($XSCREENSAVER_WINDOW,
// --window-id) or the root window. Returns the exit status.
int runHackMode(const ProgramOptions& options);

}  // namespace pelmora
