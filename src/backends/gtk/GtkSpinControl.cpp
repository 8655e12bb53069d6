#include "GtkSpinControl.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "Truncation.h"

namespace pelmora {

namespace {

// The text GtkSpinButton shows for `value`, formatted the way it formats it.
bool textShowsValue(GtkSpinButton* spin, double value) {
    gchar* shown = g_strdup_printf("%0.*f", static_cast<int>(gtk_spin_button_get_digits(spin)), value);
    const bool same = std::strcmp(shown, gtk_entry_get_text(GTK_ENTRY(spin))) == 0;
    g_free(shown);
    return same;
}

}  // namespace

GtkSpinControl::GtkSpinControl(GtkSpinButton* spin) : spin_(GTK_SPIN_BUTTON(g_object_ref(spin))) {}

GtkSpinControl::~GtkSpinControl() { g_object_unref(spin_); }

double GtkSpinControl::value() const {
    const double current = gtk_spin_button_get_value(spin_);
    // Text the user typed counts only once the spin button has parsed it, which
    // it does on focus-out or Enter; a click on OK straight after typing must
    // still see the typed number. An unedited text is left alone: parsing the
    // rounded display would cut digits off a stored value nobody touched.
    if (!textShowsValue(spin_, current)) {
        gtk_spin_button_update(spin_);
    }
    return gtk_spin_button_get_value(spin_);
}

void GtkSpinControl::setValue(double value) {
    // A stored value outside the range the sheet offers is still the user's
    // setting: widen the range to hold it instead of clamping it, which would
    // silently change the setting on the next OK.
    if (std::isfinite(value)) {
        GtkAdjustment* adjustment = gtk_spin_button_get_adjustment(spin_);
        if (value < gtk_adjustment_get_lower(adjustment)) {
            gtk_adjustment_set_lower(adjustment, value);
        }
        if (value > gtk_adjustment_get_upper(adjustment)) {
            gtk_adjustment_set_upper(adjustment, value);
        }
    }
    gtk_spin_button_set_value(spin_, value);
}

float GtkSpinControl::floatValue() const {
    const double current = value();
    // The range comes from 32-bit values, but a hand-written interface file could
    // allow more; out-of-range doubles must not reach a float conversion.
    constexpr double kLargest = std::numeric_limits<float>::max();
    if (current > kLargest) {
        return std::numeric_limits<float>::infinity();
    }
    if (current < -kLargest) {
        return -std::numeric_limits<float>::infinity();
    }
    return static_cast<float>(current);
}

void GtkSpinControl::setFloatValue(float value) { setValue(static_cast<double>(value)); }

std::int32_t GtkSpinControl::intValue() const { return truncateToInt32(value()); }

void GtkSpinControl::setIntValue(std::int32_t value) { setValue(static_cast<double>(value)); }

std::int64_t GtkSpinControl::state() const { return intValue(); }

void GtkSpinControl::setState(std::int64_t state) { setValue(static_cast<double>(state)); }

}  // namespace pelmora
