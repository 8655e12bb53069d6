#include "SaverWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

#include "FrameLoop.h"
#include "MemoryStores.h"
#include "PowerWatch.h"

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

// A WM_POWERBROADCAST's POWERBROADCAST_SETTING with a DWORD of data, as
// Windows sends it for a display's power setting.
class PowerSetting {
public:
    PowerSetting(const GUID& setting, DWORD state) {
        POWERBROADCAST_SETTING header{};
        header.PowerSetting = setting;
        header.DataLength = sizeof state;
        std::memcpy(bytes_.data(), &header, offsetof(POWERBROADCAST_SETTING, Data));
        std::memcpy(bytes_.data() + offsetof(POWERBROADCAST_SETTING, Data), &state, sizeof state);
    }
    LPARAM lParam() { return reinterpret_cast<LPARAM>(bytes_.data()); }

private:
    alignas(POWERBROADCAST_SETTING) std::array<unsigned char, sizeof(POWERBROADCAST_SETTING) + sizeof(DWORD)> bytes_{};
};

// Windows' documented identities of the console display's and the
// monitor's power settings.
constexpr GUID kConsoleDisplay = {0x6fe69556, 0x704a, 0x47a0, {0x8f, 0x24, 0xc2, 0x8d, 0x93, 0x6f, 0xda, 0x47}};
constexpr GUID kMonitorPower = {0x02731015, 0x4510, 0x4526, {0x99, 0xe6, 0xe5, 0xa1, 0x7e, 0xbd, 0x1a, 0xea}};

// Runs the frame loop over spells of timer ticks; before each spell its
// step sends the window what Windows would, and the frames the loop draws
// in each spell are counted.
class PowerSpells {
public:
    PowerSpells(const std::vector<std::unique_ptr<SaverWindow>>& windows, const PowerWatch& power)
        : windows_(windows), power_(power) {}

    // The frames drawn in each step's spell.
    std::vector<int> run(std::vector<std::function<void()>> steps) {
        steps_ = std::move(steps);
        HWND window = windows_.front()->window();
        SetPropW(window, kProperty, this);
        SetTimer(window, 1, kTickMs, onTimer);
        startSpell();
        EXPECT_EQ(FrameLoop::run(windows_, 1.0 / 60.0, nullptr, &power_.gate()), 0);
        KillTimer(window, 1);
        RemovePropW(window, kProperty);
        return frames_;
    }

private:
    static constexpr const wchar_t* kProperty = L"PelmoraPowerSpells";
    static constexpr UINT kTickMs = 10;
    static constexpr int kTicksPerSpell = 8;

    // The view's background steps once a frame.
    int framesSoFar() const { return windows_.front()->view()->backgroundCounter(); }
    void startSpell() {
        spellStart_ = framesSoFar();
        steps_[next_++]();
    }

    static void CALLBACK onTimer(HWND window, UINT, UINT_PTR, DWORD) {
        auto* spells = static_cast<PowerSpells*>(GetPropW(window, kProperty));
        if (spells == nullptr || ++spells->ticks_ % kTicksPerSpell != 0) {
            return;
        }
        spells->frames_.push_back(spells->framesSoFar() - spells->spellStart_);
        if (spells->next_ < spells->steps_.size()) {
            spells->startSpell();
        } else {
            PostQuitMessage(0);
        }
    }

    const std::vector<std::unique_ptr<SaverWindow>>& windows_;
    const PowerWatch& power_;
    std::vector<std::function<void()>> steps_;
    std::size_t next_ = 0;
    int ticks_ = 0;
    int spellStart_ = 0;
    std::vector<int> frames_;
};

// Off is off however Windows says it; dimmed is still seen; back on, the
// frames come again at once. On battery with pause, the same.
TEST_F(SaverWindowTest, NoFramesWhileTheDisplayIsOffOrPausedOnBatteryAndFramesAgainAfter) {
    bool battery = false;
    PowerWatch power(BatteryPolicy::Pause, [&battery] { return battery; });
    auto withPower = setup(SaverWindow::Kind::FullScreen);
    withPower.power = &power;
    std::vector<std::unique_ptr<SaverWindow>> windows;
    windows.push_back(std::make_unique<SaverWindow>(GetModuleHandleW(nullptr), withPower));
    HWND window = windows.front()->window();
    ASSERT_NE(window, nullptr);
    const auto display = [window](const GUID& setting, DWORD state) {
        return [window, setting, state] {
            PowerSetting message(setting, state);
            SendMessageW(window, WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, message.lParam());
        };
    };
    const auto powerSource = [window, &battery](bool onBattery) {
        return [window, &battery, onBattery] {
            battery = onBattery;
            SendMessageW(window, WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
        };
    };
    PowerSpells spells(windows, power);
    const std::vector<int> frames = spells.run({[] {}, display(kConsoleDisplay, 0), display(kConsoleDisplay, 2),
                                               display(kMonitorPower, 0), display(kMonitorPower, 1),
                                               powerSource(true), powerSource(false)});
    ASSERT_EQ(frames.size(), 7U);
    EXPECT_GT(frames[0], 0) << "on, on mains";
    EXPECT_EQ(frames[1], 0) << "console display off";
    EXPECT_GT(frames[2], 0) << "console display dimmed";
    EXPECT_EQ(frames[3], 0) << "monitor off";
    EXPECT_GT(frames[4], 0) << "monitor on";
    EXPECT_EQ(frames[5], 0) << "on battery, paused";
    EXPECT_GT(frames[6], 0) << "back on mains";
}

TEST_F(SaverWindowTest, OnBatteryTheSlowPolicyHalvesTheRateFromTheStartOrTheChange) {
    bool battery = true;
    PowerWatch power(BatteryPolicy::Slow, [&battery] { return battery; });
    EXPECT_EQ(power.gate().intervalMultiple(), 2);
    auto withPower = setup(SaverWindow::Kind::FullScreen);
    withPower.power = &power;
    SaverWindow saver(GetModuleHandleW(nullptr), withPower);
    ASSERT_NE(saver.window(), nullptr);
    battery = false;
    SendMessageW(saver.window(), WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
    EXPECT_EQ(power.gate().intervalMultiple(), 1);
    battery = true;
    SendMessageW(saver.window(), WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, 0);
    EXPECT_EQ(power.gate().intervalMultiple(), 2);
    EXPECT_TRUE(power.gate().open());
    // A setting that is not the display's, one without its data, and none at all change nothing.
    PowerSetting other({0x1, 0x2, 0x3, {4, 5, 6, 7, 8, 9, 10, 11}}, 0);
    SendMessageW(saver.window(), WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, other.lParam());
    POWERBROADCAST_SETTING empty{kConsoleDisplay, 0, {0}};
    SendMessageW(saver.window(), WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, reinterpret_cast<LPARAM>(&empty));
    SendMessageW(saver.window(), WM_POWERBROADCAST, PBT_POWERSETTINGCHANGE, 0);
    EXPECT_TRUE(power.gate().open());
}

}  // namespace
}  // namespace pelmora
