#include "X11Hack.h"

#include <X11/Xlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <optional>
#include <utility>

#include "HackSession.h"
#include "MessageText.h"
#include "SignalWatch.h"
#include "StopDeadline.h"
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
    // Declared first so that they go last: a signal that came during the
    // teardown still ends the process in time.
    std::optional<SignalWatch> signals;
    std::optional<StopDeadline> deadline;
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
    // Selected before the size is read, so no resize can fall in between.
    XSelectInput(display.get(), window, StructureNotifyMask);
    XWindowAttributes attributes{};
    if (XGetWindowAttributes(display.get(), window, &attributes) == 0) {
        std::fprintf(stderr, "pelmora: there is no window 0x%lx on display \"%s\"\n", window,
                     DisplayString(display.get()));
        return EXIT_FAILURE;
    }
    // The session reads the settings, so the signals keep their default
    // action until it stands: a settings file that cannot be read at once
    // must not make the hack unstoppable. Threads must only be started
    // after the watch (the frame loop's first frame at the earliest), so
    // that they inherit the block.
    HackSession session(display.get(), window, attributes, stores_, moduleName_, showFps_);
    if (frameInterval_) {
        session.setFrameInterval(*frameInterval_);
    }
    session.setVerbose(verbose_);
    session.setThreads(threads_);
    signals.emplace();
    if (signals->fd() < 0) {
        std::fputs("pelmora: cannot watch for signals\n", stderr);
        return EXIT_FAILURE;
    }
    deadline.emplace(signals->fd(), kStopGrace);
    return session.run(*signals);
}

}  // namespace pelmora
