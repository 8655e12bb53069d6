#include "PaneWatch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "FrameLoop.h"

namespace pelmora {
namespace {

HWND makeWindow() {
    return CreateWindowExW(0, L"STATIC", L"pane", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

TEST(PaneWatch, SignalsOnceThePaneIsGoneAndNotBefore) {
    HWND pane = makeWindow();
    ASSERT_NE(pane, nullptr);
    PaneWatch watch(pane, std::chrono::milliseconds(10));
    EXPECT_EQ(WaitForSingleObject(watch.goneEvent(), 100), static_cast<DWORD>(WAIT_TIMEOUT));
    DestroyWindow(pane);
    // Generous: the watch looks every 10 ms, the machine may be busy.
    EXPECT_EQ(WaitForSingleObject(watch.goneEvent(), 10000), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST(PaneWatch, StopsAtOnceWhenItsOwnerIsDoneFirst) {
    HWND pane = makeWindow();
    ASSERT_NE(pane, nullptr);
    const auto start = std::chrono::steady_clock::now();
    {
        // A long period: the destructor must not wait it out.
        PaneWatch watch(pane, std::chrono::hours(1));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    DestroyWindow(pane);
}

TEST(FrameLoop, EndsWithTheQuitCodeOrWhenItsStopEventIsSet) {
    const std::vector<std::unique_ptr<SaverWindow>> none;
    PostQuitMessage(7);
    EXPECT_EQ(FrameLoop::run(none, 1.0 / 60.0, nullptr), 7);
    HANDLE stop = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(FrameLoop::run(none, 1.0 / 60.0, stop), 0);
    CloseHandle(stop);
}

}  // namespace
}  // namespace pelmora
