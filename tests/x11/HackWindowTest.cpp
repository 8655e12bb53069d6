// The hack drawing into windows that someone else made, on a private X
// server, read back pixel by pixel.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "MissingServer.h"
#include "HackProcess.h"
#include "ScreenShots.h"
#include "SightLines.h"
#include "TestWindow.h"
#include "XvfbServer.h"

namespace pelmora::testing {
namespace {

using namespace std::chrono_literals;

std::string hexId(Window window) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%lx", window);
    return text;
}

int lineCount(const std::string& text) {
    int lines = 0;
    for (char c : text) {
        lines += c == '\n' ? 1 : 0;
    }
    return lines;
}

// The view at work: mostly the dark-blue background, with sphere colours.
bool showsTheView(const Picture& picture) {
    const PixelCensus census = picture.census();
    return census.total > 0 && census.background > census.total / 2 && census.sphere > 50;
}

class HackWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (server_.display().empty()) {
            return missingServer(server_.error());
        }
        char pattern[] = "/tmp/pelmora-x11-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        configHome_ = pattern;
    }

    void TearDown() override {
        if (!configHome_.empty()) {
            std::filesystem::remove_all(configHome_);
        }
    }

    // The hack with a clean settings folder on the private server;
    // `lockerWindow` becomes $XSCREENSAVER_WINDOW (none when empty).
    std::unique_ptr<HackProcess> startHack(const std::vector<std::string>& arguments,
                                           const std::string& lockerWindow = "") {
        return std::make_unique<HackProcess>(PELMORA_PROGRAM, arguments,
                                             std::map<std::string, std::string>{
                                                 {"DISPLAY", server_.display()},
                                                 {"XDG_CONFIG_HOME", configHome_},
                                                 {"XSCREENSAVER_WINDOW", lockerWindow},
                                             });
    }

    // Looks at the window until `wanted` holds or `timeout` runs out.
    static bool waitForPicture(const TestWindow& window, const std::function<bool(const Picture&)>& wanted,
                               std::chrono::milliseconds timeout = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        do {
            if (wanted(window.picture())) {
                return true;
            }
            std::this_thread::sleep_for(20ms);
        } while (std::chrono::steady_clock::now() < deadline);
        return false;
    }

    XvfbServer server_{640, 480};
    std::string configHome_;
};

TEST_F(HackWindowTest, EachStartShowsANewLayoutAndASeedRepeatsOne) {
    TestWindow window(server_.display(), 0, 0, 400, 300);
    ASSERT_TRUE(window.ok());
    struct Start {
        std::vector<bool> spheres;  // which pixels of the first frame show a sphere
        std::string said;
    };
    const auto start = [&](const std::vector<std::string>& seed) {
        // Ten seconds between frames: the first frame stays to be read.
        std::vector<std::string> arguments{"--window-id", hexId(window.id()), "--delay", "10000000", "--verbose",
                                           "-showLocalFields", "NO"};
        arguments.insert(arguments.end(), seed.begin(), seed.end());
        window.fillWith(0);
        auto hack = startHack(arguments);
        Start result;
        EXPECT_TRUE(waitForPicture(window, showsTheView)) << hack->standardError();
        const Picture picture = window.picture();
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                PixelCensus census;
                census.add(picture.at(x, y));
                result.spheres.push_back(census.sphere == 1);
            }
        }
        result.said = hack->standardError();
        return result;
    };
    const Start first = start({});
    const Start second = start({});
    EXPECT_NE(first.spheres, second.spheres) << "two starts showed the same layout";
    EXPECT_NE(first.said.find("pelmora: seed "), std::string::npos) << first.said;
    EXPECT_NE(first.said, second.said);

    const Start seeded = start({"--seed", "5"});
    const Start again = start({"--seed", "5"});
    EXPECT_EQ(seeded.spheres, again.spheres) << "--seed 5 twice showed two layouts";
    EXPECT_NE(seeded.said.find("pelmora: seed 5\n"), std::string::npos) << seeded.said;
    EXPECT_NE(seeded.said.find("pelmora: a 400x300 view in window " + hexId(window.id()) + " at 0,0\n"),
              std::string::npos)
        << seeded.said;
}

