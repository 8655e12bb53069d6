// The sheet's GTK side in-process: the control adapters, the loader against
// interface text and the compiled-in file, and the real view driving both.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "MissingServer.h"
#include "ControlPanelOutlets.h"
#include "GtkSheetHost.h"
#include "GtkSheetWindow.h"
#include "GtkSpinControl.h"
#include "GtkToggleControl.h"
#include "MemoryStores.h"
#include "PelmoraView.h"
#include "RecordingCanvas.h"
#include "SettingsSchema.h"

namespace pelmora {
namespace {

class GtkTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr) {
            return testing::missingServer("an X display: $DISPLAY is not set");
        }
        // A busy X server can refuse a connection for a moment; a display
        // that stays unreachable is a failure, not a reason to skip.
        for (int attempt = 0; attempt < 50; ++attempt) {
            if (gtk_init_check(nullptr, nullptr) != 0) {
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        FAIL() << "cannot open the display " << std::getenv("DISPLAY");
    }
};

GtkSpinButton* makeSpin(double lower, double upper, double step, guint digits) {
    GtkWidget* spin = gtk_spin_button_new_with_range(lower, upper, step);
    gtk_spin_button_set_digits(GTK_SPIN_BUTTON(spin), digits);
    return GTK_SPIN_BUTTON(g_object_ref_sink(spin));
}

using SpinControlTest = GtkTest;

TEST_F(SpinControlTest, AnswersTheValueMessagesAndTruncatesTowardZero) {
    GtkSpinButton* spin = makeSpin(-100, 100, 0.1, 2);
    GtkSpinControl control(spin);
    control.setFloatValue(2.75F);
    EXPECT_EQ(control.floatValue(), 2.75F);
    EXPECT_EQ(control.intValue(), 2);
    control.setFloatValue(-2.75F);
    EXPECT_EQ(control.intValue(), -2);
    control.setIntValue(40);
    EXPECT_EQ(control.floatValue(), 40.0F);
    EXPECT_EQ(control.state(), 40);
    g_object_unref(spin);
}

TEST_F(SpinControlTest, TypedTextCountsWithoutLeavingTheField) {
    GtkSpinButton* spin = makeSpin(0, 1000, 1, 0);
    GtkSpinControl control(spin);
    control.setIntValue(40);
    gtk_entry_set_text(GTK_ENTRY(spin), "7");
    EXPECT_EQ(control.intValue(), 7);
    g_object_unref(spin);
}

TEST_F(SpinControlTest, KeepsStoredValuesTheRangeOrTheDisplayWouldCut) {
    GtkSpinButton* spin = makeSpin(0, 1000, 1, 1);
    GtkSpinControl control(spin);
    control.setIntValue(5000);
    EXPECT_EQ(control.intValue(), 5000);
    control.setFloatValue(-3.0F);
    EXPECT_EQ(control.floatValue(), -3.0F);
    // Shown as "2.3", but nobody edited it: the stored float comes back whole.
    control.setFloatValue(2.345F);
    EXPECT_EQ(control.floatValue(), 2.345F);
    g_object_unref(spin);
}

using ToggleControlTest = GtkTest;

TEST_F(ToggleControlTest, OnOffAndMixedStates) {
    auto* button = GTK_TOGGLE_BUTTON(g_object_ref_sink(gtk_check_button_new_with_label("x")));
    GtkToggleControl control(button);
    control.setState(1);
    EXPECT_EQ(control.state(), 1);
    EXPECT_TRUE(gtk_toggle_button_get_active(button));
    control.setState(0);
    EXPECT_EQ(control.state(), 0);
    for (std::int64_t odd : {2, -1, 7}) {
        control.setState(odd);
        EXPECT_EQ(control.state(), GtkToggleControl::kMixed) << odd;
        EXPECT_TRUE(gtk_toggle_button_get_inconsistent(button));
    }
    // A click on a mixed toggle decides it.
    gtk_button_clicked(GTK_BUTTON(button));
    EXPECT_EQ(control.state(), 1);
    EXPECT_EQ(control.intValue(), 1);
    EXPECT_EQ(control.floatValue(), 1.0F);
    g_object_unref(button);
}

// Records what a load connected and which actions the buttons sent.
class RecordingOwner : public SheetOwner {
public:
    bool connectWindow(std::string_view outlet, std::unique_ptr<SheetWindow> window) override {
        windows[std::string(outlet)] = std::move(window);
        return true;
    }
    bool connectControl(std::string_view outlet, std::unique_ptr<SheetControl> control) override {
        controls[std::string(outlet)] = std::move(control);
        return true;
    }
    bool performAction(std::string_view action) override {
        actions.emplace_back(action);
        return action == "ok:" || action == "cancel:";
    }
    GtkWindow* window(const std::string& id) {
        return dynamic_cast<GtkSheetWindow&>(*windows.at(id)).window();
    }

