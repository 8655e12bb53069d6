#pragma once

#include <gtk/gtk.h>

#include "SheetControl.h"

namespace pelmora {

// A two-state toggle of the sheet backed by a GtkToggleButton (a check
// button). Its state is 1 when active, 0 when not and 2 (mixed) while the
// button shows the inconsistent state. As a value it answers 1 or 0.
class GtkToggleControl : public SheetControl {
public:
    static constexpr std::int64_t kOn = 1;
    static constexpr std::int64_t kOff = 0;
    static constexpr std::int64_t kMixed = 2;

    explicit GtkToggleControl(GtkToggleButton* button);
    ~GtkToggleControl() override;
    GtkToggleControl(const GtkToggleControl&) = delete;
    GtkToggleControl& operator=(const GtkToggleControl&) = delete;

    float floatValue() const override;
    void setFloatValue(float value) override;
    std::int32_t intValue() const override;
    void setIntValue(std::int32_t value) override;
    std::int64_t state() const override;
    void setState(std::int64_t state) override;

private:
    static void onToggled(GtkToggleButton* button, gpointer self);

    GtkToggleButton* button_;
    gulong toggledHandler_ = 0;
};

}  // namespace pelmora
