#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "BandedCanvas.h"
#include "BatteryGates.h"
#include "FpsOverlay.h"
#include "FrameFaultHook.h"
#include "FrameGate.h"
#include "FramePacer.h"
#include "GtkSheetHost.h"
#include "PelmoraView.h"
#include "SettingsStore.h"
#include "Sight.h"
#include "SubsurfaceFrames.h"

namespace pelmora {

// A drawing area that hosts one PelmoraView. The view is created once the
// area has its real size, so that it spreads its spheres over the real
// bounds in GTK's logical units: at the first tick of the frame clock, or
// for an area that covers a monitor, at the first tick with the monitor's
// size (a full-screen window or a layer surface is often laid out at a
// default size before the window manager or compositor gives it its own). GTK's frame clock ticks the area; a frame step runs only
// when the pacer says one is due, into an offscreen surface at device-pixel
// size, and every redraw paints that surface, so an expose without a due
// frame shows the last frame again instead of advancing the animation.
// On Wayland the frames go instead into buffers of the area's own, shown on
// a surface of its own over GTK's (SubsurfaceFrames) and paced by the
// compositor's frame callbacks; GTK then draws its surface only when it
// needs to.
class ViewArea {
public:
    struct Options {
        std::string moduleName;
        bool isPreview = false;
        bool showFps = false;
        // Seconds between frames; empty: the view's own interval.
        std::optional<double> frameInterval;
        // Threads for the view's physics and drawing; 0 means one per core.
        std::int32_t threads = 0;
        // Report on standard error the size the view is made at.
        bool verbose = false;
        // The monitor the area covers, if it is a screen saver's or a
        // wallpaper's: the view waits for its size, and reports name it.
        GdkMonitor* monitor = nullptr;
        // Called once when making a view or a frame, or showing it, fails:
        // the failure has been said on standard error and the area has
        // stopped animating; the mode should end.
        std::function<void()> failed;
        // What frames do while the machine runs on battery.
        BatteryPolicy onBattery = BatteryPolicy::Slow;
        // Tells the area's gate whether the machine runs on battery; null: never.
        BatteryGates* battery = nullptr;
    };

    // "HDMI-1 at 1920,0": the monitor's model (on X its RandR output) and
    // place, which tell monitors apart where models repeat.
    static std::string monitorName(GdkMonitor* monitor);

    ViewArea(SettingsStores& stores, Options options);
    ~ViewArea();
    ViewArea(const ViewArea&) = delete;
    ViewArea& operator=(const ViewArea&) = delete;

    GtkWidget* widget() const { return area_; }
    // Null until the area has been given its size.
    PelmoraView* view() const { return view_.get(); }
    GtkSheetHost& sheetHost() { return sheetHost_; }
    // Makes the view anew if the area changes size within a moment: going
    // full screen or back shows a new picture spread over the new size
    // rather than the old spheres in one corner of it.
    void remakeAtNextSize();
    // Whether frames are drawn and how often: the host closes it while the
    // area cannot be seen and says when the machine runs on battery.
    // Changes take effect at the next tick. While it is closed the frame
    // clock rests and the area looks at the gate only once a second;
    // gateChanged() after opening it resumes the frames at once.
    FrameGate& gate() { return gate_; }
    void gateChanged();
    // Frames drawn since the area was made (wrapping at 2^64).
    std::uint64_t framesDrawn() const { return framesDrawn_; }
    // Called once the view exists (to wire up its sheet, for example).
    void setViewCreatedHandler(std::function<void(PelmoraView&)> handler) { viewCreated_ = std::move(handler); }

private:
    static gboolean onTick(GtkWidget* widget, GdkFrameClock* clock, gpointer self);
    static gboolean onGateLook(gpointer self);
    static gboolean onDraw(GtkWidget* widget, cairo_t* cr, gpointer self);
    static void onRealize(GtkWidget* widget, gpointer unused);
    static void onSizeAllocate(GtkWidget* widget, GdkRectangle* allocation, gpointer self);
    static void onSurfaceGoing(GtkWidget* widget, gpointer self);

    // Runs `step`, a piece of work GTK called for. Nothing may leave a GTK
    // callback by an exception (it would end in std::terminate), so a
    // failure is said in one line and handed to the owner instead.
    template <typename Step>
    void guarded(Step&& step);
    void resize(int width, int height);
    void makeViewOnceSized();
    // Drops the view when a size change it waits for has come.
    void remakeIfResized();
    void makeView(int width, int height);
    void stepFrame();
    void prepareSurface(int width, int height, int scale);
    void paint(cairo_t* cr) const;
    // Wayland: hands the frames to a surface of the area's own; false when
    // that cannot be had and GTK draws them after all.
    bool startOwnFrames();
    SubsurfaceFrames::Hooks ownFrameHooks();
    std::optional<SubsurfaceFrames::Clock::duration> untilFrameDue();
    void drawOwnFrame(cairo_t* cr, int width, int height);
    // "HDMI-1 at 1920,0: " in front of a --verbose line, or nothing.
    std::string sourcePrefix() const;

    SettingsStores& stores_;
    Options options_;
    GtkWidget* area_;
    BandedCanvas canvas_;
    GtkSheetHost sheetHost_;
    std::unique_ptr<PelmoraView> view_;
    std::optional<FramePacer> pacer_;
    FrameGate gate_;
    // Whether the compositor still asks for our own frames; says so when verbose.
    Sight sight_{gate_};
    std::optional<FpsOverlay> fps_;
    std::function<void(PelmoraView&)> viewCreated_;
    FrameFaultHook faultHook_;
    bool failed_ = false;
    cairo_surface_t* frame_ = nullptr;
    int frameScale_ = 1;
    // The first tick at which the area had a size to make the view at.
    std::optional<FramePacer::Clock::time_point> sizeWaitStart_;
    // Set by remakeAtNextSize: the size to move away from, and until when.
    struct PendingRemake {
        int width;
        int height;
        FramePacer::Clock::time_point until;
    };
    std::optional<PendingRemake> remake_;
    guint tickId_ = 0;
    bool ownFramesWanted_ = false;
    std::unique_ptr<SubsurfaceFrames> ownFrames_;
    // The timer that looks at a closed gate.
    guint gateLookId_ = 0;
    std::uint64_t framesDrawn_ = 0;
};

}  // namespace pelmora
