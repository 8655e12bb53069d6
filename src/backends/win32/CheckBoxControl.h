#pragma once

#include <windows.h>

#include <cstdint>

#include "SheetControl.h"

namespace pelmora {

// A toggle of the options dialog: a check box whose state is 1 when checked,
// 0 when clear and 2 when indeterminate. Asked for a value, it answers its
// state, so it answers every message.
class CheckBoxControl : public SheetControl {
public:
    explicit CheckBoxControl(HWND button);

    float floatValue() const override;
    void setFloatValue(float value) override;
    std::int32_t intValue() const override;
    void setIntValue(std::int32_t value) override;
    std::int64_t state() const override;
    void setState(std::int64_t state) override;

private:
    HWND button_;
};

}  // namespace pelmora
