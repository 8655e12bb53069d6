// The real program in a real window under X, driven with xdotool and read
// back with XGetImage, one behaviour per test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "MissingServer.h"
#include "SightLines.h"
#include "XvfbServer.h"

// Last: Xlib's macros (None, Bool...) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string run(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
            output += buffer;
        }
        pclose(pipe);
    }
    return output;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Polls `condition` until it holds or `limit` passes.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5000ms) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(50ms);
    }
    return condition();
}

struct Pixel {
    int r, g, b;
};

// A screenshot of one window.
class Shot {
public:
    Shot(Display* display, unsigned long window) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, window, &attributes) == 0) {
            return;
        }
        width_ = attributes.width;
        height_ = attributes.height;
        image_ = XGetImage(display, window, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_),
                           AllPlanes, ZPixmap);
    }
    ~Shot() {
        if (image_ != nullptr) {
            XDestroyImage(image_);
        }
    }
    Shot(const Shot&) = delete;
    Shot& operator=(const Shot&) = delete;

    int width() const { return image_ != nullptr ? width_ : 0; }
    int height() const { return image_ != nullptr ? height_ : 0; }
    Pixel at(int x, int y) const {
        const unsigned long value = XGetPixel(image_, x, y);
        return {static_cast<int>((value >> 16) & 0xff), static_cast<int>((value >> 8) & 0xff),
                static_cast<int>(value & 0xff)};
    }
    // Pixels in [x0, x1) x [y0, y1) (clipped) for which `test` holds.
    int count(int x0, int y0, int x1, int y1, const std::function<bool(Pixel)>& test) const {
        int n = 0;
        for (int y = std::max(y0, 0); y < std::min(y1, height()); ++y) {
            for (int x = std::max(x0, 0); x < std::min(x1, width()); ++x) {
                n += test(at(x, y)) ? 1 : 0;
            }
        }
        return n;
    }

private:
    XImage* image_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// The colours the view paints: the background is red 0.03, green 0.05 and a
// pulsing blue; spheres run from green to red with no blue; labels and field
// lines are black or white.
bool isBackground(Pixel p) { return std::abs(p.r - 8) <= 2 && std::abs(p.g - 13) <= 2; }
bool isSphere(Pixel p) { return p.r + p.g > 200 && p.b < 30; }
bool isWhite(Pixel p) { return p.r > 200 && p.g > 200 && p.b > 200; }

// Below the header bar, inside the window's frame.
constexpr int kViewTop = 60;
constexpr int kFrame = 8;

class WindowProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr || run("command -v xdotool").empty()) {
            return pelmora::testing::missingServer("an X display and xdotool: $DISPLAY is not set or xdotool is missing");
        }
        display_ = XOpenDisplay(nullptr);
        if (display_ == nullptr) {
            return pelmora::testing::missingServer(std::string("the X display ") + std::getenv("DISPLAY") +
                                                   ": it cannot be opened");
        }
        config_ = fs::temp_directory_path() /
                  ("pelmora-gtk-test-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(config_);
        fs::create_directories(config_);
    }

    void TearDown() override {
        stop();
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
        if (!config_.empty()) {
            fs::remove_all(config_);
        }
    }

    // Starts the program with the test's own settings folder.
    void start(std::vector<std::string> args, bool withDisplay = true) {
        std::vector<std::string> env;
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string text = *entry;
            if (text.rfind("XDG_CONFIG_HOME=", 0) == 0 || (!withDisplay && text.rfind("DISPLAY=", 0) == 0) ||
                text.rfind("WAYLAND_DISPLAY=", 0) == 0) {
                continue;
            }
            env.push_back(text);
        }
        env.push_back("XDG_CONFIG_HOME=" + config_.string());
        args.insert(args.begin(), PELMORA_PROGRAM);
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        std::vector<char*> envp;
        for (auto& entry : env) {
            envp.push_back(entry.data());
        }
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        const std::string errors = (config_ / "stderr.txt").string();
        posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_EQ(posix_spawn(&pid_, PELMORA_PROGRAM, &actions, nullptr, argv.data(), envp.data()), 0);
        posix_spawn_file_actions_destroy(&actions);
    }

    // The exit status, or -1 if the program is still running after `limit`.
    int waitForExit(std::chrono::milliseconds limit = 5000ms) {
        int status = 0;
        const bool exited = eventually(
            [&] {
                if (pid_ <= 0) {
                    return true;
                }
                if (waitpid(pid_, &status, WNOHANG) == pid_) {
                    pid_ = 0;
                    return true;
                }
                return false;
            },
            limit);
        if (!exited) {
            return -1;
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    void stop() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            if (waitForExit(2000ms) < 0) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
            }
            pid_ = 0;
        }
    }

    // The program's visible window titled exactly `title` (0 if none within 10 s).
    unsigned long findWindow(const std::string& title) {
        const std::string output = run("timeout 10 xdotool search --sync --all --onlyvisible --pid " +
                                       std::to_string(pid_) + " --name '^" + title + "$' 2>/dev/null");
        return output.empty() ? 0 : std::stoul(output);
    }

    // The same without waiting: 0 when there is no such window now.
    unsigned long findWindowNow(const std::string& title) {
        const std::string output = run("xdotool search --all --onlyvisible --pid " + std::to_string(pid_) +
                                       " --name '^" + title + "$' 2>/dev/null");
        return output.empty() ? 0 : std::stoul(output);
    }

    // The main window once its view has drawn: the background fills most of it.
    unsigned long mainWindow() {
        const unsigned long window = findWindow("Pelmora");
        if (window != 0) {
            eventually([&] {
                Shot shot(display_, window);
                const int area = (shot.width() - 2 * kFrame) * (shot.height() - kViewTop - kFrame);
                return area > 0 && shot.count(kFrame, kViewTop, shot.width() - kFrame, shot.height() - kFrame,
                                              isBackground) > area / 2;
            });
        }
        return window;
    }

    void keys(unsigned long window, const std::string& keys) {
        run("xdotool windowfocus --sync " + std::to_string(window) + " key --delay 30 " + keys);
    }

    void type(unsigned long window, const std::string& text) {
        run("xdotool windowfocus --sync " + std::to_string(window) + " type --delay 30 '" + text + "'");
    }

    // Opens the options sheet from the main window and returns its window.
    unsigned long openSheet(unsigned long window) {
        keys(window, "o");
        return findWindow("Pelmora Options");
    }

    int spheresIn(unsigned long window) {
        Shot shot(display_, window);
        return shot.count(kFrame, kViewTop, shot.width() - kFrame, shot.height() - kFrame, isSphere);
    }

    int lightBand(unsigned long window) {
        Shot shot(display_, window);
        return shot.count(kFrame, kViewTop, shot.width() - kFrame, kViewTop + 30,
                          [](Pixel p) { return p.r > 180 && p.g > 180 && p.b > 150; });
    }

    std::string settings() const { return readFile(config_ / "pelmora" / "pelmora.conf"); }
    std::string errors() const { return readFile(config_ / "stderr.txt"); }

    Display* display_ = nullptr;
    fs::path config_;
    pid_t pid_ = 0;
};

TEST_F(WindowProgramTest, ShowsThePulsingBackgroundAndTheSpheres) {
    start({"-showLocalFields", "NO"});
    const unsigned long window = mainWindow();
    ASSERT_NE(window, 0U) << errors();

    int firstBlue = 0;
    {
        Shot shot(display_, window);
        ASSERT_GE(shot.width(), 790);
        const int area = (shot.width() - 2 * kFrame) * (shot.height() - kViewTop - kFrame);
        EXPECT_GT(shot.count(kFrame, kViewTop, shot.width() - kFrame, shot.height() - kFrame, isBackground), area / 2);
        EXPECT_GT(shot.count(kFrame, kViewTop, shot.width() - kFrame, shot.height() - kFrame, isSphere), 2000);
        EXPECT_EQ(shot.count(kFrame, kViewTop, shot.width() - kFrame, shot.height() - kFrame, isWhite), 0);
        firstBlue = shot.at(shot.width() / 2, shot.height() - kFrame - 2).b;
    }
    // The blue rises from 0.25 towards 0.5 over the first two seconds.
    EXPECT_TRUE(eventually([&] {
        Shot shot(display_, window);
        const Pixel p = shot.at(shot.width() / 2, shot.height() - kFrame - 2);
        return isBackground(p) && p.b > firstBlue + 15;
    })) << "first blue " << firstBlue;
}

