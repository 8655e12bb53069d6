#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "SheetControl.h"

namespace pelmora {

// A value control of the options dialog: an edit box (with up-down buttons
// beside it) that shows its value as text in the settings' own text form.
// Text that does not parse reads as the value shown last, so a half-typed
// number never becomes a setting; the dialog refuses OK while one is there.
// Asked for a state, it answers its value truncated, so it answers every
// message.
class EditValueControl : public SheetControl {
public:
    EditValueControl(HWND edit, bool wholeNumbers, double step);

    float floatValue() const override;
    void setFloatValue(float value) override;
    std::int32_t intValue() const override;
    void setIntValue(std::int32_t value) override;
    std::int64_t state() const override;
    void setState(std::int64_t state) override;

    // Why the text is not a value of this control, or nothing when it is.
    std::optional<std::string> problem() const;
    // One click of the up-down buttons: `clicks` steps up (negative: down).
    // False when the text is no number to step from.
    bool step(int clicks);

    HWND handle() const { return edit_; }

private:
    std::string text() const;
    void setText(const std::string& text);
    std::optional<double> typedValue() const;

    HWND edit_;
    bool wholeNumbers_;
    double step_;
    double shown_ = 0.0;
};

}  // namespace pelmora
