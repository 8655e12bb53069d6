#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "LayerSurface.h"
#include "ModeLoop.h"
#include "SettingsStore.h"

namespace pelmora {

// Pelmora on a layer-shell compositor: one LayerSurface per output, kept in
// step with the outputs as they come and go. The overlay runs until saver
// input or a signal, the background only until a signal; both end with 0,
// or with 1 when a frame fails.
class LayerDesktop {
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
    };

    // How long the overlay waits for the keyboard it asked for before it
    // settles for the keyboard on demand.
    static constexpr guint kKeyboardPatienceMs = 3000;

    enum class Support { Ready, NoDisplay, NotWayland, NoLayerShell };

    // Catches SIGTERM, SIGINT and SIGHUP at once; make it before the display
    // is opened.
    LayerDesktop(SettingsStores& stores, Options options);
    ~LayerDesktop();
    LayerDesktop(const LayerDesktop&) = delete;
    LayerDesktop& operator=(const LayerDesktop&) = delete;

    // Opens the default display and tells whether layer surfaces can be made on it.
    static Support openDisplay();

    // Covers the outputs and runs until the end; the exit status.
    int run();

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
    ModeLoop loop_;
    GdkDisplay* display_ = nullptr;
    std::vector<std::unique_ptr<LayerSurface>> surfaces_;
    std::vector<const LayerSurface*> closed_;
    guint sweepSource_ = 0;
    guint keyboardCheckSource_ = 0;
    bool keyboardOnDemand_ = false;
};

}  // namespace pelmora
