#pragma once

#include <chrono>
#include <memory>

#include "IdleSource.h"

struct org_kde_kwin_idle;
struct org_kde_kwin_idle_timeout;

namespace pelmora {

// The compositor's own idle timer (KDE's org_kde_kwin_idle, which KWin and
// sway offer): it reports the user idle after the delay and active again on
// the next input, every time, and honours applications' idle inhibitors.
// Its events arrive on GDK's queue, so GTK's loop delivers them.
class WaylandIdleSource : public IdleSource {
public:
    // The source on GTK's Wayland display, or nothing when the display is
    // not Wayland or the compositor has no idle timer.
    static std::unique_ptr<WaylandIdleSource> open(std::chrono::seconds delay);
    ~WaylandIdleSource() override;

    const char* name() const override;
    void start(Listener& listener) override;

private:
    WaylandIdleSource(org_kde_kwin_idle* idle, std::chrono::seconds delay);
    static void onIdle(void* self, org_kde_kwin_idle_timeout* timeout);
    static void onResumed(void* self, org_kde_kwin_idle_timeout* timeout);

    org_kde_kwin_idle* idle_;
    org_kde_kwin_idle_timeout* timeout_ = nullptr;
    std::chrono::seconds delay_;
    Listener* listener_ = nullptr;
};

}  // namespace pelmora
