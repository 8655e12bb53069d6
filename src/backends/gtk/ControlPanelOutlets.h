#pragma once

#include "GtkSheetHost.h"

namespace pelmora {

// The view's options sheet as its host connects it: the window and control
// outlets the view names.
class ControlPanelOutlets {
public:
    static SheetOutlets make();
};

}  // namespace pelmora
