#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "FpsOverlay.h"
#include "StreamText.h"

namespace pelmora {
namespace {

using namespace std::chrono_literals;
using Clock = FpsOverlay::Clock;

// The process's CPU time as a test sets it.
struct FakeCpu {
    std::chrono::nanoseconds used{};
    FpsOverlay::CpuClock clock() {
        return [this] { return used; };
    }
};

// Feeds `frames` frames, one every `period`, from `start`; each costs the
// process `cpu` of CPU time, wherever it is spent.
Clock::time_point feed(FpsOverlay& overlay, FakeCpu& cpu, Clock::time_point start, int frames,
                       Clock::duration period, std::chrono::nanoseconds cost) {
    Clock::time_point now = start;
    for (int i = 0; i < frames; ++i) {
        overlay.frameStarted(now);
        cpu.used += cost;
        overlay.frameFinished(now + 1ms);
        now += period;
    }
    return now;
}

TEST(FpsOverlayTest, ReportsRateAndTheProcessesCpuTimeOverWallTime) {
    FakeCpu cpu;
    FpsOverlay overlay(cpu.clock());
    EXPECT_EQ(overlay.framesPerSecond(), 0.0);
    // 50 frames per second, 5 ms of CPU time each: a quarter of a core.
    feed(overlay, cpu, Clock::time_point{} + 1s, 52, 20ms, 5ms);
    EXPECT_NEAR(overlay.framesPerSecond(), 50.0, 1.0);
    EXPECT_NEAR(overlay.load(), 0.25, 0.01);
}

// Time the frames leave out counts too: whatever the host does between
// them uses the same process's CPU time.
TEST(FpsOverlayTest, CountsWorkOutsideTheFramesAndOnSeveralCores) {
    FakeCpu cpu;
    FpsOverlay overlay(cpu.clock());
    Clock::time_point now = Clock::time_point{} + 1s;
    for (int i = 0; i < 60; ++i) {
        overlay.frameStarted(now);
        cpu.used += 2ms;
        overlay.frameFinished(now + 2ms);
        cpu.used += 8ms;  // the host's copy of the frame, after it
        now += 20ms;
    }
    EXPECT_NEAR(overlay.load(), 0.5, 0.02);
    // Two cores busy all the time.
    feed(overlay, cpu, now, 150, 20ms, 40ms);
    EXPECT_NEAR(overlay.load(), 2.0, 0.05);
}

TEST(FpsOverlayTest, AClockThatDoesNotMoveGivesAFiniteLoad) {
    FakeCpu cpu;
    FpsOverlay overlay(cpu.clock());
    feed(overlay, cpu, Clock::time_point{} + 1s, 70, 16ms, 1ms);
    cpu.used = 0ns;  // a CPU clock that went back
    feed(overlay, cpu, Clock::time_point{} + 3s, 70, 16ms, 0ms);
    EXPECT_TRUE(std::isfinite(overlay.load()));
    EXPECT_GE(overlay.load(), 0.0);
}

TEST(FpsOverlayTest, TheProcessCpuClockMovesWithWork) {
    const std::chrono::nanoseconds before = FpsOverlay::processCpuTime();
    volatile double sum = 0.0;
    for (int i = 0; i < 5'000'000; ++i) {
        sum = sum + std::sqrt(static_cast<double>(i));
    }
    EXPECT_GT(FpsOverlay::processCpuTime(), before);
}

using testing::readAll;

TEST(FpsOverlayTest, WritesTheRateAndLoadEveryFiveSecondsWhenAsked) {
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    FakeCpu cpu;
    FpsOverlay overlay(cpu.clock());
    overlay.reportTo(log);
    // 250 frames at 50 frames per second: the 5 s are not over before the next starts.
    const Clock::time_point now = feed(overlay, cpu, Clock::time_point{} + 1s, 250, 20ms, 5ms);
    EXPECT_EQ(readAll(log), "");
    // The next frame starts the line; then 5 s at 25 frames per second,
    // 30 ms of CPU time in each 40 ms, and the frame after them the next line.
    feed(overlay, cpu, now, 1, 40ms, 30ms);
    EXPECT_EQ(readAll(log), "pelmora: 50.0 fps, load 25.0%\n");
    std::fseek(log, 0, SEEK_END);
    feed(overlay, cpu, now + 40ms, 125, 40ms, 30ms);
    EXPECT_EQ(readAll(log), "pelmora: 50.0 fps, load 25.0%\npelmora: 25.0 fps, load 75.0%\n");
    std::fclose(log);
}

TEST(FpsOverlayTest, NamesTheMonitorItReportsFor) {
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    FakeCpu cpu;
    FpsOverlay overlay(cpu.clock());
    overlay.reportTo(log, "DUMMY1 at 1280,0");
    feed(overlay, cpu, Clock::time_point{} + 1s, 251, 20ms, 5ms);
    EXPECT_EQ(readAll(log), "pelmora: DUMMY1 at 1280,0: 50.0 fps, load 25.0%\n");
    std::fclose(log);
}

TEST(FpsOverlayTest, WritesNothingUnlessAsked) {
    FakeCpu cpu;
    FpsOverlay overlay(cpu.clock());
    overlay.reportTo(nullptr);
    feed(overlay, cpu, Clock::time_point{} + 1s, 600, 20ms, 5ms);  // 12 s, and no stream to write to
    EXPECT_GT(overlay.framesPerSecond(), 0.0);
}

TEST(FpsOverlayTest, DrawsTheReadOutInTheLowerLeftCorner) {
    FpsOverlay overlay;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 300, 200);
    cairo_t* cr = cairo_create(surface);
    overlay.draw(cr, 300, 200);
    cairo_surface_flush(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    auto whiteIn = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y) {
            for (int x = x0; x < x1; ++x) {
                n += data[y * stride + 4 * x + 1] > 200 ? 1 : 0;
            }
        }
        return n;
    };
    EXPECT_GT(whiteIn(0, 140, 150, 200), 20);
    EXPECT_EQ(whiteIn(0, 0, 300, 100), 0);
    EXPECT_EQ(whiteIn(160, 0, 300, 200), 0);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

}  // namespace
}  // namespace pelmora
