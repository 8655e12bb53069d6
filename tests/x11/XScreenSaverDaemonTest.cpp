// The hack as Debian's XScreenSaver 6 runs it: listed in the programs: of a
// user's ~/.xscreensaver, started by the daemon on activation, drawing into
// the daemon's window, on one screen and on each of two monitors.
// XScreenSaver refuses to run as root, so a root test runs it as the user
// nobody.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "DummyXorgServer.h"
#include "MissingServer.h"
#include "HackProcess.h"
#include "ScreenShots.h"
#include "TestWindow.h"
#include "XvfbServer.h"

namespace pelmora::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;

// True when a user who is neither the owner nor in the group can run `path`:
// nobody has to reach the program in the build folder.
bool othersCanRun(const fs::path& path) {
    for (fs::path part = path; !part.empty() && part != part.parent_path(); part = part.parent_path()) {
        struct stat status {};
        if (stat(part.c_str(), &status) != 0 || (status.st_mode & S_IXOTH) == 0) {
            return false;
        }
    }
    return true;
}

class XScreenSaverDaemonTest : public ::testing::Test {
protected:
    // The display the daemon runs on; empty (with the reason in `why`) when
    // its server did not start.
    virtual std::string display(std::string& why) {
        why = single_.error();
        return single_.display();
    }

    void SetUp() override {
        if (access("/usr/bin/xscreensaver", X_OK) != 0 || access("/usr/bin/xscreensaver-command", X_OK) != 0) {
            return missingServer("xscreensaver: it is not installed (scripts/deps.sh test installs it)");
        }
        std::string why;
        display_ = display(why);
        if (display_.empty()) {
            return missingServer(why);
        }
        char pattern[] = "/tmp/pelmora-xscreensaver-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        home_ = pattern;
        // As root the daemon runs as nobody, who may not reach a build folder
        // under root's home: it then runs a copy from its own.
        program_ = PELMORA_PROGRAM;
        if (geteuid() == 0 && !othersCanRun(program_)) {
            program_ = home_ / "pelmora";
            fs::copy_file(PELMORA_PROGRAM, program_);
        }
        writeSettings();
        if (geteuid() == 0) {
            ASSERT_EQ(chown(home_.c_str(), kNobody, kNobody), 0);
            ASSERT_EQ(chown((home_ / ".xscreensaver").c_str(), kNobody, kNobody), 0);
        }
    }

    void TearDown() override {
        if (!home_.empty()) {
            fs::remove_all(home_);
        }
    }

    void writeSettings() const {
        std::ofstream settings(home_ / ".xscreensaver");
        settings << "mode: one\n"
                    "selected: 0\n"
                    "lock: False\n"
                    "fade: False\n"
                    "unfade: False\n"
                    "splash: False\n"
                    "dpmsEnabled: False\n"
                    "timeout: 1:00:00\n"
                    "programs: \"Pelmora\" "
                 << program_.string() << " --root \\n\n";
    }

    // `command` run as the unprivileged user with nothing of the test's
    // environment but the display and the home folder.
    std::unique_ptr<HackProcess> runAsUser(const std::vector<std::string>& command) const {
        std::vector<std::string> arguments{"-i", "HOME=" + home_.string(), "DISPLAY=" + display_,
                                           "PATH=/usr/bin:/bin"};
        arguments.insert(arguments.end(), command.begin(), command.end());
        if (geteuid() != 0) {
            return std::make_unique<HackProcess>("/usr/bin/env", arguments, std::map<std::string, std::string>{});
        }
        arguments.insert(arguments.begin(), {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "env"});
        return std::make_unique<HackProcess>("/usr/bin/setpriv", arguments, std::map<std::string, std::string>{});
    }

    // Asks the daemon to blank until it answers; false when it never does.
    bool activate() const {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (std::chrono::steady_clock::now() < deadline) {
            auto command = runAsUser({"xscreensaver-command", "-activate"});
            if (command->waitForExit(10s) == 0) {
                return true;
            }
            std::this_thread::sleep_for(200ms);
        }
        return false;
    }