TEST_F(WindowProgramTest, AResizeMovesTheWallsTheSpheresBounceOff) {
    // Fast, many, no field: some sphere soon crosses any line it is allowed to.
    start({"-numberOfThings", "150", "-speedDivisor", "1000", "-electricFieldStrength", "0", "-showLocalFields",
           "NO"});
    const unsigned long window = mainWindow();
    ASSERT_NE(window, 0U) << errors();
    // At 800 wide no sphere reaches x = 830 of the window.
    run("xdotool windowsize " + std::to_string(window) + " 1200 900");
    ASSERT_TRUE(eventually([&] { return Shot(display_, window).width() == 1200; }));
    EXPECT_TRUE(eventually([&] {
        Shot shot(display_, window);
        return shot.count(830, kViewTop, shot.width() - kFrame, shot.height() - kFrame, isSphere) > 0;
    }));
}

TEST_F(WindowProgramTest, OkWithANewCountRebuildsTheSpheresAndTheNextStartOpensWithIt) {
    start({});
    unsigned long window = mainWindow();
    ASSERT_NE(window, 0U) << errors();
    EXPECT_TRUE(eventually([&] { return spheresIn(window) > 2000; }));
    unsigned long sheet = openSheet(window);
    ASSERT_NE(sheet, 0U) << errors();
    // The count is the first field and has the focus.
    keys(sheet, "ctrl+a");
    type(sheet, "3");
    keys(sheet, "Return");
    ASSERT_TRUE(eventually([&] { return settings().find("numberOfThings=3\n") != std::string::npos; }))
        << settings();
    EXPECT_TRUE(eventually([&] { return spheresIn(window) > 0 && spheresIn(window) < 1200; }));
    stop();

    // The sheet of the next start shows the stored 3: OK as it stands keeps it.
    start({});
    window = mainWindow();
    ASSERT_NE(window, 0U) << errors();
    EXPECT_LT(spheresIn(window), 1200);
    sheet = openSheet(window);
    ASSERT_NE(sheet, 0U);
    keys(sheet, "Return");
    std::this_thread::sleep_for(300ms);
    EXPECT_NE(settings().find("numberOfThings=3\n"), std::string::npos) << settings();
    EXPECT_LT(spheresIn(window), 1200);
}

TEST_F(WindowProgramTest, OkWithANewRadiusTurnsTheLabelsWhite) {
    start({"-labelsEnabled", "YES", "-showLocalFields", "NO"});
    const unsigned long window = mainWindow();
    ASSERT_NE(window, 0U) << errors();
    auto whitePixels = [&] {
        Shot shot(display_, window);
        return shot.count(kFrame, kViewTop, shot.width() - kFrame, shot.height() - kFrame, isWhite);
    };
    EXPECT_EQ(whitePixels(), 0);  // filled spheres of radius 10 carry black labels
    const unsigned long sheet = openSheet(window);
    ASSERT_NE(sheet, 0U);
    keys(sheet, "alt+r ctrl+a");
    type(sheet, "8");
    keys(sheet, "Return");
    EXPECT_TRUE(eventually([&] { return whitePixels() > 100; }));
    EXPECT_NE(settings().find("sphereRadii=8"), std::string::npos) << settings();
}

TEST_F(WindowProgramTest, CancelChangesNothingAndReopeningShowsTheCancelledEdits) {
    start({});
    const unsigned long window = mainWindow();
    ASSERT_NE(window, 0U) << errors();
    unsigned long sheet = openSheet(window);
    ASSERT_NE(sheet, 0U);
    keys(sheet, "ctrl+a");
    type(sheet, "0");
    keys(sheet, "Escape");
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(eventually([&] { return spheresIn(window) > 2000; }));
    EXPECT_FALSE(fs::exists(config_ / "pelmora" / "pelmora.conf"));

    // Reopened, the sheet still holds the 0; OK applies it.
    sheet = openSheet(window);
    ASSERT_NE(sheet, 0U);
    keys(sheet, "Return");
    EXPECT_TRUE(eventually([&] { return settings().find("numberOfThings=0\n") != std::string::npos; }))
        << settings();
    EXPECT_TRUE(eventually([&] { return spheresIn(window) == 0; }));
}

TEST_F(WindowProgramTest, AFailedSaveIsShownInTheWindowAndTheNewValuesStay) {
    // A file where the settings folder should be: no one can save there.
    std::ofstream(config_ / "pelmora") << "not a folder\n";
    start({});
    const unsigned long window = mainWindow();
    ASSERT_NE(window, 0U) << errors();
    EXPECT_LT(lightBand(window), 1000);
    const unsigned long sheet = openSheet(window);
    ASSERT_NE(sheet, 0U);
    keys(sheet, "ctrl+a");
    type(sheet, "3");
    keys(sheet, "Return");
    // The message bar pushes the view down: light pixels fill the band
    // under the header bar where the dark background was.
    EXPECT_TRUE(eventually([&] { return lightBand(window) > 8000; })) << lightBand(window);
    // The bar and the rebuilt spheres may land in different frames.
    EXPECT_TRUE(eventually([&] { return spheresIn(window) < 1200; })) << spheresIn(window);
    EXPECT_TRUE(eventually([&] { return errors().find("could not be saved") != std::string::npos; })) << errors();
}

