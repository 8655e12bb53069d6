// The resident saver on an X server with no saver daemon: the server's idle
// time shows the views, a mouse move made with xdotool ends them, and the
// next idle period shows them again.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "HackProcess.h"
#include "TestWindow.h"
#include "XvfbServer.h"

namespace pelmora::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class IdleModeTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(server_.display().empty()) << server_.error();
        char pattern[] = "/tmp/pelmora-idle-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        config_ = pattern;
    }

    void TearDown() override {
        if (!config_.empty()) {
            fs::remove_all(config_);
        }
    }

    // Moves the pointer to (x, y), which is input to the server.
    void movePointer(int x, int y) const {
        HackProcess xdotool("/usr/bin/xdotool", {"mousemove", std::to_string(x), std::to_string(y)},
                            {{"DISPLAY", server_.display()}});
        ASSERT_EQ(xdotool.waitForExit(10s), 0) << xdotool.standardError();
    }

    // Waits up to `timeout` for the screen to show the view (or, with
    // `shown` false, for it to show no view); whether it came to that.
    static bool screenComesTo(TestWindow& reader, bool shown, std::chrono::seconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            const PixelCensus census = reader.screen().census();
            const bool view = census.background > census.total / 2 && census.sphere > 200;
            if (view == shown) {
                return true;
            }
            std::this_thread::sleep_for(100ms);
        }
        return false;
    }

    XvfbServer server_{640, 480};
    fs::path config_;
};

TEST_F(IdleModeTest, IdlenessShowsTheSaverInputEndsItAndTheNextIdlePeriodShowsItAgain) {
    TestWindow reader(server_.display(), 0, 0, 1, 1);
    ASSERT_TRUE(reader.ok());
    movePointer(20, 20);
    HackProcess saver(PELMORA_PROGRAM, {"--idle", "3", "--verbose", "--threads", "1"},
                      {{"DISPLAY", server_.display()}, {"XDG_CONFIG_HOME", config_.string()}, {"WAYLAND_DISPLAY", ""}});
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(screenComesTo(reader, true, 1s)) << "shown before the user was idle 3 s";
    ASSERT_TRUE(screenComesTo(reader, true, 20s)) << saver.standardError();

    // The first move the view sees is where the pointer rests; the next ones
    // are far enough from it to be meant. Apart in time, so that GTK does not
    // merge them into one.
    for (const int x : {300, 100, 500}) {
        movePointer(x, x / 2 + 100);
        std::this_thread::sleep_for(300ms);
    }
    ASSERT_TRUE(screenComesTo(reader, false, 10s)) << saver.standardError();
    EXPECT_TRUE(saver.running());
    EXPECT_TRUE(screenComesTo(reader, true, 20s)) << saver.standardError();

    ASSERT_EQ(kill(saver.pid(), SIGTERM), 0);
    EXPECT_EQ(saver.waitForExit(10s), 0) << saver.standardError();
    EXPECT_NE(saver.standardError().find("pelmora: idle source: the X server's idle time (MIT-SCREEN-SAVER), after 3 s; views: full-screen windows\n"),
              std::string::npos)
        << saver.standardError();
}

TEST_F(IdleModeTest, EachSignalEndsTheWaitWithStatusZero) {
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        HackProcess saver(PELMORA_PROGRAM, {"--idle", "--verbose"},
                          {{"DISPLAY", server_.display()}, {"XDG_CONFIG_HOME", config_.string()}, {"WAYLAND_DISPLAY", ""}});
        // Signalled once it waits, which its --verbose line tells.
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (saver.standardError().find("idle source") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(50ms);
        }
        ASSERT_EQ(kill(saver.pid(), signal), 0);
        EXPECT_EQ(saver.waitForExit(10s), 0) << "signal " << signal << ": " << saver.standardError();
    }
}

}  // namespace
}  // namespace pelmora::testing