TEST_F(HackWindowTest, RootDrawsIntoTheWindowXScreenSaverNamesInHex) {
    TestWindow window(server_.display(), 0, 0, 400, 300);
    ASSERT_TRUE(window.ok());
    auto hack = startHack({"--root"}, hexId(window.id()));
    EXPECT_TRUE(waitForPicture(window, showsTheView));
    EXPECT_TRUE(hack->running()) << hack->standardError();
}

TEST_F(HackWindowTest, DrawsIntoTheWindowXsecurelockNamesInDecimalWithoutArguments) {
    TestWindow window(server_.display(), 0, 0, 400, 300);
    ASSERT_TRUE(window.ok());
    auto hack = startHack({}, std::to_string(window.id()));
    EXPECT_TRUE(waitForPicture(window, showsTheView));
    EXPECT_TRUE(hack->running()) << hack->standardError();
}

TEST_F(HackWindowTest, WindowIdWinsOverRootAndTheLockersWindowInEitherDashForm) {
    TestWindow chosen(server_.display(), 0, 0, 300, 200);
    TestWindow other(server_.display(), 400, 300, 200, 150);
    ASSERT_TRUE(chosen.ok() && other.ok());
    other.fillWith(WhitePixel(other.display(), DefaultScreen(other.display())));
    for (const std::string& form : {std::string("--window-id"), std::string("-window-id")}) {
        SCOPED_TRACE(form);
        chosen.fillWith(BlackPixel(chosen.display(), DefaultScreen(chosen.display())));
        auto hack = startHack({"-root", form, hexId(chosen.id())}, hexId(other.id()));
        EXPECT_TRUE(waitForPicture(chosen, showsTheView));
        const PixelCensus untouched = other.picture().census();
        EXPECT_EQ(untouched.white, untouched.total);
    }
    auto decimal = startHack({"--window-id", std::to_string(chosen.id())});
    chosen.fillWith(BlackPixel(chosen.display(), DefaultScreen(chosen.display())));
    EXPECT_TRUE(waitForPicture(chosen, showsTheView));
}

TEST_F(HackWindowTest, RunsInAPreviewPaneAndInAWindowTooSmallForASphere) {
    TestWindow preview(server_.display(), 0, 0, 300, 200);
    TestWindow tiny(server_.display(), 400, 300, 15, 15);
    ASSERT_TRUE(preview.ok() && tiny.ok());
    auto previewHack = startHack({"--window-id", hexId(preview.id())});
    auto tinyHack = startHack({"--window-id", hexId(tiny.id())});
    EXPECT_TRUE(waitForPicture(preview, showsTheView));
    // Whether spheres fit is the view's business; the hack must paint every
    // pixel of the black window (background and spheres all have red or green).
    EXPECT_TRUE(waitForPicture(tiny, [](const Picture& picture) {
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < picture.width(); ++x) {
                if (picture.at(x, y).red == 0 && picture.at(x, y).green == 0) {
                    return false;
                }
            }
        }
        return picture.width() > 0;
    }));
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(tinyHack->running()) << tinyHack->standardError();
    EXPECT_TRUE(previewHack->running()) << previewHack->standardError();
}

TEST_F(HackWindowTest, SettingsOnTheCommandLineAndTheFrameRateOverlay) {
    TestWindow window(server_.display(), 0, 0, 320, 240);
    ASSERT_TRUE(window.ok());
    const auto onlyBackground = [](const Picture& picture) {
        const PixelCensus census = picture.census();
        return census.total > 0 && census.background == census.total;
    };
    // No spheres: nothing but the background, and no overlay unless asked for.
    {
        auto hack = startHack({"--window-id", hexId(window.id()), "-numberOfThings", "0"});
        EXPECT_TRUE(waitForPicture(window, onlyBackground));
        std::this_thread::sleep_for(200ms);
        EXPECT_TRUE(onlyBackground(window.picture()));
    }
    auto hack = startHack({"-fps", "--window-id", hexId(window.id()), "-numberOfThings", "0"});
    EXPECT_TRUE(waitForPicture(window, [](const Picture& picture) {
        return picture.census(0, picture.height() - 60, 160, 60).white > 20 &&
               picture.census(0, 0, picture.width(), picture.height() - 80).background ==
                   picture.width() * (picture.height() - 80);
    }));
}

// The CPU time `pid` has used so far, user and system, in clock ticks.
long cpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    // The command name may hold spaces; the fields after it are plain.
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long user = 0;
    long system = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14) {
            user = std::stol(field);
        } else if (index == 15) {
            system = std::stol(field);
            break;
        }
    }
    return user + system;
}