TEST_F(WindowProgramTest, DelayPacesTheFrames) {
    // Ten seconds between frames: after the first, the view holds still.
    start({"--delay", "10000000", "-showLocalFields", "NO"});
    const unsigned long window = mainWindow();
    ASSERT_NE(window, 0U) << errors();
    ASSERT_TRUE(eventually([&] { return spheresIn(window) > 2000; }));
    const auto picture = [&] {
        Shot shot(display_, window);
        std::vector<int> pixels;
        for (int y = kViewTop; y < shot.height() - kFrame; y += 3) {
            for (int x = kFrame; x < shot.width() - kFrame; x += 3) {
                const Pixel p = shot.at(x, y);
                pixels.push_back((p.r << 16) | (p.g << 8) | p.b);
            }
        }
        return pixels;
    };
    const std::vector<int> first = picture();
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(picture(), first);
}

TEST_F(WindowProgramTest, FpsDrawsItsReadOutInTheLowerLeftCorner) {
    start({"--fps", "-showLocalFields", "NO"});
    const unsigned long window = mainWindow();
    ASSERT_NE(window, 0U) << errors();
    EXPECT_TRUE(eventually([&] {
        Shot shot(display_, window);
        return shot.count(kFrame, shot.height() - 60, 160, shot.height() - kFrame, isWhite) > 40;
    }));
}

// Which pixels of the view show a sphere.
std::vector<bool> sphereMask(Display* display, unsigned long window) {
    Shot shot(display, window);
    std::vector<bool> mask;
    for (int y = kViewTop; y < shot.height() - kFrame; ++y) {
        for (int x = kFrame; x < shot.width() - kFrame; ++x) {
            mask.push_back(isSphere(shot.at(x, y)));
        }
    }
    return mask;
}

// Covered whole by another window, or minimised (without a window manager
// here, unmapped as an ICCCM window manager iconifies a window), the window
// draws no frames; shown again, its view carries on from where it stopped.
TEST_F(WindowProgramTest, NoFramesWhileCoveredOrMinimisedAndTheViewCarriesOnAfter) {
    // The slowest spheres: the dozens of frames drawn around each hiding
    // move them little, while a view made anew shows another layout. (Frames
    // drawn out of sight are counted, below.)
    start({"--verbose", "-showLocalFields", "NO", "-speedDivisor", "1"});
    const unsigned long window = mainWindow();
    ASSERT_NE(window, 0U) << errors();
    ASSERT_TRUE(eventually([&] { return spheresIn(window) > 2000; }));
    const int screen = DefaultScreen(display_);
    ::Window cover = 0;
    struct Way {
        const char* name;
        std::function<void()> hide;
        std::function<void()> show;
    };
    const std::vector<Way> ways{
        {"covered",
         [&] {
             cover = XCreateSimpleWindow(display_, RootWindow(display_, screen), 0, 0,
                                         static_cast<unsigned>(DisplayWidth(display_, screen)),
                                         static_cast<unsigned>(DisplayHeight(display_, screen)), 0,
                                         BlackPixel(display_, screen), BlackPixel(display_, screen));
             XMapRaised(display_, cover);
             XSync(display_, False);
         },
         [&] {
             XDestroyWindow(display_, cover);
             XSync(display_, False);
         }},
        {"minimised", [&] { run("xdotool windowunmap --sync " + std::to_string(window)); },
         [&] { run("xdotool windowmap --sync " + std::to_string(window)); }},
    };
    int hidings = 0;
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        const std::vector<bool> before = sphereMask(display_, window);
        way.hide();
        const auto stopFrame = [&](int count) {
            std::optional<long> frames;
            eventually([&] { return (frames = pelmora::testing::framesBeforeStop(errors(), count)).has_value(); });
            return frames;
        };
        const std::optional<long> stoppedAt = stopFrame(++hidings);
        ASSERT_TRUE(stoppedAt) << errors();
        // Long enough for 90 frames at the view's pace, had it gone on drawing.
        std::this_thread::sleep_for(1500ms);
        way.show();
        ASSERT_TRUE(eventually([&] { return pelmora::testing::resumptions(errors()) >= hidings; })) << errors();
        // Out of sight again at once: the frames between the two lines are
        // the few drawn since it came back, none from the time it was away.
        way.hide();
        const std::optional<long> stoppedAgainAt = stopFrame(++hidings);
        ASSERT_TRUE(stoppedAgainAt) << errors();
        EXPECT_LT(*stoppedAgainAt - *stoppedAt, 20) << errors();
        way.show();
        ASSERT_TRUE(eventually([&] { return pelmora::testing::resumptions(errors()) >= hidings; })) << errors();
        ASSERT_TRUE(eventually([&] { return spheresIn(window) > 2000; }));
        fs::create_directories(PELMORA_SCREENS_DIR);
        run(std::string("import -window root '") + (fs::path(PELMORA_SCREENS_DIR) / "window-shown-again-after-").string() +
            way.name + ".png' 2>/dev/null");
        EXPECT_GT(pelmora::testing::sphereOverlap(before, sphereMask(display_, window)), 0.5)
            << "the view did not carry on where it stopped";
    }
}

