#include "Win32SheetHost.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "ControlPanelIds.h"
#include "MemoryStores.h"
#include "PelmoraView.h"
#include "RecordingCanvas.h"
#include "WideText.h"

namespace pelmora {
namespace {

// The view with the real options dialog, loaded from this program's copy of
// the dialog resource, and driven the way a user's clicks drive it.
class Win32SheetTest : public ::testing::Test {
protected:
    Win32SheetTest() : host(GetModuleHandleW(nullptr), nullptr) {
        host.setEndedHandler([this](std::optional<std::int64_t> code) { ended.push_back(code); });
        host.setRefusalHandler([this](HWND, const std::string& why) { refusals.push_back(why); });
        host.setMessageSink([this](const std::string& problem) { problems.push_back(problem); });
        view = std::make_unique<PelmoraView>(Rect{0.0, 0.0, 640.0, 480.0}, false,
                                             ViewHost{stores, "pelmora", canvas, host});
    }

    HWND openDialog() {
        SheetWindow* sheet = view->configureSheet();
        EXPECT_NE(sheet, nullptr);
        return sheet != nullptr ? Win32SheetHost::dialogOf(*sheet) : nullptr;
    }

    static std::string text(HWND dialog, int id) {
        wchar_t buffer[128] = {};
        GetDlgItemTextW(dialog, id, buffer, 128);
        return narrow(buffer);
    }
    static void type(HWND dialog, int id, const std::string& value) {
        SetDlgItemTextW(dialog, id, widen(value).c_str());
    }
    static void click(HWND dialog, int id) { SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    static void spin(HWND dialog, int id, int clicks) {
        NMUPDOWN change{};
        change.hdr.hwndFrom = GetDlgItem(dialog, id + IDC_SPIN_OFFSET);
        change.hdr.idFrom = static_cast<UINT_PTR>(id + IDC_SPIN_OFFSET);
        change.hdr.code = UDN_DELTAPOS;
        change.iDelta = clicks;
        SendMessageW(dialog, WM_NOTIFY, change.hdr.idFrom, reinterpret_cast<LPARAM>(&change));
    }

    testing::MemoryStores stores;
    RecordingCanvas canvas;
    Win32SheetHost host;
    std::unique_ptr<PelmoraView> view;
    std::vector<std::optional<std::int64_t>> ended;
    std::vector<std::string> refusals;
    std::vector<std::string> problems;
};

TEST_F(Win32SheetTest, TheDialogResourceConnectsEveryOutletAndShowsTheSettings) {
    HWND dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(problems.empty()) << problems.front();
    EXPECT_EQ(text(dialog, IDC_NUMBER), "40");
    EXPECT_EQ(text(dialog, IDC_CHARGE_RANGE), "2");
    EXPECT_EQ(text(dialog, IDC_SPHERE_RADII), "10.0");
    EXPECT_EQ(text(dialog, IDC_SPEED), "50.0");
    EXPECT_EQ(text(dialog, IDC_ELECTRIC_FIELD_STRENGTH), "2.0");
    EXPECT_EQ(text(dialog, IDC_LOCAL_FIELD_DISPLAY), "400.0");
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_LOCAL_FIELDS), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_BOUNCE), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_LABELS), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_NEUTRAL), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_FILL), BST_CHECKED);
    // A second opening is the same dialog, not a new one.
    EXPECT_EQ(openDialog(), dialog);
}

// The dialog reads as the GTK one: the same section titles and labels (with
// Windows' mnemonic mark), all from the settings table.
TEST_F(Win32SheetTest, TheDialogShowsTheSectionsAndLabelsOfTheSettingsTable) {
    HWND dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(text(dialog, IDC_SECTION_FIRST), "Spheres");
    EXPECT_EQ(text(dialog, IDC_SECTION_FIRST + 1), "Motion");
    EXPECT_EQ(text(dialog, IDC_SECTION_FIRST + 2), "Electric field");
    EXPECT_EQ(text(dialog, IDC_NUMBER + IDC_LABEL_OFFSET), "&Number of spheres");
    EXPECT_EQ(text(dialog, IDC_CHARGE_RANGE + IDC_LABEL_OFFSET), "&Largest charge");
    EXPECT_EQ(text(dialog, IDC_SPHERE_RADII + IDC_LABEL_OFFSET), "Sphere &radius");
    EXPECT_EQ(text(dialog, IDC_SPEED + IDC_LABEL_OFFSET), "&Speed");
    EXPECT_EQ(text(dialog, IDC_ELECTRIC_FIELD_STRENGTH + IDC_LABEL_OFFSET), "Field s&trength");
    EXPECT_EQ(text(dialog, IDC_LOCAL_FIELD_DISPLAY + IDC_LABEL_OFFSET), "Field line len&gth");
    EXPECT_EQ(text(dialog, IDC_NEUTRAL), "Allow n&eutral spheres");
    EXPECT_EQ(text(dialog, IDC_FILL), "F&illed spheres");
    EXPECT_EQ(text(dialog, IDC_LABELS), "Sho&w charges");
    EXPECT_EQ(text(dialog, IDC_BOUNCE), "Spheres &bounce off each other");
    EXPECT_EQ(text(dialog, IDC_LOCAL_FIELDS), "Show &field lines");
    EXPECT_EQ(text(dialog, IDC_RESET), "Reset to &Defaults");
}

