#include "GtkSheetWindow.h"

namespace pelmora {

GtkSheetWindow::GtkSheetWindow(GtkWindow* window) : window_(GTK_WINDOW(g_object_ref(window))) {}

GtkSheetWindow::~GtkSheetWindow() {
    // GTK keeps toplevels alive on its own; only destroying one lets it go.
    gtk_widget_destroy(GTK_WIDGET(window_));
    g_object_unref(window_);
}

}  // namespace pelmora