    std::map<std::string, std::unique_ptr<SheetControl>> controls;
    std::map<std::string, std::unique_ptr<SheetWindow>> windows;
    std::vector<std::string> actions;
};

// The widget with `id` inside the sheet's window.
GtkWidget* findById(GtkWidget* widget, const char* id) {
    if (GTK_IS_BUILDABLE(widget) && g_strcmp0(gtk_buildable_get_name(GTK_BUILDABLE(widget)), id) == 0) {
        return widget;
    }
    if (!GTK_IS_CONTAINER(widget)) {
        return nullptr;
    }
    GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
    GtkWidget* found = nullptr;
    for (GList* child = children; child != nullptr && found == nullptr; child = child->next) {
        found = findById(GTK_WIDGET(child->data), id);
    }
    g_list_free(children);
    return found;
}

// A small sheet: a window "panel" holding the controls and three buttons,
// one of them bound to an action the owner does not have.
std::string sheetText(bool withWindow, bool withCount) {
    std::string children =
        R"(<child><object class="GtkSpinButton" id="speedControl"/></child>)"
        R"(<child><object class="GtkCheckButton" id="fillToggle"/></child>)"
        R"(<child><object class="GtkButton" id="okButton"><signal name="clicked" handler="ok:"/></object></child>)"
        R"(<child><object class="GtkButton" id="cancelButton"><signal name="clicked" handler="cancel:"/></object></child>)"
        R"(<child><object class="GtkButton" id="helpButton"><signal name="clicked" handler="help:"/></object></child>)";
    if (withCount) {
        children += R"(<child><object class="GtkSpinButton" id="numberControl"/></child>)";
    }
    const std::string box = R"(<object class="GtkBox" id="box">)" + children + "</object>";
    if (!withWindow) {
        return "<interface>" + box + "</interface>";
    }
    return R"(<interface><object class="GtkWindow" id="panel"><child>)" + box + "</child></object></interface>";
}

class SheetLoaderTest : public GtkTest {
protected:
    GtkSheetHost host{SheetOutlets{"panel", {"speedControl", "numberControl", "fillToggle"}}};
    RecordingOwner owner;
    std::vector<std::string> messages;

    void SetUp() override {
        GtkTest::SetUp();
        host.setMessageSink([this](const std::string& message) { messages.push_back(message); });
    }
};

TEST_F(SheetLoaderTest, ConnectsWindowControlsAndActionsById) {
    ASSERT_TRUE(host.loadFromString(sheetText(true, true), "panel.ui", owner));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(owner.windows.count("panel"), 1U);
    ASSERT_EQ(owner.controls.size(), 3U);
    EXPECT_NE(dynamic_cast<GtkSpinControl*>(owner.controls["numberControl"].get()), nullptr);
    EXPECT_NE(dynamic_cast<GtkToggleControl*>(owner.controls["fillToggle"].get()), nullptr);
}

TEST_F(SheetLoaderTest, ButtonsAndClosingSendTheirActions) {
    ASSERT_TRUE(host.loadFromString(sheetText(true, true), "panel.ui", owner));
    GtkWidget* window = GTK_WIDGET(owner.window("panel"));
    gtk_button_clicked(GTK_BUTTON(findById(window, "okButton")));
    gtk_button_clicked(GTK_BUTTON(findById(window, "cancelButton")));
    gtk_button_clicked(GTK_BUTTON(findById(window, "helpButton")));
    EXPECT_EQ(owner.actions, (std::vector<std::string>{"ok:", "cancel:", "help:"}));
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_NE(messages[0].find("\"help:\""), std::string::npos);

    // Closing the window (Escape, the title bar) is a Cancel and must not
    // destroy the window the owner keeps for reopening.
    GdkEvent* event = gdk_event_new(GDK_DELETE);
    gboolean handled = FALSE;
    g_signal_emit_by_name(window, "delete-event", event, &handled);
    gdk_event_free(event);
    EXPECT_TRUE(handled);
    EXPECT_EQ(owner.actions.back(), "cancel:");
    EXPECT_TRUE(gtk_widget_in_destruction(window) == FALSE);
}

TEST_F(SheetLoaderTest, MissingControlIsNamedAndTheRestConnect) {
    ASSERT_TRUE(host.loadFromString(sheetText(true, false), "panel.ui", owner));
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_NE(messages[0].find("panel.ui"), std::string::npos);
    EXPECT_NE(messages[0].find("\"numberControl\""), std::string::npos);
    EXPECT_EQ(owner.controls.size(), 2U);
}

TEST_F(SheetLoaderTest, MissingWindowFailsTheLoadNamingIt) {
    EXPECT_FALSE(host.loadFromString(sheetText(false, true), "panel.ui", owner));
    ASSERT_EQ(messages.size(), 1U);
    EXPECT_NE(messages[0].find("panel.ui"), std::string::npos);
    EXPECT_NE(messages[0].find("\"panel\""), std::string::npos);
    EXPECT_TRUE(owner.windows.empty());
    EXPECT_TRUE(owner.controls.empty());
}

TEST_F(SheetLoaderTest, BrokenTextAndUnknownNamesFailWithAMessage) {
    EXPECT_FALSE(host.loadFromString("<interface><object class=", "panel.ui", owner));
    EXPECT_FALSE(host.loadNibNamed("../panel", owner));
    EXPECT_FALSE(host.loadNibNamed("noSuchPanel", owner));
    ASSERT_EQ(messages.size(), 3U);
    EXPECT_NE(messages[2].find("noSuchPanel.ui"), std::string::npos);
}

TEST_F(SheetLoaderTest, EndingTheSheetHidesItAndReportsHow) {
    ASSERT_TRUE(host.loadFromString(sheetText(true, true), "panel.ui", owner));
    std::vector<std::optional<std::int64_t>> ended;
    host.setEndedHandler([&](std::optional<std::int64_t> code) { ended.push_back(code); });
    SheetWindow& sheet = *owner.windows["panel"];
    gtk_widget_show(GTK_WIDGET(owner.window("panel")));
    host.endSheet(sheet, 1);
    EXPECT_FALSE(gtk_widget_get_visible(GTK_WIDGET(owner.window("panel"))));
    host.endSheet(sheet);
    EXPECT_EQ(ended, (std::vector<std::optional<std::int64_t>>{1, std::nullopt}));
}

// The compiled-in "controlPanel" against the real view and an in-memory store.
class ControlPanelTest : public GtkTest {
protected:
    testing::MemoryStores stores;
    RecordingCanvas canvas;
    GtkSheetHost host{ControlPanelOutlets::make()};
    std::vector<std::string> messages;

