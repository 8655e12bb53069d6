#include "FpsOverlay.h"

#include <time.h>

#include <cstdio>
#include <utility>

namespace pelmora {

namespace {
// Long enough to smooth out scheduler jitter, short enough to follow a change
// of load while the user watches.
constexpr auto kAveragingWindow = std::chrono::milliseconds(1000);
constexpr auto kReportWindow = std::chrono::seconds(5);
constexpr double kFontSize = 14.0;
constexpr double kMargin = 6.0;
constexpr double kPadding = 4.0;
}  // namespace

FpsOverlay::FpsOverlay(CpuClock cpuTime) : cpuTime_(std::move(cpuTime)) {}

std::chrono::nanoseconds FpsOverlay::processCpuTime() {
    timespec time{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &time);
    return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
}

double FpsOverlay::loadOver(std::chrono::nanoseconds cpu, Clock::duration wall) {
    // A clock that did not move (or a CPU clock that went back) gives no
    // load rather than infinity or a negative one.
    if (wall <= Clock::duration::zero() || cpu < std::chrono::nanoseconds::zero()) {
        return 0.0;
    }
    return std::chrono::duration<double>(cpu).count() / std::chrono::duration<double>(wall).count();
}

void FpsOverlay::frameStarted(Clock::time_point now) {
    if (windowStart_ == Clock::time_point{}) {
        windowStart_ = now;
        reportStart_ = now;
        windowCpuStart_ = cpuTime_();
        reportCpuStart_ = windowCpuStart_;
    }
    // Reported as a frame starts: the frames since the last report, from
    // start to start, so a steady 50 frames a second reads 50.0.
    if (now - reportStart_ >= kReportWindow && framesInReport_ > 0) {
        const std::chrono::nanoseconds cpu = cpuTime_();
        if (report_ != nullptr) {
            const double seconds = std::chrono::duration<double>(now - reportStart_).count();
            std::fprintf(report_, "pelmora: %s%s%.1f fps, load %.1f%%\n", source_.c_str(), source_.empty() ? "" : ": ",
                         framesInReport_ / seconds, 100.0 * loadOver(cpu - reportCpuStart_, now - reportStart_));
            std::fflush(report_);
        }
        reportStart_ = now;
        reportCpuStart_ = cpu;
        framesInReport_ = 0;
    }
}

void FpsOverlay::frameFinished(Clock::time_point now) {
    ++framesInWindow_;
    ++framesInReport_;

    const auto elapsed = now - windowStart_;
    if (elapsed < kAveragingWindow) {
        return;
    }
    const double seconds = std::chrono::duration<double>(elapsed).count();
    const std::chrono::nanoseconds cpu = cpuTime_();
    fps_ = framesInWindow_ / seconds;
    load_ = loadOver(cpu - windowCpuStart_, elapsed);
    windowStart_ = now;
    windowCpuStart_ = cpu;
    framesInWindow_ = 0;
}

double FpsOverlay::framesPerSecond() const { return fps_; }

double FpsOverlay::load() const { return load_; }

void FpsOverlay::draw(cairo_t* cr, double width, double height) const {
    (void)width;
    char fpsLine[64];
    char loadLine[64];
    std::snprintf(fpsLine, sizeof fpsLine, "FPS:  %.1f", fps_);
    std::snprintf(loadLine, sizeof loadLine, "Load: %.1f%%", load_ * 100.0);

    cairo_save(cr);
    cairo_select_font_face(cr, "monospace", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_BOLD);
    cairo_set_font_size(cr, kFontSize);
    cairo_font_extents_t font;
    cairo_font_extents(cr, &font);
    cairo_text_extents_t fpsExtents;
    cairo_text_extents_t loadExtents;
    cairo_text_extents(cr, fpsLine, &fpsExtents);
    cairo_text_extents(cr, loadLine, &loadExtents);

    const double textWidth = fpsExtents.x_advance > loadExtents.x_advance ? fpsExtents.x_advance : loadExtents.x_advance;
    const double boxWidth = textWidth + 2 * kPadding;
    const double boxHeight = 2 * font.height + 2 * kPadding;
    const double boxTop = height - kMargin - boxHeight;

    // A dark box keeps the read-out legible on every background the view paints.
    cairo_set_source_rgba(cr, 0.0, 0.0, 0.0, 0.6);
    cairo_rectangle(cr, kMargin, boxTop, boxWidth, boxHeight);
    cairo_fill(cr);

    cairo_set_source_rgb(cr, 1.0, 1.0, 1.0);
    cairo_move_to(cr, kMargin + kPadding, boxTop + kPadding + font.ascent);
    cairo_show_text(cr, fpsLine);
    cairo_move_to(cr, kMargin + kPadding, boxTop + kPadding + font.height + font.ascent);
    cairo_show_text(cr, loadLine);
    cairo_restore(cr);
}

}  // namespace pelmora