TEST_F(Win32SheetTest, ResetToDefaultsFillsTheControlsAndOnlyOkAppliesThem) {
    auto& saved = stores.module("pelmora").saved;
    saved["numberOfThings"] = std::string("7");
    saved["sphereRadii"] = std::string("12.5");
    saved["electricFieldStrength"] = std::string("-3.5");
    saved["bouncingEnabled"] = std::string("YES");
    saved["fillSpheres"] = std::string("NO");
    view = std::make_unique<PelmoraView>(Rect{0.0, 0.0, 640.0, 480.0}, false,
                                         ViewHost{stores, "pelmora", canvas, host});
    HWND dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(text(dialog, IDC_NUMBER), "7");
    click(dialog, IDC_RESET);
    EXPECT_EQ(text(dialog, IDC_NUMBER), "40");
    EXPECT_EQ(text(dialog, IDC_SPHERE_RADII), "10.0");
    EXPECT_EQ(text(dialog, IDC_ELECTRIC_FIELD_STRENGTH), "2.0");
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_BOUNCE), BST_UNCHECKED);
    EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_FILL), BST_CHECKED);
    EXPECT_TRUE(ended.empty());
    EXPECT_EQ(view->numberOfThings(), 7);
    EXPECT_EQ(stores.module("pelmora").synchronizes, 0);
    click(dialog, IDOK);
    EXPECT_EQ(view->numberOfThings(), 40);
    EXPECT_EQ(view->sphereRadii(), 10.0F);
    EXPECT_FALSE(view->bouncingEnabled());
    EXPECT_TRUE(view->fillSpheres());
    EXPECT_EQ(stores.module("pelmora").synchronizes, 1);
}

TEST_F(Win32SheetTest, OkAppliesAndSavesWhatWasTyped) {
    HWND dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    type(dialog, IDC_NUMBER, "7");
    type(dialog, IDC_SPEED, "0");
    type(dialog, IDC_SPHERE_RADII, " 4.5 ");
    type(dialog, IDC_ELECTRIC_FIELD_STRENGTH, "-3");
    CheckDlgButton(dialog, IDC_FILL, BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_BOUNCE, BST_CHECKED);
    click(dialog, IDOK);
    ASSERT_EQ(ended.size(), 1U);
    EXPECT_EQ(ended[0], std::optional<std::int64_t>(1));
    EXPECT_EQ(view->numberOfThings(), 7);
    EXPECT_EQ(view->thingArray().size(), 7U);
    EXPECT_EQ(view->speedDivisor(), 1.0F);
    EXPECT_EQ(view->sphereRadii(), 4.5F);
    EXPECT_EQ(view->electricFieldStrength(), -3.0F);
    EXPECT_FALSE(view->fillSpheres());
    EXPECT_TRUE(view->bouncingEnabled());
    auto& saved = stores.module("pelmora");
    EXPECT_EQ(saved.synchronizes, 1);
    EXPECT_EQ(std::get<std::int64_t>(saved.saved.at("numberOfThings")), 7);
    EXPECT_EQ(std::get<float>(saved.saved.at("speedDivisor")), 1.0F);
    EXPECT_FALSE(IsWindowVisible(dialog));
}

