// The hack's frame loop on a real X server with a fake in place of DPMS,
// which Xvfb lacks: no frames while the monitor is off.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "DisplayPower.h"
#include "HackSession.h"
#include "MemoryStores.h"
#include "MissingServer.h"
#include "SignalWatch.h"
#include "TestWindow.h"
#include "XvfbServer.h"

namespace pelmora::testing {
namespace {

using namespace std::chrono_literals;

// A monitor the test switches, and how often the hack looked at it.
class SwitchedMonitor : public DisplayPower {
public:
    bool monitorOn() override {
        ++looks;
        return on;
    }
    std::atomic<bool> on{false};
    std::atomic<int> looks{0};
};

bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

bool showsSpheres(const TestWindow& window) { return window.picture().census().sphere > 50; }

TEST(HackSessionPowerTest, NoFramesWhileTheMonitorIsOffAndTheyComeBackWithIt) {
    XvfbServer server(320, 240);
    if (server.display().empty()) {
        return missingServer(server.error());
    }
    TestWindow window(server.display(), 0, 0, 200, 150);
    ASSERT_TRUE(window.ok());
    window.fillWith(0);
    MemoryStores stores;
    auto power = std::make_unique<SwitchedMonitor>();
    SwitchedMonitor& monitor = *power;
    std::atomic<int> status{-1};
    std::thread loop([&, power = std::move(power)]() mutable {
        Display* display = XOpenDisplay(server.display().c_str());
        XSelectInput(display, window.id(), StructureNotifyMask | VisibilityChangeMask);
        XWindowAttributes attributes{};
        XGetWindowAttributes(display, window.id(), &attributes);
        {
            SignalWatch signals;
            HackSession session(display, window.id(), attributes, stores, "pelmora", false, std::move(power));
            status = session.run(signals);
        }
        XCloseDisplay(display);
    });

    // Off from the start: looked at twice, and not a frame drawn.
    EXPECT_TRUE(eventually([&] { return monitor.looks >= 2; }));
    EXPECT_FALSE(showsSpheres(window)) << "a frame was drawn with the monitor off";
    monitor.on = true;
    EXPECT_TRUE(eventually([&] { return showsSpheres(window); })) << "no frames once the monitor was on";

    // Off again: once the hack has seen it, a cleared window stays clear.
    monitor.on = false;
    const int looked = monitor.looks;
    EXPECT_TRUE(eventually([&] { return monitor.looks >= looked + 1; }));
    window.fillWith(0);
    const int cleared = monitor.looks;
    EXPECT_TRUE(eventually([&] { return monitor.looks >= cleared + 2; }));
    EXPECT_FALSE(showsSpheres(window)) << "a frame was drawn with the monitor off";

    window.destroy();
    loop.join();
    EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace pelmora::testing
