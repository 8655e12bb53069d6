#include "GtkSaverViews.h"

#include <cstdio>

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

void GtkSaverViews::dropViews() {
    if (view_.verbose && !windows_.empty()) {
        std::fprintf(stderr, "pelmora: the saver's %zu window%s closed\n", windows_.size(),
                     windows_.size() == 1 ? "" : "s");
    }
    windows_.clear();
}

}  // namespace pelmora
