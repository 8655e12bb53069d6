// A small red square on the overlay layer in the top left corner of the
// first output that takes the whole keyboard and never lets go: another
// client the compositor gives the keyboard to, so that it has none left for
// Pelmora's overlay. Runs until killed.
#include <gtk-layer-shell.h>
#include <gtk/gtk.h>

namespace {

gboolean paintRed(GtkWidget*, cairo_t* cairo, gpointer) {
    cairo_set_source_rgb(cairo, 1.0, 0.0, 0.0);
    cairo_paint(cairo);
    return TRUE;
}

}  // namespace

int main(int argc, char** argv) {
    gtk_init(&argc, &argv);
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* layer = GTK_WINDOW(window);
    gtk_layer_init_for_window(layer);
    gtk_layer_set_namespace(layer, "keyboard-holder");
    gtk_layer_set_layer(layer, GTK_LAYER_SHELL_LAYER_OVERLAY);
    gtk_layer_set_anchor(layer, GTK_LAYER_SHELL_EDGE_TOP, TRUE);
    gtk_layer_set_anchor(layer, GTK_LAYER_SHELL_EDGE_LEFT, TRUE);
    gtk_layer_set_keyboard_mode(layer, GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE);
    gtk_widget_set_size_request(window, 16, 16);
    g_signal_connect(window, "draw", G_CALLBACK(paintRed), nullptr);
    gtk_widget_show_all(window);
    gtk_main();
    return 0;
}