    void SetUp() override {
        GtkTest::SetUp();
        host.setMessageSink([this](const std::string& message) { messages.push_back(message); });
    }
    std::unique_ptr<PelmoraView> makeView() {
        return std::make_unique<PelmoraView>(Rect{0, 0, 800, 600}, false,
                                             ViewHost{stores, "pelmora", canvas, host});
    }
};

TEST_F(ControlPanelTest, OpensWithTheStoredValuesAndOkAppliesAndSaves) {
    stores.module("pelmora").saved["numberOfThings"] = std::string("7");
    stores.module("pelmora").saved["sphereRadii"] = std::string("12.5");
    stores.module("pelmora").saved["labelsEnabled"] = std::string("YES");
    auto view = makeView();
    SheetWindow* sheet = view->configureSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(messages.empty());
    GtkWidget* window = GTK_WIDGET(dynamic_cast<GtkSheetWindow&>(*sheet).window());
    auto spin = [&](const char* id) { return GTK_SPIN_BUTTON(findById(window, id)); };
    auto toggle = [&](const char* id) { return GTK_TOGGLE_BUTTON(findById(window, id)); };
    EXPECT_EQ(gtk_spin_button_get_value(spin("numberControl")), 7.0);
    EXPECT_EQ(gtk_spin_button_get_value(spin("sphereRadiiControl")), 12.5);
    EXPECT_EQ(gtk_spin_button_get_value(spin("speedControl")), 50.0);
    EXPECT_TRUE(gtk_toggle_button_get_active(toggle("labelToggle")));
    EXPECT_FALSE(gtk_toggle_button_get_active(toggle("bounceToggle")));

    gtk_entry_set_text(GTK_ENTRY(spin("numberControl")), "3");
    gtk_toggle_button_set_active(toggle("fillToggle"), FALSE);
    gtk_button_clicked(GTK_BUTTON(findById(window, "okButton")));
    EXPECT_EQ(view->thingArray().size(), 3U);
    EXPECT_FALSE(view->fillSpheres());
    EXPECT_EQ(view->attributes().foregroundColor, Color::white());
    EXPECT_EQ(stores.module("pelmora").synchronizes, 1);
    EXPECT_FALSE(gtk_widget_get_visible(window));
}

TEST_F(ControlPanelTest, CancelChangesNothingAndTheEditsStayForNextTime) {
    auto view = makeView();
    SheetWindow* sheet = view->configureSheet();
    ASSERT_NE(sheet, nullptr);
    GtkWidget* window = GTK_WIDGET(dynamic_cast<GtkSheetWindow&>(*sheet).window());
    GtkSpinButton* count = GTK_SPIN_BUTTON(findById(window, "numberControl"));
    gtk_entry_set_text(GTK_ENTRY(count), "0");
    gtk_button_clicked(GTK_BUTTON(findById(window, "cancelButton")));
    EXPECT_EQ(view->thingArray().size(), 40U);
    EXPECT_EQ(stores.module("pelmora").synchronizes, 0);
    ASSERT_EQ(view->configureSheet(), sheet);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(count)), "0");
}

