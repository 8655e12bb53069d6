#include "SubsurfaceFrames.h"

#include <gdk/gdkwayland.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "CairoHandles.h"

namespace pelmora {

namespace {

// A compositor that has not asked for a frame this long after the last one
// was shown has stopped asking: the surface cannot be seen. Until it asks
// again nothing here wakes at all. (Only said: a busy machine that stalls a
// moment longer costs one pair of lines, never a frame.)
constexpr guint kUnseenAfterMs = 1000;

// While no frame may be drawn for a reason of our own (frames paused, the
// view not made yet) the pacing is looked at again this often: at most
// twice a second.
constexpr auto kRecheck = std::chrono::milliseconds(500);

// Damage from version 4 on is given in buffer pixels, which stay right
// whatever the scale.
constexpr std::uint32_t kDamageBufferVersion = 4;
constexpr std::uint32_t kCompositorVersion = 4;

template <typename Proxy>
void toDefaultQueue(Proxy* proxy) {
    if (proxy != nullptr) {
        wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(proxy), nullptr);
    }
}

// Destroys `proxy` if there is one, and forgets it.
template <typename Proxy>
void destroyProxy(Proxy*& proxy, void (*destroy)(Proxy*)) {
    if (proxy != nullptr) {
        destroy(proxy);
        proxy = nullptr;
    }
}

}  // namespace

const wl_registry_listener SubsurfaceFrames::kRegistryListener = {&SubsurfaceFrames::onGlobal,
                                                                  &SubsurfaceFrames::onGlobalRemove};
const wl_callback_listener SubsurfaceFrames::kFrameListener = {&SubsurfaceFrames::onFrameDone};

SubsurfaceFrames::SubsurfaceFrames(GtkWidget* area, Hooks hooks) : area_(area), hooks_(std::move(hooks)) {
    GdkWindow* window = gtk_widget_get_window(area_);
    if (window == nullptr || !GDK_IS_WAYLAND_WINDOW(window)) {
        throw std::runtime_error("the view's own frames need a realized Wayland window");
    }
    display_ = gdk_wayland_display_get_wl_display(gdk_window_get_display(window));
    wl_surface* parent = gdk_wayland_window_get_wl_surface(gdk_window_get_toplevel(window));
    bindGlobals(display_);
    if (compositor_ == nullptr || subcompositor_ == nullptr || shm_ == nullptr || parent == nullptr) {
        release();
        throw std::runtime_error("the compositor offers no subsurfaces or shared memory buffers");
    }
    surface_ = wl_compositor_create_surface(compositor_);
    subsurface_ = wl_subcompositor_get_subsurface(subcompositor_, surface_, parent);
    // Frames show as soon as they are committed, not when the toolkit next
    // commits its own surface.
    wl_subsurface_set_desync(subsurface_);
    // Pointer and touch go through to the toolkit's surface, whose window
    // handles them.
    wl_region* nothing = wl_compositor_create_region(compositor_);
    wl_surface_set_input_region(surface_, nothing);
    wl_region_destroy(nothing);
    pool_.emplace(shm_, [this] {
        if (frameCallback_ == nullptr) {
            hooks_.guard([this] { pump(); });
        }
    });
}

SubsurfaceFrames::~SubsurfaceFrames() { release(); }

void SubsurfaceFrames::release() {
    cancelTimer(timer_);
    cancelTimer(watchdog_);
    destroyProxy(frameCallback_, wl_callback_destroy);
    pool_.reset();
    destroyProxy(subsurface_, wl_subsurface_destroy);
    destroyProxy(surface_, wl_surface_destroy);
    destroyProxy(shm_, wl_shm_destroy);
    destroyProxy(subcompositor_, wl_subcompositor_destroy);
    destroyProxy(compositor_, wl_compositor_destroy);
    if (display_ != nullptr) {
        wl_display_flush(display_);
    }
}

void SubsurfaceFrames::bindGlobals(wl_display* display) {
    // The globals are listed on a queue of our own, so that waiting for the
    // list dispatches none of the toolkit's events from inside its own
    // handlers; what is bound then moves to the default queue, which the
    // toolkit's main loop dispatches.
    wl_event_queue* queue = wl_display_create_queue(display);
    auto* wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(wrapper), queue);
    wl_registry* registry = wl_display_get_registry(wrapper);
    wl_proxy_wrapper_destroy(wrapper);
    wl_registry_add_listener(registry, &kRegistryListener, this);
    wl_display_roundtrip_queue(display, queue);
    wl_registry_destroy(registry);
    toDefaultQueue(compositor_);
    toDefaultQueue(subcompositor_);
    toDefaultQueue(shm_);
    wl_display_dispatch_queue_pending(display, queue);
    wl_event_queue_destroy(queue);
}

void SubsurfaceFrames::onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                                std::uint32_t version) {
    auto* self = static_cast<SubsurfaceFrames*>(data);
    if (std::strcmp(interface, wl_compositor_interface.name) == 0 && self->compositor_ == nullptr) {
        self->compositor_ = static_cast<wl_compositor*>(
            wl_registry_bind(registry, name, &wl_compositor_interface, std::min(version, kCompositorVersion)));
    } else if (std::strcmp(interface, wl_subcompositor_interface.name) == 0 && self->subcompositor_ == nullptr) {
        self->subcompositor_ =
            static_cast<wl_subcompositor*>(wl_registry_bind(registry, name, &wl_subcompositor_interface, 1));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0 && self->shm_ == nullptr) {
        self->shm_ = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    }
}