TEST_F(HackWindowTest, DelayPacesTheFrames) {
    // Ten seconds between frames: after the first, the picture holds still,
    // where at the default rate the spheres and the background move on.
    TestWindow window(server_.display(), 0, 0, 320, 240);
    ASSERT_TRUE(window.ok());
    const auto samePicture = [](const Picture& a, const Picture& b) {
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                const Rgb p = a.at(x, y);
                const Rgb q = b.at(x, y);
                if (p.red != q.red || p.green != q.green || p.blue != q.blue) {
                    return false;
                }
            }
        }
        return true;
    };
    for (const bool slow : {true, false}) {
        SCOPED_TRACE(slow);
        window.fillWith(BlackPixel(window.display(), DefaultScreen(window.display())));
        const std::vector<std::string> arguments =
            slow ? std::vector<std::string>{"--window-id", hexId(window.id()), "--delay", "10000000"}
                 : std::vector<std::string>{"--window-id", hexId(window.id())};
        auto hack = startHack(arguments);
        ASSERT_TRUE(waitForPicture(window, showsTheView)) << hack->standardError();
        const Picture first = window.picture();
        const long cpuBefore = cpuTicks(hack->pid());
        std::this_thread::sleep_for(1s);
        EXPECT_EQ(samePicture(first, window.picture()), slow);
        EXPECT_TRUE(hack->running()) << hack->standardError();
        if (slow) {
            // Between frames it sleeps: a loop that kept looking would burn
            // most of that second, even on a loaded machine.
            EXPECT_LT(cpuTicks(hack->pid()) - cpuBefore, sysconf(_SC_CLK_TCK) / 4);
        }
    }
}

// Hundreds of spheres are drawn in the hack's memory and handed over through
// shared memory; the window shows the view as before, and --fps writes the
// rate and load to standard error every 5 seconds.
TEST_F(HackWindowTest, ManySpheresAndTheFrameRateOnStandardError) {
    TestWindow window(server_.display(), 0, 0, 400, 300);
    ASSERT_TRUE(window.ok());
    auto hack = startHack({"-fps", "--window-id", hexId(window.id()), "-numberOfThings", "300", "-sphereRadii", "3"});
    EXPECT_TRUE(waitForPicture(window, showsTheView, 10s));
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    std::string errors;
    while (std::chrono::steady_clock::now() < deadline && errors.find("%\n") == std::string::npos) {
        std::this_thread::sleep_for(100ms);
        errors = hack->standardError();
    }
    EXPECT_NE(errors.find("pelmora: "), std::string::npos) << errors;
    EXPECT_NE(errors.find(" fps, load "), std::string::npos) << errors;
    EXPECT_TRUE(hack->running());
}

TEST_F(HackWindowTest, AResizeMovesTheWalls) {
    // At speed 0 the spheres only move when a wall pushes them, so after a
    // spell at 120x90 they all sit in that corner of the window grown back.
    constexpr int kWidth = 480;
    constexpr int kHeight = 360;
    TestWindow window(server_.display(), 0, 0, kWidth, kHeight);
    ASSERT_TRUE(window.ok());
    auto hack = startHack({"--window-id", hexId(window.id()), "-speedDivisor", "0.0", "-showLocalFields", "NO"});
    const auto spheresOutsideCorner = [](const Picture& picture) {
        return picture.census(130, 0, kWidth - 130, kHeight).sphere +
               picture.census(0, 0, 130, kHeight - 100).sphere;
    };
    ASSERT_TRUE(waitForPicture(window, showsTheView));
    EXPECT_GT(spheresOutsideCorner(window.picture()), 0);

    window.resize(120, 90);
    std::this_thread::sleep_for(300ms);
    window.resize(kWidth, kHeight);
    EXPECT_TRUE(waitForPicture(window, [&](const Picture& picture) {
        const PixelCensus corner = picture.census(0, kHeight - 100, 130, 100);
        return picture.census().background > kWidth * kHeight / 2 && spheresOutsideCorner(picture) == 0 &&
               corner.sphere > 0;
    })) << hack->standardError();
}

