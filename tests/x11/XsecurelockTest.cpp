// The hack as Debian 12's xsecurelock runs it: XSECURELOCK_SAVER names the
// program, which xsecurelock starts on every screen as `pelmora -root`. It
// has no settings page, so the settings file the window saves must apply.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "MissingServer.h"
#include "HackProcess.h"
#include "TestWindow.h"
#include "XvfbServer.h"

namespace pelmora::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class XsecurelockTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (access("/usr/bin/xsecurelock", X_OK) != 0) {
            return missingServer("xsecurelock: it is not installed (scripts/deps.sh test installs it)");
        }
        if (server_.display().empty()) {
            return missingServer(server_.error());
        }
        char pattern[] = "/tmp/pelmora-xsecurelock-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        configHome_ = pattern;
        fs::create_directories(configHome_ / "pelmora");
    }

    void TearDown() override {
        if (!configHome_.empty()) {
            fs::remove_all(configHome_);
        }
    }

    XvfbServer server_{320, 240};
    fs::path configHome_;
};

TEST_F(XsecurelockTest, TheLockersHackTakesTheSettingsFileTheWindowSaved) {
    // No spheres in the file; the defaults would show forty.
    std::ofstream(configHome_ / "pelmora" / "pelmora.conf") << "[Settings]\nnumberOfThings=0\n";
    TestWindow reader(server_.display(), 0, 0, 1, 1);
    ASSERT_TRUE(reader.ok());
    HackProcess locker("/usr/bin/xsecurelock", {},
                       {{"DISPLAY", server_.display()},
                        {"XDG_CONFIG_HOME", configHome_.string()},
                        {"XSECURELOCK_SAVER", PELMORA_PROGRAM},
                        {"XSCREENSAVER_WINDOW", ""}});
    bool onlyBackground = false;
    int spheresSeen = 0;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!onlyBackground && std::chrono::steady_clock::now() < deadline) {
        const PixelCensus census = reader.screen().census();
        onlyBackground = census.total > 0 && census.background == census.total;
        spheresSeen = std::max(spheresSeen, census.sphere);
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_TRUE(onlyBackground) << locker.standardError();
    EXPECT_EQ(spheresSeen, 0);
    kill(locker.pid(), SIGTERM);
    EXPECT_TRUE(locker.waitForExit(10s).has_value());
}

}  // namespace
}  // namespace pelmora::testing
