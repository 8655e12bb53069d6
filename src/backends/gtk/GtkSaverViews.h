#pragma once

#include <memory>
#include <vector>

#include "LoopEndedViews.h"
#include "PelmoraWindow.h"
#include "SettingsStore.h"

namespace pelmora {

// The resident saver's views on a GTK desktop: one full-screen saver window
// per monitor, as --fullscreen makes them, made anew each time the user
// goes idle so that each period starts a new picture on the monitors there
// are then.
class GtkSaverViews : public LoopEndedViews {
public:
    GtkSaverViews(SettingsStores& stores, ViewArea::Options view);
    ~GtkSaverViews() override;

private:
    void makeViews(std::function<void()> requestEnd) override;
    void dropViews() override;

    SettingsStores& stores_;
    ViewArea::Options view_;
    std::vector<std::unique_ptr<PelmoraWindow>> windows_;
};

}  // namespace pelmora