TEST_F(HackWindowTest, EndsWithinAFrameOrTwoOnTermIntAndHup) {
    TestWindow window(server_.display(), 0, 0, 300, 200);
    ASSERT_TRUE(window.ok());
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(signal);
        auto hack = startHack({"--window-id", hexId(window.id())});
        window.fillWith(BlackPixel(window.display(), DefaultScreen(window.display())));
        ASSERT_TRUE(waitForPicture(window, showsTheView));
        const auto sent = std::chrono::steady_clock::now();
        kill(hack->pid(), signal);
        const std::optional<int> status = hack->waitForExit(5s);
        const auto took = std::chrono::steady_clock::now() - sent;
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(*status, 0) << hack->standardError();
        // It takes milliseconds; the bound is loose enough for a loaded
        // machine and still tells an answer to the signal from none.
        EXPECT_LT(took, 1500ms);
        EXPECT_EQ(hack->standardError(), "");
    }
}

// Its own loop ends the hack, within the stop deadline's grace, and says so
// when verbose; the deadline's ending would say nothing.
TEST_F(HackWindowTest, ASignalEndsTheHackThroughItsLoopWhichSaysSoWhenVerbose) {
    TestWindow window(server_.display(), 0, 0, 300, 200);
    ASSERT_TRUE(window.ok());
    auto hack = startHack({"--window-id", hexId(window.id()), "--verbose"});
    ASSERT_TRUE(waitForPicture(window, showsTheView));
    kill(hack->pid(), SIGTERM);
    const std::optional<int> status = hack->waitForExit(5s);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 0);
    const std::string said = hack->standardError();
    EXPECT_TRUE(said.ends_with("\npelmora: stopping on Terminated\n")) << said;
}

// Screen lockers may send a second signal right after the first; one that
// comes while the hack tears down must not end it by the signal instead.
TEST_F(HackWindowTest, TwoSignalsInQuickSuccessionEndTheHackWithStatusZero) {
    TestWindow window(server_.display(), 0, 0, 300, 200);
    ASSERT_TRUE(window.ok());
    constexpr int kRuns = 20;
    for (const auto gap : {0us, 500us, 2000us, 5000us}) {
        int failures = 0;
        std::string seen;
        for (int run = 0; run < kRuns; ++run) {
            const int second = run % 2 == 0 ? SIGTERM : SIGINT;
            window.fillWith(BlackPixel(window.display(), DefaultScreen(window.display())));
            auto hack = startHack({"--window-id", hexId(window.id())});
            ASSERT_TRUE(waitForPicture(window, showsTheView)) << hack->standardError();
            kill(hack->pid(), SIGTERM);
            if (gap.count() > 0) {
                std::this_thread::sleep_for(gap);
            }
            kill(hack->pid(), second);
            const std::optional<int> status = hack->waitForExit(5s);
            if (!status || *status != 0) {
                ++failures;
                seen += " " + (status ? std::to_string(*status) : std::string("(running)"));
            }
        }
        EXPECT_EQ(failures, 0) << "signals " << gap.count() << " us apart; statuses:" << seen;
    }
}

TEST_F(HackWindowTest, ADestroyedWindowEndsTheHackQuietlyWithStatusZeroAndOneLineWhenVerbose) {
    for (const bool verbose : {false, true}) {
        SCOPED_TRACE(verbose);
        TestWindow window(server_.display(), 0, 0, 300, 200);
        ASSERT_TRUE(window.ok());
        const std::vector<std::string> arguments =
            verbose ? std::vector<std::string>{"--root", "--verbose"} : std::vector<std::string>{"--root"};
        auto hack = startHack(arguments, hexId(window.id()));
        ASSERT_TRUE(waitForPicture(window, showsTheView));
        window.destroy();
        const std::optional<int> status = hack->waitForExit(5s);
        ASSERT_TRUE(status.has_value());
        EXPECT_EQ(*status, 0);
        const std::string message = hack->standardError();
        // Verbose, the seed and the view's size come first, and a mapped
        // window is unmapped on its way: out of sight before it is gone.
        EXPECT_EQ(lineCount(message), verbose ? 4 : 0) << message;
        EXPECT_EQ(message.find("not seen, frames stop") != std::string::npos, verbose) << message;
        EXPECT_EQ(message.find("destroyed") != std::string::npos, verbose) << message;
    }
}

