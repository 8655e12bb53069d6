#pragma once

#include <chrono>
#include <memory>

#include "IdleSource.h"

struct ext_idle_notifier_v1;
struct ext_idle_notification_v1;
struct org_kde_kwin_idle;
struct org_kde_kwin_idle_timeout;

namespace pelmora {

// The compositor's own idle timer: the standard ext-idle-notify-v1 where the
// compositor has it, else KDE's org_kde_kwin_idle, which KWin and sway
// offer. Either reports the user idle after the delay and active again on
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

    // The compositor's timers, as the registry offered them.
    struct Timers {
        ext_idle_notifier_v1* notifier = nullptr;
        org_kde_kwin_idle* kde = nullptr;
    };

private:
    WaylandIdleSource(Timers timers, std::chrono::seconds delay);
    static void onIdle(void* self, void* timer);
    static void onResumed(void* self, void* timer);

    Timers timers_;
    ext_idle_notification_v1* notification_ = nullptr;
    org_kde_kwin_idle_timeout* timeout_ = nullptr;
    std::chrono::seconds delay_;
    Listener* listener_ = nullptr;
};

}  // namespace pelmora
