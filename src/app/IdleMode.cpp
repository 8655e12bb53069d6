#include "IdleMode.h"

#include <gtk/gtk.h>

#include <chrono>
#include <cstdio>
#include <memory>

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include "BatteryWatch.h"
#include "DesktopHoldOffs.h"
#include "GtkDesktop.h"
#include "GtkSaverViews.h"
#include "HeldOffSource.h"
#include "IdleWatcher.h"
#include "InteractiveOptions.h"
#include "LayerDesktop.h"
#include "LayerSaverViews.h"
#include "ModeLoop.h"
#include "MutterIdleSource.h"
#include "SettingsSetup.h"
#include "WaylandIdleSource.h"
#include "XIdleSource.h"

namespace pelmora {

namespace {

// The exit statuses of a desktop the mode cannot serve.
constexpr int kNoIdleSource = 1;
constexpr int kSaverDaemonRuns = 2;

bool onX11Display() {
#ifdef GDK_WINDOWING_X11
    return GDK_IS_X11_DISPLAY(gdk_display_get_default());
#else
    return false;
#endif
}

std::unique_ptr<IdleSource> openWaylandSource(std::chrono::seconds delay) {
    if (auto source = MutterIdleSource::open(delay)) {
        return source;
    }
    if (auto source = WaylandIdleSource::open(delay)) {
        return source;
    }
    std::fputs("pelmora: --idle finds no idle timer on this Wayland compositor (it reads GNOME's idle monitor, "
               "ext-idle-notify-v1 and KDE's org_kde_kwin_idle, which KWin and sway offer); start pelmora "
               "--fullscreen by hand here instead\n",
               stderr);
    return nullptr;
}

std::unique_ptr<IdleSource> openXSource(std::chrono::seconds delay, int& status) {
    XIdleSource::Outcome outcome = XIdleSource::Outcome::Ready;
    auto source = XIdleSource::open(delay, outcome);
    // A running saver daemon keeps the screen, on GNOME too.
    if (outcome != XIdleSource::Outcome::DaemonRuns) {
        if (auto gnome = MutterIdleSource::open(delay)) {
            return gnome;
        }
    }
    switch (outcome) {
        case XIdleSource::Outcome::Ready:
            return source;
        case XIdleSource::Outcome::DaemonRuns:
            status = kSaverDaemonRuns;
            std::fputs("pelmora: XScreenSaver's daemon already runs screen savers on this display; add Pelmora to "
                       "it instead (a line \"Pelmora\" pelmora --root in programs: of ~/.xscreensaver, or "
                       "install the package's pelmora.xml) and choose it in xscreensaver-settings\n",
                       stderr);
            return nullptr;
        case XIdleSource::Outcome::NoExtension:
            std::fputs("pelmora: --idle needs the X server's MIT-SCREEN-SAVER extension, which this server lacks\n",
                       stderr);
            return nullptr;
        case XIdleSource::Outcome::NoDisplay:
            break;
    }
    std::fputs("pelmora: --idle cannot reach the X display\n", stderr);
    return nullptr;
}

// The first idle source the desktop offers, or nothing after a one-line
// message; `status` is then the exit status. GNOME's idle monitor comes
// first, under Wayland and X11 alike: GNOME's own idea of idleness is the
// one its users set.
std::unique_ptr<IdleSource> openSource(std::chrono::seconds delay, int& status) {
    status = kNoIdleSource;
    return onX11Display() ? openXSource(delay, status) : openWaylandSource(delay);
}

// Overlays where the compositor has layer shell, as --layer overlay makes
// them, else full-screen windows, as --fullscreen makes them.
std::unique_ptr<IdleViews> makeViews(SettingsStores& stores, const ViewArea::Options& view, const char*& kind) {
    if (LayerDesktop::openDisplay() == LayerDesktop::Support::Ready) {
        kind = "layer-shell overlays";
        return std::make_unique<LayerSaverViews>(stores, view);
    }
    kind = "full-screen windows";
    return std::make_unique<GtkSaverViews>(stores, view);
}

}  // namespace

std::string IdleMode::helpText() {
    return "Idle (a resident screen saver, for desktops that have none):\n"
           "  --idle [SECONDS]   wait until the user has been idle SECONDS (default 300, up to\n"
           "                     86400), then show the saver on every monitor; any key, click or\n"
           "                     mouse move ends it and the wait starts again; runs until SIGTERM,\n"
           "                     SIGINT or SIGHUP. Also takes --display\n";
}

int IdleMode::run(const ProgramOptions& options) {
    // First, so that a signal while the display opens ends the mode cleanly
    // once it would start.
    ModeLoop loop;
    if (!options.display.empty()) {
        useDisplay(options.display);
    }
    if (!GtkDesktop::openDisplay()) {
        std::fputs("pelmora: --idle needs a desktop session (DISPLAY or WAYLAND_DISPLAY is not set or cannot be "
                   "reached)\n",
                   stderr);
        return kNoIdleSource;
    }
    int refusal = 0;
    auto found = openSource(std::chrono::seconds(options.idleSeconds), refusal);
    if (!found) {
        return refusal;
    }
    HeldOffSource source(std::move(found), DesktopHoldOffs::open(), options.verbose);
    auto stores = makeSettingsStores(options);
    // Before the views, which it outlives.
    BatteryWatch battery(options.onBattery, options.verbose);
    ViewArea::Options view{options.moduleName, false, options.fps, std::nullopt, options.threads, options.verbose,
                           nullptr, [&loop] { loop.fail(); }, options.onBattery, battery.gates()};
    if (options.delayMicroseconds) {
        view.frameInterval = frameIntervalSeconds(*options.delayMicroseconds);
    }
    const char* kind = "";
    auto views = makeViews(*stores, view, kind);
    if (options.verbose) {
        std::fprintf(stderr, "pelmora: idle source: %s, after %d s; views: %s\n", source.name(), options.idleSeconds,
                     kind);
    }
    seedFirstView(options);
    IdleWatcher watcher(source, *views);
    watcher.start();
    const int status = loop.run();
    watcher.stop();
    return status;
}

}  // namespace pelmora