TEST_F(WindowProgramTest, EscapeClosesTheWindow) {
    start({});
    const unsigned long window = mainWindow();
    ASSERT_NE(window, 0U) << errors();
    keys(window, "Escape");
    EXPECT_EQ(waitForExit(), 0);
}

TEST_F(WindowProgramTest, F1AndQuestionMarkShowTheKeysAndCtrlQQuits) {
    start({});
    const unsigned long window = mainWindow();
    ASSERT_NE(window, 0U) << errors();
    for (const char* key : {"F1", "question"}) {
        SCOPED_TRACE(key);
        keys(window, key);
        const unsigned long list = findWindow("Pelmora Keys");
        ASSERT_NE(list, 0U) << errors();
        // Escape ends the list, not the program.
        keys(list, "Escape");
        EXPECT_TRUE(eventually([&] { return findWindowNow("Pelmora Keys") == 0; }));
        EXPECT_EQ(waitForExit(300ms), -1);
    }
    keys(window, "ctrl+q");
    EXPECT_EQ(waitForExit(), 0);
}

TEST_F(WindowProgramTest, FullScreenSaverEndsOnAKey) {
    start({"--fullscreen"});
    const unsigned long window = mainWindow();
    ASSERT_NE(window, 0U) << errors();
    EXPECT_TRUE(eventually(
        [&] { return Shot(display_, window).width() == DisplayWidth(display_, DefaultScreen(display_)); }));
    keys(window, "space");
    EXPECT_EQ(waitForExit(), 0);
}

TEST_F(WindowProgramTest, FullScreenSaverIgnoresANudgeButEndsOnAMove) {
    run("xdotool mousemove 300 300");
    start({"--fullscreen"});
    const unsigned long window = mainWindow();
    ASSERT_NE(window, 0U) << errors();
    run("xdotool mousemove 305 303 sleep 0.2 mousemove 303 306");
    EXPECT_EQ(waitForExit(1000ms), -1) << "a nudge ended the saver";
    run("xdotool mousemove 360 300");
    EXPECT_EQ(waitForExit(), 0);
}

// A logical screen of 640x360, as 1280x720 at scale 2 leaves, on a server
// of the test's own.
class SmallScreenTest : public WindowProgramTest {
protected:
    void SetUp() override {
        ASSERT_FALSE(server_.display().empty()) << server_.error();
        setenv("DISPLAY", server_.display().c_str(), 1);
        WindowProgramTest::SetUp();
    }

    // The window's rectangle on the screen: x, y, width, height.
    std::array<int, 4> placeOf(unsigned long window) const {
        XWindowAttributes attributes{};
        XGetWindowAttributes(display_, window, &attributes);
        int x = 0;
        int y = 0;
        ::Window child = 0;
        XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child);
        return {x, y, attributes.width, attributes.height};
    }

    // Whether the keyboard goes to `window` or a window inside it.
    bool hasFocus(unsigned long window) const {
        ::Window focus = 0;
        int revert = 0;
        XGetInputFocus(display_, &focus, &revert);
        while (focus != 0 && focus != PointerRoot && focus != window) {
            ::Window root = 0;
            ::Window parent = 0;
            ::Window* children = nullptr;
            unsigned count = 0;
            if (XQueryTree(display_, focus, &root, &parent, &children, &count) == 0) {
                return false;
            }
            if (children != nullptr) {
                XFree(children);
            }
            focus = parent == root ? 0 : parent;
        }
        return focus == window;
    }

    pelmora::testing::XvfbServer server_{640, 360};
};

