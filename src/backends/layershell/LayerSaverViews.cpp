#include "LayerSaverViews.h"

namespace pelmora {

LayerSaverViews::LayerSaverViews(SettingsStores& stores, ViewArea::Options view)
    : stores_(stores), view_(std::move(view)) {}

LayerSaverViews::~LayerSaverViews() { hide(); }

void LayerSaverViews::makeViews(std::function<void()> requestEnd) {
    const LayerCover::Options overlay{view_.moduleName, ScreenLayer::Overlay, view_.showFps, view_.frameInterval,
                                      view_.threads, view_.verbose, view_.onBattery, view_.battery};
    cover_ = std::make_unique<LayerCover>(stores_, overlay, std::move(requestEnd), view_.failed);
    cover_->show();
}

void LayerSaverViews::dropViews() { cover_.reset(); }

}  // namespace pelmora
