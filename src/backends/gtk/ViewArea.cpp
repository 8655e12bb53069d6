#include "ViewArea.h"

#include "WorkerPool.h"

#include <gdk/gdkwayland.h>
#include <gdk/gdkx.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <string>

#include "CairoHandles.h"
#include "ControlPanelOutlets.h"
#include "ViewFailure.h"

namespace pelmora {

namespace {

// Frame clocks tick at the display's rate, which never lines up exactly with
// the view's interval. A tick up to half an interval ahead of the deadline
// takes the frame rather than waiting a whole extra tick; the schedule itself
// stays absolute, so the rate neither drifts nor exceeds the view's. (With
// 2 ms a jittery clock, such as Xvfb's timer, skipped a quarter of the
// frames: 46 instead of 60 a second.)
constexpr int kEarlyToleranceDivisor = 2;

// How long an area that covers a monitor waits for the monitor's size before
// its view is made at the size it has (a panel the window manager keeps
// clear, a compositor that offers less): spheres in a corner are better
// than none.
constexpr std::chrono::milliseconds kSizeWait{1000};

// How long a window manager may take to make a window full screen or give
// it back its size before a view asked to be made anew keeps its spheres.
constexpr std::chrono::milliseconds kRemakeWait{3000};

// The view's background at rest, for the moment before the first frame.
constexpr double kBackgroundRed = 0.03;
constexpr double kBackgroundGreen = 0.05;
constexpr double kBackgroundBlue = 0.25;

// How often a closed gate is looked at: a host that opens it without saying
// so still gets its frames back within this, and while nobody looks the
// process wakes about once a second.
constexpr guint kGateLookMilliseconds = 1000;

}  // namespace

ViewArea::ViewArea(SettingsStores& stores, Options options)
    : stores_(stores),
      options_(std::move(options)),
      area_(GTK_WIDGET(g_object_ref_sink(gtk_drawing_area_new()))),
      sheetHost_(ControlPanelOutlets::make()),
      gate_(options_.onBattery) {
    gtk_widget_set_hexpand(area_, TRUE);
    gtk_widget_set_vexpand(area_, TRUE);
    g_signal_connect(area_, "draw", G_CALLBACK(onDraw), this);
    g_signal_connect(area_, "size-allocate", G_CALLBACK(onSizeAllocate), this);
    // Each frame covers the whole area, so on X GTK's own off-screen copy of
    // it only costs the server a second full-screen copy per frame. Wayland
    // buffers every surface anyway, and a native child there is a subsurface
    // that layer surfaces on a scaled output do not show.
    if (GDK_IS_X11_DISPLAY(gtk_widget_get_display(area_))) {
        g_signal_connect(area_, "realize", G_CALLBACK(onRealize), nullptr);
        G_GNUC_BEGIN_IGNORE_DEPRECATIONS
        gtk_widget_set_double_buffered(area_, FALSE);
        G_GNUC_END_IGNORE_DEPRECATIONS
    }
    ownFramesWanted_ = GDK_IS_WAYLAND_DISPLAY(gtk_widget_get_display(area_));
    if (ownFramesWanted_) {
        // GDK drops a window's Wayland surface when it hides the window,
        // not only when it unrealizes it.
        g_signal_connect(area_, "unmap", G_CALLBACK(onSurfaceGoing), this);
        g_signal_connect(area_, "unrealize", G_CALLBACK(onSurfaceGoing), this);
    }
    tickId_ = gtk_widget_add_tick_callback(area_, onTick, this, nullptr);
    if (options_.battery != nullptr) {
        options_.battery->attach(gate_);
    }
}

ViewArea::~ViewArea() {
    if (options_.battery != nullptr) {
        options_.battery->detach(gate_);
    }
    // Its hooks point here.
    ownFrames_.reset();
    if (tickId_ != 0) {
        gtk_widget_remove_tick_callback(area_, tickId_);
    }
    if (gateLookId_ != 0) {
        g_source_remove(gateLookId_);
    }
    g_signal_handlers_disconnect_by_data(area_, this);
    // The view goes first: it owns the sheet, whose signal bindings point at
    // the view and at sheetHost_.
    view_.reset();
    if (frame_ != nullptr) {
        cairo_surface_destroy(frame_);
    }
    g_object_unref(area_);
}

template <typename Step>
void ViewArea::guarded(Step&& step) {
    if (failed_) {
        return;
    }
    try {
        step();
        return;
    } catch (...) {
        reportViewFailure();
    }
    failed_ = true;
    if (options_.failed) {
        options_.failed();
    }
}

void ViewArea::onSizeAllocate(GtkWidget*, GdkRectangle* allocation, gpointer self) {
    auto* area = static_cast<ViewArea*>(self);
    area->guarded([area, allocation] { area->resize(allocation->width, allocation->height); });
}

std::string ViewArea::monitorName(GdkMonitor* monitor) {
    GdkRectangle geometry;
    gdk_monitor_get_geometry(monitor, &geometry);
    const char* model = gdk_monitor_get_model(monitor);
    const std::string name = model != nullptr && *model != '\0' ? model : "monitor";
    return name + " at " + std::to_string(geometry.x) + "," + std::to_string(geometry.y);
}

void ViewArea::resize(int width, int height) {
    if (view_) {
        // The view reads its bounds every frame; the surface follows at the next one.
        view_->setBounds({0.0, 0.0, static_cast<double>(width), static_cast<double>(height)});
    }
    // A view not made yet takes the size the area has at its first tick.
}

void ViewArea::remakeAtNextSize() {
    if (view_) {
        remake_ = PendingRemake{gtk_widget_get_allocated_width(area_), gtk_widget_get_allocated_height(area_),
                                FramePacer::Clock::now() + kRemakeWait};
    }
}

void ViewArea::remakeIfResized() {
    if (!remake_) {
        return;
    }
    const int width = gtk_widget_get_allocated_width(area_);
    const int height = gtk_widget_get_allocated_height(area_);
    if (width != remake_->width || height != remake_->height) {
        // The next tick makes it at the new size, as at the start.
        view_.reset();
        pacer_.reset();
        fps_.reset();
        sizeWaitStart_.reset();
        remake_.reset();
    } else if (FramePacer::Clock::now() >= remake_->until) {
        remake_.reset();
    }
}

void ViewArea::makeViewOnceSized() {
    // The first tick comes once the window is on the screen, after the
    // window manager's own size (a desktop too small for the default size,
    // a maximising manager) and not at GTK's first layout.
    const int width = gtk_widget_get_allocated_width(area_);
    const int height = gtk_widget_get_allocated_height(area_);
    if (width <= 1 || height <= 1) {
        return;
    }
    if (options_.monitor != nullptr) {
        // A monitor just added may not know its size yet, and a full-screen
        // window or layer surface gets its own a moment after its first.
        GdkRectangle geometry;
        gdk_monitor_get_geometry(options_.monitor, &geometry);
        const auto now = FramePacer::Clock::now();
        if (!sizeWaitStart_) {
            sizeWaitStart_ = now;
        }
        if ((geometry.width != width || geometry.height != height) && now - *sizeWaitStart_ < kSizeWait) {
            return;
        }
    }
    makeView(width, height);
}

void ViewArea::makeView(int width, int height) {
    const Rect bounds{0.0, 0.0, static_cast<double>(width), static_cast<double>(height)};
    const std::string source = options_.monitor != nullptr ? monitorName(options_.monitor) : std::string();
    if (options_.verbose) {
        std::fprintf(stderr, "pelmora: a %dx%d view%s%s\n", width, height, source.empty() ? "" : " on ",
                     source.c_str());
    }
    ViewHost host{stores_, options_.moduleName, canvas_, sheetHost_};
    view_ = std::make_unique<PelmoraView>(bounds, options_.isPreview, host);
    view_->setPhysicsThreads(options_.threads);
    canvas_.setBands(options_.threads > 0 ? options_.threads : WorkerPool::hardwareThreads());
    const double interval = options_.frameInterval.value_or(view_->animationTimeInterval());
    pacer_.emplace(interval);
    if (options_.showFps) {
        fps_.emplace();
        fps_->reportTo(stderr, source);
    }
    sight_.reportTo(options_.verbose ? stderr : nullptr, source);
    if (viewCreated_) {
        viewCreated_(*view_);
    }
}

void ViewArea::gateChanged() {
    // Frames of our own look at the gate themselves.
    if (!gate_.open() || tickId_ != 0 || ownFrames_) {
        return;
    }
    if (gateLookId_ != 0) {
        g_source_remove(gateLookId_);
        gateLookId_ = 0;
    }
    tickId_ = gtk_widget_add_tick_callback(area_, onTick, this, nullptr);
}

gboolean ViewArea::onGateLook(gpointer self) {
    auto* area = static_cast<ViewArea*>(self);
    if (!area->gate_.open()) {
        return G_SOURCE_CONTINUE;
    }
    area->gateLookId_ = 0;
    area->gateChanged();
    return G_SOURCE_REMOVE;
}

gboolean ViewArea::onTick(GtkWidget*, GdkFrameClock*, gpointer self) {
    auto* area = static_cast<ViewArea*>(self);
    if (!area->gate_.open()) {
        // No frames to draw: without a tick callback the frame clock rests
        // (on X it would otherwise wake the process 60 times a second).
        area->tickId_ = 0;
        area->gateLookId_ = g_timeout_add(kGateLookMilliseconds, onGateLook, area);
        return G_SOURCE_REMOVE;
    }
    area->remakeIfResized();
    if (!area->view_) {
        area->makeViewOnceSized();
    }
    if (area->view_ && area->ownFramesWanted_ && area->startOwnFrames()) {
        // The compositor's frame callbacks drive the frames from here on.
        area->tickId_ = 0;
        return G_SOURCE_REMOVE;
    }
    if (area->pacer_) {
        area->pacer_->setIntervalMultiple(area->gate_.intervalMultiple());
    }
    if (area->pacer_ && area->gate_.open() && area->pacer_->takeFrameIfDue(FramePacer::Clock::now() +
                                                                  area->pacer_->interval() / kEarlyToleranceDivisor)) {
        area->guarded([area] { area->stepFrame(); });
        gtk_widget_queue_draw(area->area_);
    }
    return G_SOURCE_CONTINUE;
}

void ViewArea::prepareSurface(int width, int height, int scale) {
    const int pixelWidth = width * scale;
    const int pixelHeight = height * scale;
    if (frame_ != nullptr && frameScale_ == scale && cairo_image_surface_get_width(frame_) == pixelWidth &&
        cairo_image_surface_get_height(frame_) == pixelHeight) {
        return;
    }
    if (frame_ != nullptr) {
        cairo_surface_destroy(frame_);
    }
    // Device pixels with a device scale: the view keeps drawing in logical
    // units while discs and text come out sharp on a HiDPI screen. An image
    // made for the window is, on X, one the server shares with us (MIT-SHM),
    // so showing the frame does not first copy it into another buffer.
    GdkWindow* window = gtk_widget_get_window(area_);
    frame_ = window != nullptr && GDK_IS_X11_WINDOW(window)
                 ? gdk_window_create_similar_image_surface(window, CAIRO_FORMAT_RGB24, pixelWidth, pixelHeight, 1)
                 : cairo_image_surface_create(CAIRO_FORMAT_RGB24, pixelWidth, pixelHeight);
    cairo_surface_set_device_scale(frame_, scale, scale);
    frameScale_ = scale;
}

void ViewArea::stepFrame() {
    const int width = gtk_widget_get_allocated_width(area_);
    const int height = gtk_widget_get_allocated_height(area_);
    if (width <= 0 || height <= 0) {
        return;
    }
    if (fps_) {
        fps_->frameStarted(FpsOverlay::Clock::now());
    }
    faultHook_.frameStarting();
    prepareSurface(width, height, gtk_widget_get_scale_factor(area_));
    // Held so that a frame that throws still lets go of its context.
    const CairoContextPtr cr(cairo_create(frame_));
    {
        BandedCanvas::Frame frame(canvas_, cr.get(), static_cast<double>(height));
        view_->animateOneFrame();
        frame.finish();
    }
    ++framesDrawn_;
    if (fps_) {
        fps_->frameFinished(FpsOverlay::Clock::now());
    }
}

void ViewArea::onRealize(GtkWidget* widget, gpointer) {
    // Only a native window draws without GTK's buffer.
    gdk_window_ensure_native(gtk_widget_get_window(widget));
}

gboolean ViewArea::onDraw(GtkWidget*, cairo_t* cr, gpointer self) {
    auto* area = static_cast<ViewArea*>(self);
    area->guarded([area, cr] { area->paint(cr); });
    return TRUE;
}

void ViewArea::paint(cairo_t* cr) const {
    const double width = gtk_widget_get_allocated_width(area_);
    const double height = gtk_widget_get_allocated_height(area_);
    // Whatever the last frame does not cover (before the first frame, or just
    // after the area grew) gets the view's background instead of garbage.
    // A frame that covers the whole area is copied alone: painting under it
    // first would cost the server a full-screen fill every frame.
    const bool covered = frame_ != nullptr && cairo_image_surface_get_width(frame_) >= width * frameScale_ &&
                         cairo_image_surface_get_height(frame_) >= height * frameScale_;
    if (!covered) {
        cairo_set_source_rgb(cr, kBackgroundRed, kBackgroundGreen, kBackgroundBlue);
        cairo_paint(cr);
    }
    if (frame_ != nullptr) {
        cairo_set_source_surface(cr, frame_, 0.0, 0.0);
        // A covering frame is opaque, so it is copied rather than blended.
        cairo_set_operator(cr, covered ? CAIRO_OPERATOR_SOURCE : CAIRO_OPERATOR_OVER);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    }
    if (fps_ && !ownFrames_) {
        fps_->draw(cr, width, height);
    }
}

void ViewArea::onSurfaceGoing(GtkWidget*, gpointer self) {
    // The surface ours sits on is going; a new one gets a new subsurface.
    auto* area = static_cast<ViewArea*>(self);
    area->ownFrames_.reset();
    if (area->tickId_ == 0) {
        area->tickId_ = gtk_widget_add_tick_callback(area->area_, onTick, area, nullptr);
    }
}

std::string ViewArea::sourcePrefix() const {
    return options_.monitor != nullptr ? monitorName(options_.monitor) + ": " : std::string();
}

bool ViewArea::startOwnFrames() {
    if (!ownFrames_) {
        try {
            ownFrames_ = std::make_unique<SubsurfaceFrames>(area_, ownFrameHooks());
        } catch (const std::exception& error) {
            std::fprintf(stderr, "pelmora: %s; GTK draws the frames\n", error.what());
            ownFramesWanted_ = false;
            return false;
        }
    }
    ownFrames_->start();
    return true;
}

SubsurfaceFrames::Hooks ViewArea::ownFrameHooks() {
    SubsurfaceFrames::Hooks hooks;
    hooks.guard = [this](const std::function<void()>& step) { guarded(step); };
    hooks.untilDue = [this] { return untilFrameDue(); };
    hooks.frameStarted = [this] {
        if (fps_) {
            fps_->frameStarted(FpsOverlay::Clock::now());
        }
    };
    hooks.frameFinished = [this] {
        if (fps_) {
            fps_->frameFinished(FpsOverlay::Clock::now());
        }
    };
    hooks.draw = [this](cairo_t* cr, int width, int height) { drawOwnFrame(cr, width, height); };
    hooks.seen = [this](bool seen, std::uint64_t frames) {
        // A compositor stops asking for a surface that is covered, on an
        // output that is off, or on a workspace not shown.
        sight_.set(Sight::Cause::Covered, !seen, frames);
    };
    hooks.bufferMade = [this](long count, int width, int height) {
        if (options_.verbose) {
            std::fprintf(stderr, "pelmora: %sframe buffer %ld made, %dx%d pixels\n", sourcePrefix().c_str(), count,
                         width, height);
        }
    };
    return hooks;
}

std::optional<SubsurfaceFrames::Clock::duration> ViewArea::untilFrameDue() {
    remakeIfResized();
    if (!view_) {
        // The view is made anew at GTK's next ticks, which then start the frames again.
        if (tickId_ == 0) {
            tickId_ = gtk_widget_add_tick_callback(area_, onTick, this, nullptr);
        }
        return std::nullopt;
    }
    pacer_->setIntervalMultiple(gate_.intervalMultiple());
    if (!gate_.open()) {
        return std::nullopt;
    }
    const auto takenFrom = pacer_->nextDeadline() - pacer_->interval() / kEarlyToleranceDivisor;
    const auto now = FramePacer::Clock::now();
    return takenFrom <= now ? FramePacer::Clock::duration::zero() : takenFrom - now;
}

void ViewArea::drawOwnFrame(cairo_t* cr, int width, int height) {
    pacer_->takeFrameIfDue(FramePacer::Clock::now() + pacer_->interval() / kEarlyToleranceDivisor);
    faultHook_.frameStarting();
    {
        BandedCanvas::Frame frame(canvas_, cr, static_cast<double>(height));
        view_->animateOneFrame();
        frame.finish();
    }
    ++framesDrawn_;
    if (fps_) {
        fps_->draw(cr, width, height);
    }
}

}  // namespace pelmora
