#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "IdleViews.h"
#include "PelmoraWindow.h"
#include "SettingsStore.h"

namespace pelmora {

// The resident saver's views on a GTK desktop: one full-screen saver window
// per monitor, as --fullscreen makes them, made anew each time the user
// goes idle so that each period starts a new picture on the monitors there
// are then.
class GtkSaverViews : public IdleViews {
public:
    GtkSaverViews(SettingsStores& stores, ViewArea::Options view);
    ~GtkSaverViews() override;

    void show(std::function<void()> ended) override;
    void hide() override;

private:
    static gboolean onEnd(gpointer self);

    SettingsStores& stores_;
    ViewArea::Options view_;
    std::vector<std::unique_ptr<PelmoraWindow>> windows_;
    std::function<void()> ended_;
    guint endSource_ = 0;
};

}  // namespace pelmora
