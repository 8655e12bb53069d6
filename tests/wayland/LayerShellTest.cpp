// The layer modes of the real program under a real sway, and its window there, read back with grim.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "HackProcess.h"
#include "MissingServer.h"
#include "SwayServer.h"
#include "XvfbServer.h"

namespace pelmora::testing {
namespace {

using namespace std::chrono_literals;
using Pixel = Screenshot::Pixel;

// Generous: a loaded CI machine runs several compositors at once.
constexpr auto kPatience = 30000ms;

// The view's background: red 0.03 and green 0.05 fixed, blue pulsing from 0 to 0.5.
bool isBackground(Pixel p) { return p.r >= 5 && p.r <= 10 && p.g >= 10 && p.g <= 15 && p.b <= 132; }
// The discs: charges give greens, yellows and oranges, never blue.
bool isSphere(Pixel p) { return std::max(p.r, p.g) >= 150 && p.b <= 100; }
// foot's own background, an even dark grey.
bool isTerminal(Pixel p) { return p.r == p.g && p.g == p.b && p.r >= 10 && p.r <= 45; }

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = kPatience) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(100ms);
    }
    return condition();
}

// Discs in each half, top, bottom, left and right: the spheres were spread
// over the whole output, not over a size the surface had before the
// compositor gave it the output's. (40 discs all missing one half: 2^-40.)
bool spheresAllOver(const Screenshot& shot) {
    const int w = shot.width;
    const int h = shot.height;
    return shot.share(0, 0, w, h / 2, isSphere) > 0.002 && shot.share(0, h / 2, w, h, isSphere) > 0.002 &&
           shot.share(0, 0, w / 2, h, isSphere) > 0.002 && shot.share(w / 2, 0, w, h, isSphere) > 0.002;
}

// Background in every quarter: the surface covers the whole output.
bool coveredByView(const Screenshot& shot) {
    const int w = shot.width;
    const int h = shot.height;
    for (const auto& [x0, y0] : {std::pair{0, 0}, std::pair{w / 2, 0}, std::pair{0, h / 2}, std::pair{w / 2, h / 2}}) {
        if (shot.share(x0, y0, x0 + w / 2, y0 + h / 2, isBackground) < 0.6) {
            return false;
        }
    }
    return true;
}

// The count in the last "(views: N)" line of --verbose: the views alive then.
std::optional<int> lastViewCount(const std::string& errors) {
    const auto at = errors.rfind("(views: ");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    return std::atoi(errors.c_str() + at + 8);
}

// The threads the program started itself: GLib names each of its own, the
// views' worker pools keep the program's name.
int ownThreads(pid_t pid) {
    int count = 0;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code ignored;
    for (const auto& task : std::filesystem::directory_iterator(tasks, ignored)) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        count += name == "pelmora" ? 1 : 0;
    }
    return count;
}

// How often `text` occurs in `said`.
std::size_t occurrences(const std::string& said, const std::string& text) {
    std::size_t count = 0;
    for (auto at = said.find(text); at != std::string::npos; at = said.find(text, at + 1)) {
        ++count;
    }
    return count;
}

// The --fps report lines of the view on the monitor at `place` ("at 0,0").
std::size_t fpsReports(const std::string& said, const std::string& place) {
    return occurrences(said, place + ": ") - occurrences(said, place + ": frame buffer") -
           occurrences(said, place + ": not seen") - occurrences(said, place + ": seen again");
}

// Outputs that can be unplugged: sway's headless outputs cannot be in every
// version, so these are the windows of an outer sway that an inner one takes
// as its outputs, closed like any window.
class NestedSway {
public:
    explicit NestedSway(const std::string& innerConfig)
        : outer_("output HEADLESS-1 resolution 800x600\ndefault_border none\n") {
        if (outer_.error().empty()) {
            inner_ = std::make_unique<SwayServer>(innerConfig, &outer_);
        }
    }
    std::string error() const { return inner_ ? inner_->error() : outer_.error(); }
    const SwayServer& outer() const { return outer_; }
    const SwayServer& inner() const { return *inner_; }

private:
    SwayServer outer_;
    std::unique_ptr<SwayServer> inner_;
};

