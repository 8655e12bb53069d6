#pragma once

#include <gtk/gtk.h>
#include <wayland-client.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

#include "ShmBufferPool.h"

namespace pelmora {

// The frames of a view on Wayland, drawn by the program itself rather than
// through the toolkit: a surface of our own placed over the toolkit's (a
// desynchronised subsurface, so frames are shown without the toolkit
// committing its own surface), covering the area, opaque, taking no input
// (which goes on to the toolkit's surface below), with a few buffers of its
// own that frames are drawn straight into. A frame is drawn only when the
// compositor's frame callback asks and the view's pacing says one is due; a
// compositor that stops asking (the surface covered, its output off) gets no
// frames, and nothing here wakes until it asks again.
class SubsurfaceFrames {
public:
    using Clock = std::chrono::steady_clock;

    struct Hooks {
        // Runs a piece of work that may throw, reporting and ending what failed.
        std::function<void(const std::function<void()>&)> guard;
        // How long until the next frame is due; zero when it is, empty while
        // no frame may be drawn however long one waits (the view is not made,
        // frames are paused).
        std::function<std::optional<Clock::duration>()> untilDue;
        // Brackets the whole of a frame's work, the host's included.
        std::function<void()> frameStarted;
        std::function<void()> frameFinished;
        // Draws the due frame on `cr`, `width` x `height` in the area's units.
        std::function<void(cairo_t* cr, int width, int height)> draw;
        // The compositor stopped asking for frames (false) after `frames`
        // frames, or asks again (true).
        std::function<void(bool seen, std::uint64_t frames)> seen;
        // A buffer was made: `count` in all so far, of `width` x `height` pixels.
        std::function<void(long count, int width, int height)> bufferMade;
    };

    // `area` must be realized on a Wayland display. Throws when the
    // compositor lacks what this needs.
    SubsurfaceFrames(GtkWidget* area, Hooks hooks);
    ~SubsurfaceFrames();
    SubsurfaceFrames(const SubsurfaceFrames&) = delete;
    SubsurfaceFrames& operator=(const SubsurfaceFrames&) = delete;

    // Draws the first frame when one is due and from then on keeps asking.
    void start();

private:
    static void onGlobal(void* data, wl_registry* registry, std::uint32_t name, const char* interface,
                         std::uint32_t version);
    static void onGlobalRemove(void* data, wl_registry* registry, std::uint32_t name);
    static void onFrameDone(void* data, wl_callback* callback, std::uint32_t time);
    static gboolean onTimer(gpointer self);
    static gboolean onWatchdog(gpointer self);
    static const wl_registry_listener kRegistryListener;
    static const wl_callback_listener kFrameListener;

    void bindGlobals(wl_display* display);
    // Lets go of every Wayland object and timer.
    void release();
    // Draws and shows a frame if one may be drawn now, else waits for
    // whatever lets it: a due time, a released buffer, the next check.
    void pump();
    void present(int width, int height, int scale);
    void follow(int width, int height, int scale);
    void waitFor(Clock::duration wait);
    void cancelTimer(guint& id);

    GtkWidget* area_;
    Hooks hooks_;
    wl_display* display_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_subcompositor* subcompositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    wl_surface* surface_ = nullptr;
    wl_subsurface* subsurface_ = nullptr;
    std::optional<ShmBufferPool> pool_;
    wl_callback* frameCallback_ = nullptr;
    guint timer_ = 0;
    guint watchdog_ = 0;
    bool unseen_ = false;
    // The compositor has sent a frame callback at least once.
    bool asked_ = false;
    std::uint64_t frames_ = 0;
    long buffersSaid_ = 0;
    // What the compositor was last told.
    int width_ = 0;
    int height_ = 0;
    int scale_ = 0;
    int x_ = 0;
    int y_ = 0;
};

}  // namespace pelmora
