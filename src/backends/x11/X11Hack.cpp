#include "X11Hack.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include "DpmsDisplayPower.h"
#include "HackSession.h"
#include "MessageText.h"
#include "SignalWatch.h"
#include "StopDeadline.h"
#include "ViewFailure.h"
#include "XErrorPolicy.h"

namespace pelmora {

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// A signal ends the hack within this long even in the middle of a frame.
constexpr std::chrono::milliseconds kStopGrace{50};

}  // namespace

X11Hack::X11Hack(SettingsStores& stores, std::string moduleName, bool showFps)
    : stores_(stores), moduleName_(std::move(moduleName)), showFps_(showFps) {}

int X11Hack::run(std::optional<std::uint64_t> windowId) {
    // First, before anything can start a thread (which must inherit the
    // block) and before anything can hang: a signal during start-up, say
    // while the display or the settings file keeps the hack waiting, is
    // either taken by the loop's first look or, past the grace, ends the
    // process with status 0. Declared first so that they go last: a signal
    // that came during the teardown still ends the process in time.
    SignalWatch signals;
    if (signals.fd() < 0) {
        std::fputs("pelmora: cannot watch for signals\n", stderr);
        return EXIT_FAILURE;
    }
    const StopDeadline deadline(signals.fd(), kStopGrace);
    const DisplayPtr display(XOpenDisplay(nullptr));
    if (!display) {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "pelmora: cannot open the X display %s\n", quoteForMessage(name != nullptr ? name : "").c_str());
        return EXIT_FAILURE;
    }
    XErrorPolicy::install();
    if (windowId && *windowId > std::numeric_limits<std::uint32_t>::max()) {
        std::fprintf(stderr, "pelmora: 0x%llx is not an X window ID\n", static_cast<unsigned long long>(*windowId));
        return EXIT_FAILURE;
    }
    const Window window = windowId ? static_cast<Window>(*windowId) : DefaultRootWindow(display.get());
    // Selected before the size and the mapping are read, so no change can
    // fall in between.
    XSelectInput(display.get(), window, StructureNotifyMask | VisibilityChangeMask);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display.get(), window, &attributes) == 0) {
        std::fprintf(stderr, "pelmora: there is no window 0x%lx on display \"%s\"\n", window,
                     DisplayString(display.get()));
        return EXIT_FAILURE;
    }
    // The view or a frame can fail by an exception (a worker's failure
    // passed on, memory running out in a crowded frame): said in one line,
    // it ends the hack like a lost display does, not in std::terminate.
    try {
        HackSession session(display.get(), window, attributes, stores_, moduleName_, showFps_,
                            DpmsDisplayPower::open(display.get()));
        if (frameInterval_) {
            session.setFrameInterval(*frameInterval_);
        }
        session.setVerbose(verbose_);
        session.setThreads(threads_);
        return session.run(signals);
    } catch (...) {
        reportViewFailure();
    }
    return EXIT_FAILURE;
}

}  // namespace pelmora
