#include "X11Hack.h"

#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>
#include <utility>

#include "HackSession.h"
#include "SignalWatch.h"
#include "XErrorPolicy.h"

namespace pelmora {

namespace {

struct DisplayCloser {
    void operator()(Display* display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

}  // namespace

X11Hack::X11Hack(SettingsStores& stores, std::string moduleName, bool showFps)
    : stores_(stores), moduleName_(std::move(moduleName)), showFps_(showFps) {}

int X11Hack::run(std::optional<std::uint64_t> windowId) {
    // First of all, so that no thread a library starts later can take the
    // signals with their default action.
    SignalWatch signals;
    if (signals.fd() < 0) {
        std::fputs("pelmora: cannot watch for signals\n", stderr);
        return EXIT_FAILURE;
    }
    const DisplayPtr display(XOpenDisplay(nullptr));
    if (!display) {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "pelmora: cannot open the X display \"%s\"\n", name != nullptr ? name : "");
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
    HackSession session(display.get(), window, attributes, stores_, moduleName_, showFps_);
    session.setThreads(threads_);
    return session.run(signals);
}

}  // namespace pelmora