TEST_F(HackWindowTest, ASignalEndsTheHackInTheMiddleOfAFrameThatDoesNotEnd) {
    // A frame on a huge window keeps the hack inside Xlib for seconds; a
    // stopped server keeps it there for good, which makes the case certain.
    TestWindow window(server_.display(), 0, 0, 300, 200);
    ASSERT_TRUE(window.ok());
    auto hack = startHack({"--window-id", hexId(window.id())});
    window.fillWith(BlackPixel(window.display(), DefaultScreen(window.display())));
    ASSERT_TRUE(waitForPicture(window, showsTheView));
    server_.pause();
    struct Resume {
        XvfbServer& server;
        ~Resume() { server.resume(); }
    } resume{server_};
    // Frames are due every 17 ms: by now one waits for the server.
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(hack->running()) << hack->standardError();
    kill(hack->pid(), SIGTERM);
    // The hack ends within 100 ms; the bound only tells ending from hanging.
    const std::optional<int> status = hack->waitForExit(3s);
    ASSERT_TRUE(status.has_value()) << "the hack did not end while its frame waited for the server";
    EXPECT_EQ(*status, 0);
    EXPECT_EQ(hack->standardError(), "");
}

TEST_F(HackWindowTest, AFifoInPlaceOfTheSettingsFileNeitherHangsTheHackNorKeepsItFromStopping) {
    std::filesystem::create_directories(configHome_ + "/pelmora");
    ASSERT_EQ(mkfifo((configHome_ + "/pelmora/pelmora.conf").c_str(), 0600), 0);
    TestWindow window(server_.display(), 0, 0, 300, 200);
    ASSERT_TRUE(window.ok());
    // Started bare, as a locker starts it, the hack reads the settings file.
    auto hack = startHack({}, hexId(window.id()));
    window.fillWith(BlackPixel(window.display(), DefaultScreen(window.display())));
    EXPECT_TRUE(waitForPicture(window, showsTheView)) << hack->standardError();
    kill(hack->pid(), SIGTERM);
    const std::optional<int> status = hack->waitForExit(5s);
    ASSERT_TRUE(status.has_value()) << "SIGTERM did not end the hack";
    EXPECT_EQ(*status, 0);
    EXPECT_NE(hack->standardError().find("Not a regular file"), std::string::npos) << hack->standardError();
}

TEST_F(HackWindowTest, TheStandardHackOptionsAreTakenAndDisplayNamesTheServer) {
    TestWindow window(server_.display(), 0, 0, 300, 200);
    ASSERT_TRUE(window.ok());
    auto hack = std::make_unique<HackProcess>(
        PELMORA_PROGRAM,
        std::vector<std::string>{"-root", "-window", "-install", "-mono", "-visual", "default", "-display",
                                 server_.display(), "--delay", "5000"},
        std::map<std::string, std::string>{
            {"DISPLAY", ":59999"}, {"XDG_CONFIG_HOME", configHome_}, {"XSCREENSAVER_WINDOW", hexId(window.id())}});
    EXPECT_TRUE(waitForPicture(window, showsTheView)) << hack->standardError();
    EXPECT_TRUE(hack->running()) << hack->standardError();
}

TEST_F(HackWindowTest, ALostDisplayEndsTheHackWithOneLineInsteadOfXlibsDump) {
    // On the root window, which no client can destroy first; the test keeps
    // no connection of its own that the server's end would cut.
    auto hack = startHack({"--root"});
    std::this_thread::sleep_for(500ms);
    ASSERT_TRUE(hack->running()) << hack->standardError();
    server_.stop();
    const std::optional<int> status = hack->waitForExit(5s);
    ASSERT_TRUE(status.has_value());
    EXPECT_EQ(*status, 1);
    const std::string message = hack->standardError();
    EXPECT_EQ(lineCount(message), 1) << message;
    EXPECT_NE(message.find("lost the connection"), std::string::npos) << message;
}

TEST_F(HackWindowTest, AWindowThatDoesNotExistOrAnUnreadableIdIsAOneLineError) {
    Window gone = None;
    {
        TestWindow window(server_.display(), 0, 0, 50, 50);
        ASSERT_TRUE(window.ok());
        gone = window.id();
        window.destroy();
    }
    struct Case {
        std::vector<std::string> arguments;
        std::string lockerWindow;
    };
    const std::vector<Case> cases{
        {{"--window-id", hexId(gone)}, ""},
        {{"--root"}, std::to_string(gone)},
        {{"--root"}, "0x12zz"},
        {{"--root"}, "-5"},
    };
    for (const Case& bad : cases) {
        SCOPED_TRACE(bad.lockerWindow);
        auto hack = startHack(bad.arguments, bad.lockerWindow);
        const std::optional<int> status = hack->waitForExit(5s);
        ASSERT_TRUE(status.has_value());
        EXPECT_NE(*status, 0);
        const std::string message = hack->standardError();
        EXPECT_EQ(lineCount(message), 1) << message;
        EXPECT_EQ(message.rfind("pelmora: ", 0), 0U) << message;
    }
}