class LayerShellTest : public ::testing::Test {
protected:
    std::unique_ptr<HackProcess> startPelmora(const SwayServer& sway, const std::string& layer,
                                              const std::vector<std::string>& more = {}) {
        std::vector<std::string> arguments{"--layer", layer};
        arguments.insert(arguments.end(), more.begin(), more.end());
        return std::make_unique<HackProcess>(PELMORA_PROGRAM, arguments, sway.clientEnvironment());
    }

    // Waits until `output` shows the view all over with its first frames
    // drawn; the last screenshot.
    static std::optional<Screenshot> waitForView(const SwayServer& sway, const std::string& output) {
        std::optional<Screenshot> shot;
        const bool shown = eventually([&] {
            shot = sway.screenshot(output);
            return shot && coveredByView(*shot) && shot->share(0, 0, shot->width, shot->height, isSphere) > 0.005;
        });
        return shown ? shot : std::nullopt;
    }

    // Waits until the view has left `output`, so that the next program's
    // view is not mistaken for the last one's.
    static bool waitUntilGone(const SwayServer& sway, const std::string& output) {
        return eventually([&] {
            const auto shot = sway.screenshot(output);
            return shot && !coveredByView(*shot);
        });
    }
};

TEST_F(LayerShellTest, TheOverlayCoversTheWholeOutputAboveWindowsWithBackgroundAndSpheres) {
    SwayServer sway(
        "output HEADLESS-1 resolution 640x480\n"
        "for_window [app_id=\"foot\"] floating enable, resize set 200 120, move position 100 100\n");
    if (!sway.error().empty()) {
        return missingServer(sway.error());
    }
    HackProcess terminal("/usr/bin/foot", {}, sway.clientEnvironment());
    ASSERT_TRUE(eventually([&] {
        const auto shot = sway.screenshot("HEADLESS-1");
        return shot && shot->share(120, 150, 280, 200, isTerminal) > 0.8;
    })) << "foot did not show";

    auto pelmora = startPelmora(sway, "overlay");
    const auto shot = waitForView(sway, "HEADLESS-1");
    ASSERT_TRUE(shot) << pelmora->standardError();
    EXPECT_EQ(shot->width, 640);
    EXPECT_EQ(shot->height, 480);
    // 40 discs of radius 10 fill about 4 % of 640 × 480.
    EXPECT_GT(shot->share(0, 0, 640, 480, isSphere), 0.01);
    EXPECT_TRUE(spheresAllOver(*shot));
    EXPECT_LT(shot->share(100, 100, 300, 220, isTerminal), 0.05) << "the window shows through the overlay";
    EXPECT_TRUE(pelmora->running()) << pelmora->standardError();
}

TEST_F(LayerShellTest, TheOverlayEndsOnAKeyAClickOrAPointerMoveButNotOnANudge) {
    SwayServer sway("output HEADLESS-1 resolution 320x240\n");
    if (!sway.error().empty()) {
        return missingServer(sway.error());
    }
    const std::string pointer = std::string(PELMORA_TEST_POINTER) + " --hold 300 ";
    // Each input device exists only while its tool runs, and GTK needs a
    // moment to take it up; so the tool is run again until the saver ends.
    const std::vector<std::pair<const char*, std::string>> inputs{
        {"a key", "wtype -s 300 a"}, {"a click", pointer + "click"}, {"a pointer move", pointer + "move 30 0 3"}};
    for (const auto& [what, command] : inputs) {
        auto pelmora = startPelmora(sway, "overlay");
        ASSERT_TRUE(waitForView(sway, "HEADLESS-1")) << pelmora->standardError();
        if (std::string(what) == "a click") {
            // A pointer jiggled by a few pixels must not end it.
            EXPECT_EQ(sway.runClient(pointer + "move 3 2 2"), 0);
            EXPECT_FALSE(pelmora->waitForExit(1000ms)) << "a nudge ended the saver";
        }
        EXPECT_TRUE(eventually([&] {
            sway.runClient(command);
            return !pelmora->running();
        })) << what << " did not end the saver";
        EXPECT_EQ(pelmora->waitForExit(kPatience), 0) << what << ": " << pelmora->standardError();
        EXPECT_TRUE(waitUntilGone(sway, "HEADLESS-1")) << what;
    }
}

