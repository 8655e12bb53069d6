#pragma once

#include <cairo.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <utility>

namespace pelmora {

// The frames-per-second and load read-out that hosts draw over the view's
// frame when asked for --fps, as XScreenSaver's -fps does. Load is the share
// of each frame interval spent working.
class FpsOverlay {
public:
    using Clock = std::chrono::steady_clock;

    explicit FpsOverlay(double intervalSeconds);

    // Bracket the work of each frame (the view's frame step and the overlay).
    void frameStarted(Clock::time_point now);
    void frameFinished(Clock::time_point now);

    // Also writes "pelmora: 59.8 fps, load 12.3%" to `out` every 5 seconds
    // (over those 5 seconds), for a user or a log to read without a
    // screenshot. Null stops it. With several views in one process (or on
    // one log) `source` names the monitor or window the line is about:
    // "pelmora: HDMI-1 at 1920,0: 59.8 fps, load 12.3%".
    void reportTo(std::FILE* out, std::string source = {}) {
        report_ = out;
        source_ = std::move(source);
    }

    double framesPerSecond() const;
    double load() const;  // 0.0 to 1.0 and above when frames overrun

    // Draws the read-out in the lower-left corner of a `width` x `height`
    // surface in Cairo's own (top-down) coordinates.
    void draw(cairo_t* cr, double width, double height) const;

private:
    double interval_;
    Clock::time_point windowStart_{};
    Clock::time_point frameStart_{};
    Clock::duration busy_{};
    int framesInWindow_ = 0;
    double fps_ = 0.0;
    double load_ = 0.0;
    std::FILE* report_ = nullptr;
    std::string source_;
    Clock::time_point reportStart_{};
    Clock::duration reportBusy_{};
    int framesInReport_ = 0;
};

}  // namespace pelmora
