// The window program's full-screen saver on an X display with two monitors
// of different sizes: a view on each, made at its monitor's size.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "DummyXorgServer.h"
#include "HackProcess.h"
#include "ScreenShots.h"
#include "TestWindow.h"

namespace pelmora::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct Area {
    int x, y, width, height;
};

constexpr Area kLeft{0, 0, 1280, 1024};
constexpr Area kRight{1280, 0, 1024, 768};

class TwoMonitorTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(server_.display().empty()) << server_.error() << "\n" << server_.log();
        char pattern[] = "/tmp/pelmora-two-monitors-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        config_ = pattern;
    }

    void TearDown() override {
        if (!config_.empty()) {
            fs::remove_all(config_);
        }
    }

    static PixelCensus censusOf(const Picture& screen, Area area) {
        return screen.census(area.x, area.y, area.width, area.height);
    }
    static bool showsTheView(const Picture& screen, Area area) {
        const PixelCensus census = censusOf(screen, area);
        return census.background > census.total / 2 && census.sphere > 200;
    }

    DummyXorgServer server_{{{kLeft.width, kLeft.height}, {kRight.width, kRight.height}}};
    fs::path config_;
};

TEST_F(TwoMonitorTest, FullScreenPaintsEachMonitorWithSpheresSpreadOverIt) {
    TestWindow reader(server_.display(), 0, 0, 1, 1);
    ASSERT_TRUE(reader.ok());
    // Slow spheres and no field: where a sphere is in the first frames is
    // where it was made.
    HackProcess saver(PELMORA_PROGRAM,
                      {"--fullscreen", "--verbose", "-speedDivisor", "1", "-electricFieldStrength", "0",
                       "-showLocalFields", "NO"},
                      {{"DISPLAY", server_.display()}, {"XDG_CONFIG_HOME", config_.string()}, {"WAYLAND_DISPLAY", ""}});
    bool shown = false;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (!shown && std::chrono::steady_clock::now() < deadline) {
        const Picture screen = reader.screen();
        shown = showsTheView(screen, kLeft) && showsTheView(screen, kRight);
        std::this_thread::sleep_for(100ms);
    }
    saveScreenShot(server_.display(), "fullscreen-two-monitors");
    ASSERT_TRUE(shown) << saver.standardError();

    // Made at 800x600 and then stretched, a view would hold every sphere
    // in its top-left 800x600 for seconds; the chance that none of 40
    // spheres spread over a monitor lies outside that corner is below 1e-7.
    const Picture screen = reader.screen();
    for (const Area area : {kLeft, kRight}) {
        const int outsideCorner = censusOf(screen, {area.x + 820, area.y, area.width - 820, area.height}).sphere +
                                  censusOf(screen, {area.x, area.y + 620, 820, area.height - 620}).sphere;
        EXPECT_GT(outsideCorner, 0) << "monitor at " << area.x;
    }
    const std::string said = saver.standardError();
    EXPECT_NE(said.find("a 1280x1024 view on DUMMY0 at 0,0"), std::string::npos) << said;
    EXPECT_NE(said.find("a 1024x768 view on DUMMY1 at 1280,0"), std::string::npos) << said;
    EXPECT_NE(said.find("pelmora: seed "), std::string::npos) << said;
}

}  // namespace
}  // namespace pelmora::testing
