#include "HackSession.h"

#include <poll.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "ViewHost.h"
#include "WorkerPool.h"

namespace pelmora {

using Clock = FramePacer::Clock;

namespace {
constexpr std::size_t kClientSideSpheres = 250;
}  // namespace

HackSession::HackSession(Display* display, Window window, const XWindowAttributes& attributes,
                         SettingsStores& stores, const std::string& moduleName, bool showFps,
                         std::unique_ptr<DisplayPower> power)
    : display_(display),
      window_(window),
      size_{attributes.width, attributes.height},
      view_(boundsOf(size_), false, ViewHost{stores, moduleName, canvas_, sheets_}),
      buffer_(display, attributes.root, attributes.visual, attributes.depth, size_.width, size_.height),
      pacer_(view_.animationTimeInterval()),
      name_(windowName(window, attributes)),
      power_(std::move(power)) {
    // A window that is not mapped yet is drawn into once it is (the screen
    // locker maps it after starting the hack); one already covered is seen
    // as such at its next change of visibility, the first event there is.
    sight_.set(Sight::Cause::Unmapped, attributes.map_state == IsUnmapped, framesDrawn_);
    if (power_) {
        powerWatch_.emplace(*power_, sight_, Clock::now());
    }
    if (showFps) {
        overlay_.emplace();
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
}

void HackSession::setVerbose(bool verbose) {
    verbose_ = verbose;
    sight_.reportTo(verbose ? stderr : nullptr, name_);
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
        if (powerWatch_) {
            powerWatch_->poll(now, framesDrawn_);
        }
        // After a time out of sight the pacer starts its schedule anew, so
        // the view carries on from its last frame without catching up.
        if (gate_.open() && pacer_.takeFrameIfDue(now)) {
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
        readEvent(event);
    }
    return true;
}

void HackSession::readEvent(const XEvent& event) {
    switch (event.type) {
        case ConfigureNotify:
            if (event.xconfigure.window == window_) {
                size_ = Size{event.xconfigure.width, event.xconfigure.height};
            }
            break;
        case UnmapNotify:
            if (event.xunmap.window == window_) {
                sight_.set(Sight::Cause::Unmapped, true, framesDrawn_);
            }
            break;
        case MapNotify:
            if (event.xmap.window == window_) {
                sight_.set(Sight::Cause::Unmapped, false, framesDrawn_);
            }
            break;
        case VisibilityNotify:
            // Partly covered is still seen. Mapped again, a window hears its
            // visibility anew, so a stale "covered" does not outlive an unmap.
            if (event.xvisibility.window == window_) {
                sight_.set(Sight::Cause::Covered, event.xvisibility.state == VisibilityFullyObscured, framesDrawn_);
            }
            break;
        default:
            break;
    }
}

// Sleeps until the next frame is due, the monitor's power is to be looked
// at, an X event comes in or a signal arrives, whichever is first. Out of
// sight no frame is due: the process sleeps until the window's next event
// or the next look at the monitor.
void HackSession::waitForWork(int signalFd) const {
    // Events that XSync already read sit in Xlib's queue, not on the socket.
    if (XEventsQueued(display_, QueuedAlready) > 0) {
        return;
    }
    std::optional<Clock::time_point> wake;
    if (gate_.open()) {
        wake = pacer_.nextDeadline();
    }
    if (powerWatch_ && (!wake || powerWatch_->nextLook() < *wake)) {
        wake = powerWatch_->nextLook();
    }
    timespec timeout{};
    if (wake) {
        const auto remaining = std::chrono::duration_cast<std::chrono::nanoseconds>(*wake - Clock::now());
        if (remaining.count() <= 0) {
            return;
        }
        timeout.tv_sec = static_cast<time_t>(remaining.count() / 1'000'000'000);
        timeout.tv_nsec = static_cast<long>(remaining.count() % 1'000'000'000);
    }
    pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {signalFd, POLLIN, 0}};
    // An interruption (SIGCONT after a stop) needs no handling: the loop
    // looks at everything again anyway.
    ppoll(fds, 2, wake ? &timeout : nullptr, nullptr);
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
    ++framesDrawn_;
    // Waiting for the server keeps a slow one from piling up frames, and
    // brings in this frame's events and errors.
    XSync(display_, False);
    if (overlay_) {
        overlay_->frameFinished(Clock::now());
    }
}

}  // namespace pelmora