// A compositor that will not give the overlay the keyboard (sway keeps it
// with the first overlay surface that took it whole): the overlay says so,
// asks for it on demand, and a pointer move still ends it. Each run holds a
// keyboard that types one key after ten seconds: without any keyboard on
// the seat there is nothing to refuse.
TEST_F(LayerShellTest, AnOverlayRefusedTheKeyboardSaysSoAndStillEndsOnThePointer) {
    SwayServer sway("output HEADLESS-1 resolution 320x240\n");
    if (!sway.error().empty()) {
        return missingServer(sway.error());
    }
    HackProcess holder(PELMORA_TEST_KEYBOARD_HOLDER, {}, sway.clientEnvironment());
    const auto isRed = [](Pixel p) { return p.r > 200 && p.g < 50 && p.b < 50; };
    ASSERT_TRUE(eventually([&] {
        const auto shot = sway.screenshot("HEADLESS-1");
        return shot && shot->share(0, 0, 16, 16, isRed) > 0.9;
    })) << "the keyboard holder did not show: " << holder.standardError();

    auto keyboard = std::make_unique<HackProcess>("/usr/bin/wtype", std::vector<std::string>{"-s", "10000", "a"},
                                                  sway.clientEnvironment());
    HackProcess pelmora(PELMORA_PROGRAM, {"--layer", "overlay", "--verbose"}, sway.clientEnvironment());
    ASSERT_TRUE(waitForView(sway, "HEADLESS-1")) << pelmora.standardError();
    EXPECT_TRUE(eventually([&] { return pelmora.standardError().find("no keyboard") != std::string::npos; }))
        << pelmora.standardError();
    // The key goes to the holder: it cannot end the saver.
    keyboard->waitForExit(kPatience);
    EXPECT_FALSE(pelmora.waitForExit(1000ms)) << "a key reached the overlay after all";
    const std::string pointer = std::string(PELMORA_TEST_POINTER) + " --hold 300 move 30 0 3";
    EXPECT_TRUE(eventually([&] {
        sway.runClient(pointer);
        return !pelmora.running();
    })) << "a pointer move did not end the saver";
    EXPECT_EQ(pelmora.waitForExit(kPatience), 0) << pelmora.standardError();

    // With the holder gone the keyboard is the overlay's: nothing to say, and the key ends it.
    kill(holder.pid(), SIGTERM);
    holder.waitForExit(kPatience);
    ASSERT_TRUE(waitUntilGone(sway, "HEADLESS-1"));
    keyboard = std::make_unique<HackProcess>("/usr/bin/wtype", std::vector<std::string>{"-s", "10000", "a"},
                                             sway.clientEnvironment());
    HackProcess given(PELMORA_PROGRAM, {"--layer", "overlay", "--verbose"}, sway.clientEnvironment());
    ASSERT_TRUE(waitForView(sway, "HEADLESS-1")) << given.standardError();
    EXPECT_EQ(given.waitForExit(kPatience), 0) << "the key did not end the saver";
    EXPECT_EQ(given.standardError().find("no keyboard"), std::string::npos) << given.standardError();
}

TEST_F(LayerShellTest, TheBackgroundShowsAroundAWindowAndUnderIt) {
    SwayServer sway(
        "output HEADLESS-1 resolution 640x480\n"
        "for_window [app_id=\"foot\"] floating enable, resize set 200 120, move position 100 100\n");
    if (!sway.error().empty()) {
        return missingServer(sway.error());
    }
    auto pelmora = startPelmora(sway, "background");
    ASSERT_TRUE(waitForView(sway, "HEADLESS-1")) << pelmora->standardError();

    HackProcess terminal("/usr/bin/foot", {}, sway.clientEnvironment());
    std::optional<Screenshot> shot;
    const bool shown = eventually([&] {
        shot = sway.screenshot("HEADLESS-1");
        return shot && shot->share(120, 150, 280, 200, isTerminal) > 0.8;
    });
    ASSERT_TRUE(shown) << "the window did not show above the wallpaper";
    // Strips on every side of the window show the view.
    EXPECT_GT(shot->share(100, 40, 300, 90, isBackground), 0.6) << "above";
    EXPECT_GT(shot->share(100, 230, 300, 300, isBackground), 0.6) << "below";
    EXPECT_GT(shot->share(20, 100, 90, 220, isBackground), 0.6) << "left";
    EXPECT_GT(shot->share(310, 100, 400, 220, isBackground), 0.6) << "right";
    EXPECT_TRUE(pelmora->running()) << pelmora->standardError();
}

