#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "BandedCanvas.h"
#include "FpsOverlay.h"
#include "FramePacer.h"
#include "GtkSheetHost.h"
#include "PelmoraView.h"
#include "SettingsStore.h"

namespace pelmora {

// A drawing area that hosts one PelmoraView. The view is created at the
// first size allocation, so it starts with the area's real bounds in GTK's
// logical units. GTK's frame clock ticks the area; a frame step runs only
// when the pacer says one is due, into an offscreen surface at device-pixel
// size, and every redraw paints that surface, so an expose without a due
// frame shows the last frame again instead of advancing the animation.
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
    };

    ViewArea(SettingsStores& stores, Options options);
    ~ViewArea();
    ViewArea(const ViewArea&) = delete;
    ViewArea& operator=(const ViewArea&) = delete;

    GtkWidget* widget() const { return area_; }
    // Null until the area has been given its size.
    PelmoraView* view() const { return view_.get(); }
    GtkSheetHost& sheetHost() { return sheetHost_; }
    // Called once the view exists (to wire up its sheet, for example).
    void setViewCreatedHandler(std::function<void(PelmoraView&)> handler) { viewCreated_ = std::move(handler); }

private:
    static gboolean onTick(GtkWidget* widget, GdkFrameClock* clock, gpointer self);
    static gboolean onDraw(GtkWidget* widget, cairo_t* cr, gpointer self);
    static void onRealize(GtkWidget* widget, gpointer unused);
    static void onSizeAllocate(GtkWidget* widget, GdkRectangle* allocation, gpointer self);

    void resize(int width, int height);
    void stepFrame();
    void prepareSurface(int width, int height, int scale);
    void paint(cairo_t* cr) const;

    SettingsStores& stores_;
    Options options_;
    GtkWidget* area_;
    BandedCanvas canvas_;
    GtkSheetHost sheetHost_;
    std::unique_ptr<PelmoraView> view_;
    std::optional<FramePacer> pacer_;
    std::optional<FpsOverlay> fps_;
    std::function<void(PelmoraView&)> viewCreated_;
    cairo_surface_t* frame_ = nullptr;
    int frameScale_ = 1;
    guint tickId_ = 0;
};

}  // namespace pelmora