// The frame after which the hack's `count`-th "not seen" line says frames
// stop, once it has said it (-1 if not within 5 s).
long frameStoppedAfter(HackProcess& hack, int count) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    do {
        if (const std::optional<long> frames = framesBeforeStop(hack.standardError(), count)) {
            return *frames;
        }
        std::this_thread::sleep_for(5ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return -1;
}

bool saysSeenAgain(HackProcess& hack, int count) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    do {
        if (resumptions(hack.standardError()) >= count) {
            return true;
        }
        std::this_thread::sleep_for(5ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

// Which pixels of a picture show a sphere.
std::vector<bool> sphereMask(const Picture& picture) {
    std::vector<bool> mask;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            PixelCensus census;
            census.add(picture.at(x, y));
            mask.push_back(census.sphere == 1);
        }
    }
    return mask;
}

// Unmapped by its owner or covered by another window, the window gets no
// frames; shown again, it carries on from the frame it stopped at.
TEST_F(HackWindowTest, NoFramesWhileTheWindowIsUnmappedOrCoveredAndTheViewCarriesOnAfter) {
    TestWindow window(server_.display(), 0, 0, 400, 300);
    ASSERT_TRUE(window.ok());
    // The slowest spheres: the dozens of frames drawn around each hiding
    // move them little, while a view made anew shows another layout. (Frames
    // drawn out of sight are counted, below.)
    auto hack = startHack({"--window-id", hexId(window.id()), "--verbose", "-showLocalFields", "NO", "-speedDivisor",
                           "1"});
    ASSERT_TRUE(waitForPicture(window, showsTheView)) << hack->standardError();
    Display* display = window.display();
    const std::string name = "window " + hexId(window.id()) + " at 0,0: ";
    struct Way {
        const char* name;
        std::function<void()> hide;
        std::function<void()> show;
    };
    std::unique_ptr<TestWindow> cover;
    const std::vector<Way> ways{
        {"unmapped", [&] { XUnmapWindow(display, window.id()); XSync(display, False); },
         [&] { XMapWindow(display, window.id()); XSync(display, False); }},
        {"covered", [&] { cover = std::make_unique<TestWindow>(server_.display(), 0, 0, 400, 300); },
         [&] { cover.reset(); }},
    };
    int hidings = 0;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        const std::vector<bool> before = sphereMask(window.picture());
        way.hide();
        const long stoppedAt = frameStoppedAfter(*hack, ++hidings);
        ASSERT_GE(stoppedAt, 0) << hack->standardError();
        // Long enough for 90 frames at the view's pace, had it gone on drawing.
        std::this_thread::sleep_for(1500ms);
        way.show();
        ASSERT_TRUE(saysSeenAgain(*hack, hidings)) << hack->standardError();
        // Out of sight again at once: the frames between the two lines are the
        // few drawn since it came back, none from the time it was away.
        way.hide();
        const long stoppedAgainAt = frameStoppedAfter(*hack, ++hidings);
        EXPECT_LT(stoppedAgainAt - stoppedAt, 20) << hack->standardError();
        way.show();
        ASSERT_TRUE(saysSeenAgain(*hack, hidings)) << hack->standardError();
        ASSERT_TRUE(waitForPicture(window, showsTheView)) << hack->standardError();
        const Picture after = window.picture();
        saveScreenShot(server_.display(), std::string("hack-shown-again-after-") + way.name);
        const double overlap = sphereOverlap(before, sphereMask(after));
        EXPECT_GT(overlap, 0.5) << "the view did not carry on where it stopped";
    }
    EXPECT_NE(hack->standardError().find("pelmora: " + name + "not seen, frames stop after frame "),
              std::string::npos)
        << hack->standardError();
    EXPECT_TRUE(hack->running());
}

}  // namespace
}  // namespace pelmora::testing