TEST_F(Win32SheetTest, TextThatIsNoValueRefusesOkAndChangesNothing) {
    HWND dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    type(dialog, IDC_CHARGE_RANGE, "3");
    type(dialog, IDC_NUMBER, "seven");
    click(dialog, IDOK);
    type(dialog, IDC_NUMBER, "3000000000");
    click(dialog, IDOK);
    type(dialog, IDC_NUMBER, "12");
    type(dialog, IDC_SPHERE_RADII, "1e39");
    click(dialog, IDOK);
    EXPECT_EQ(refusals, (std::vector<std::string>{
                            "Number of spheres: \"seven\" is not a whole number from -2147483648 to 2147483647",
                            "Number of spheres: \"3000000000\" is not a whole number from -2147483648 to 2147483647",
                            "Sphere radius: \"1e39\" is not a number (such as 2.5)"}));
    EXPECT_TRUE(ended.empty());
    EXPECT_EQ(stores.module("pelmora").synchronizes, 0);
    EXPECT_EQ(view->chargeRange(), 2);
    EXPECT_EQ(view->numberOfThings(), 40);
}

TEST_F(Win32SheetTest, CancelKeepsTheSettingsAndTheEditsForNextTime) {
    HWND dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    type(dialog, IDC_NUMBER, "7");
    click(dialog, IDCANCEL);
    ASSERT_EQ(ended.size(), 1U);
    EXPECT_EQ(ended[0], std::nullopt);
    EXPECT_EQ(view->numberOfThings(), 40);
    EXPECT_EQ(stores.module("pelmora").synchronizes, 0);
    EXPECT_EQ(openDialog(), dialog);
    EXPECT_EQ(text(dialog, IDC_NUMBER), "7");
}

TEST_F(Win32SheetTest, UpDownButtonsStepEachValueInItsOwnUnit) {
    HWND dialog = openDialog();
    ASSERT_NE(dialog, nullptr);
    spin(dialog, IDC_SPHERE_RADII, 1);
    spin(dialog, IDC_NUMBER, -1);
    spin(dialog, IDC_LOCAL_FIELD_DISPLAY, 2);
    spin(dialog, IDC_ELECTRIC_FIELD_STRENGTH, 1);
    EXPECT_EQ(text(dialog, IDC_SPHERE_RADII), "10.5");
    EXPECT_EQ(text(dialog, IDC_NUMBER), "39");
    EXPECT_EQ(text(dialog, IDC_LOCAL_FIELD_DISPLAY), "420.0");
    EXPECT_EQ(text(dialog, IDC_ELECTRIC_FIELD_STRENGTH), "2.1");
    // Whole numbers stop at the ends of their range; text that is no number
    // is left for the user to mend.
    type(dialog, IDC_NUMBER, "2147483647");
    spin(dialog, IDC_NUMBER, 1);
    EXPECT_EQ(text(dialog, IDC_NUMBER), "2147483647");
    type(dialog, IDC_SPEED, "fast");
    spin(dialog, IDC_SPEED, 1);
    EXPECT_EQ(text(dialog, IDC_SPEED), "fast");
}

// An owner whose OK fails the way a crowded view's rebuild can.
class FailingOwner : public SheetOwner {
public:
    bool connectWindow(std::string_view, std::unique_ptr<SheetWindow> window) override {
        window_ = std::move(window);
        return true;
    }
    bool connectControl(std::string_view, std::unique_ptr<SheetControl> control) override {
        // Every edit holds a value, so OK gets past the dialog's own checks.
        control->setIntValue(1);
        controls_.push_back(std::move(control));
        return true;
    }
    bool performAction(std::string_view action) override {
        actions.emplace_back(action);
        if (action == "ok:") {
            throw std::bad_alloc();
        }
        return true;
    }
    SheetWindow* window() const { return window_.get(); }
    std::vector<std::string> actions;

private:
    std::unique_ptr<SheetWindow> window_;
    std::vector<std::unique_ptr<SheetControl>> controls_;
};

TEST(Win32SheetFailure, AnOkThatThrowsIsToldAndEndsTheSheetAsCancelled) {
    Win32SheetHost host(GetModuleHandleW(nullptr), nullptr);
    std::vector<std::string> refusals;
    host.setRefusalHandler([&refusals](HWND, const std::string& why) { refusals.push_back(why); });
    FailingOwner owner;
    ASSERT_TRUE(host.loadNibNamed("controlPanel", owner));
    ASSERT_NE(owner.window(), nullptr);
    HWND dialog = Win32SheetHost::dialogOf(*owner.window());
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    ASSERT_EQ(refusals.size(), 1U);
    EXPECT_EQ(refusals[0].rfind("The options could not be applied: ", 0), 0U) << refusals[0];
    EXPECT_EQ(owner.actions, (std::vector<std::string>{"ok:", "cancel:"}));
}

}  // namespace
}  // namespace pelmora