TEST_F(LayerShellTest, ANewOutputGetsAViewAndLosingItLeavesTheOthersRunning) {
    NestedSway nested("output WL-2 scale 2\n");
    if (!nested.error().empty()) {
        return missingServer(nested.error());
    }
    const SwayServer& outer = nested.outer();
    const SwayServer& sway = nested.inner();
    ASSERT_EQ(sway.outputNames(), std::vector<std::string>{"WL-1"});
    auto pelmora = startPelmora(sway, "background", {"--verbose"});
    ASSERT_TRUE(waitForView(sway, "WL-1")) << pelmora->standardError();

    sway.message("create_output");
    ASSERT_TRUE(eventually([&] { return sway.outputNames().size() == 2; }));
    std::optional<Screenshot> second = waitForView(sway, "WL-2");
    ASSERT_TRUE(second) << pelmora->standardError();
    // The outer sway tiles both outputs side by side at 400 × 600; at scale 2
    // the view draws 800 × 1200 device pixels over the 200 × 300 it is given.
    EXPECT_EQ(second->width, 400);
    EXPECT_EQ(second->height, 600);
    EXPECT_GT(second->share(0, 0, second->width, second->height, isSphere), 0.01);
    EXPECT_TRUE(spheresAllOver(*second));
    // The view was made at the new output's size, not at a size GTK or the
    // compositor had first: the spheres start spread over the whole of it.
    const std::string said = pelmora->standardError();
    EXPECT_NE(said.find("a 200x300 view on "), std::string::npos) << said;
    EXPECT_EQ(said.find("a 200x200 view"), std::string::npos) << said;
    EXPECT_NE(said.find("pelmora: seed "), std::string::npos) << said;

    outer.message("'[title=\"WL-2\"]' kill");
    ASSERT_TRUE(eventually([&] { return sway.outputNames() == std::vector<std::string>{"WL-1"}; }));
    // The first output got its width back, and its view followed.
    std::optional<Screenshot> first = waitForView(sway, "WL-1");
    ASSERT_TRUE(first) << pelmora->standardError();
    EXPECT_EQ(first->width, 800);
    EXPECT_TRUE(pelmora->running()) << pelmora->standardError();
    EXPECT_TRUE(eventually([&] {
        const auto later = sway.screenshot("WL-1");
        return later && later->rgb != first->rgb;
    })) << "the remaining view stopped";
}

// Under a full-screen window the wallpaper cannot be seen and sway stops
// asking it for frames: it draws none until the window goes, then carries on.
// Its frames all go through the same few buffers.
TEST_F(LayerShellTest, TheWallpaperDrawsNoFramesUnderAFullScreenWindowAndGoesOnWhenItLeaves) {
    SwayServer sway("output HEADLESS-1 resolution 640x480\nfor_window [app_id=\"foot\"] fullscreen enable\n");
    if (!sway.error().empty()) {
        return missingServer(sway.error());
    }
    auto pelmora = startPelmora(sway, "background", {"--verbose", "--fps"});
    ASSERT_TRUE(waitForView(sway, "HEADLESS-1")) << pelmora->standardError();
    ASSERT_TRUE(eventually([&] { return fpsReports(pelmora->standardError(), "at 0,0") >= 1; }))
        << pelmora->standardError();

    auto terminal = std::make_unique<HackProcess>("/usr/bin/foot", std::vector<std::string>{},
                                                  sway.clientEnvironment());
    ASSERT_TRUE(eventually([&] {
        return pelmora->standardError().find("at 0,0: not seen, frames stop after frame ") != std::string::npos;
    })) << pelmora->standardError();
    const std::size_t reportsWhenCovered = fpsReports(pelmora->standardError(), "at 0,0");
    // Longer than the 5 s between reports: a view still drawing would report.
    std::this_thread::sleep_for(7s);
    EXPECT_EQ(fpsReports(pelmora->standardError(), "at 0,0"), reportsWhenCovered)
        << "frames went on under the window:\n" << pelmora->standardError();

    terminal.reset();
    EXPECT_TRUE(eventually([&] {
        return pelmora->standardError().find("at 0,0: seen again, frames resume") != std::string::npos;
    })) << pelmora->standardError();
    EXPECT_TRUE(eventually([&] { return fpsReports(pelmora->standardError(), "at 0,0") > reportsWhenCovered + 1; }))
        << pelmora->standardError();
    const auto shot = waitForView(sway, "HEADLESS-1");
    ASSERT_TRUE(shot) << pelmora->standardError();
    EXPECT_TRUE(spheresAllOver(*shot));
    // Hundreds of frames, one size: no more than the pool's three buffers.
    const std::string said = pelmora->standardError();
    EXPECT_GE(occurrences(said, "frame buffer "), 2U) << said;
    EXPECT_LE(occurrences(said, "frame buffer "), 3U) << said;
    EXPECT_EQ(occurrences(said, "not seen"), 1U) << said;
    EXPECT_TRUE(pelmora->running()) << said;
}

