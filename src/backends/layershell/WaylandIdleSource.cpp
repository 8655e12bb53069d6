#include "WaylandIdleSource.h"

#include <gtk/gtk.h>

#include <cstring>

#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/gdkwayland.h>
#endif

#include "ext-idle-notify-v1-client-protocol.h"
#include "idle-client-protocol.h"

namespace pelmora {

namespace {

#ifdef GDK_WINDOWING_WAYLAND
struct Found {
    wl_registry* registry;
    WaylandIdleSource::Timers timers;
};

void announce(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t) {
    auto* found = static_cast<Found*>(data);
    if (found->timers.notifier == nullptr && std::strcmp(interface, ext_idle_notifier_v1_interface.name) == 0) {
        found->timers.notifier = static_cast<ext_idle_notifier_v1*>(
            wl_registry_bind(found->registry, name, &ext_idle_notifier_v1_interface, 1));
    } else if (found->timers.kde == nullptr && std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
        found->timers.kde =
            static_cast<org_kde_kwin_idle*>(wl_registry_bind(found->registry, name, &org_kde_kwin_idle_interface, 1));
    }
}

// The registry is read on a queue of our own, so that GDK's queue sees
// nothing of it; only the idle timer's events go to GDK's.
WaylandIdleSource::Timers bindTimers(wl_display* display) {
    wl_event_queue* queue = wl_display_create_queue(display);
    auto* wrapped = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), queue);
    wl_registry* registry = wl_display_get_registry(wrapped);
    Found found{registry, {}};
    static const wl_registry_listener listener{announce, [](void*, wl_registry*, uint32_t) {}};
    wl_registry_add_listener(registry, &listener, &found);
    wl_display_roundtrip_queue(display, queue);
    // The standard timer where there is one; the other is not needed then.
    if (found.timers.notifier != nullptr && found.timers.kde != nullptr) {
        org_kde_kwin_idle_destroy(found.timers.kde);
        found.timers.kde = nullptr;
    }
    for (void* timer : {static_cast<void*>(found.timers.notifier), static_cast<void*>(found.timers.kde)}) {
        if (timer != nullptr) {
            wl_proxy_set_queue(static_cast<wl_proxy*>(timer), nullptr);
        }
    }
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(wrapped);
    wl_event_queue_destroy(queue);
    return found.timers;
}
#endif

}  // namespace

std::unique_ptr<WaylandIdleSource> WaylandIdleSource::open(std::chrono::seconds delay) {
#ifdef GDK_WINDOWING_WAYLAND
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || !GDK_IS_WAYLAND_DISPLAY(display)) {
        return nullptr;
    }
    const Timers timers = bindTimers(gdk_wayland_display_get_wl_display(display));
    if (timers.notifier == nullptr && timers.kde == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<WaylandIdleSource>(new WaylandIdleSource(timers, delay));
#else
    (void)delay;
    return nullptr;
#endif
}

WaylandIdleSource::WaylandIdleSource(Timers timers, std::chrono::seconds delay) : timers_(timers), delay_(delay) {}

WaylandIdleSource::~WaylandIdleSource() {
    if (notification_ != nullptr) {
        ext_idle_notification_v1_destroy(notification_);
    }
    if (timeout_ != nullptr) {
        org_kde_kwin_idle_timeout_release(timeout_);
    }
    if (timers_.notifier != nullptr) {
        ext_idle_notifier_v1_destroy(timers_.notifier);
    }
    if (timers_.kde != nullptr) {
        org_kde_kwin_idle_destroy(timers_.kde);
    }
}

const char* WaylandIdleSource::name() const {
    return timers_.notifier != nullptr ? "the compositor's idle timer (ext-idle-notify-v1)"
                                       : "the compositor's idle timer (org_kde_kwin_idle)";
}

void WaylandIdleSource::start(Listener& listener) {
#ifdef GDK_WINDOWING_WAYLAND
    listener_ = &listener;
    wl_seat* seat = gdk_wayland_seat_get_wl_seat(gdk_display_get_default_seat(gdk_display_get_default()));
    const auto milliseconds =
        static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(delay_).count());
    if (timers_.notifier != nullptr) {
        notification_ = ext_idle_notifier_v1_get_idle_notification(timers_.notifier, milliseconds, seat);
        static const ext_idle_notification_v1_listener events{
            [](void* self, ext_idle_notification_v1* timer) { onIdle(self, timer); },
            [](void* self, ext_idle_notification_v1* timer) { onResumed(self, timer); }};
        ext_idle_notification_v1_add_listener(notification_, &events, this);
    } else {
        timeout_ = org_kde_kwin_idle_get_idle_timeout(timers_.kde, seat, milliseconds);
        static const org_kde_kwin_idle_timeout_listener events{
            [](void* self, org_kde_kwin_idle_timeout* timer) { onIdle(self, timer); },
            [](void* self, org_kde_kwin_idle_timeout* timer) { onResumed(self, timer); }};
        org_kde_kwin_idle_timeout_add_listener(timeout_, &events, this);
    }
#else
    (void)listener;
#endif
}

void WaylandIdleSource::onIdle(void* self, void*) { static_cast<WaylandIdleSource*>(self)->listener_->idleFired(); }

void WaylandIdleSource::onResumed(void* self, void*) {
    static_cast<WaylandIdleSource*>(self)->listener_->userActive();
}

}  // namespace pelmora
