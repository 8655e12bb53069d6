#include <gtest/gtest.h>

#include "FramePacer.h"

namespace pelmora {
namespace {

using namespace std::chrono_literals;
using Clock = FramePacer::Clock;

const Clock::time_point kStart{};

TEST(FramePacer, FramesFollowAnAbsoluteScheduleDespiteLateWakeUps) {
    FramePacer pacer(0.010, kStart);
    EXPECT_TRUE(pacer.takeFrameIfDue(kStart));
    EXPECT_FALSE(pacer.takeFrameIfDue(kStart + 9ms));
    // Waking 3 ms late does not push the frames after it back.
    EXPECT_TRUE(pacer.takeFrameIfDue(kStart + 13ms));
    EXPECT_EQ(pacer.nextDeadline(), kStart + 20ms);
    int frames = 2;
    for (auto now = kStart + 14ms; now < kStart + 1000ms; now += 1ms) {
        frames += pacer.takeFrameIfDue(now) ? 1 : 0;
    }
    EXPECT_EQ(frames, 100);  // no drift over a second
}

TEST(FramePacer, AStallGivesOneFrameAndNoCatchUpBurst) {
    FramePacer pacer(1.0 / 60.0, kStart);
    EXPECT_TRUE(pacer.takeFrameIfDue(kStart));
    const auto resumed = kStart + 5s;  // SIGSTOP, then SIGCONT five seconds later
    EXPECT_TRUE(pacer.takeFrameIfDue(resumed));
    EXPECT_FALSE(pacer.takeFrameIfDue(resumed + 1ms));
    EXPECT_EQ(pacer.nextDeadline(), resumed + pacer.interval());
}

TEST(FramePacer, ANonsenseIntervalFallsBackToSixtyAFrameSecond) {
    for (double interval : {0.0, -1.0, 1e9}) {
        FramePacer pacer(interval, kStart);
        EXPECT_EQ(pacer.interval(), std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / 60.0)));
    }
}

TEST(FramePacer, AMultipleOfTheIntervalHalvesTheRateAndOneRestoresIt) {
    FramePacer pacer(0.010, kStart);
    auto countFrames = [&pacer](Clock::time_point from, Clock::time_point to) {
        int frames = 0;
        for (auto now = from; now < to; now += 1ms) {
            frames += pacer.takeFrameIfDue(now) ? 1 : 0;
        }
        return frames;
    };
    EXPECT_EQ(countFrames(kStart, kStart + 1s), 100);
    pacer.setIntervalMultiple(2);
    EXPECT_EQ(countFrames(kStart + 1s, kStart + 2s), 50);
    pacer.setIntervalMultiple(1);
    EXPECT_EQ(countFrames(kStart + 2s, kStart + 3s), 100);
}

}  // namespace
}  // namespace pelmora
