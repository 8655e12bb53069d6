#include "LayerSurface.h"

#include <gtk-layer-shell.h>

namespace pelmora {

LayerSurface::LayerSurface(SettingsStores& stores, Options options, std::function<void()> requestEnd,
                           std::function<void(const LayerSurface*)> closed)
    : monitor_(options.monitor != nullptr ? GDK_MONITOR(g_object_ref(options.monitor)) : nullptr),
      closed_(std::move(closed)),
      window_(GTK_WIDGET(g_object_ref_sink(gtk_window_new(GTK_WINDOW_TOPLEVEL)))),
      area_(std::make_unique<ViewArea>(stores, options.view)) {
    gtk_window_set_title(GTK_WINDOW(window_), "Pelmora");
    placeOnLayer(options.layer, options.keyboardOnDemand);
    g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
    g_signal_connect(window_, "focus-in-event", G_CALLBACK(onFocusIn), this);
    if (options.layer == ScreenLayer::Overlay) {
        input_.emplace(window_, std::move(requestEnd));
    } else {
        // A wallpaper lets every click through to the compositor.
        cairo_region_t* nothing = cairo_region_create();
        gtk_widget_input_shape_combine_region(window_, nothing);
        cairo_region_destroy(nothing);
    }
    gtk_container_add(GTK_CONTAINER(window_), area_->widget());
}

LayerSurface::~LayerSurface() {
    g_signal_handlers_disconnect_by_data(window_, this);
    input_.reset();
    area_.reset();
    gtk_widget_destroy(window_);
    g_object_unref(window_);
    if (monitor_ != nullptr) {
        g_object_unref(monitor_);
    }
}

void LayerSurface::placeOnLayer(ScreenLayer layer, bool keyboardOnDemand) {
    GtkWindow* window = GTK_WINDOW(window_);
    gtk_layer_init_for_window(window);
    gtk_layer_set_namespace(window, "pelmora");
    const bool overlay = layer == ScreenLayer::Overlay;
    gtk_layer_set_layer(window, overlay ? GTK_LAYER_SHELL_LAYER_OVERLAY : GTK_LAYER_SHELL_LAYER_BACKGROUND);
    if (monitor_ != nullptr) {
        gtk_layer_set_monitor(window, monitor_);
        // GTK lays the window out once before the compositor's first size
        // arrives, and the view spreads its spheres over that first size: make
        // it the output's, not GTK's 200 × 200 default.
        GdkRectangle geometry;
        gdk_monitor_get_geometry(monitor_, &geometry);
        if (geometry.width > 0 && geometry.height > 0) {
            gtk_window_set_default_size(window, geometry.width, geometry.height);
        }
    }
    // Anchored to all four edges the compositor sizes the surface to the
    // whole output and sends a new size whenever the output changes.
    for (const GtkLayerShellEdge edge : {GTK_LAYER_SHELL_EDGE_LEFT, GTK_LAYER_SHELL_EDGE_RIGHT,
                                         GTK_LAYER_SHELL_EDGE_TOP, GTK_LAYER_SHELL_EDGE_BOTTOM}) {
        gtk_layer_set_anchor(window, edge, TRUE);
    }
    // -1: cover the panels' reserved strips as well instead of being pushed aside.
    gtk_layer_set_exclusive_zone(window, -1);
    GtkLayerShellKeyboardMode keyboard = GTK_LAYER_SHELL_KEYBOARD_MODE_NONE;
    if (overlay) {
        keyboard = keyboardOnDemand ? GTK_LAYER_SHELL_KEYBOARD_MODE_ON_DEMAND : GTK_LAYER_SHELL_KEYBOARD_MODE_EXCLUSIVE;
    }
    gtk_layer_set_keyboard_mode(window, keyboard);
}

void LayerSurface::askKeyboardOnDemand() {
    if (input_) {
        gtk_layer_set_keyboard_mode(GTK_WINDOW(window_), GTK_LAYER_SHELL_KEYBOARD_MODE_ON_DEMAND);
    }
}

void LayerSurface::show() { gtk_widget_show_all(window_); }

gboolean LayerSurface::onFocusIn(GtkWidget*, GdkEvent*, gpointer self) {
    static_cast<LayerSurface*>(self)->hadKeyboard_ = true;
    return FALSE;
}

gboolean LayerSurface::onDelete(GtkWidget*, GdkEvent*, gpointer self) {
    // The compositor closed the surface; the owner drops it once this signal is over.
    auto* surface = static_cast<LayerSurface*>(self);
    surface->closed_(surface);
    return TRUE;
}

}  // namespace pelmora
