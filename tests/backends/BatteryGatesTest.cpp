#include <gtest/gtest.h>
#include <stdio.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

#include "BatteryGates.h"
#include "FakePowerSource.h"
#include "FramePacer.h"

namespace pelmora {
namespace {

using namespace std::chrono_literals;

// A view's frames on a 100 Hz frame clock with a fake time: each tick gives
// the pacer the gate's multiple and draws when the gate is open and a frame
// is due, as the hosts do.
class TickedView {
public:
    TickedView(BatteryGates& gates, BatteryPolicy policy) : gates_(gates), gate_(policy) { gates_.attach(gate_); }
    ~TickedView() { gates_.detach(gate_); }

    // Frames drawn over `seconds` of ticks.
    int framesOver(int seconds) {
        int frames = 0;
        for (int tick = 0; tick < seconds * kTicksPerSecond; ++tick) {
            now_ += kTick;
            pacer_.setIntervalMultiple(gate_.intervalMultiple());
            if (gate_.open() && pacer_.takeFrameIfDue(now_)) {
                ++frames;
            }
        }
        return frames;
    }
    const FrameGate& gate() const { return gate_; }

private:
    static constexpr int kTicksPerSecond = 100;
    static constexpr FramePacer::Clock::duration kTick = 10ms;

    BatteryGates& gates_;
    FrameGate gate_;
    FramePacer::Clock::time_point now_{};
    // 50 frames a second from the first tick on: every second tick.
    FramePacer pacer_{1.0 / 50.0, now_ + kTick};
};

// What the gates write to their report stream.
class Report {
public:
    Report() : stream_(open_memstream(&text_, &size_)) {}
    ~Report() {
        std::fclose(stream_);
        std::free(text_);
    }
    std::FILE* stream() const { return stream_; }
    std::string text() const {
        std::fflush(stream_);
        return std::string(text_, size_);
    }

private:
    char* text_ = nullptr;
    std::size_t size_ = 0;
    std::FILE* stream_;
};

TEST(BatteryGates, OnBatteryHalfTheFramesOrNoneAndBackToAllOnMains) {
    testing::FakePowerSource power;
    Report report;
    BatteryGates gates(power, BatteryPolicy::Slow, report.stream());
    TickedView slow(gates, BatteryPolicy::Slow);
    TickedView paused(gates, BatteryPolicy::Pause);
    TickedView running(gates, BatteryPolicy::Run);
    EXPECT_EQ(slow.framesOver(2), 100);
    EXPECT_EQ(paused.framesOver(2), 100);

    power.set(true);
    EXPECT_EQ(slow.framesOver(2), 50);
    EXPECT_EQ(paused.framesOver(2), 0);
    EXPECT_EQ(running.framesOver(2), 100);

    // Back on mains: the full rate at once, without the frames the pause missed.
    power.set(false);
    EXPECT_EQ(slow.framesOver(2), 100);
    EXPECT_EQ(paused.framesOver(2), 100);
    EXPECT_EQ(report.text(),
              "pelmora: on mains power\n"
              "pelmora: on battery: half the frame rate\n"
              "pelmora: on mains power\n");
}

// Views come and go (monitors, idle periods) while the power source stays.
TEST(BatteryGates, AViewMadeOnBatteryStartsSlowAndAGoneViewIsNoLongerTold) {
    testing::FakePowerSource power;
    power.set(true);
    std::optional<BatteryGates> gates(std::in_place, power, BatteryPolicy::Pause, nullptr);
    {
        TickedView early(gates.value(), BatteryPolicy::Pause);
        EXPECT_EQ(early.framesOver(1), 0);
    }
    // The view that went is not written to: a sanitizer build would catch it.
    power.set(false);
    {
        TickedView late(gates.value(), BatteryPolicy::Pause);
        EXPECT_TRUE(late.gate().open());
        power.set(true);
        EXPECT_FALSE(late.gate().open());
    }
    gates.reset();
    EXPECT_FALSE(power.hasHandler()) << "the source would call gates that are gone";
}

TEST(BatteryGates, TheReportSaysWhatThePolicyDoesOnBattery) {
    EXPECT_STREQ(BatteryGates::describe(BatteryPolicy::Slow, true), "on battery: half the frame rate");
    EXPECT_STREQ(BatteryGates::describe(BatteryPolicy::Pause, true), "on battery: frames paused");
    EXPECT_STREQ(BatteryGates::describe(BatteryPolicy::Run, true), "on battery: frames as usual");
    EXPECT_STREQ(BatteryGates::describe(BatteryPolicy::Pause, false), "on mains power");
}

}  // namespace
}  // namespace pelmora
