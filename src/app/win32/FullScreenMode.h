#pragma once

#include <windows.h>

#include "SaverArguments.h"

namespace pelmora {

// /s: one view full screen on every monitor until a key, a click or a move
// of the pointer. Returns the exit code.
int runFullScreen(HINSTANCE module, const SaverOptions& options);

}  // namespace pelmora
