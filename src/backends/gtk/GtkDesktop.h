#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ModeLoop.h"
#include "PelmoraWindow.h"
#include "SettingsStore.h"

namespace pelmora {

// Pelmora on a GTK desktop: one window with a view, or with `fullscreen`
// one saver window per monitor, each with a view of its own. Runs until a
// window asks to close or a signal comes (status 0), or a frame fails (1).
class GtkDesktop {
public:
    struct Options {
        std::string moduleName = "pelmora";
        bool fullscreen = false;
        bool preview = false;
        bool fps = false;
        // Seconds between frames; empty: the view's own interval.
        std::optional<double> frameInterval;
        std::int32_t threads = 0;
        // Report each view's size on standard error.
        bool verbose = false;
        // What frames do on battery, and what tells the views about it (null: nothing).
        BatteryPolicy onBattery = BatteryPolicy::Slow;
        BatteryGates* battery = nullptr;
    };

    // Opens the default display; false when there is none to open.
    static bool openDisplay();

    // Catches SIGTERM, SIGINT and SIGHUP at once; make it before the display
    // is opened.
    GtkDesktop(SettingsStores& stores, Options options);
    ~GtkDesktop();
    GtkDesktop(const GtkDesktop&) = delete;
    GtkDesktop& operator=(const GtkDesktop&) = delete;

    // Shows the windows and runs until one of them closes; the exit status.
    int run();

    // One saver window per monitor (at least one), not shown yet; each calls
    // `requestClose` on saver input.
    static std::vector<std::unique_ptr<PelmoraWindow>> saverWindows(SettingsStores& stores,
                                                                    const ViewArea::Options& view,
                                                                    const std::function<void()>& requestClose);

private:
    void createWindows();

    SettingsStores& stores_;
    Options options_;
    ModeLoop loop_;
    std::vector<std::unique_ptr<PelmoraWindow>> windows_;
};

}  // namespace pelmora
