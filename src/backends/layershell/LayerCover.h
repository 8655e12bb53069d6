#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "LayerSurface.h"
#include "SettingsStore.h"

namespace pelmora {

// One LayerSurface per output, kept in step with the outputs as they come
// and go, for as long as the cover lives: the layer mode's views, and the
// resident saver's overlays.
class LayerCover {
public:
    struct Options {
        std::string moduleName = "pelmora";
        ScreenLayer layer = ScreenLayer::Overlay;
        bool fps = false;
        // Seconds between frames; empty: the view's own interval.
        std::optional<double> frameInterval;
        // Threads for each view's physics and drawing; 0 means one per core.
        std::int32_t threads = 0;
        // Report each view's size on standard error, how many views there are
        // as outputs come and go, and when the overlay does not get the keyboard.
        bool verbose = false;
        // What frames do on battery, and what tells the views about it (null: nothing).
        BatteryPolicy onBattery = BatteryPolicy::Slow;
        BatteryGates* battery = nullptr;
    };

    // How long the overlay waits for the keyboard it asked for before it
    // settles for the keyboard on demand.
    static constexpr guint kKeyboardPatienceMs = 3000;

    // `requestEnd` runs on saver input on any output, `failed` when a view's
    // frame fails (the failure has been reported).
    LayerCover(SettingsStores& stores, Options options, std::function<void()> requestEnd,
               std::function<void()> failed);
    ~LayerCover();
    LayerCover(const LayerCover&) = delete;
    LayerCover& operator=(const LayerCover&) = delete;

    // Covers the outputs there are now, and those that come.
    void show();

private:
    static void onMonitorAdded(GdkDisplay* display, GdkMonitor* monitor, gpointer self);
    static void onMonitorRemoved(GdkDisplay* display, GdkMonitor* monitor, gpointer self);
    static gboolean onSweep(gpointer self);
    static gboolean onKeyboardCheck(gpointer self);

    void addSurface(GdkMonitor* monitor);
    void dropSurface(GdkMonitor* monitor);
    void surfaceClosed(const LayerSurface* surface);
    void settleForKeyboardOnDemand();
    void reportViews(const char* event) const;

    SettingsStores& stores_;
    Options options_;
    std::function<void()> requestEnd_;
    std::function<void()> failed_;
    GdkDisplay* display_ = nullptr;
    std::vector<std::unique_ptr<LayerSurface>> surfaces_;
    std::vector<const LayerSurface*> closed_;
    guint sweepSource_ = 0;
    guint keyboardCheckSource_ = 0;
    bool keyboardOnDemand_ = false;
};

}  // namespace pelmora
