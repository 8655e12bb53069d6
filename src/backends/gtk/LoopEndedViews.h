#pragma once

#include <glib.h>

#include <functional>

#include "IdleViews.h"

namespace pelmora {

// What the resident saver's GTK views share: input reaches a view inside its
// own event handler, and several views may ask to end at once, so the views
// are dropped and the end reported once, later, from the loop.
class LoopEndedViews : public IdleViews {
public:
    ~LoopEndedViews() override;

    void show(std::function<void()> ended) final;
    void hide() final;

protected:
    LoopEndedViews() = default;
    // Makes and shows the views; each calls `requestEnd` on saver input.
    virtual void makeViews(std::function<void()> requestEnd) = 0;
    virtual void dropViews() = 0;

private:
    static gboolean onEnd(gpointer self);

    std::function<void()> ended_;
    guint endSource_ = 0;
};

}  // namespace pelmora