// An output whose screen stops refreshing asks for no frames: its view stops,
// the other output's goes on, and it carries on when the screen is back.
// (This sway can power off neither its headless nor its nested outputs; an
// output that is a window of the outer sway, moved to a workspace nobody
// looks at, stops refreshing as a monitor powered off does.)
TEST_F(LayerShellTest, AnOutputThatStopsRefreshingStopsOnlyItsOwnViewsFrames) {
    NestedSway nested("");
    if (!nested.error().empty()) {
        return missingServer(nested.error());
    }
    const SwayServer& outer = nested.outer();
    const SwayServer& sway = nested.inner();
    auto pelmora = startPelmora(sway, "background", {"--verbose", "--fps"});
    ASSERT_TRUE(waitForView(sway, "WL-1")) << pelmora->standardError();
    sway.message("create_output");
    ASSERT_TRUE(waitForView(sway, "WL-2")) << pelmora->standardError();
    // The outer sway tiles the two side by side, 400 pixels wide each; with
    // the second gone from its workspace the first takes the whole width, and
    // the second is placed after it.
    const std::string first = "at 0,0";
    ASSERT_TRUE(eventually([&] { return fpsReports(pelmora->standardError(), "at 400,0") >= 1; }))
        << pelmora->standardError();

    outer.message("'[title=\"WL-2\"]' move to workspace 9");
    const std::string unseen = ": not seen, frames stop after frame ";
    ASSERT_TRUE(eventually([&] { return pelmora->standardError().find(unseen) != std::string::npos; }))
        << pelmora->standardError();
    const std::string said = pelmora->standardError();
    const std::size_t lineEnd = said.find(unseen);
    const std::size_t placeStart = said.rfind(" at ", lineEnd);
    const std::string second = said.substr(placeStart + 1, lineEnd - placeStart - 1);
    ASSERT_NE(second, first) << said;
    const std::size_t secondWhenOff = fpsReports(said, second);
    const std::size_t firstWhenOff = fpsReports(said, first);
    EXPECT_TRUE(eventually([&] { return fpsReports(pelmora->standardError(), first) >= firstWhenOff + 2; }))
        << "the output left on stopped too:\n" << pelmora->standardError();
    EXPECT_EQ(fpsReports(pelmora->standardError(), second), secondWhenOff)
        << "the output not refreshing still drew:\n" << pelmora->standardError();
    EXPECT_EQ(pelmora->standardError().find(first + ": not seen"), std::string::npos) << pelmora->standardError();

    // Back beside the first, at its first place again.
    outer.message("'[title=\"WL-2\"]' move to workspace 1");
    EXPECT_TRUE(eventually([&] {
        return pelmora->standardError().find(": seen again, frames resume") != std::string::npos;
    })) << pelmora->standardError();
    const auto secondReports = [&](const std::string& errors) {
        return fpsReports(errors, second) + (second == "at 400,0" ? 0 : fpsReports(errors, "at 400,0"));
    };
    const std::size_t secondBefore = secondReports(said);
    EXPECT_TRUE(eventually([&] { return secondReports(pelmora->standardError()) > secondBefore + 1; }))
        << pelmora->standardError();
    EXPECT_EQ(occurrences(pelmora->standardError(), "not seen"), 1U) << pelmora->standardError();
    EXPECT_TRUE(pelmora->running()) << pelmora->standardError();
}

