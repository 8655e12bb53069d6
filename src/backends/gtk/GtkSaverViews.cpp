#include "GtkSaverViews.h"

#include "GtkDesktop.h"

namespace pelmora {

GtkSaverViews::GtkSaverViews(SettingsStores& stores, ViewArea::Options view)
    : stores_(stores), view_(std::move(view)) {}

GtkSaverViews::~GtkSaverViews() { hide(); }

void GtkSaverViews::makeViews(std::function<void()> requestEnd) {
    windows_ = GtkDesktop::saverWindows(stores_, view_, requestEnd);
    for (auto& window : windows_) {
        window->show();
    }
}

void GtkSaverViews::dropViews() { windows_.clear(); }

}  // namespace pelmora
