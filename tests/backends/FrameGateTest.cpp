#include <gtest/gtest.h>

#include "FrameGate.h"

namespace pelmora {
namespace {

TEST(FrameGate, UnseenClosesAndBatteryFollowsThePolicy) {
    FrameGate slow(BatteryPolicy::Slow);
    EXPECT_TRUE(slow.open());
    EXPECT_EQ(slow.intervalMultiple(), 1);
    slow.setOnBattery(true);
    EXPECT_TRUE(slow.open());
    EXPECT_EQ(slow.intervalMultiple(), 2);
    slow.setSeen(false);
    EXPECT_FALSE(slow.open());

    FrameGate pause(BatteryPolicy::Pause);
    pause.setOnBattery(true);
    EXPECT_FALSE(pause.open());
    EXPECT_EQ(pause.intervalMultiple(), 1);
    pause.setOnBattery(false);
    EXPECT_TRUE(pause.open());

    FrameGate run(BatteryPolicy::Run);
    run.setOnBattery(true);
    EXPECT_TRUE(run.open());
    EXPECT_EQ(run.intervalMultiple(), 1);
}

TEST(FrameGate, OnlyTheOptionsThreeWordsAreAPolicy) {
    BatteryPolicy policy = BatteryPolicy::Run;
    EXPECT_TRUE(FrameGate::parsePolicy("pause", policy));
    EXPECT_EQ(policy, BatteryPolicy::Pause);
    for (const char* word : {"", "Slow", "slow ", "halt"}) {
        EXPECT_FALSE(FrameGate::parsePolicy(word, policy)) << word;
    }
    EXPECT_EQ(policy, BatteryPolicy::Pause);
}

}  // namespace
}  // namespace pelmora