TEST_F(LayerShellTest, F11InTheWindowShowsANewPictureSpreadOverTheWholeOutput) {
    // A floating window keeps the size it asks for; its F11 then takes it
    // to the output's 1600 x 1000.
    SwayServer sway("output HEADLESS-1 resolution 1600x1000\ndefault_border none\n"
                    "for_window [title=\"^Pelmora$\"] floating enable\n");
    if (!sway.error().empty()) {
        return missingServer(sway.error());
    }
    // Slow spheres and no field: where a sphere is is where it was made.
    HackProcess pelmora(PELMORA_PROGRAM,
                        {"--verbose", "-speedDivisor", "1", "-electricFieldStrength", "0", "-showLocalFields", "NO"},
                        sway.clientEnvironment());
    ASSERT_TRUE(eventually([&] { return pelmora.standardError().find(" view\n") != std::string::npos; }))
        << pelmora.standardError();
    ASSERT_EQ(pelmora.standardError().find("a 1600x1000 view"), std::string::npos) << pelmora.standardError();
    // The key goes to the window with the keyboard; a window just mapped
    // may not have it yet.
    sway.message("'[title=\"^Pelmora$\"]' focus");
    std::this_thread::sleep_for(500ms);
    ASSERT_EQ(sway.runClient("wtype -s 300 -k F11"), 0);
    EXPECT_TRUE(eventually([&] { return pelmora.standardError().find("a 1600x1000 view\n") != std::string::npos; }))
        << pelmora.standardError();
    std::optional<Screenshot> shot;
    EXPECT_TRUE(eventually([&] {
        shot = sway.screenshot("HEADLESS-1");
        return shot && coveredByView(*shot) && spheresAllOver(*shot);
    })) << pelmora.standardError();
}

// Each output has one view; a view whose output goes is dropped with its
// worker threads; with no output left the mode waits, says so once, and shows
// a view when an output comes back.
TEST_F(LayerShellTest, EachOutputHasOneViewAndAGoneOutputTakesItsViewAndWorkersAlong) {
    NestedSway nested("");
    if (!nested.error().empty()) {
        return missingServer(nested.error());
    }
    const SwayServer& outer = nested.outer();
    const SwayServer& sway = nested.inner();
    // Enough spheres that each view's physics wakes a worker thread, small
    // enough that the background still shows.
    HackProcess pelmora(PELMORA_PROGRAM,
                        {"--layer", "background", "--verbose", "--threads", "2", "-numberOfThings", "400",
                         "-sphereRadii", "2", "-showLocalFields", "NO"},
                        sway.clientEnvironment());
    const auto views = [&] { return lastViewCount(pelmora.standardError()); };
    ASSERT_TRUE(waitForView(sway, "WL-1")) << pelmora.standardError();
    ASSERT_TRUE(eventually([&] { return views() == 1; })) << pelmora.standardError();
    std::this_thread::sleep_for(500ms);
    const int oneView = ownThreads(pelmora.pid());
    ASSERT_GT(oneView, 1) << "no worker thread to follow";

    sway.message("create_output");
    ASSERT_TRUE(waitForView(sway, "WL-2")) << pelmora.standardError();
    ASSERT_TRUE(eventually([&] { return views() == 2; })) << pelmora.standardError();
    EXPECT_TRUE(eventually([&] { return ownThreads(pelmora.pid()) > oneView; }));

    outer.message("'[title=\"WL-2\"]' kill");
    ASSERT_TRUE(eventually([&] { return views() == 1; })) << pelmora.standardError();
    EXPECT_TRUE(eventually([&] { return ownThreads(pelmora.pid()) == oneView; }))
        << ownThreads(pelmora.pid()) << " threads, " << oneView << " with one view";

    outer.message("'[title=\"WL-1\"]' kill");
    ASSERT_TRUE(eventually([&] { return views() == 0; })) << pelmora.standardError();
    EXPECT_TRUE(eventually([&] { return ownThreads(pelmora.pid()) == 1; })) << ownThreads(pelmora.pid());
    std::this_thread::sleep_for(500ms);
    const std::string errors = pelmora.standardError();
    std::size_t said = 0;
    for (auto at = errors.find("no output is left"); at != std::string::npos;
         at = errors.find("no output is left", at + 1)) {
        ++said;
    }
    EXPECT_EQ(said, 1U) << errors;
    ASSERT_TRUE(pelmora.running()) << errors;

    sway.message("create_output");
    ASSERT_TRUE(eventually([&] { return sway.outputNames().size() == 1; }));
    EXPECT_TRUE(waitForView(sway, sway.outputNames().front())) << pelmora.standardError();
    EXPECT_TRUE(eventually([&] { return views() == 1; })) << pelmora.standardError();
    kill(pelmora.pid(), SIGTERM);
    EXPECT_EQ(pelmora.waitForExit(kPatience), 0) << pelmora.standardError();
}

