#pragma once

#include <gtk/gtk.h>

#include "SheetControl.h"

namespace pelmora {

// A value control of the sheet backed by a GtkSpinButton. Asked for a state,
// it answers its value truncated, so it still answers every message.
class GtkSpinControl : public SheetControl {
public:
    explicit GtkSpinControl(GtkSpinButton* spin);
    ~GtkSpinControl() override;
    GtkSpinControl(const GtkSpinControl&) = delete;
    GtkSpinControl& operator=(const GtkSpinControl&) = delete;

    float floatValue() const override;
    void setFloatValue(float value) override;
    std::int32_t intValue() const override;
    void setIntValue(std::int32_t value) override;
    std::int64_t state() const override;
    void setState(std::int64_t state) override;

private:
    double value() const;
    void setValue(double value);

    GtkSpinButton* spin_;
};

}  // namespace pelmora
