#include "SaverInput.h"

namespace pelmora {

SaverInput::SaverInput(GtkWidget* window, std::function<void()> requestEnd)
    : window_(GTK_WIDGET(g_object_ref(window))), requestEnd_(std::move(requestEnd)) {
    gtk_widget_add_events(window_, GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_KEY_PRESS_MASK);
    g_signal_connect(window_, "key-press-event", G_CALLBACK(onKeyPress), this);
    g_signal_connect(window_, "button-press-event", G_CALLBACK(onButtonPress), this);
    g_signal_connect(window_, "motion-notify-event", G_CALLBACK(onMotion), this);
    g_signal_connect(window_, "realize", G_CALLBACK(onRealize), this);
    if (gtk_widget_get_realized(window_)) {
        onRealize(window_, this);
    }
}

SaverInput::~SaverInput() {
    g_signal_handlers_disconnect_by_data(window_, this);
    g_object_unref(window_);
}

gboolean SaverInput::onKeyPress(GtkWidget*, GdkEventKey*, gpointer self) {
    static_cast<SaverInput*>(self)->requestEnd_();
    return TRUE;
}

gboolean SaverInput::onButtonPress(GtkWidget*, GdkEventButton*, gpointer self) {
    static_cast<SaverInput*>(self)->requestEnd_();
    return TRUE;
}

gboolean SaverInput::onMotion(GtkWidget*, GdkEventMotion* event, gpointer self) {
    auto* input = static_cast<SaverInput*>(self);
    if (input->travel_.movedAway(event->x_root, event->y_root)) {
        input->requestEnd_();
    }
    return FALSE;
}

void SaverInput::onRealize(GtkWidget* widget, gpointer) {
    GdkWindow* gdkWindow = gtk_widget_get_window(widget);
    GdkCursor* blank = gdk_cursor_new_for_display(gdk_window_get_display(gdkWindow), GDK_BLANK_CURSOR);
    gdk_window_set_cursor(gdkWindow, blank);
    g_object_unref(blank);
}

}  // namespace pelmora
