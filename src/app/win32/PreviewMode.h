#pragma once

#include <windows.h>

#include "SaverArguments.h"

namespace pelmora {

// /p HWND: a small view filling the given preview pane until the pane goes
// away, however it goes. Returns the exit code.
int runPreview(HINSTANCE module, const SaverOptions& options);

}  // namespace pelmora
