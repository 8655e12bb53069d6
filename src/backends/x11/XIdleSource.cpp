#include "XIdleSource.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

#include <algorithm>
#include <cstdint>

namespace pelmora {

namespace {

bool hasProperty(Display* display, Window window, Atom property) {
    Atom type = None;
    int format = 0;
    unsigned long items = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    const int result =
        XGetWindowProperty(display, window, property, 0, 0, False, AnyPropertyType, &type, &format, &items, &after, &data);
    if (data != nullptr) {
        XFree(data);
    }
    return result == Success && type != None;
}

}  // namespace

std::unique_ptr<XIdleSource> XIdleSource::open(std::chrono::seconds delay, Outcome& outcome) {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        outcome = Outcome::NoDisplay;
        return nullptr;
    }
    int eventBase = 0;
    int errorBase = 0;
    outcome = XScreenSaverQueryExtension(display, &eventBase, &errorBase) == 0 ? Outcome::NoExtension
             : daemonRuns(display)                                           ? Outcome::DaemonRuns
                                                                             : Outcome::Ready;
    if (outcome != Outcome::Ready) {
        XCloseDisplay(display);
        return nullptr;
    }
    return std::unique_ptr<XIdleSource>(new XIdleSource(display, delay));
}

XIdleSource::XIdleSource(Display* display, std::chrono::seconds delay) : display_(display), delay_(delay) {}

XIdleSource::~XIdleSource() {
    if (lookSource_ != 0) {
        g_source_remove(lookSource_);
    }
    XCloseDisplay(display_);
}

const char* XIdleSource::name() const { return "the X server's idle time (MIT-SCREEN-SAVER)"; }

void XIdleSource::start(Listener& listener) {
    listener_ = &listener;
    look();
}

void XIdleSource::waitAgain() { look(); }

bool XIdleSource::stillIdle() {
    // After reporting idleness the source stops looking, so input since
    // (the user unlocking the screen, say) is only seen by asking.
    XScreenSaverInfo info{};
    return XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), &info) != 0 &&
           std::chrono::milliseconds(info.idle) >= delay_;
}

bool XIdleSource::daemonRuns(Display* display) {
    // The daemon puts its version on a top-level window of its own, which
    // goes with its connection; an atom nobody ever made means no daemon
    // ever ran on this server.
    const Atom version = XInternAtom(display, "_SCREENSAVER_VERSION", True);
    if (version == None) {
        return false;
    }
    Window root = None;
    Window parent = None;
    Window* children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count) == 0) {
        return false;
    }
    bool found = false;
    for (unsigned int index = 0; index < count && !found; ++index) {
        found = hasProperty(display, children[index], version);
    }
    if (children != nullptr) {
        XFree(children);
    }
    return found;
}

void XIdleSource::lookIn(std::chrono::milliseconds wait) {
    if (lookSource_ != 0) {
        g_source_remove(lookSource_);
    }
    // Whole seconds let GLib wake us together with other timers; a second
    // late is nothing to a screen saver.
    const auto seconds = std::chrono::ceil<std::chrono::seconds>(wait);
    lookSource_ = g_timeout_add_seconds(static_cast<guint>(std::max<std::int64_t>(seconds.count(), 1)), onLook, this);
}

gboolean XIdleSource::onLook(gpointer self) {
    auto* source = static_cast<XIdleSource*>(self);
    source->lookSource_ = 0;
    source->look();
    return G_SOURCE_REMOVE;
}

void XIdleSource::look() {
    XScreenSaverInfo info{};
    if (XScreenSaverQueryInfo(display_, DefaultRootWindow(display_), &info) == 0) {
        // Not answered this time: ask again a whole delay later.
        lookIn(delay_);
        return;
    }
    const std::chrono::milliseconds idle(info.idle);
    if (idle >= delay_) {
        listener_->idleFired();
        return;
    }
    lookIn(delay_ - idle);
}

}  // namespace pelmora
