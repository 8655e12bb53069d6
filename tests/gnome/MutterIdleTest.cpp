// The resident saver on GNOME: a real headless Mutter's idle monitor starts
// it, input injected through Mutter's remote desktop interface ends it, and
// what holds it off (an application's inhibitor, the lock screen) comes from
// mock GNOME services on Mutter's bus, since a whole GNOME session does not
// run headless.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "HackProcess.h"
#include "MissingServer.h"
#include "MutterServer.h"
#include "XvfbServer.h"

namespace pelmora::testing {
namespace {

using namespace std::chrono_literals;

// Generous: a loaded CI machine runs several compositors at once.
constexpr auto kPatience = 30000ms;
constexpr unsigned kKeyA = 30;  // evdev's KEY_A
// The first monitor's view; the second's comes with it.
constexpr const char* kView = "pelmora: a 1280x800 view on ";
constexpr const char* kSecondView = "pelmora: a 800x600 view on ";
constexpr const char* kClosed = "pelmora: the saver's 2 windows closed\n";
constexpr const char* kSession = "org.gnome.SessionManager";
constexpr const char* kScreenSaver = "org.gnome.ScreenSaver";

// The view's background: red 0.03 and green 0.05 fixed, blue pulsing from 0 to 0.5.
bool isBackground(Screenshot::Pixel p) { return p.r >= 5 && p.r <= 10 && p.g >= 10 && p.g <= 15 && p.b <= 132; }
// The discs: charges give greens, yellows and oranges, never blue.
bool isSphere(Screenshot::Pixel p) { return std::max(p.r, p.g) >= 150 && p.b <= 100; }

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t found = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) {
        ++found;
    }
    return found;
}

// Whether `pelmora` has said `line` `times` times within the patience.
bool saysSoOften(HackProcess& pelmora, const std::string& line, std::size_t times) {
    const auto end = std::chrono::steady_clock::now() + kPatience;
    while (std::chrono::steady_clock::now() < end && pelmora.running()) {
        if (count(pelmora.standardError(), line) >= times) {
            return true;
        }
        std::this_thread::sleep_for(100ms);
    }
    return count(pelmora.standardError(), line) >= times;
}

class MutterIdleTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!mutter.error().empty()) {
            return missingServer(mutter.error());
        }
    }

    std::unique_ptr<HackProcess> startSaver() const {
        return std::make_unique<HackProcess>(PELMORA_PROGRAM, std::vector<std::string>{"--idle", "2", "--verbose"},
                                             mutter.clientEnvironment());
    }

    void endsWithStatusZero(HackProcess& pelmora) const {
        kill(pelmora.pid(), SIGTERM);
        EXPECT_EQ(pelmora.waitForExit(kPatience), 0) << pelmora.standardError();
    }

    MutterServer mutter;
};

TEST_F(MutterIdleTest, IdlenessShowsAWindowOnEachMonitorInputThroughMutterEndsThemAndTheyShowAgain) {
    auto pelmora = startSaver();
    ASSERT_TRUE(saysSoOften(*pelmora, kView, 1)) << pelmora->standardError();
    ASSERT_TRUE(saysSoOften(*pelmora, kSecondView, 1)) << pelmora->standardError();
    // What Mutter shows: the saver over each whole monitor, spheres on it.
    for (const int monitor : {0, 1}) {
        const auto shot = mutter.screenshot(monitor);
        if (!shot) {
            return missingServer("a screen cast of mutter's monitor (pipewire, gst-launch-1.0)");
        }
        EXPECT_GT(shot->share(0, 0, shot->width, shot->height, isBackground), 0.9) << "monitor " << monitor;
        EXPECT_GT(shot->share(0, 0, shot->width, shot->height, isSphere), 0.005) << "monitor " << monitor;
    }
    ASSERT_TRUE(mutter.movePointer(12, 7));
    EXPECT_TRUE(saysSoOften(*pelmora, kClosed, 1)) << pelmora->standardError();
    for (const int monitor : {0, 1}) {
        const auto shot = mutter.screenshot(monitor);
        ASSERT_TRUE(shot.has_value());
        EXPECT_LT(shot->share(0, 0, shot->width, shot->height, isBackground), 0.01) << "monitor " << monitor;
    }
    // The watcher waits again: the next idle period shows a new view, a key ends it.
    ASSERT_TRUE(saysSoOften(*pelmora, kView, 2)) << pelmora->standardError();
    ASSERT_TRUE(mutter.pressKey(kKeyA));
    EXPECT_TRUE(saysSoOften(*pelmora, kClosed, 2)) << pelmora->standardError();
    endsWithStatusZero(*pelmora);
    EXPECT_NE(pelmora->standardError().find("pelmora: idle source: GNOME's idle monitor "
                                            "(org.gnome.Mutter.IdleMonitor), after 2 s; views: full-screen windows\n"),
              std::string::npos)
        << pelmora->standardError();
}

