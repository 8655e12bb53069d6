#include "ControlPanelOutlets.h"

#include "PelmoraView.h"

namespace pelmora {

SheetOutlets ControlPanelOutlets::make() {
    SheetOutlets outlets{std::string(PelmoraView::kWindowOutlet), {}};
    for (std::string_view control : PelmoraView::kControlOutlets) {
        outlets.controls.emplace_back(control);
    }
    return outlets;
}

}  // namespace pelmora
