#include "CheckBoxControl.h"

#include "Truncation.h"

namespace pelmora {

CheckBoxControl::CheckBoxControl(HWND button) : button_(button) {}

std::int64_t CheckBoxControl::state() const {
    switch (SendMessageW(button_, BM_GETCHECK, 0, 0)) {
    case BST_CHECKED:
        return 1;
    case BST_UNCHECKED:
        return 0;
    default:
        return 2;
    }
}

void CheckBoxControl::setState(std::int64_t state) {
    // Anything but on and off is the mixed state, which the view reads as off.
    const WPARAM check = state == 1 ? BST_CHECKED : (state == 0 ? BST_UNCHECKED : BST_INDETERMINATE);
    SendMessageW(button_, BM_SETCHECK, check, 0);
}

float CheckBoxControl::floatValue() const { return static_cast<float>(state()); }

void CheckBoxControl::setFloatValue(float value) { setState(truncateToInt32(static_cast<double>(value))); }

std::int32_t CheckBoxControl::intValue() const { return static_cast<std::int32_t>(state()); }

void CheckBoxControl::setIntValue(std::int32_t value) { setState(value); }

}  // namespace pelmora
