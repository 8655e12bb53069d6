#include <cmath>
#include <cstdlib>

#include "ViewFixture.h"

namespace pelmora::testing {
namespace {

class ConfigurationSheet : public ViewTest {
protected:
    FakeControlState& control(const char* name) { return sheet.control(name); }

    std::unique_ptr<PelmoraView> openedView() {
        auto view = makeView();
        EXPECT_NE(view->configureSheet(), nullptr);
        return view;
    }
};

TEST_F(ConfigurationSheet, FirstOpeningLoadsAndFillsTheControls) {
    save("labelsEnabled", true);
    save("chargeRange", std::int64_t{3});
    auto view = makeView();
    EXPECT_TRUE(view->hasConfigureSheet());
    SheetWindow* sheetWindow = view->configureSheet();
    ASSERT_NE(sheetWindow, nullptr);
    EXPECT_EQ(sheetWindow, sheet.loadedWindow);
    EXPECT_EQ(sheet.loadedNames, (std::vector<std::string>{"controlPanel"}));
    EXPECT_EQ(control("electricFieldStrengthControl").floatValue, 2.0F);
    EXPECT_EQ(control("localFieldDisplayControl").floatValue, 400.0F);
    EXPECT_EQ(control("speedControl").floatValue, 50.0F);
    EXPECT_EQ(control("sphereRadiiControl").floatValue, 10.0F);
    EXPECT_EQ(control("numberControl").intValue, 40);
    EXPECT_EQ(control("chargeRangeControl").intValue, 3);
    EXPECT_EQ(control("localFieldToggle").state, 1);
    EXPECT_EQ(control("bounceToggle").state, 0);
    EXPECT_EQ(control("labelToggle").state, 1);
    EXPECT_EQ(control("neutralToggle").state, 1);
    EXPECT_EQ(control("fillToggle").state, 1);
}

TEST_F(ConfigurationSheet, LaterOpeningsNeitherReloadNorRefill) {
    auto view = openedView();
    for (const FakeControlState& state : sheet.controls) {
        EXPECT_EQ(state.messages, 1);
    }
    EXPECT_EQ(view->configureSheet(), sheet.loadedWindow);
    EXPECT_EQ(sheet.loads, 1);
    for (const FakeControlState& state : sheet.controls) {
        EXPECT_EQ(state.messages, 1);
    }
}

TEST_F(ConfigurationSheet, AFailedLoadYieldsNothingAndIsRetried) {
    sheet.failLoads = true;
    auto view = makeView();
    EXPECT_EQ(view->configureSheet(), nullptr);
    EXPECT_EQ(view->configureSheet(), nullptr);
    EXPECT_EQ(sheet.loads, 2);
    sheet.failLoads = false;
    EXPECT_NE(view->configureSheet(), nullptr);
    EXPECT_EQ(sheet.loads, 3);
}

TEST_F(ConfigurationSheet, OkWithTheSameCountKeepsEverySphere) {
    auto view = openedView();
    const std::vector<Vekthing> before = view->thingArray();
    control("chargeRangeControl").intValue = 7;
    control("neutralToggle").state = 0;
    view->ok();
    ASSERT_EQ(view->thingArray().size(), before.size());
    for (std::size_t i = 0; i < before.size(); ++i) {
        const Vekthing& now = view->thingArray()[i];
        EXPECT_EQ(now.x(), before[i].x());
        EXPECT_EQ(now.px(), before[i].px());
        EXPECT_EQ(now.electricCharge(), before[i].electricCharge());
        EXPECT_EQ(now.color(), before[i].color());
    }
    EXPECT_EQ(view->chargeRange(), 7);
    EXPECT_FALSE(view->neutralCharges());
}

TEST_F(ConfigurationSheet, OkWithANewCountRebuildsEverySphere) {
    auto view = openedView();
    control("numberControl").intValue = 41;
    control("chargeRangeControl").intValue = 1;
    control("neutralToggle").state = 0;
    std::srand(1234);
    view->ok();
    std::srand(1234);
    ASSERT_EQ(view->thingArray().size(), 41U);
    for (const Vekthing& thing : view->thingArray()) {
        const Vekthing expected(1, false, view->bounds());
        EXPECT_EQ(thing.x(), expected.x());
        EXPECT_EQ(thing.electricCharge(), expected.electricCharge());
        EXPECT_NE(thing.electricCharge(), 0);
    }
    for (std::int32_t count : {0, -3}) {
        control("numberControl").intValue = count;
        view->ok();
        EXPECT_TRUE(view->thingArray().empty());
        view->ok();  // a negative count keeps differing from the empty list
        EXPECT_TRUE(view->thingArray().empty());
    }
}

TEST_F(ConfigurationSheet, ASpeedOfZeroBecomesOneButNegativeSpeedsStand) {
    auto view = openedView();
    for (float zero : {0.0F, -0.0F}) {
        control("speedControl").floatValue = zero;
        view->ok();
        EXPECT_EQ(view->speedDivisor(), 1.0F);
        EXPECT_EQ(std::get<float>(module().saved["speedDivisor"]), 1.0F);
        EXPECT_EQ(control("speedControl").floatValue, zero);  // the sheet still shows what was typed
    }
    control("speedControl").floatValue = -5.0F;
    view->ok();
    EXPECT_EQ(view->speedDivisor(), -5.0F);
    EXPECT_EQ(std::get<float>(module().saved["speedDivisor"]), -5.0F);
}

TEST_F(ConfigurationSheet, OnlyAStateOfExactlyOneIsOn) {
    auto view = openedView();
    control("localFieldToggle").state = 2;  // mixed
    control("bounceToggle").state = 1;
    control("labelToggle").state = -1;
    view->ok();
    EXPECT_FALSE(view->showLocalFields());
    EXPECT_TRUE(view->bouncingEnabled());
    EXPECT_FALSE(view->labelsEnabled());
}

TEST_F(ConfigurationSheet, OkRefreshesTheLabelColourAndTheDiscSize) {
    auto view = openedView();
    control("fillToggle").state = 0;
    view->ok();
    EXPECT_EQ(view->attributes().foregroundColor, Color::white());
    control("fillToggle").state = 1;
    control("sphereRadiiControl").floatValue = 4.0F;
    view->ok();
    EXPECT_EQ(view->attributes().foregroundColor, Color::white());
    EXPECT_EQ(view->sphereRadii(), 4.0F);
    EXPECT_EQ(view->dotRect().width, 8.0);
    EXPECT_EQ(view->dotRect().height, 8.0);
    control("sphereRadiiControl").floatValue = 9.0F;
    view->ok();
    EXPECT_EQ(view->attributes().foregroundColor, Color::black());
    EXPECT_EQ(view->attributes().font, (Font{"Helvetica", 12.0}));
}

TEST_F(ConfigurationSheet, OkSavesAllElevenSettingsAndEndsTheSheet) {
    auto view = openedView();
    const int opensBefore = module().opens;
    control("electricFieldStrengthControl").floatValue = 0.1F;
    view->ok();
    EXPECT_EQ(module().opens, opensBefore + 1);
    EXPECT_EQ(module().writes,
              (std::vector<std::string>{"showLocalFields", "bouncingEnabled", "labelsEnabled", "neutralCharges",
                                        "fillSpheres", "localFieldDisplay", "speedDivisor", "electricFieldStrength",
                                        "sphereRadii", "numberOfThings", "chargeRange"}));
    EXPECT_EQ(module().synchronizes, 1);
    EXPECT_EQ(std::get<float>(module().saved["electricFieldStrength"]), 0.1F);
    EXPECT_EQ(std::get<std::int64_t>(module().saved["numberOfThings"]), 40);
    ASSERT_EQ(sheet.ended.size(), 1U);
    EXPECT_EQ(sheet.ended[0].sheet, sheet.loadedWindow);
    EXPECT_EQ(sheet.ended[0].returnCode, 1);
    EXPECT_TRUE(view->lastSaveSucceeded());
    // The window stays loaded: the view neither closes nor unloads it.
    EXPECT_EQ(view->controlPanel(), sheet.loadedWindow);
}

TEST_F(ConfigurationSheet, AFailedSaveIsReportedAndTheNewValuesStay) {
    auto view = openedView();
    module().failSynchronize = true;
    control("sphereRadiiControl").floatValue = 12.0F;
    view->ok();
    EXPECT_FALSE(view->lastSaveSucceeded());
    EXPECT_EQ(view->lastSaveError(), "disk full");
    EXPECT_EQ(view->sphereRadii(), 12.0F);
}

TEST_F(ConfigurationSheet, CancelChangesNothingAndKeepsTheEdits) {
    auto view = openedView();
    const int writesBefore = static_cast<int>(module().writes.size());
    control("numberControl").intValue = 3;
    control("bounceToggle").state = 1;
    view->cancel();
    EXPECT_EQ(view->thingArray().size(), 40U);
    EXPECT_FALSE(view->bouncingEnabled());
    EXPECT_EQ(static_cast<int>(module().writes.size()), writesBefore);
    ASSERT_EQ(sheet.ended.size(), 1U);
    EXPECT_EQ(sheet.ended[0].returnCode, FakeSheetHost::kNoReturnCode);
    // Reopening shows the abandoned edits, and a later OK applies them.
    view->configureSheet();
    EXPECT_EQ(control("numberControl").intValue, 3);
    view->ok();
    EXPECT_EQ(view->thingArray().size(), 3U);
    EXPECT_TRUE(view->bouncingEnabled());
}

TEST_F(ConfigurationSheet, UnconnectedOutletsKeepTheirSettings) {
    sheet.missingOutlet = "sphereRadiiControl";
    auto view = openedView();
    control("numberControl").intValue = 5;
    view->ok();
    EXPECT_EQ(view->sphereRadii(), 10.0F);
    EXPECT_EQ(view->thingArray().size(), 5U);
}

TEST_F(ConfigurationSheet, ButtonsReachTheViewByActionName) {
    auto view = openedView();
    EXPECT_TRUE(view->performAction("cancel:"));
    EXPECT_TRUE(view->performAction("ok:"));
    EXPECT_FALSE(view->performAction("apply:"));
    EXPECT_FALSE(view->connectControl("noSuchOutlet", std::make_unique<FakeControl>(sheet.controls[0])));
    EXPECT_EQ(sheet.ended.size(), 2U);
}

}  // namespace
}  // namespace pelmora::testing
