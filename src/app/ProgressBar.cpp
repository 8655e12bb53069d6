#include "ProgressBar.h"

#include <string>

#include "Truncation.h"

namespace pelmora {

namespace {
constexpr int kBarWidth = 30;
}

ProgressBar::ProgressBar(std::FILE* out, int total, bool enabled, Clock::time_point start)
    : out_(out), total_(total), enabled_(enabled && total > 0), start_(start), lastDrawn_(start) {}

std::string ProgressBar::line(int done, int total, double elapsed) {
    const double share = total > 0 ? static_cast<double>(done) / total : 1.0;
    const int filled = truncateToInt32(share * kBarWidth);
    const double rate = elapsed > 0.0 ? done / elapsed : 0.0;
    const int left = rate > 0.0 ? truncateToInt32((total - done) / rate + 0.5) : 0;
    char text[160];
    std::snprintf(text, sizeof text, "[%s%s] %d/%d frames  %.1f fps  %d:%02d left",
                  std::string(static_cast<std::size_t>(filled), '#').c_str(),
                  std::string(static_cast<std::size_t>(kBarWidth - filled), '-').c_str(), done, total, rate,
                  left / 60, left % 60);
    return text;
}

void ProgressBar::update(int done, Clock::time_point now) {
    if (!enabled_ || (drawn_ && done < total_ && now - lastDrawn_ < std::chrono::milliseconds(100))) {
        return;
    }
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    std::fprintf(out_, "\r%s", line(done, total_, elapsed).c_str());
    std::fflush(out_);
    lastDrawn_ = now;
    drawn_ = true;
}

void ProgressBar::finish() {
    if (enabled_ && drawn_) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
}

}  // namespace pelmora