// An inhibitor (a video player's, say) keeps the saver off however long the
// user is idle; once it goes, the still idle user gets the saver.
TEST_F(MutterIdleTest, AnApplicationsInhibitorHoldsTheSaverOffUntilItGoes) {
    if (!mutter.mockService(GNOME_SESSION_TEMPLATE, kSession)) {
        return missingServer("python3-dbusmock's GNOME session manager");
    }
    ASSERT_TRUE(mutter.call(kSession, "/org/gnome/SessionManager", kSession, "Inhibit",
                            g_variant_new("(susu)", "video-player", 0U, "playing", 8U)));
    auto pelmora = startSaver();
    ASSERT_TRUE(saysSoOften(*pelmora, "pelmora: idle, but an application inhibits idleness: no saver\n", 1))
        << pelmora->standardError();
    EXPECT_EQ(count(pelmora->standardError(), kView), 0U) << pelmora->standardError();
    ASSERT_TRUE(mutter.call(kSession, "/org/gnome/SessionManager", kSession, "Uninhibit", g_variant_new("(u)", 1U)));
    EXPECT_TRUE(saysSoOften(*pelmora, kView, 1)) << pelmora->standardError();
    endsWithStatusZero(*pelmora);
}

// While GNOME's lock screen is up the saver stays off; when it goes, a user
// still idle gets the saver.
TEST_F(MutterIdleTest, TheLockScreenHoldsTheSaverOffAndALockAfterItShowsTakesItDown) {
    if (!mutter.mockService("gnome_screensaver", kScreenSaver)) {
        return missingServer("python3-dbusmock's GNOME screen saver");
    }
    ASSERT_TRUE(mutter.call(kScreenSaver, "/org/gnome/ScreenSaver", kScreenSaver, "SetActive",
                            g_variant_new("(b)", TRUE)));
    auto pelmora = startSaver();
    ASSERT_TRUE(saysSoOften(*pelmora, "pelmora: idle, but the lock screen is up: no saver\n", 1))
        << pelmora->standardError();
    EXPECT_EQ(count(pelmora->standardError(), kView), 0U) << pelmora->standardError();
    ASSERT_TRUE(mutter.call(kScreenSaver, "/org/gnome/ScreenSaver", kScreenSaver, "SetActive",
                            g_variant_new("(b)", FALSE)));
    ASSERT_TRUE(saysSoOften(*pelmora, kView, 1)) << pelmora->standardError();
    // The screen locked over the saver: the lock screen is what shows.
    ASSERT_TRUE(mutter.call(kScreenSaver, "/org/gnome/ScreenSaver", kScreenSaver, "SetActive",
                            g_variant_new("(b)", TRUE)));
    EXPECT_TRUE(saysSoOften(*pelmora, kClosed, 1)) << pelmora->standardError();
    endsWithStatusZero(*pelmora);
}

// logind's word that the session is locked (which lockers of every desktop
// give) holds the saver off too. The saver runs outside any session, as a
// user service does, and finds the user's session as logind's "auto" one.
TEST_F(MutterIdleTest, ASessionLogindCallsLockedHoldsTheSaverOff) {
    constexpr const char* kLogin = "org.freedesktop.login1";
    constexpr const char* kMock = "org.freedesktop.DBus.Mock";
    if (!mutter.mockService("logind", kLogin, true)) {
        return missingServer("python3-dbusmock's logind");
    }
    GVariant* added = mutter.ask(kLogin, "/org/freedesktop/login1", kMock, "AddSession",
                                 g_variant_new("(ssusb)", "c1", "seat0", 0U, "root", TRUE));
    ASSERT_NE(added, nullptr);
    const gchar* found = nullptr;
    g_variant_get(added, "(&s)", &found);
    const std::string session = found;
    g_variant_unref(added);
    GVariantBuilder properties;
    g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&properties, "{sv}", "Id", g_variant_new_string("c1"));
    ASSERT_TRUE(mutter.call(kLogin, "/org/freedesktop/login1", kMock, "AddObject",
                            g_variant_new("(ssa{sv}a(ssss))", "/org/freedesktop/login1/session/auto",
                                          "org.freedesktop.login1.Session", &properties, nullptr)));
    ASSERT_TRUE(mutter.call(kLogin, session.c_str(), "org.freedesktop.login1.Session", "SetLockedHint",
                            g_variant_new("(b)", TRUE)));
    auto pelmora = startSaver();
    ASSERT_TRUE(saysSoOften(*pelmora, "pelmora: idle, but the session is locked: no saver\n", 1))
        << pelmora->standardError();
    EXPECT_EQ(count(pelmora->standardError(), kView), 0U) << pelmora->standardError();
    ASSERT_TRUE(mutter.call(kLogin, session.c_str(), "org.freedesktop.login1.Session", "SetLockedHint",
                            g_variant_new("(b)", FALSE)));
    EXPECT_TRUE(saysSoOften(*pelmora, kView, 1)) << pelmora->standardError();
    endsWithStatusZero(*pelmora);
}

