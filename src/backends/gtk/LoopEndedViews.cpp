#include "LoopEndedViews.h"

namespace pelmora {

LoopEndedViews::~LoopEndedViews() {
    // The views themselves are the derived class's, gone by now.
    if (endSource_ != 0) {
        g_source_remove(endSource_);
    }
}

void LoopEndedViews::show(std::function<void()> ended) {
    hide();
    ended_ = std::move(ended);
    makeViews([this] {
        if (endSource_ == 0) {
            endSource_ = g_idle_add(onEnd, this);
        }
    });
}

void LoopEndedViews::hide() {
    if (endSource_ != 0) {
        g_source_remove(endSource_);
        endSource_ = 0;
    }
    dropViews();
    ended_ = nullptr;
}

gboolean LoopEndedViews::onEnd(gpointer self) {
    auto* views = static_cast<LoopEndedViews*>(self);
    views->endSource_ = 0;
    auto ended = std::move(views->ended_);
    views->hide();
    if (ended) {
        ended();
    }
    return G_SOURCE_REMOVE;
}

}  // namespace pelmora