TEST_F(LayerShellTest, EachSignalEndsEachLayerWithStatusZero) {
    SwayServer sway("output HEADLESS-1 resolution 320x240\n");
    if (!sway.error().empty()) {
        return missingServer(sway.error());
    }
    for (const char* layer : {"overlay", "background"}) {
        for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
            auto pelmora = startPelmora(sway, layer);
            ASSERT_TRUE(waitForView(sway, "HEADLESS-1")) << pelmora->standardError();
            kill(pelmora->pid(), signal);
            EXPECT_EQ(pelmora->waitForExit(kPatience), 0) << layer << " on signal " << signal << ": "
                                                          << pelmora->standardError();
            EXPECT_EQ(pelmora->standardError(), "") << layer << " on signal " << signal;
            EXPECT_TRUE(waitUntilGone(sway, "HEADLESS-1")) << layer << " on signal " << signal;
        }
    }
}

// A frame that throws (a worker's failure passed on, memory running out in a
// crowded frame) ends the mode with one line and status 1, where it ended
// in std::terminate's abort; its surface goes with it.
TEST_F(LayerShellTest, AFrameThatThrowsEndsTheLayerWithOneLineAndStatusOne) {
    SwayServer sway("output HEADLESS-1 resolution 320x240\n");
    ASSERT_EQ(sway.error(), "");
    std::map<std::string, std::string> environment = sway.clientEnvironment();
    environment["PELMORA_TEST_FAIL_FRAME"] = "5";
    HackProcess pelmora(PELMORA_PROGRAM, {"--layer", "background"}, environment);
    EXPECT_EQ(pelmora.waitForExit(kPatience), 1) << pelmora.standardError();
    const std::string errors = pelmora.standardError();
    EXPECT_NE(errors.find("pelmora: the view failed (frame 5 failed as the test asked); stopping\n"),
              std::string::npos)
        << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    EXPECT_TRUE(waitUntilGone(sway, "HEADLESS-1"));
}

// The resident saver on the compositor's idle timer: idleness shows it, a
// key ends it, and the next idle period shows it again.
TEST_F(LayerShellTest, TheResidentSaverShowsWhenIdleEndsOnAKeyAndShowsAgain) {
    SwayServer sway("output HEADLESS-1 resolution 320x240\n");
    ASSERT_EQ(sway.error(), "");
    HackProcess pelmora(PELMORA_PROGRAM, {"--idle", "2", "--verbose"}, sway.clientEnvironment());
    ASSERT_TRUE(waitForView(sway, "HEADLESS-1")) << pelmora.standardError();
    ASSERT_EQ(sway.runClient("wtype -s 300 a"), 0);
    EXPECT_TRUE(waitUntilGone(sway, "HEADLESS-1")) << pelmora.standardError();
    EXPECT_TRUE(pelmora.running());
    EXPECT_TRUE(waitForView(sway, "HEADLESS-1")) << pelmora.standardError();
    kill(pelmora.pid(), SIGTERM);
    EXPECT_EQ(pelmora.waitForExit(kPatience), 0) << pelmora.standardError();
    EXPECT_NE(pelmora.standardError().find("pelmora: idle source: the compositor's idle timer (org_kde_kwin_idle), after 2 s; "
                                               "views: layer-shell overlays\n"),
              std::string::npos)
        << pelmora.standardError();
}