// GNOME on X11: Mutter's idle monitor is the source there too, the saver a
// full-screen window that a pointer move ends; and where XScreenSaver's
// daemon runs, the daemon keeps the screen, on GNOME as anywhere.
TEST(MutterX11IdleTest, OnX11TheIdleMonitorStartsTheSaverUnlessXScreenSaversDaemonRuns) {
    XvfbServer x(640, 480);
    if (x.display().empty()) {
        return missingServer(x.error());
    }
    MutterServer mutter(x.display());
    if (!mutter.error().empty()) {
        return missingServer(mutter.error());
    }
    {
        HackProcess pelmora(PELMORA_PROGRAM, {"--idle", "2", "--verbose"}, mutter.clientEnvironment());
        ASSERT_TRUE(saysSoOften(pelmora, "pelmora: a 640x480 view on ", 1)) << pelmora.standardError();
        HackProcess xdotool("/usr/bin/xdotool", {"mousemove", "300", "200"}, {{"DISPLAY", x.display()}});
        ASSERT_EQ(xdotool.waitForExit(kPatience), 0) << xdotool.standardError();
        EXPECT_TRUE(saysSoOften(pelmora, "pelmora: the saver's 1 window closed\n", 1)) << pelmora.standardError();
        kill(pelmora.pid(), SIGTERM);
        EXPECT_EQ(pelmora.waitForExit(kPatience), 0) << pelmora.standardError();
        EXPECT_NE(pelmora.standardError().find("pelmora: idle source: GNOME's idle monitor "
                                               "(org.gnome.Mutter.IdleMonitor), after 2 s; views: full-screen "
                                               "windows\n"),
                  std::string::npos)
            << pelmora.standardError();
    }
    char pattern[] = "/tmp/pelmora-gnome-xscreensaver-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string home = pattern;
    chmod(home.c_str(), 0777);
    std::vector<std::string> daemon{"-i", "HOME=" + home, "DISPLAY=" + x.display(), "PATH=/usr/bin:/bin",
                                    "xscreensaver", "--no-splash"};
    if (geteuid() == 0) {
        daemon.insert(daemon.begin(), {"--reuid=nobody", "--regid=nogroup", "--clear-groups", "env"});
    }
    HackProcess xscreensaver(geteuid() == 0 ? "/usr/bin/setpriv" : "/usr/bin/env", daemon, {});
    const auto answers = [&] {
        HackProcess version("/usr/bin/xscreensaver-command", {"-version"}, {{"DISPLAY", x.display()}});
        return version.waitForExit(kPatience) == 0;
    };
    bool up = false;
    for (int attempt = 0; attempt < 100 && !up && xscreensaver.running(); ++attempt) {
        up = answers();
        std::this_thread::sleep_for(100ms);
    }
    if (!up) {
        std::filesystem::remove_all(home);
        return missingServer("xscreensaver: " + xscreensaver.standardError());
    }
    HackProcess refused(PELMORA_PROGRAM, {"--idle"}, mutter.clientEnvironment());
    EXPECT_EQ(refused.waitForExit(kPatience), 2) << refused.standardError();
    EXPECT_NE(refused.standardError().find("pelmora: XScreenSaver's daemon already runs screen savers"),
              std::string::npos)
        << refused.standardError();
    std::filesystem::remove_all(home);
}

}  // namespace
}  // namespace pelmora::testing
