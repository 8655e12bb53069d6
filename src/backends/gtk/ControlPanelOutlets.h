#pragma once

#include "GtkSheetHost.h"

namespace pelmora {

// The view's options sheet as its host connects it: the window and control
// outlets the view names, and the setting each control edits, which
// "Reset to defaults" fills in.
class ControlPanelOutlets {
public:
    static SheetOutlets make();
};

}  // namespace pelmora
