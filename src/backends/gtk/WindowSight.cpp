#include "WindowSight.h"

#include <gdk/gdkx.h>

#include <cstdio>
#include <utility>

namespace pelmora {

WindowSight::WindowSight(GtkWidget* window, ViewArea& area, bool verbose, std::string source)
    : window_(window), area_(area), sight_(area.gate()) {
    if (!GDK_IS_X11_DISPLAY(gtk_widget_get_display(window))) {
        return;
    }
    watching_ = true;
    sight_.reportTo(verbose ? stderr : nullptr, std::move(source));
    // Asked for before the area's window exists, so that X tells it from
    // the start.
    gtk_widget_add_events(area_.widget(), GDK_VISIBILITY_NOTIFY_MASK);
    g_signal_connect(area_.widget(), "visibility-notify-event", G_CALLBACK(onVisibility), this);
    g_signal_connect(window_, "window-state-event", G_CALLBACK(onWindowState), this);
}

WindowSight::~WindowSight() {
    if (watching_) {
        g_signal_handlers_disconnect_by_data(area_.widget(), this);
        g_signal_handlers_disconnect_by_data(window_, this);
    }
}

gboolean WindowSight::onVisibility(GtkWidget*, GdkEvent* event, gpointer self) {
    static_cast<WindowSight*>(self)->set(Sight::Cause::Covered,
                                         event->visibility.state == GDK_VISIBILITY_FULLY_OBSCURED);
    return FALSE;
}

gboolean WindowSight::onWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self) {
    constexpr auto kHidden = static_cast<GdkWindowState>(GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_WITHDRAWN);
    if ((event->changed_mask & kHidden) != 0) {
        static_cast<WindowSight*>(self)->set(Sight::Cause::Minimised, (event->new_window_state & kHidden) != 0);
    }
    return FALSE;
}

void WindowSight::set(Sight::Cause cause, bool hides) {
    if (sight_.set(cause, hides, area_.framesDrawn())) {
        area_.gateChanged();
    }
}

}  // namespace pelmora
