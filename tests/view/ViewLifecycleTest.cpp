#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <variant>
#include <vector>

#include "ViewFixture.h"

namespace pelmora::testing {
namespace {

using Lifecycle = ViewTest;

TEST_F(Lifecycle, EmptyStoreGivesTheRegisteredDefaults) {
    auto view = makeView();
    EXPECT_EQ(view->thingArray().size(), 40U);
    EXPECT_EQ(view->numberOfThings(), 40);
    EXPECT_EQ(view->chargeRange(), 2);
    EXPECT_EQ(view->localFieldDisplay(), 400.0F);
    EXPECT_EQ(view->speedDivisor(), 50.0F);
    EXPECT_EQ(view->electricFieldStrength(), 2.0F);
    EXPECT_EQ(view->sphereRadii(), 10.0F);
    EXPECT_TRUE(view->showLocalFields());
    EXPECT_FALSE(view->bouncingEnabled());
    EXPECT_FALSE(view->labelsEnabled());
    EXPECT_TRUE(view->neutralCharges());
    EXPECT_TRUE(view->fillSpheres());
    EXPECT_EQ(view->dotRect(), (Rect{0.0, 0.0, 20.0, 20.0}));
    EXPECT_EQ(view->bounceForce(), 30.0F);
    EXPECT_EQ(view->backgroundCounter(), 0);
    EXPECT_EQ(view->animationTimeInterval(), 0.016666666666666666);
    EXPECT_EQ(view->attributes().font, (Font{"Helvetica", 12.0}));
    EXPECT_EQ(view->attributes().foregroundColor, Color::black());
    EXPECT_EQ(view->controlPanel(), nullptr);
    // Creation reads the store once and writes nothing to it.
    EXPECT_EQ(module().opens, 1);
    EXPECT_TRUE(module().writes.empty());
}

TEST_F(Lifecycle, SavedValuesWinOverRegisteredDefaults) {
    save("showLocalFields", false);
    save("sphereRadii", 3.25F);
    save("speedDivisor", 0.0F);  // loaded as it is; only the sheet corrects a zero speed
    save("numberOfThings", std::int64_t{(std::int64_t{1} << 32) + 7});  // low 32 bits
    save("chargeRange", std::int64_t{-1});
    auto view = makeView();
    EXPECT_FALSE(view->showLocalFields());
    EXPECT_EQ(view->sphereRadii(), 3.25F);
    EXPECT_EQ(view->speedDivisor(), 0.0F);
    EXPECT_EQ(view->numberOfThings(), 7);
    EXPECT_EQ(view->thingArray().size(), 7U);
    EXPECT_EQ(view->chargeRange(), -1);
    EXPECT_EQ(view->dotRect(), (Rect{0.0, 0.0, 6.5, 6.5}));
}

TEST_F(Lifecycle, LabelColourFollowsFillAndRadius) {
    struct Case {
        bool fill;
        float radius;
        Color expected;
    };
    const Case cases[] = {
        {true, 8.0F, Color::white()},
        {true, 8.5F, Color::black()},
        {false, 50.0F, Color::white()},
        {true, std::numeric_limits<float>::quiet_NaN(), Color::white()},
    };
    for (const Case& c : cases) {
        save("fillSpheres", c.fill);
        save("sphereRadii", c.radius);
        EXPECT_EQ(makeView()->attributes().foregroundColor, c.expected) << c.fill << " " << c.radius;
    }
}

TEST_F(Lifecycle, NonPositiveCountsGiveAnEmptyButCompleteView) {
    for (std::int64_t count : {0LL, -5LL}) {
        save("numberOfThings", count);
        auto view = makeView();
        EXPECT_TRUE(view->thingArray().empty());
        const auto ops = frame(*view);
        ASSERT_EQ(ops.size(), 2U);  // the background and nothing else
        EXPECT_EQ(ops[1].kind, DrawOp::Kind::FillRect);
    }
}

TEST_F(Lifecycle, AbsurdCountsAreCappedInsteadOfExhaustingMemory) {
    save("numberOfThings", std::int64_t{2000000000});
    save("sphereRadii", 0.0F);
    ::testing::internal::CaptureStderr();
    auto view = makeView({0.0, 0.0, 100.0, 100.0});
    const std::string message = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(view->numberOfThings(), 2000000000);
    EXPECT_EQ(view->thingArray().size(), 20000U);
    EXPECT_NE(message.find("numberOfThings 2000000000"), std::string::npos) << message;
    EXPECT_NE(message.find("making 20000"), std::string::npos) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;

    // An OK that leaves the count alone keeps every sphere of the capped population.
    ASSERT_NE(view->configureSheet(), nullptr);
    const std::vector<Vekthing> before = view->thingArray();
    ::testing::internal::CaptureStderr();
    view->ok();
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    ASSERT_EQ(view->thingArray().size(), before.size());
    for (std::size_t i = 0; i < before.size(); i += 997) {
        EXPECT_EQ(view->thingArray()[i].x(), before[i].x());
        EXPECT_EQ(view->thingArray()[i].y(), before[i].y());
    }
    EXPECT_EQ(std::get<std::int64_t>(module().saved["numberOfThings"]), 2000000000);
}

TEST_F(Lifecycle, SpheresComeFromTheGeneratorInListOrderInsideTheFrame) {
    save("numberOfThings", std::int64_t{3});
    std::srand(99);
    auto view = makeView({-500.0, 7.0, 640.0, 480.0});
    std::srand(99);
    for (const Vekthing& thing : view->thingArray()) {
        const Vekthing expected(2, true, Rect{0.0, 0.0, 640.0, 480.0});
        EXPECT_EQ(thing.x(), expected.x());
        EXPECT_EQ(thing.y(), expected.y());
        EXPECT_EQ(thing.electricCharge(), expected.electricCharge());
        EXPECT_EQ(thing.maxX(), 620);
    }
}

TEST_F(Lifecycle, PreviewAndFullScreenViewsAreBuiltAlike) {
    std::srand(5);
    auto full = makeView({0.0, 0.0, 300.0, 200.0}, false);
    std::srand(5);
    auto preview = makeView({0.0, 0.0, 300.0, 200.0}, true);
    EXPECT_TRUE(preview->isPreview());
    ASSERT_EQ(full->thingArray().size(), preview->thingArray().size());
    for (std::size_t i = 0; i < full->thingArray().size(); ++i) {
        EXPECT_EQ(full->thingArray()[i].x(), preview->thingArray()[i].x());
        EXPECT_EQ(full->thingArray()[i].py(), preview->thingArray()[i].py());
    }
    EXPECT_EQ(full->animationTimeInterval(), preview->animationTimeInterval());
}

// Teardown must let go of the controls before the window that holds their widgets.
TEST_F(Lifecycle, TeardownReleasesControlsBeforeTheWindow) {
    struct Log {
        std::vector<std::string> released;
    } log;
    struct LoggedWindow : SheetWindow {
        Log& log;
        explicit LoggedWindow(Log& l) : log(l) {}
        ~LoggedWindow() override { log.released.push_back("controlPanel"); }
    };
    struct LoggedControl : FakeControl {
        Log& log;
        std::string name;
        LoggedControl(FakeControlState& s, Log& l, std::string n) : FakeControl(s), log(l), name(std::move(n)) {}
        ~LoggedControl() override { log.released.push_back(name); }
    };
    auto view = makeView();
    FakeControlState state;
    view->connectWindow("controlPanel", std::make_unique<LoggedWindow>(log));
    view->connectControl("localFieldDisplayControl", std::make_unique<LoggedControl>(state, log, "first"));
    view->connectControl("fillToggle", std::make_unique<LoggedControl>(state, log, "last"));
    view.reset();
    EXPECT_EQ(log.released, (std::vector<std::string>{"last", "first", "controlPanel"}));
}

}  // namespace
}  // namespace pelmora::testing