    // Whether the picture shows the view on most of the rectangle.
    static bool showsTheView(const Picture& screen, int x, int y, int width, int height) {
        const PixelCensus census = screen.census(x, y, width, height);
        return census.background > census.total / 2 && census.sphere > 200;
    }

    XvfbServer single_{640, 480};
    std::string display_;
    fs::path home_;
    fs::path program_;
};

TEST_F(XScreenSaverDaemonTest, TheDaemonRunsTheHackFromItsProgramsListAndTheScreenShowsIt) {
    TestWindow reader(display_, 0, 0, 1, 1);
    ASSERT_TRUE(reader.ok());
    auto daemon = runAsUser({"xscreensaver", "-no-splash"});
    if (!activate()) {
        return missingServer("the xscreensaver daemon: it did not answer xscreensaver-command: " + daemon->standardError());
    }
    bool shown = false;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!shown && std::chrono::steady_clock::now() < deadline) {
        const Picture screen = reader.screen();
        shown = showsTheView(screen, 0, 0, screen.width(), screen.height());
        std::this_thread::sleep_for(100ms);
    }
    EXPECT_TRUE(shown) << daemon->standardError();
    runAsUser({"xscreensaver-command", "-exit"})->waitForExit(10s);
    EXPECT_TRUE(daemon->waitForExit(10s).has_value());
}

TEST_F(XScreenSaverDaemonTest, TheResidentSaverLeavesTheScreenToARunningDaemonAndSaysHowToJoinIt) {
    auto daemon = runAsUser({"xscreensaver", "-no-splash"});
    // The daemon answers once it has announced itself on the root window.
    bool answered = false;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!answered && std::chrono::steady_clock::now() < deadline) {
        answered = runAsUser({"xscreensaver-command", "-time"})->waitForExit(10s) == 0;
        std::this_thread::sleep_for(200ms);
    }
    ASSERT_TRUE(answered) << "the xscreensaver daemon did not answer: " << daemon->standardError();
    HackProcess idle(PELMORA_PROGRAM, {"--idle", "1"},
                     {{"DISPLAY", display_}, {"HOME", home_.string()}, {"WAYLAND_DISPLAY", ""}});
    EXPECT_EQ(idle.waitForExit(20s), 2);
    const std::string message = idle.standardError();
    EXPECT_NE(message.find("XScreenSaver's daemon already runs screen savers"), std::string::npos) << message;
    EXPECT_NE(message.find("~/.xscreensaver"), std::string::npos) << message;
    runAsUser({"xscreensaver-command", "-exit"})->waitForExit(10s);
    EXPECT_TRUE(daemon->waitForExit(10s).has_value());
}

// Two monitors of different sizes, side by side, as RandR outputs.
class XScreenSaverTwoMonitorTest : public XScreenSaverDaemonTest {
protected:
    std::string display(std::string& why) override {
        why = pair_.error() + "\n" + pair_.log();
        return pair_.display();
    }

    DummyXorgServer pair_{{{1280, 1024}, {1024, 768}}};
};

TEST_F(XScreenSaverTwoMonitorTest, TheDaemonRunsTheHackOnEachMonitor) {
    TestWindow reader(display_, 0, 0, 1, 1);
    ASSERT_TRUE(reader.ok());
    auto daemon = runAsUser({"xscreensaver", "-no-splash"});
    ASSERT_TRUE(activate()) << "the xscreensaver daemon did not answer: " << daemon->standardError();
    bool shown = false;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!shown && std::chrono::steady_clock::now() < deadline) {
        const Picture screen = reader.screen();
        shown = showsTheView(screen, 0, 0, 1280, 1024) && showsTheView(screen, 1280, 0, 1024, 768);
        std::this_thread::sleep_for(100ms);
    }
    saveScreenShot(display_, "xscreensaver-two-monitors");
    EXPECT_TRUE(shown) << daemon->standardError();
    runAsUser({"xscreensaver-command", "-exit"})->waitForExit(10s);
    EXPECT_TRUE(daemon->waitForExit(10s).has_value());
}

}  // namespace
}  // namespace pelmora::testing
