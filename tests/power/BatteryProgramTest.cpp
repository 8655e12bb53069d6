// The real program under Xvfb while python3-dbusmock's UPower, on a private
// bus standing in for the system bus, switches between mains and battery:
// frames at half the rate or none on battery, and all of them again on mains.
// The frames are counted from --fps's lines, each over 5 seconds of frames.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "HackProcess.h"
#include "MissingServer.h"
#include "PrivateBus.h"
#include "UPowerMock.h"
#include "XvfbServer.h"

namespace pelmora::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// 20 frames a second: a rate any machine keeps, so that half of it shows.
constexpr const char* kDelay = "50000";
constexpr double kFullRate = 20.0;

// The frame rates of the --fps lines after the `nth` line that says `marker`, in order.
std::vector<double> ratesAfter(const std::string& text, const std::string& marker, int nth = 1) {
    std::vector<double> rates;
    std::size_t at = 0;
    for (int seen = 0; seen < nth; ++seen) {
        at = text.find("pelmora: " + marker + "\n", seen == 0 ? 0 : at + 1);
        if (at == std::string::npos) {
            return rates;
        }
    }
    static const std::regex line(R"(pelmora: ([0-9.]+) fps, load)");
    const std::string after = text.substr(at);
    for (auto match = std::sregex_iterator(after.begin(), after.end(), line); match != std::sregex_iterator();
         ++match) {
        rates.push_back(std::stod((*match)[1].str()));
    }
    return rates;
}

class BatteryProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (bus_.address().empty()) {
            return missingServer("dbus-daemon (for a private system bus)");
        }
        if (!upower_.start(false)) {
            return missingServer(upower_.error());
        }
        ASSERT_FALSE(slowScreen_.display().empty()) << slowScreen_.error();
        ASSERT_FALSE(pauseScreen_.display().empty()) << pauseScreen_.error();
        char pattern[] = "/tmp/pelmora-battery-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        config_ = pattern;
    }

    void TearDown() override {
        if (!config_.empty()) {
            fs::remove_all(config_);
        }
    }

    std::unique_ptr<HackProcess> startPelmora(const XvfbServer& screen, const char* policy) const {
        return std::make_unique<HackProcess>(
            PELMORA_PROGRAM,
            std::vector<std::string>{"--on-battery", policy, "--fps", "--verbose", "--delay", kDelay, "--threads", "1"},
            std::map<std::string, std::string>{{"DISPLAY", screen.display()},
                                               {"WAYLAND_DISPLAY", ""},
                                               {"XDG_CONFIG_HOME", config_.string()},
                                               {"DBUS_SYSTEM_BUS_ADDRESS", bus_.address()}});
    }

    // Waits until `process` has written `count` --fps lines after the `nth` `marker`;
    // the rates, or fewer when it did not come to that.
    static std::vector<double> waitForRates(HackProcess& process, const std::string& marker, std::size_t count,
                                            int nth = 1) {
        const auto deadline = std::chrono::steady_clock::now() + 40s;
        std::vector<double> rates;
        while ((rates = ratesAfter(process.standardError(), marker, nth)).size() < count &&
               std::chrono::steady_clock::now() < deadline && process.running()) {
            std::this_thread::sleep_for(100ms);
        }
        return rates;
    }

    PrivateBus bus_;
    UPowerMock upower_{bus_.address()};
    XvfbServer slowScreen_{640, 480};
    XvfbServer pauseScreen_{640, 480};
    fs::path config_;
};

TEST_F(BatteryProgramTest, OnBatteryHalfTheFramesOrNoneAndAllAgainOnMains) {
    auto slow = startPelmora(slowScreen_, "slow");
    auto paused = startPelmora(pauseScreen_, "pause");

    // The first line covers the start; the second is frames alone.
    const auto mains = waitForRates(*slow, "on mains power", 2);
    ASSERT_EQ(mains.size(), 2U) << slow->standardError();
    EXPECT_GE(mains[1], kFullRate * 0.75) << slow->standardError();
    ASSERT_FALSE(waitForRates(*paused, "on mains power", 1).empty()) << paused->standardError();

    ASSERT_TRUE(upower_.setOnBattery(true)) << upower_.error();
    const auto battery = waitForRates(*slow, "on battery: half the frame rate", 2);
    ASSERT_EQ(battery.size(), 2U) << slow->standardError();
    EXPECT_LE(battery[1], kFullRate * 0.55) << slow->standardError();
    EXPECT_GE(battery[1], kFullRate * 0.35) << slow->standardError();
    // Over the ten seconds and more the slow one took, a paused view that
    // drew at all would have said so at least once.
    EXPECT_NE(paused->standardError().find("pelmora: on battery: frames paused\n"), std::string::npos)
        << paused->standardError();
    EXPECT_TRUE(ratesAfter(paused->standardError(), "on battery: frames paused").empty()) << paused->standardError();

    ASSERT_TRUE(upower_.setOnBattery(false)) << upower_.error();
    const auto back = waitForRates(*slow, "on mains power", 2, 2);
    ASSERT_EQ(back.size(), 2U) << slow->standardError();
    EXPECT_GE(back[1], kFullRate * 0.75) << slow->standardError();
    EXPECT_FALSE(waitForRates(*paused, "on mains power", 1, 2).empty()) << paused->standardError();

    for (auto* process : {slow.get(), paused.get()}) {
        ASSERT_EQ(kill(process->pid(), SIGTERM), 0);
        EXPECT_EQ(process->waitForExit(10s), 0) << process->standardError();
    }
}

}  // namespace
}  // namespace pelmora::testing
