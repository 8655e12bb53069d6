#include "ControlPanelOutlets.h"

#include <array>
#include <string_view>
#include <utility>

#include "PelmoraView.h"

namespace pelmora {

namespace {

constexpr std::array<std::pair<std::string_view, std::string_view>, 11> kSettingOfControl{{
    {"localFieldDisplayControl", "localFieldDisplay"},
    {"electricFieldStrengthControl", "electricFieldStrength"},
    {"speedControl", "speedDivisor"},
    {"numberControl", "numberOfThings"},
    {"chargeRangeControl", "chargeRange"},
    {"sphereRadiiControl", "sphereRadii"},
    {"bounceToggle", "bouncingEnabled"},
    {"labelToggle", "labelsEnabled"},
    {"localFieldToggle", "showLocalFields"},
    {"neutralToggle", "neutralCharges"},
    {"fillToggle", "fillSpheres"},
}};

}  // namespace

SheetOutlets ControlPanelOutlets::make() {
    SheetOutlets outlets{std::string(PelmoraView::kWindowOutlet), {}, {}};
    for (std::string_view control : PelmoraView::kControlOutlets) {
        outlets.controls.emplace_back(control);
    }
    for (const auto& [control, setting] : kSettingOfControl) {
        outlets.settingOfControl.emplace_back(control, setting);
    }
    return outlets;
}

}  // namespace pelmora
