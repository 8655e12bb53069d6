#include "SaverWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include "FrameLoop.h"
#include "MemoryStores.h"

namespace pelmora {
namespace {

// The saver's windows on their own: what ends them, and the view's size.
class SaverWindowTest : public ::testing::Test {
protected:
    SaverWindow::Setup setup(SaverWindow::Kind kind) {
        SaverWindow::Setup result;
        result.kind = kind;
        result.placement = RECT{0, 0, 320, 200};
        result.stores = &stores;
        result.moduleName = "pelmora";
        result.onEnd = [this] { ++ends; };
        return result;
    }

    // A move of the pointer by (dx, dy) from where it was when the window opened.
    static LPARAM movedPointer(HWND window, LONG dx, LONG dy) {
        POINT at{};
        GetCursorPos(&at);
        ScreenToClient(window, &at);
        return MAKELPARAM(static_cast<WORD>(at.x + dx), static_cast<WORD>(at.y + dy));
    }

    testing::MemoryStores stores;
    int ends = 0;
};

TEST_F(SaverWindowTest, FullScreenEndsOnKeysClicksAndRealPointerMovesOnly) {
    SaverWindow saver(GetModuleHandleW(nullptr), setup(SaverWindow::Kind::FullScreen));
    HWND window = saver.window();
    ASSERT_NE(window, nullptr);
    ASSERT_NE(saver.view(), nullptr);
    // The move Windows sends when a window appears under a still pointer,
    // and small jitter, do not count.
    SendMessageW(window, WM_MOUSEMOVE, 0, movedPointer(window, 0, 0));
    SendMessageW(window, WM_MOUSEMOVE, 0, movedPointer(window, SaverWindow::kPointerSlack, -SaverWindow::kPointerSlack));
    EXPECT_EQ(ends, 0);
    SendMessageW(window, WM_MOUSEMOVE, 0, movedPointer(window, SaverWindow::kPointerSlack + 1, 0));
    EXPECT_EQ(ends, 1);
    for (const UINT message : {WM_KEYDOWN, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
        SaverWindow another(GetModuleHandleW(nullptr), setup(SaverWindow::Kind::FullScreen));
        const int before = ends;
        SendMessageW(another.window(), message, 0, 0);
        EXPECT_EQ(ends, before + 1) << "message " << message;
    }
}

// The view is made once the window has its real size, so the spheres start
// spread over all of it, not in a corner of a default size; 40 spheres all
// landing inside 800 x 600 of 1000 x 700 by chance is a one in three
// million event.
TEST_F(SaverWindowTest, TheFirstViewIsMadeAtTheWindowsRealSize) {
    auto large = setup(SaverWindow::Kind::FullScreen);
    large.placement = RECT{0, 0, 1000, 700};
    SaverWindow saver(GetModuleHandleW(nullptr), large);
    ASSERT_NE(saver.view(), nullptr);
    EXPECT_EQ(saver.view()->bounds().width, 1000.0);
    EXPECT_EQ(saver.view()->bounds().height, 700.0);
    const auto& spheres = saver.view()->thingArray();
    ASSERT_EQ(spheres.size(), 40U);
    EXPECT_TRUE(std::any_of(spheres.begin(), spheres.end(),
                            [](const Vekthing& sphere) { return sphere.x() > 800.0F || sphere.y() > 600.0F; }));
}

TEST_F(SaverWindowTest, APreviewFillsItsPaneIgnoresInputAndEndsWithThePane) {
    HWND pane = CreateWindowExW(0, L"STATIC", L"pane", WS_OVERLAPPED, 0, 0, 300, 200, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(pane, nullptr);
    auto previewSetup = setup(SaverWindow::Kind::Preview);
    previewSetup.parent = pane;
    SaverWindow preview(GetModuleHandleW(nullptr), previewSetup);
    ASSERT_NE(preview.window(), nullptr);
    EXPECT_EQ(GetParent(preview.window()), pane);
    RECT paneArea{};
    GetClientRect(pane, &paneArea);
    // At the standard 96 DPI a unit is a pixel.
    EXPECT_EQ(preview.view()->bounds().width, static_cast<double>(paneArea.right));
    EXPECT_EQ(preview.view()->bounds().height, static_cast<double>(paneArea.bottom));
    EXPECT_TRUE(preview.view()->isPreview());
    SendMessageW(preview.window(), WM_KEYDOWN, 'A', 0);
    SendMessageW(preview.window(), WM_LBUTTONDOWN, 0, 0);
    SendMessageW(preview.window(), WM_MOUSEMOVE, 0, MAKELPARAM(200, 150));
    preview.drawFrame();
    EXPECT_EQ(ends, 0);
    DestroyWindow(pane);
    EXPECT_EQ(ends, 1);
    // Drawing into a window that is gone does nothing.
    preview.drawFrame();
}

// A failure inside the window procedure must not unwind through Windows'
// frames (SendMessage's here, DispatchMessage's in the loop), where on
// Windows it ends in std::terminate; the loop ends by it instead, and the
// window is still there to be taken down in order.
TEST_F(SaverWindowTest, AFailureInAWindowsMessageEndsTheLoopByItsException) {
    auto failing = setup(SaverWindow::Kind::FullScreen);
    failing.onEnd = [] { throw std::runtime_error("no memory for the end"); };
    std::vector<std::unique_ptr<SaverWindow>> windows;
    windows.push_back(std::make_unique<SaverWindow>(GetModuleHandleW(nullptr), failing));
    ASSERT_NE(windows.front()->window(), nullptr);
    EXPECT_NO_THROW(SendMessageW(windows.front()->window(), WM_KEYDOWN, 'A', 0));
    try {
        FrameLoop::run(windows, 1.0 / 60.0, nullptr);
        ADD_FAILURE() << "the loop went on after the failure";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "no memory for the end");
    }
    EXPECT_TRUE(IsWindow(windows.front()->window()));
    // Told once: the failure is not thrown again by the next loop.
    PostMessageW(windows.front()->window(), WM_CLOSE, 0, 0);
    PostQuitMessage(7);
    EXPECT_EQ(FrameLoop::run(windows, 1.0 / 60.0, nullptr), 7);
}

}  // namespace
}  // namespace pelmora
