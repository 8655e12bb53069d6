#include "GtkSaverViews.h"

#include "GtkDesktop.h"

namespace pelmora {

GtkSaverViews::GtkSaverViews(SettingsStores& stores, ViewArea::Options view)
    : stores_(stores), view_(std::move(view)) {}

GtkSaverViews::~GtkSaverViews() { hide(); }

void GtkSaverViews::show(std::function<void()> ended) {
    hide();
    ended_ = std::move(ended);
    // The windows are dropped later, from the loop: input reaches us inside
    // a window's own event handler, and several windows may ask at once.
    windows_ = GtkDesktop::saverWindows(stores_, view_, [this] {
        if (endSource_ == 0) {
            endSource_ = g_idle_add(onEnd, this);
        }
    });
    for (auto& window : windows_) {
        window->show();
    }
}

void GtkSaverViews::hide() {
    if (endSource_ != 0) {
        g_source_remove(endSource_);
        endSource_ = 0;
    }
    windows_.clear();
    ended_ = nullptr;
}

gboolean GtkSaverViews::onEnd(gpointer self) {
    auto* views = static_cast<GtkSaverViews*>(self);
    views->endSource_ = 0;
    auto ended = std::move(views->ended_);
    views->hide();
    if (ended) {
        ended();
    }
    return G_SOURCE_REMOVE;
}

}  // namespace pelmora
