// How the hack and the window mode end when they are stopped early or a frame
// fails, each on a private X server.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "HackProcess.h"
#include "TestWindow.h"
#include "XvfbServer.h"

namespace pelmora::testing {
namespace {

using namespace std::chrono_literals;

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 10s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(5ms);
    }
    return condition();
}

// Whether the process has SIGTERM blocked or caught: its signal set-up, the
// first thing each mode does, is in place.
bool watchesSigterm(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    const unsigned long long bit = 1ULL << (SIGTERM - 1);
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("SigBlk:", 0) == 0 || line.rfind("SigCgt:", 0) == 0) {
            if ((std::stoull(line.substr(7), nullptr, 16) & bit) != 0) {
                return true;
            }
        }
    }
    return false;
}

class ModeEndingTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (server_.display().empty()) {
            GTEST_SKIP() << server_.error();
        }
        char pattern[] = "/tmp/pelmora-ending-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        configHome_ = pattern;
    }

    void TearDown() override {
        if (!configHome_.empty()) {
            std::filesystem::remove_all(configHome_);
        }
    }

    std::unique_ptr<HackProcess> start(const std::vector<std::string>& arguments,
                                       const std::map<std::string, std::string>& more = {}) {
        std::map<std::string, std::string> environment{{"DISPLAY", server_.display()},
                                                       {"XDG_CONFIG_HOME", configHome_},
                                                       {"XSCREENSAVER_WINDOW", ""},
                                                       {"WAYLAND_DISPLAY", ""},
                                                       {"NO_AT_BRIDGE", "1"}};
        for (const auto& [name, value] : more) {
            environment[name] = value;
        }
        return std::make_unique<HackProcess>(PELMORA_PROGRAM, arguments, environment);
    }

    XvfbServer server_{640, 480};
    std::string configHome_;
};

std::string hexId(Window window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

// A screen locker may stop its saver before it has drawn anything; here the
// X server does not answer yet, so the mode is certain to be starting up.
TEST_F(ModeEndingTest, ASignalDuringStartUpEndsTheHackAndTheWindowWithStatusZero) {
    TestWindow window(server_.display(), 0, 0, 300, 200);
    ASSERT_TRUE(window.ok());
    const std::vector<std::vector<std::string>> modes{{"--window-id", hexId(window.id())}, {}};
    for (const auto& arguments : modes) {
        for (const bool answerAgain : {false, true}) {
            SCOPED_TRACE(arguments.empty() ? "window" : "hack");
            SCOPED_TRACE(answerAgain);
            server_.pause();
            struct Resume {
                XvfbServer& server;
                ~Resume() { server.resume(); }
            } resume{server_};
            auto mode = start(arguments);
            // Its signal set-up is the first thing a mode does; without one
            // the signal is sent a little later all the same.
            eventually([&] { return watchesSigterm(mode->pid()); }, 2s);
            std::this_thread::sleep_for(50ms);
            kill(mode->pid(), SIGTERM);
            if (answerAgain) {
                server_.resume();
            }
            const std::optional<int> status = mode->waitForExit(answerAgain ? 20s : 3s);
            server_.resume();
            const std::optional<int> late = status ? status : mode->waitForExit(20s);
            ASSERT_TRUE(late.has_value()) << "still running: " << mode->standardError();
            EXPECT_EQ(*late, 0) << "-1 means it died by the signal: " << mode->standardError();
        }
    }
}

// An exception out of a frame (a worker's failure passed on, memory running
// out in a crowded frame) is said in one line and ends the mode with status
// 1, instead of std::terminate's abort.
TEST_F(ModeEndingTest, AFrameThatThrowsEndsTheHackAndTheWindowWithOneLine) {
    TestWindow window(server_.display(), 0, 0, 300, 200);
    ASSERT_TRUE(window.ok());
    const std::vector<std::vector<std::string>> modes{{"--window-id", hexId(window.id())}, {}};
    for (const auto& arguments : modes) {
        SCOPED_TRACE(arguments.empty() ? "window" : "hack");
        auto mode = start(arguments, {{"PELMORA_TEST_FAIL_FRAME", "3"}});
        const std::optional<int> status = mode->waitForExit(30s);
        ASSERT_TRUE(status.has_value()) << mode->standardError();
        EXPECT_EQ(*status, 1) << "-1 means it died by a signal: " << mode->standardError();
        EXPECT_EQ(mode->standardError(), "pelmora: the view failed (frame 3 failed as the test asked); stopping\n");
    }
}

}  // namespace
}  // namespace pelmora::testing
