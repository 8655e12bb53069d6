#pragma once

#include <memory>

#include "LayerCover.h"
#include "LoopEndedViews.h"

namespace pelmora {

// The resident saver's views on a layer-shell compositor: an overlay on
// every output, as --layer overlay makes it, made anew for each idle period.
class LayerSaverViews : public LoopEndedViews {
public:
    LayerSaverViews(SettingsStores& stores, ViewArea::Options view);
    ~LayerSaverViews() override;

private:
    void makeViews(std::function<void()> requestEnd) override;
    void dropViews() override;

    SettingsStores& stores_;
    ViewArea::Options view_;
    std::unique_ptr<LayerCover> cover_;
};

}  // namespace pelmora