// The line a layer mode gives where it cannot run: its own, once, naming
// what works there instead (GTK's own complaints about the desktop aside).
void expectOneLineNaming(HackProcess& pelmora, const std::string& why) {
    EXPECT_EQ(pelmora.waitForExit(kPatience), 1);
    const std::string errors = pelmora.standardError();
    std::size_t ours = 0;
    std::istringstream lines(errors);
    for (std::string line; std::getline(lines, line);) {
        ours += line.rfind("pelmora: ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(ours, 1U) << errors;
    EXPECT_NE(errors.find(why), std::string::npos) << errors;
    EXPECT_NE(errors.find("use --fullscreen"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("Layer Shell protocol"), std::string::npos) << "the library's own warning: " << errors;
}

// No layer shell to be had: weston, like GNOME, is a Wayland compositor
// without it; under X GTK opens the display but cannot make layer surfaces.
TEST_F(LayerShellTest, WithoutLayerShellOneLineNamesWhatWorks) {
    char pattern[] = "/tmp/pelmora-weston-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    const std::string runtime = pattern;
    {
        HackProcess weston("/usr/bin/weston",
                           {"--backend=headless-backend.so", "--socket=wayland-pelmora", "--idle-time=0",
                            "--log=" + runtime + "/weston.log"},
                           {{"XDG_RUNTIME_DIR", runtime}, {"WAYLAND_DISPLAY", ""}, {"DISPLAY", ""}});
        if (!eventually([&] { return std::filesystem::exists(runtime + "/wayland-pelmora.lock"); })) {
            std::filesystem::remove_all(runtime);
            return missingServer("weston: " + weston.standardError());
        }
        std::this_thread::sleep_for(200ms);  // the lock comes just before the socket listens
        HackProcess pelmora(PELMORA_PROGRAM, {"--layer", "background"},
                            {{"XDG_RUNTIME_DIR", runtime},
                             {"WAYLAND_DISPLAY", "wayland-pelmora"},
                             {"DISPLAY", ""},
                             {"NO_AT_BRIDGE", "1"},
                             {"XDG_CONFIG_HOME", runtime + "/config"}});
        expectOneLineNaming(pelmora, "has no layer shell");
        // Nor an idle timer that the resident saver could wait on.
        HackProcess idle(PELMORA_PROGRAM, {"--idle"},
                         {{"XDG_RUNTIME_DIR", runtime},
                          {"WAYLAND_DISPLAY", "wayland-pelmora"},
                          {"DISPLAY", ""},
                          {"NO_AT_BRIDGE", "1"},
                          {"XDG_CONFIG_HOME", runtime + "/config"}});
        EXPECT_EQ(idle.waitForExit(kPatience), 1);
        EXPECT_NE(idle.standardError().find("pelmora: --idle finds no idle timer on this Wayland compositor"),
                  std::string::npos)
            << idle.standardError();
    }
    std::filesystem::remove_all(runtime);

    XvfbServer x(320, 240);
    if (!x.error().empty()) {
        return missingServer(x.error());
    }
    HackProcess pelmora(PELMORA_PROGRAM, {"--layer", "overlay"},
                        {{"DISPLAY", x.display()}, {"WAYLAND_DISPLAY", ""}, {"NO_AT_BRIDGE", "1"}});
    expectOneLineNaming(pelmora, "this is an X11 display");

    // And the X11 hack in a Wayland session without X points here.
    HackProcess hack(PELMORA_PROGRAM, {"--root"}, {{"DISPLAY", ""}, {"WAYLAND_DISPLAY", "wayland-0"}});
    EXPECT_EQ(hack.waitForExit(kPatience), 1);
    const std::string hint = hack.standardError();
    EXPECT_NE(hint.find("--layer overlay"), std::string::npos) << hint;
    EXPECT_EQ(std::count(hint.begin(), hint.end(), '\n'), 1) << hint;
}

}  // namespace
}  // namespace pelmora::testing
