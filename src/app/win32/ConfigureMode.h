#pragma once

#include <windows.h>

#include "SaverArguments.h"

namespace pelmora {

// /c[:HWND]: the options dialog, owned by HWND when given, until OK (which
// saves) or Cancel. Returns the exit code: 0, or 1 when the dialog could not
// be shown.
int runConfigure(HINSTANCE module, const SaverOptions& options);

}  // namespace pelmora
