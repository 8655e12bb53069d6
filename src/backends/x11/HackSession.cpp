#include "HackSession.h"

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ViewHost.h"
#include "WorkerPool.h"

namespace pelmora {

using Clock = FramePacer::Clock;

namespace {
constexpr std::size_t kClientSideSpheres = 250;
}  // namespace

HackSession::HackSession(Display* display, Window window, const XWindowAttributes& attributes,
                         SettingsStores& stores, const std::string& moduleName, bool showFps)
    : display_(display),
      window_(window),
      size_{attributes.width, attributes.height},
      view_(boundsOf(size_), false, ViewHost{stores, moduleName, canvas_, sheets_}),
      buffer_(display, attributes.root, attributes.visual, attributes.depth, size_.width, size_.height),
      pacer_(view_.animationTimeInterval()),
      name_(windowName(window, attributes)) {
    if (showFps) {
        overlay_.emplace(view_.animationTimeInterval());
        overlay_->reportTo(stderr, name_);
    }
}

std::string HackSession::windowName(Window window, const XWindowAttributes& attributes) {
    char id[32];
    std::snprintf(id, sizeof id, "0x%lx", window);
    return std::string("window ") + id + " at " + std::to_string(attributes.x) + "," + std::to_string(attributes.y);
}

void HackSession::setFrameInterval(double seconds) {
    pacer_ = FramePacer(seconds);
    if (overlay_) {
        overlay_.emplace(seconds);
        overlay_->reportTo(stderr, name_);
    }
}

void HackSession::setThreads(std::int32_t threads) {
    view_.setPhysicsThreads(threads);
    canvas_.setBands(threads > 0 ? threads : WorkerPool::hardwareThreads());
}

int HackSession::run(SignalWatch& signals) {
    if (verbose_) {
        std::fprintf(stderr, "pelmora: a %dx%d view in %s\n", size_.width, size_.height, name_.c_str());
    }
    for (;;) {
        if (!readEvents()) {
            if (verbose_) {
                std::fprintf(stderr, "pelmora: the window 0x%lx was destroyed; stopping\n", window_);
            }
            return EXIT_SUCCESS;
        }
        if (const int signal = signals.caught(); signal != 0) {
            if (verbose_) {
                std::fprintf(stderr, "pelmora: stopping on %s\n", strsignal(signal));
            }
            return EXIT_SUCCESS;
        }
        const Clock::time_point now = Clock::now();
        if (pacer_.takeFrameIfDue(now)) {
            drawFrame(now);
        }
        waitForWork(signals.fd());
    }
}

Rect HackSession::boundsOf(Size size) {
    return {0.0, 0.0, static_cast<double>(size.width), static_cast<double>(size.height)};
}

bool HackSession::readEvents() {
    while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == DestroyNotify && event.xdestroywindow.window == window_) {
            return false;
        }
        if (event.type == ConfigureNotify && event.xconfigure.window == window_) {
            size_ = Size{event.xconfigure.width, event.xconfigure.height};
        }
    }
    return true;
}

// Sleeps until the next frame is due, an X event comes in or a signal
// arrives, whichever is first.
void HackSession::waitForWork(int signalFd) const {
    // Events that XSync already read sit in Xlib's queue, not on the socket.
    if (XEventsQueued(display_, QueuedAlready) > 0) {
        return;
    }
    const auto remaining = std::chrono::duration_cast<std::chrono::nanoseconds>(pacer_.nextDeadline() - Clock::now());
    if (remaining.count() <= 0) {
        return;
    }
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(remaining.count() / 1'000'000'000);
    timeout.tv_nsec = static_cast<long>(remaining.count() % 1'000'000'000);
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {signalFd, POLLIN, 0}};
    // An interruption (SIGCONT after a stop) needs no handling: the loop
    // looks at everything again anyway.
    ppoll(fds, 2, &timeout, nullptr);
}

void HackSession::drawFrame(Clock::time_point now) {
    // A resize takes effect here, at the start of a frame, so that no frame
    // is drawn with two sizes.
    if (!(size_ == Size{buffer_.width(), buffer_.height()})) {
        view_.setBounds(boundsOf(size_));
        buffer_.resize(size_.width, size_.height);
    }
    faultHook_.frameStarting();
    if (overlay_) {
        overlay_->frameStarted(now);
    }
    // A few dozen spheres cost the server less than drawing the whole frame
    // here and copying it over; with hundreds the server's drawing is what
    // holds the frame rate down (under Xvfb at 1920x1080: 40 spheres, server
    // 1.7 % + 8.3 % of a core, here 4.5 % + 5.2 %; 2,000 with labels and
    // lines, 20 to 30 against 42 to 50 frames a second).
    buffer_.setClientSide(view_.thingArray().size() >= kClientSideSpheres);
    cairo_t* cr = buffer_.beginFrame();
    {
        BandedCanvas::Frame frame(canvas_, cr, static_cast<double>(size_.height));
        view_.animateOneFrame();
        frame.finish();
    }
    if (overlay_) {
        overlay_->draw(cr, static_cast<double>(size_.width), static_cast<double>(size_.height));
    }
    cairo_destroy(cr);
    buffer_.present(window_);
    // Waiting for the server keeps a slow one from piling up frames, and
    // brings in this frame's events and errors.
    XSync(display_, False);
    if (overlay_) {
        overlay_->frameFinished(Clock::now());
    }
}

}  // namespace pelmora
