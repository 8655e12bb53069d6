#include "LayerDesktop.h"

#include <gtk-layer-shell.h>

#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/gdkwayland.h>
#endif

namespace pelmora {

namespace {

void ignoreLog(const gchar*, GLogLevelFlags, const gchar*, gpointer) {}

}  // namespace

LayerDesktop::Support LayerDesktop::openDisplay() {
    // GTK reads only its own options here; the program's were parsed already.
    int argc = 0;
    char** argv = nullptr;
    if (gtk_init_check(&argc, &argv) == 0) {
        return Support::NoDisplay;
    }
#ifdef GDK_WINDOWING_WAYLAND
    const bool wayland = GDK_IS_WAYLAND_DISPLAY(gdk_display_get_default());
#else
    const bool wayland = false;
#endif
    if (!wayland) {
        return Support::NotWayland;
    }
    // The library warns on its own when the protocol is missing; the mode's
    // one line says what to do instead, so its warning is held back.
    const GLogFunc previous = g_log_set_default_handler(ignoreLog, nullptr);
    const bool supported = gtk_layer_is_supported() != 0;
    g_log_set_default_handler(previous, nullptr);
    return supported ? Support::Ready : Support::NoLayerShell;
}

LayerDesktop::LayerDesktop(SettingsStores& stores, Options options)
    : cover_(stores, std::move(options), [this] { loop_.end(); }, [this] { loop_.fail(); }) {}

int LayerDesktop::run() {
    cover_.show();
    return loop_.run();
}

}  // namespace pelmora
