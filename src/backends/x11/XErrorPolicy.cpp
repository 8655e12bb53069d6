#include "XErrorPolicy.h"

#include <X11/Xlib.h>
#include <X11/Xproto.h>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace pelmora {

namespace {

int onError(Display* display, XErrorEvent* event) {
    if (event->error_code == BadWindow || event->error_code == BadDrawable) {
        return 0;
    }
    std::array<char, 256> text{};
    XGetErrorText(display, event->error_code, text.data(), static_cast<int>(text.size()));
    std::fprintf(stderr, "pelmora: X error: %s (request %d.%d)\n", text.data(), event->request_code,
                 event->minor_code);
    std::fflush(stderr);
    // Inside Xlib's callback the connection's state is unknown, so nothing
    // that talks to it may run any more: leave without destructors.
    std::_Exit(EXIT_FAILURE);
}

int onIoError(Display*) {
    std::fputs("pelmora: lost the connection to the X display\n", stderr);
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}

}  // namespace

void XErrorPolicy::install() {
    XSetErrorHandler(onError);
    XSetIOErrorHandler(onIoError);
}

}  // namespace pelmora
