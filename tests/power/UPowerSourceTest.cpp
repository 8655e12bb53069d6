// UPowerSource against python3-dbusmock's UPower on a private bus standing
// in for the system bus.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "MissingServer.h"
#include "PrivateBus.h"
#include "UPowerMock.h"
#include "UPowerSource.h"

namespace pelmora::testing {
namespace {

using namespace std::chrono_literals;

class UPowerSourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (bus_.address().empty()) {
            return missingServer("dbus-daemon (for a private system bus)");
        }
        // Each test runs in a process of its own, so GIO's one system bus
        // connection is made with this address.
        setenv("DBUS_SYSTEM_BUS_ADDRESS", bus_.address().c_str(), 1);
    }

    std::unique_ptr<UPowerSource> open() {
        std::string why;
        auto source = UPowerSource::open(why);
        EXPECT_NE(source, nullptr) << why;
        if (source) {
            source->setChangedHandler([this](bool onBattery) { told_.push_back(onBattery); });
        }
        return source;
    }

    // Runs the main loop until the source has told `count` changes in all
    // (as the program's main loop would run), or gives up after a while.
    bool toldUntil(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (told_.size() < count && std::chrono::steady_clock::now() < deadline) {
            g_main_context_iteration(nullptr, FALSE);
            g_usleep(10000);
        }
        return told_.size() >= count;
    }

    PrivateBus bus_;
    UPowerMock upower_{bus_.address()};
    std::vector<bool> told_;
};

TEST_F(UPowerSourceTest, FollowsOnBatteryBothWays) {
    if (!upower_.start(true)) {
        return missingServer(upower_.error());
    }
    auto source = open();
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(source->running());
    EXPECT_TRUE(source->onBattery());
    ASSERT_TRUE(upower_.setOnBattery(false)) << upower_.error();
    ASSERT_TRUE(toldUntil(1));
    EXPECT_FALSE(source->onBattery());
    ASSERT_TRUE(upower_.setOnBattery(true)) << upower_.error();
    ASSERT_TRUE(toldUntil(2));
    EXPECT_EQ(told_, (std::vector<bool>{false, true}));
}

// A UPower that leaves takes the battery with it: mains until it is back,
// and the one that comes back is heard without starting anew.
TEST_F(UPowerSourceTest, NoUPowerMeansMainsAndALaterOneIsHeard) {
    auto source = open();
    ASSERT_NE(source, nullptr);
    EXPECT_FALSE(source->running());
    EXPECT_FALSE(source->onBattery());
    if (!upower_.start(true)) {
        return missingServer(upower_.error());
    }
    ASSERT_TRUE(toldUntil(1));
    EXPECT_TRUE(source->onBattery());
    upower_.stop();
    ASSERT_TRUE(toldUntil(2));
    EXPECT_FALSE(source->onBattery());
    EXPECT_EQ(told_, (std::vector<bool>{true, false}));
}

TEST(UPowerSourceWithoutBus, NoSystemBusIsSaidInOneLine) {
    setenv("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/pelmora-test-bus", 1);
    std::string why;
    EXPECT_EQ(UPowerSource::open(why), nullptr);
    EXPECT_EQ(why.rfind("no system bus (", 0), 0U) << why;
    EXPECT_EQ(why.find('\n'), std::string::npos) << why;
}

}  // namespace
}  // namespace pelmora::testing