void SubsurfaceFrames::onGlobalRemove(void*, wl_registry*, std::uint32_t) {}

void SubsurfaceFrames::start() {
    if (frameCallback_ == nullptr) {
        hooks_.guard([this] { pump(); });
    }
}

void SubsurfaceFrames::cancelTimer(guint& id) {
    if (id != 0) {
        g_source_remove(id);
        id = 0;
    }
}

void SubsurfaceFrames::waitFor(Clock::duration wait) {
    cancelTimer(timer_);
    // Rounded up: a timer that fires a little early finds the frame not due
    // and would only wait again.
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
    timer_ = g_timeout_add(static_cast<guint>(std::max<decltype(ms)>(ms, 1)), onTimer, this);
}

gboolean SubsurfaceFrames::onTimer(gpointer data) {
    auto* self = static_cast<SubsurfaceFrames*>(data);
    self->timer_ = 0;
    self->hooks_.guard([self] { self->pump(); });
    return G_SOURCE_REMOVE;
}

void SubsurfaceFrames::pump() {
    cancelTimer(timer_);
    const std::optional<Clock::duration> wait = hooks_.untilDue();
    if (!wait) {
        waitFor(kRecheck);
        return;
    }
    if (*wait > Clock::duration::zero()) {
        waitFor(*wait);
        return;
    }
    const int width = gtk_widget_get_allocated_width(area_);
    const int height = gtk_widget_get_allocated_height(area_);
    if (width <= 0 || height <= 0) {
        waitFor(kRecheck);
        return;
    }
    present(width, height, std::max(1, gtk_widget_get_scale_factor(area_)));
}

void SubsurfaceFrames::follow(int width, int height, int scale) {
    int x = 0;
    int y = 0;
    // The area's place in the window's surface: the window's own margins
    // (its shadow, a header bar) come before it.
    gtk_widget_translate_coordinates(area_, gtk_widget_get_toplevel(area_), 0, 0, &x, &y);
    if (x != x_ || y != y_ || scale_ == 0) {
        // Takes effect when the toolkit next commits its surface.
        wl_subsurface_set_position(subsurface_, x, y);
        gtk_widget_queue_draw(area_);
        x_ = x;
        y_ = y;
    }
    if (width != width_ || height != height_) {
        // Opaque: the compositor need not draw what lies under it.
        wl_region* whole = wl_compositor_create_region(compositor_);
        wl_region_add(whole, 0, 0, width, height);
        wl_surface_set_opaque_region(surface_, whole);
        wl_region_destroy(whole);
        width_ = width;
        height_ = height;
    }
    if (scale != scale_) {
        wl_surface_set_buffer_scale(surface_, scale);
        scale_ = scale;
    }
}

void SubsurfaceFrames::present(int width, int height, int scale) {
    ShmBufferPool::Buffer* buffer = pool_->take(width * scale, height * scale);
    if (buffer == nullptr) {
        // Every buffer is with the compositor; the next one it gives back
        // draws the frame.
        return;
    }
    hooks_.frameStarted();
    if (pool_->buffersMade() != buffersSaid_) {
        buffersSaid_ = pool_->buffersMade();
        hooks_.bufferMade(buffersSaid_, width * scale, height * scale);
    }
    cairo_surface_set_device_scale(buffer->image, scale, scale);
    {
        // Held so that a frame that throws still lets go of its context.
        const CairoContextPtr cr(cairo_create(buffer->image));
        hooks_.draw(cr.get(), width, height);
    }
    cairo_surface_flush(buffer->image);
    follow(width, height, scale);
    wl_surface_attach(surface_, buffer->buffer, 0, 0);
    if (wl_proxy_get_version(reinterpret_cast<wl_proxy*>(surface_)) >= kDamageBufferVersion) {
        wl_surface_damage_buffer(surface_, 0, 0, INT32_MAX, INT32_MAX);
    } else {
        wl_surface_damage(surface_, 0, 0, INT32_MAX, INT32_MAX);
    }
    frameCallback_ = wl_surface_frame(surface_);
    wl_callback_add_listener(frameCallback_, &kFrameListener, this);
    wl_surface_commit(surface_);
    ShmBufferPool::lend(*buffer);
    wl_display_flush(display_);
    ++frames_;
    cancelTimer(watchdog_);
    // Not before the compositor has asked once: until the toolkit commits
    // its own surface ours is not on the screen at all.
    if (asked_) {
        watchdog_ = g_timeout_add(kUnseenAfterMs, onWatchdog, this);
    }
    hooks_.frameFinished();
}

gboolean SubsurfaceFrames::onWatchdog(gpointer data) {
    auto* self = static_cast<SubsurfaceFrames*>(data);
    self->watchdog_ = 0;
    if (self->frameCallback_ != nullptr && !self->unseen_) {
        self->unseen_ = true;
        self->hooks_.guard([self] { self->hooks_.seen(false, self->frames_); });
    }
    return G_SOURCE_REMOVE;
}

void SubsurfaceFrames::onFrameDone(void* data, wl_callback* callback, std::uint32_t) {
    auto* self = static_cast<SubsurfaceFrames*>(data);
    wl_callback_destroy(callback);
    self->frameCallback_ = nullptr;
    self->asked_ = true;
    self->cancelTimer(self->watchdog_);
    self->hooks_.guard([self] {
        if (self->unseen_) {
            self->unseen_ = false;
            self->hooks_.seen(true, self->frames_);
        }
        self->pump();
    });
}

}  // namespace pelmora
