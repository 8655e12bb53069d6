#pragma once

#include <functional>

namespace pelmora {

// The saver's views on every monitor, made when the user goes idle and
// dropped when they come back.
class IdleViews {
public:
    virtual ~IdleViews() = default;
    IdleViews(const IdleViews&) = delete;
    IdleViews& operator=(const IdleViews&) = delete;

    // Covers every monitor; `ended` is called (from the event loop, never
    // from within show()) when input on a view ends them all.
    virtual void show(std::function<void()> ended) = 0;
    // Drops the views, if any; `ended` is not called for this.
    virtual void hide() = 0;

protected:
    IdleViews() = default;
};

}  // namespace pelmora
