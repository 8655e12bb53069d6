#include "LayerCover.h"

#include <algorithm>
#include <cstdio>

namespace pelmora {

LayerCover::LayerCover(SettingsStores& stores, Options options, std::function<void()> requestEnd,
                       std::function<void()> failed)
    : stores_(stores), options_(std::move(options)), requestEnd_(std::move(requestEnd)), failed_(std::move(failed)) {}

LayerCover::~LayerCover() {
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

void LayerCover::show() {
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
}

void LayerCover::addSurface(GdkMonitor* monitor) {
    const bool known = std::any_of(surfaces_.begin(), surfaces_.end(),
                                   [monitor](const auto& surface) { return surface->monitor() == monitor; });
    if (known) {
        return;
    }
    LayerSurface::Options options{
        {options_.moduleName, false, options_.fps, options_.frameInterval, options_.threads, options_.verbose, monitor,
         failed_, options_.onBattery, options_.battery},
        options_.layer,
        monitor,
        keyboardOnDemand_};
    // Saver input on any output ends the saver on all of them.
    surfaces_.push_back(std::make_unique<LayerSurface>(
        stores_, options, requestEnd_, [this](const LayerSurface* closed) { surfaceClosed(closed); }));
    surfaces_.back()->show();
    reportViews("an output came");
}

void LayerCover::dropSurface(GdkMonitor* monitor) {
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

void LayerCover::surfaceClosed(const LayerSurface* surface) {
    // Not now: the surface is in the middle of emitting the signal that told us.
    closed_.push_back(surface);
    if (sweepSource_ == 0) {
        sweepSource_ = g_idle_add(onSweep, this);
    }
}

gboolean LayerCover::onSweep(gpointer self) {
    auto* cover = static_cast<LayerCover*>(self);
    cover->sweepSource_ = 0;
    const auto dropped = std::erase_if(cover->surfaces_, [cover](const auto& surface) {
        return std::find(cover->closed_.begin(), cover->closed_.end(), surface.get()) != cover->closed_.end();
    });
    cover->closed_.clear();
    if (dropped > 0) {
        cover->reportViews("the compositor closed a view");
    }
    return G_SOURCE_REMOVE;
}

gboolean LayerCover::onKeyboardCheck(gpointer self) {
    auto* cover = static_cast<LayerCover*>(self);
    cover->keyboardCheckSource_ = 0;
    const bool focused = std::any_of(cover->surfaces_.begin(), cover->surfaces_.end(),
                                     [](const auto& surface) { return surface->hadKeyboard(); });
    GdkSeat* seat = gdk_display_get_default_seat(cover->display_);
    const bool keyboard = seat != nullptr && (gdk_seat_get_capabilities(seat) & GDK_SEAT_CAPABILITY_KEYBOARD) != 0;
    // No output or no keyboard yet, no verdict: nothing could be refused so far.
    if (cover->surfaces_.empty() || !keyboard) {
        cover->keyboardCheckSource_ = g_timeout_add(kKeyboardPatienceMs, onKeyboardCheck, self);
    } else if (!focused) {
        cover->settleForKeyboardOnDemand();
    }
    return G_SOURCE_REMOVE;
}

void LayerCover::settleForKeyboardOnDemand() {
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

void LayerCover::reportViews(const char* event) const {
    if (!options_.verbose) {
        return;
    }
    if (surfaces_.empty()) {
        std::fprintf(stderr, "pelmora: %s; no output is left, waiting for one (views: 0)\n", event);
    } else {
        std::fprintf(stderr, "pelmora: %s (views: %zu)\n", event, surfaces_.size());
    }
}

void LayerCover::onMonitorAdded(GdkDisplay*, GdkMonitor* monitor, gpointer self) {
    static_cast<LayerCover*>(self)->addSurface(monitor);
}

void LayerCover::onMonitorRemoved(GdkDisplay*, GdkMonitor* monitor, gpointer self) {
    static_cast<LayerCover*>(self)->dropSurface(monitor);
}

}  // namespace pelmora
