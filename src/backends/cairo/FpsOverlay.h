#pragma once

#include <cairo.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <utility>

namespace pelmora {

// The frames-per-second and load read-out that hosts draw over the view's
// frame when asked for --fps, as XScreenSaver's -fps does.
//
// Load is the CPU time the whole process used over a stretch of time,
// divided by that stretch: the view's physics and drawing on every thread,
// and the host's own work around them (copying the frame out, the toolkit,
// the window system's library), which timing the view's frame step alone
// leaves out. 100 % is one core kept busy; a frame spread over several
// cores can read more. Time the process spends waiting (for the next frame,
// for the server) is not counted, nor is the server's own work.
class FpsOverlay {
public:
    using Clock = std::chrono::steady_clock;
    // The CPU time the process has used so far, all its threads together.
    using CpuClock = std::function<std::chrono::nanoseconds()>;

    explicit FpsOverlay(CpuClock cpuTime = processCpuTime);

    // Mark the start and the end of each frame's work.
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
    double load() const;  // 1.0: one core's worth

    // CLOCK_PROCESS_CPUTIME_ID: the CPU time of every thread of this process.
    static std::chrono::nanoseconds processCpuTime();

    // Draws the read-out in the lower-left corner of a `width` x `height`
    // surface in Cairo's own (top-down) coordinates.
    void draw(cairo_t* cr, double width, double height) const;

private:
    // CPU time over wall time, in cores.
    static double loadOver(std::chrono::nanoseconds cpu, Clock::duration wall);

    CpuClock cpuTime_;
    Clock::time_point windowStart_{};
    std::chrono::nanoseconds windowCpuStart_{};
    int framesInWindow_ = 0;
    double fps_ = 0.0;
    double load_ = 0.0;
    std::FILE* report_ = nullptr;
    std::string source_;
    Clock::time_point reportStart_{};
    std::chrono::nanoseconds reportCpuStart_{};
    int framesInReport_ = 0;
};

}  // namespace pelmora