TEST_F(SmallScreenTest, TheOptionsDialogFitsTakesTheKeyboardAndEscapeCancelsIt) {
    start({});
    const unsigned long window = findWindow("Pelmora");
    ASSERT_NE(window, 0U) << errors();
    const unsigned long sheet = openSheet(window);
    ASSERT_NE(sheet, 0U) << errors();
    EXPECT_TRUE(eventually([&] { return hasFocus(sheet); })) << "the dialog did not take the keyboard";
    const auto place = placeOf(sheet);
    fs::create_directories(PELMORA_SCREENS_DIR);
    run("import -window root '" + (fs::path(PELMORA_SCREENS_DIR) / "options-640x360.png").string() + "' 2>/dev/null");
    // The whole dialog, OK and Cancel at its foot included, is on the screen.
    EXPECT_GE(place[0], 0);
    EXPECT_GE(place[1], 0);
    EXPECT_LE(place[0] + place[2], 640) << place[2] << " wide";
    EXPECT_LE(place[1] + place[3], 360) << place[3] << " high";
    // Typed without choosing a window, Escape reaches the dialog and cancels it.
    run("xdotool key Escape");
    EXPECT_TRUE(eventually([&] { return findWindowNow("Pelmora Options") == 0; }));
    EXPECT_EQ(waitForExit(300ms), -1) << "Escape ended the program";
}

// A server of the test's own whose root window says, as an EWMH window
// manager's does, that windows hear _NET_WM_STATE: the test plays the window
// manager that hides a window (minimised, or on a workspace not shown).
class NetWmStateTest : public WindowProgramTest {
protected:
    void SetUp() override {
        ASSERT_FALSE(server_.display().empty()) << server_.error();
        setenv("DISPLAY", server_.display().c_str(), 1);
        WindowProgramTest::SetUp();
        ASSERT_NE(display_, nullptr);
        const ::Window root = DefaultRootWindow(display_);
        const ::Window check = XCreateSimpleWindow(display_, root, 0, 0, 1, 1, 0, 0, 0);
        for (const ::Window window : {root, check}) {
            XChangeProperty(display_, window, atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(&check), 1);
        }
        const std::array<Atom, 2> supported{atom("_NET_WM_STATE"), atom("_NET_WM_STATE_HIDDEN")};
        XChangeProperty(display_, root, atom("_NET_SUPPORTED"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(supported.data()), supported.size());
        XSync(display_, False);
    }

    Atom atom(const char* name) const { return XInternAtom(display_, name, False); }

    void setHidden(unsigned long window, bool hidden) {
        const Atom state = atom("_NET_WM_STATE_HIDDEN");
        XChangeProperty(display_, window, atom("_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&state), hidden ? 1 : 0);
        XSync(display_, False);
    }

    pelmora::testing::XvfbServer server_{1024, 768};
};

TEST_F(NetWmStateTest, AWindowTheWindowManagerHidesDrawsNoFramesUntilShown) {
    start({"--verbose", "-showLocalFields", "NO"});
    const unsigned long window = mainWindow();
    ASSERT_NE(window, 0U) << errors();
    setHidden(window, true);
    std::optional<long> stoppedAt;
    ASSERT_TRUE(eventually([&] { return (stoppedAt = pelmora::testing::framesBeforeStop(errors(), 1)).has_value(); }))
        << errors();
    std::this_thread::sleep_for(1500ms);
    setHidden(window, false);
    ASSERT_TRUE(eventually([&] { return pelmora::testing::resumptions(errors()) == 1; })) << errors();
    setHidden(window, true);
    std::optional<long> stoppedAgainAt;
    ASSERT_TRUE(
        eventually([&] { return (stoppedAgainAt = pelmora::testing::framesBeforeStop(errors(), 2)).has_value(); }))
        << errors();
    EXPECT_LT(*stoppedAgainAt - *stoppedAt, 20) << errors();
}

TEST_F(WindowProgramTest, WithoutADisplayItSaysSoAndPointsToRecord) {
    start({}, false);
    EXPECT_NE(waitForExit(), 0);
    const std::string text = errors();
    EXPECT_NE(text.find("pelmora record"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
}

}  // namespace
