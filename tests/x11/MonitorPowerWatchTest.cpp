// The monitor's power as the hack follows it, with a fake in place of the
// server's DPMS (Xvfb has none).
#include <gtest/gtest.h>

#include <chrono>

#include "DisplayPower.h"
#include "FrameGate.h"
#include "MonitorPowerWatch.h"
#include "Sight.h"

namespace pelmora {
namespace {

using namespace std::chrono_literals;
using Clock = MonitorPowerWatch::Clock;

class FakeDisplayPower : public DisplayPower {
public:
    bool monitorOn() override {
        ++looks;
        return on;
    }
    bool on = true;
    int looks = 0;
};

class MonitorPowerWatchTest : public ::testing::Test {
protected:
    const Clock::time_point start = Clock::time_point{} + 100s;
    FakeDisplayPower power;
    FrameGate gate;
    Sight sight{gate};
    MonitorPowerWatch watch{power, sight, start};
};

TEST_F(MonitorPowerWatchTest, AMonitorPoweredOffStopsTheFramesUntilItIsOnAgain) {
    watch.poll(start, 0);
    EXPECT_EQ(power.looks, 1);
    EXPECT_TRUE(gate.open());

    power.on = false;
    watch.poll(start + 1s, 60);
    EXPECT_TRUE(gate.open()) << "looked again before two seconds had passed";
    watch.poll(start + 2s, 120);
    EXPECT_FALSE(gate.open());
    EXPECT_EQ(power.looks, 2);

    // While off, twice a second at most.
    watch.poll(start + 2s + 400ms, 120);
    EXPECT_EQ(power.looks, 2);
    EXPECT_EQ(watch.nextLook(), start + 2s + 500ms);
    power.on = true;
    watch.poll(start + 2s + 500ms, 120);
    EXPECT_TRUE(gate.open());
    EXPECT_EQ(watch.nextLook(), start + 4s + 500ms);
}

TEST_F(MonitorPowerWatchTest, AfterAStallItLooksOnceNotOncePerMissedPeriod) {
    watch.poll(start + 60s, 0);
    watch.poll(start + 61s, 0);
    EXPECT_EQ(power.looks, 1);
    EXPECT_EQ(watch.nextLook(), start + 62s);
}

TEST_F(MonitorPowerWatchTest, TheMonitorOnDoesNotUncoverACoveredWindow) {
    sight.set(Sight::Cause::Covered, true, 5);
    watch.poll(start, 5);
    EXPECT_FALSE(gate.open());
}

}  // namespace
}  // namespace pelmora
