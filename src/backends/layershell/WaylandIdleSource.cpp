#include "WaylandIdleSource.h"

#include <gtk/gtk.h>

#include <cstring>

#ifdef GDK_WINDOWING_WAYLAND
#include <gdk/gdkwayland.h>
#endif

#include "idle-client-protocol.h"

namespace pelmora {

namespace {

#ifdef GDK_WINDOWING_WAYLAND
// The registry is read on a queue of our own, so that GDK's queue sees
// nothing of it; only the idle timer's events go to GDK's.
org_kde_kwin_idle* bindIdle(wl_display* display) {
    wl_event_queue* queue = wl_display_create_queue(display);
    auto* wrapped = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapped), queue);
    wl_registry* registry = wl_display_get_registry(wrapped);
    org_kde_kwin_idle* idle = nullptr;
    struct Found {
        wl_registry* registry;
        org_kde_kwin_idle** idle;
    } found{registry, &idle};
    static const wl_registry_listener listener{
        [](void* data, wl_registry*, uint32_t name, const char* interface, uint32_t) {
            auto* seen = static_cast<Found*>(data);
            if (*seen->idle == nullptr && std::strcmp(interface, org_kde_kwin_idle_interface.name) == 0) {
                *seen->idle = static_cast<org_kde_kwin_idle*>(
                    wl_registry_bind(seen->registry, name, &org_kde_kwin_idle_interface, 1));
            }
        },
        [](void*, wl_registry*, uint32_t) {}};
    wl_registry_add_listener(registry, &listener, &found);
    wl_display_roundtrip_queue(display, queue);
    if (idle != nullptr) {
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(idle), nullptr);
    }
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(wrapped);
    wl_event_queue_destroy(queue);
    return idle;
}
#endif

}  // namespace

std::unique_ptr<WaylandIdleSource> WaylandIdleSource::open(std::chrono::seconds delay) {
#ifdef GDK_WINDOWING_WAYLAND
    GdkDisplay* display = gdk_display_get_default();
    if (display == nullptr || !GDK_IS_WAYLAND_DISPLAY(display)) {
        return nullptr;
    }
    org_kde_kwin_idle* idle = bindIdle(gdk_wayland_display_get_wl_display(display));
    if (idle == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<WaylandIdleSource>(new WaylandIdleSource(idle, delay));
#else
    (void)delay;
    return nullptr;
#endif
}

WaylandIdleSource::WaylandIdleSource(org_kde_kwin_idle* idle, std::chrono::seconds delay)
    : idle_(idle), delay_(delay) {}

WaylandIdleSource::~WaylandIdleSource() {
    if (timeout_ != nullptr) {
        org_kde_kwin_idle_timeout_release(timeout_);
    }
    org_kde_kwin_idle_destroy(idle_);
}

const char* WaylandIdleSource::name() const { return "the compositor's idle timer (org_kde_kwin_idle)"; }

void WaylandIdleSource::start(Listener& listener) {
#ifdef GDK_WINDOWING_WAYLAND
    listener_ = &listener;
    GdkSeat* seat = gdk_display_get_default_seat(gdk_display_get_default());
    const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(delay_).count();
    timeout_ = org_kde_kwin_idle_get_idle_timeout(idle_, gdk_wayland_seat_get_wl_seat(seat),
                                                  static_cast<uint32_t>(milliseconds));
    static const org_kde_kwin_idle_timeout_listener events{onIdle, onResumed};
    org_kde_kwin_idle_timeout_add_listener(timeout_, &events, this);
#else
    (void)listener;
#endif
}

void WaylandIdleSource::onIdle(void* self, org_kde_kwin_idle_timeout*) {
    static_cast<WaylandIdleSource*>(self)->listener_->idleFired();
}

void WaylandIdleSource::onResumed(void* self, org_kde_kwin_idle_timeout*) {
    static_cast<WaylandIdleSource*>(self)->listener_->userActive();
}

}  // namespace pelmora
