#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>

#include "FpsOverlay.h"

namespace pelmora {
namespace {

using namespace std::chrono_literals;
using Clock = FpsOverlay::Clock;

// Feeds `frames` frames of `work` each, one every `period`, from `start`.
Clock::time_point feed(FpsOverlay& overlay, Clock::time_point start, int frames, Clock::duration period,
                       Clock::duration work) {
    Clock::time_point now = start;
    for (int i = 0; i < frames; ++i) {
        overlay.frameStarted(now);
        overlay.frameFinished(now + work);
        now += period;
    }
    return now;
}

TEST(FpsOverlayTest, ReportsRateAndTheShareOfEachIntervalSpentWorking) {
    FpsOverlay overlay(0.02);
    EXPECT_EQ(overlay.framesPerSecond(), 0.0);
    // 50 frames per second, 5 ms of work in each 20 ms interval.
    feed(overlay, Clock::time_point{} + 1s, 52, 20ms, 5ms);
    EXPECT_NEAR(overlay.framesPerSecond(), 50.0, 1.0);
    EXPECT_NEAR(overlay.load(), 0.25, 0.01);
}

TEST(FpsOverlayTest, OverrunningFramesShowALoadAboveOne) {
    FpsOverlay overlay(0.01);
    feed(overlay, Clock::time_point{} + 1s, 40, 30ms, 30ms);
    EXPECT_NEAR(overlay.framesPerSecond(), 33.3, 1.0);
    EXPECT_NEAR(overlay.load(), 3.0, 0.05);
}

TEST(FpsOverlayTest, AUselessIntervalGivesAFiniteLoad) {
    for (double interval : {0.0, -1.0}) {
        FpsOverlay overlay(interval);
        feed(overlay, Clock::time_point{} + 1s, 70, 16ms, 1ms);
        EXPECT_TRUE(std::isfinite(overlay.load())) << interval;
    }
}

std::string readAll(std::FILE* file) {
    std::rewind(file);
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, file) != nullptr) {
        text += buffer;
    }
    return text;
}

TEST(FpsOverlayTest, WritesTheRateAndLoadEveryFiveSecondsWhenAsked) {
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    FpsOverlay overlay(0.02);
    overlay.reportTo(log);
    // 250 frames at 50 frames per second: the 5 s are not over before the next starts.
    const Clock::time_point now = feed(overlay, Clock::time_point{} + 1s, 250, 20ms, 5ms);
    EXPECT_EQ(readAll(log), "");
    // The next frame starts the line; then 5 s at 25 frames per second, each
    // overrunning its interval, and the frame after them the next line.
    feed(overlay, now, 1, 40ms, 30ms);
    EXPECT_EQ(readAll(log), "pelmora: 50.0 fps, load 25.0%\n");
    std::fseek(log, 0, SEEK_END);
    feed(overlay, now + 40ms, 125, 40ms, 30ms);
    EXPECT_EQ(readAll(log), "pelmora: 50.0 fps, load 25.0%\npelmora: 25.0 fps, load 150.0%\n");
    std::fclose(log);
}

TEST(FpsOverlayTest, NamesTheMonitorItReportsFor) {
    std::FILE* log = std::tmpfile();
    ASSERT_NE(log, nullptr);
    FpsOverlay overlay(0.02);
    overlay.reportTo(log, "DUMMY1 at 1280,0");
    feed(overlay, Clock::time_point{} + 1s, 251, 20ms, 5ms);
    EXPECT_EQ(readAll(log), "pelmora: DUMMY1 at 1280,0: 50.0 fps, load 25.0%\n");
    std::fclose(log);
}

TEST(FpsOverlayTest, WritesNothingUnlessAsked) {
    FpsOverlay overlay(0.02);
    overlay.reportTo(nullptr);
    feed(overlay, Clock::time_point{} + 1s, 600, 20ms, 5ms);  // 12 s, and no stream to write to
    EXPECT_GT(overlay.framesPerSecond(), 0.0);
}

TEST(FpsOverlayTest, DrawsTheReadOutInTheLowerLeftCorner) {
    FpsOverlay overlay(1.0 / 60.0);
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
