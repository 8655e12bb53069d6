#include "GtkToggleControl.h"

#include "Truncation.h"

namespace pelmora {

GtkToggleControl::GtkToggleControl(GtkToggleButton* button)
    : button_(GTK_TOGGLE_BUTTON(g_object_ref(button))) {
    toggledHandler_ = g_signal_connect(button_, "toggled", G_CALLBACK(onToggled), this);
}

GtkToggleControl::~GtkToggleControl() {
    // A destroyed button has dropped its handlers already.
    if (g_signal_handler_is_connected(button_, toggledHandler_)) {
        g_signal_handler_disconnect(button_, toggledHandler_);
    }
    g_object_unref(button_);
}

void GtkToggleControl::onToggled(GtkToggleButton* button, gpointer) {
    // GTK leaves the mixed look on after a click; a user who clicks a mixed
    // toggle has chosen a side.
    gtk_toggle_button_set_inconsistent(button, FALSE);
}

std::int64_t GtkToggleControl::state() const {
    if (gtk_toggle_button_get_inconsistent(button_)) {
        return kMixed;
    }
    return gtk_toggle_button_get_active(button_) ? kOn : kOff;
}

void GtkToggleControl::setState(std::int64_t state) {
    // Any state other than on or off shows as mixed and reads back as mixed.
    g_signal_handler_block(button_, toggledHandler_);
    gtk_toggle_button_set_active(button_, state == kOn);
    gtk_toggle_button_set_inconsistent(button_, state != kOn && state != kOff);
    g_signal_handler_unblock(button_, toggledHandler_);
}

float GtkToggleControl::floatValue() const { return static_cast<float>(intValue()); }

void GtkToggleControl::setFloatValue(float value) { setState(truncateToInt32(static_cast<double>(value))); }

std::int32_t GtkToggleControl::intValue() const { return state() == kOn ? 1 : 0; }

void GtkToggleControl::setIntValue(std::int32_t value) { setState(value); }

}  // namespace pelmora