TEST_F(ControlPanelTest, ResetToDefaultsFillsTheControlsWithTheRegisteredDefaultsAndOkAppliesThem) {
    auto& saved = stores.module("pelmora").saved;
    saved["numberOfThings"] = std::string("7");
    saved["chargeRange"] = std::string("5");
    saved["sphereRadii"] = std::string("12.5");
    saved["speedDivisor"] = std::string("80.0");
    saved["electricFieldStrength"] = std::string("-3.5");
    saved["localFieldDisplay"] = std::string("900.0");
    saved["labelsEnabled"] = std::string("YES");
    saved["bouncingEnabled"] = std::string("YES");
    saved["fillSpheres"] = std::string("NO");
    saved["neutralCharges"] = std::string("NO");
    saved["showLocalFields"] = std::string("NO");
    auto view = makeView();
    SheetWindow* sheet = view->configureSheet();
    ASSERT_NE(sheet, nullptr);
    GtkWidget* window = GTK_WIDGET(dynamic_cast<GtkSheetWindow&>(*sheet).window());
    gtk_button_clicked(GTK_BUTTON(findById(window, "resetButton")));
    EXPECT_TRUE(messages.empty()) << messages.front();

    for (const Setting& entry : kSettings) {
        const Setting* setting = &entry;
        const std::string id(setting->outlet);
        SCOPED_TRACE(id);
        GtkWidget* control = findById(window, id.c_str());
        ASSERT_NE(control, nullptr);
        if (setting->type == SettingType::Boolean) {
            EXPECT_EQ(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(control)) != 0, setting->defaultText == "YES");
        } else {
            EXPECT_EQ(gtk_spin_button_get_value(GTK_SPIN_BUTTON(control)),
                      std::strtod(std::string(setting->defaultText).c_str(), nullptr));
        }
    }
    // Only the controls changed; OK applies and saves them.
    EXPECT_TRUE(view->labelsEnabled());
    EXPECT_EQ(stores.module("pelmora").synchronizes, 0);
    gtk_button_clicked(GTK_BUTTON(findById(window, "okButton")));
    EXPECT_EQ(view->thingArray().size(), 40U);
    EXPECT_EQ(view->chargeRange(), 2);
    EXPECT_EQ(view->sphereRadii(), 10.0F);
    EXPECT_EQ(view->speedDivisor(), 50.0F);
    EXPECT_EQ(view->electricFieldStrength(), 2.0F);
    EXPECT_EQ(view->localFieldDisplay(), 400.0F);
    EXPECT_FALSE(view->labelsEnabled());
    EXPECT_FALSE(view->bouncingEnabled());
    EXPECT_TRUE(view->fillSpheres());
    EXPECT_TRUE(view->neutralCharges());
    EXPECT_TRUE(view->showLocalFields());
    EXPECT_EQ(stores.module("pelmora").synchronizes, 1);
}

TEST_F(ControlPanelTest, TheInterfaceFileOffersEveryOutletWithTheRightKindOfControl) {
    RecordingOwner owner;
    ASSERT_TRUE(host.loadNibNamed("controlPanel", owner));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(owner.windows.count("controlPanel"), 1U);
    ASSERT_EQ(owner.controls.size(), 11U);
    for (const auto& [id, control] : owner.controls) {
        const bool isToggle = id.find("Toggle") != std::string::npos;
        EXPECT_EQ(dynamic_cast<GtkToggleControl*>(control.get()) != nullptr, isToggle) << id;
    }
    GtkWidget* window = GTK_WIDGET(owner.window("controlPanel"));
    gtk_button_clicked(GTK_BUTTON(findById(window, "okButton")));
    gtk_button_clicked(GTK_BUTTON(findById(window, "cancelButton")));
    // The host resets the controls itself; the owner is not asked.
    gtk_button_clicked(GTK_BUTTON(findById(window, "resetButton")));
    EXPECT_EQ(owner.actions, (std::vector<std::string>{"ok:", "cancel:"}));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(gtk_widget_get_can_default(findById(window, "okButton")));
}

}  // namespace
}  // namespace pelmora
