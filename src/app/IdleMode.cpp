#include "IdleMode.h"

#include <glib-unix.h>
#include <gtk/gtk.h>
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include "GtkDesktop.h"
#include "GtkSaverViews.h"
#include "IdleWatcher.h"
#include "InteractiveOptions.h"
#include "SettingsSetup.h"
#include "WaylandIdleSource.h"
#include "XIdleSource.h"

namespace pelmora {

namespace {

// The exit statuses of a desktop the mode cannot serve.
constexpr int kNoIdleSource = 1;
constexpr int kSaverDaemonRuns = 2;

// SIGTERM, SIGINT and SIGHUP end the loop like any other event, so the views
// are dropped and the status is 0: being stopped is how a resident saver
// ends. Caught from before the display opens, a signal during the setup
// ends the run as soon as it starts instead of killing the process.
class StopSignals {
public:
    StopSignals() : loop_(g_main_loop_new(nullptr, FALSE)) {
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            sources_.push_back(g_unix_signal_add(signal, onSignal, this));
        }
    }
    ~StopSignals() {
        for (const guint source : sources_) {
            g_source_remove(source);
        }
        g_main_loop_unref(loop_);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Runs the loop until a signal.
    void run() {
        if (!stopped_) {
            g_main_loop_run(loop_);
        }
    }

private:
    static gboolean onSignal(gpointer self) {
        auto* signals = static_cast<StopSignals*>(self);
        // A quit before the loop runs would be forgotten when it starts.
        signals->stopped_ = true;
        g_main_loop_quit(signals->loop_);
        return G_SOURCE_CONTINUE;
    }

    GMainLoop* loop_;
    std::vector<guint> sources_;
    bool stopped_ = false;
};

bool onX11Display() {
#ifdef GDK_WINDOWING_X11
    return GDK_IS_X11_DISPLAY(gdk_display_get_default());
#else
    return false;
#endif
}

// The first idle source the desktop offers, or nothing after a one-line
// message; `status` is then the exit status. GNOME's idle monitor, where the
// session bus has it, belongs first in this list.
std::unique_ptr<IdleSource> openSource(std::chrono::seconds delay, int& status) {
    status = kNoIdleSource;
    if (!onX11Display()) {
        if (auto source = WaylandIdleSource::open(delay)) {
            return source;
        }
        std::fputs("pelmora: --idle finds no idle timer on this Wayland compositor (it reads KDE's "
                   "org_kde_kwin_idle, which KWin and sway offer); run pelmora from the desktop's own idle hook "
                   "instead\n",
                   stderr);
        return nullptr;
    }
    XIdleSource::Outcome outcome = XIdleSource::Outcome::Ready;
    auto source = XIdleSource::open(delay, outcome);
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

}  // namespace

std::string IdleMode::helpText() {
    return "Idle (a resident screen saver, for desktops that have none):\n"
           "  --idle [SECONDS]   wait until the user has been idle SECONDS (default 300, up to\n"
           "                     86400), then show the saver on every monitor; any key, click or\n"
           "                     mouse move ends it and the wait starts again; runs until SIGTERM,\n"
           "                     SIGINT or SIGHUP. Also takes --display\n";
}

int IdleMode::run(const ProgramOptions& options) {
    StopSignals signals;
    if (!options.display.empty()) {
        useDisplay(options.display);
    }
    if (!GtkDesktop::openDisplay()) {
        std::fputs("pelmora: --idle needs a desktop session (DISPLAY or WAYLAND_DISPLAY is not set or cannot be "
                   "reached)\n",
                   stderr);
        return kNoIdleSource;
    }
    int status = 0;
    auto source = openSource(std::chrono::seconds(options.idleSeconds), status);
    if (!source) {
        return status;
    }
    if (options.verbose) {
        std::fprintf(stderr, "pelmora: idle source: %s, after %d s\n", source->name(), options.idleSeconds);
    }
    auto stores = makeSettingsStores(options);
    ViewArea::Options view{options.moduleName, false, options.fps, std::nullopt, options.threads, options.verbose};
    if (options.delayMicroseconds) {
        view.frameInterval = frameIntervalSeconds(*options.delayMicroseconds);
    }
    seedFirstView(options);
    GtkSaverViews views(*stores, view);
    IdleWatcher watcher(*source, views);
    watcher.start();
    signals.run();
    watcher.stop();
    return 0;
}

}  // namespace pelmora
