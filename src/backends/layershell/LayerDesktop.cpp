#include "LayerDesktop.h"

#include <gtk-layer-shell.h>

#include <algorithm>
#include <cstdio>

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
    : stores_(stores), options_(std::move(options)) {}

LayerDesktop::~LayerDesktop() {
    if (sweepSource_ != 0) {
        g_source_remove(sweepSource_);
    }
    if (keyboardCheckSource_ != 0) {
        g_source_remove(keyboardCheckSource_);
    }
    if (display_ != nullptr) {
        g_signal_handlers_disconnect_by_data(display_, this);
    }
    surfaces_.clear();
}

int LayerDesktop::run() {
    display_ = gdk_display_get_default();
    g_signal_connect(display_, "monitor-added", G_CALLBACK(onMonitorAdded), this);
    g_signal_connect(display_, "monitor-removed", G_CALLBACK(onMonitorRemoved), this);
    const int monitors = gdk_display_get_n_monitors(display_);
    for (int index = 0; index < monitors; ++index) {
        addSurface(gdk_display_get_monitor(display_, index));
    }
    if (surfaces_.empty()) {
        reportViews("no output to show on");
    }
    if (options_.layer == ScreenLayer::Overlay) {
        keyboardCheckSource_ = g_timeout_add(kKeyboardPatienceMs, onKeyboardCheck, this);
    }
    const int status = loop_.run();
    surfaces_.clear();
    return status;
}

void LayerDesktop::addSurface(GdkMonitor* monitor) {
    const bool known = std::any_of(surfaces_.begin(), surfaces_.end(),
                                   [monitor](const auto& surface) { return surface->monitor() == monitor; });
    if (known) {
        return;
    }
    LayerSurface::Options options{
        {options_.moduleName, false, options_.fps, options_.frameInterval, options_.threads, options_.verbose, monitor,
         [this] { loop_.fail(); }},
        options_.layer,
        monitor,
        keyboardOnDemand_};
    // Saver input on any output ends the saver on all of them.
    auto requestEnd = [this] { loop_.end(); };
    surfaces_.push_back(std::make_unique<LayerSurface>(
        stores_, options, requestEnd, [this](const LayerSurface* closed) { surfaceClosed(closed); }));
    surfaces_.back()->show();
    reportViews("an output came");
}

void LayerDesktop::dropSurface(GdkMonitor* monitor) {
    for (const auto& surface : surfaces_) {
        if (surface->monitor() == monitor) {
            // A pending sweep must not hold its address: a new surface may get it.
            std::erase(closed_, surface.get());
        }
    }
    if (std::erase_if(surfaces_, [monitor](const auto& surface) { return surface->monitor() == monitor; }) > 0) {
        reportViews("an output went");
    }
}

void LayerDesktop::surfaceClosed(const LayerSurface* surface) {
    // Not now: the surface is in the middle of emitting the signal that told us.
    closed_.push_back(surface);
    if (sweepSource_ == 0) {
        sweepSource_ = g_idle_add(onSweep, this);
    }
}

gboolean LayerDesktop::onSweep(gpointer self) {
    auto* desktop = static_cast<LayerDesktop*>(self);
    desktop->sweepSource_ = 0;
    const auto dropped = std::erase_if(desktop->surfaces_, [desktop](const auto& surface) {
        return std::find(desktop->closed_.begin(), desktop->closed_.end(), surface.get()) != desktop->closed_.end();
    });
    desktop->closed_.clear();
    if (dropped > 0) {
        desktop->reportViews("the compositor closed a view");
    }
    return G_SOURCE_REMOVE;
}

gboolean LayerDesktop::onKeyboardCheck(gpointer self) {
    auto* desktop = static_cast<LayerDesktop*>(self);
    desktop->keyboardCheckSource_ = 0;
    const bool focused = std::any_of(desktop->surfaces_.begin(), desktop->surfaces_.end(),
                                     [](const auto& surface) { return surface->hadKeyboard(); });
    GdkSeat* seat = gdk_display_get_default_seat(desktop->display_);
    const bool keyboard = seat != nullptr && (gdk_seat_get_capabilities(seat) & GDK_SEAT_CAPABILITY_KEYBOARD) != 0;
    // No output or no keyboard yet, no verdict: nothing could be refused so far.
    if (desktop->surfaces_.empty() || !keyboard) {
        desktop->keyboardCheckSource_ = g_timeout_add(kKeyboardPatienceMs, onKeyboardCheck, self);
    } else if (!focused) {
        desktop->settleForKeyboardOnDemand();
    }
    return G_SOURCE_REMOVE;
}

void LayerDesktop::settleForKeyboardOnDemand() {
    // A compositor may refuse the whole keyboard (another surface holds it, or
    // its policy gives layer surfaces none); keys then cannot reach the saver
    // however it asks. On demand it can still get them where the compositor
    // offers, and a click or a pointer move ends it in any case.
    keyboardOnDemand_ = true;
    for (const auto& surface : surfaces_) {
        surface->askKeyboardOnDemand();
    }
    if (options_.verbose) {
        std::fprintf(stderr,
                     "pelmora: the compositor gave the saver no keyboard; asking for it on demand (a click or a "
                     "pointer move still ends the saver)\n");
    }
}

void LayerDesktop::reportViews(const char* event) const {
    if (!options_.verbose) {
        return;
    }
    if (surfaces_.empty()) {
        std::fprintf(stderr, "pelmora: %s; no output is left, waiting for one (views: 0)\n", event);
    } else {
        std::fprintf(stderr, "pelmora: %s (views: %zu)\n", event, surfaces_.size());
    }
}

void LayerDesktop::onMonitorAdded(GdkDisplay*, GdkMonitor* monitor, gpointer self) {
    static_cast<LayerDesktop*>(self)->addSurface(monitor);
}

void LayerDesktop::onMonitorRemoved(GdkDisplay*, GdkMonitor* monitor, gpointer self) {
    static_cast<LayerDesktop*>(self)->dropSurface(monitor);
}

}  // namespace pelmora
