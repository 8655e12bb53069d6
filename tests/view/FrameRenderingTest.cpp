#include <cmath>
#include <limits>

#include "ViewFixture.h"

namespace pelmora::testing {
namespace {

using Kind = DrawOp::Kind;

class FrameRendering : public ViewTest {
protected:
    void SetUp() override {
        save("labelsEnabled", true);
        save("electricFieldStrength", 0.0F);  // keep spheres where the test put them
    }

    static std::vector<DrawOp> ofKind(const std::vector<DrawOp>& ops, Kind kind) {
        std::vector<DrawOp> found;
        for (const DrawOp& op : ops) {
            if (op.kind == kind) {
                found.push_back(op);
            }
        }
        return found;
    }

    // Label point of a lone sphere at (60.7, 50.2) for the given fill and radius.
    Point labelPoint(bool fill, float radius) {
        save("fillSpheres", fill);
        save("sphereRadii", radius);
        auto view = viewWithThings({thingAt(60.7F, 50.2F)});
        const auto texts = ofKind(frame(*view), Kind::DrawText);
        EXPECT_EQ(texts.size(), 1U);
        return texts.empty() ? Point{} : Point{texts[0].values[0], texts[0].values[1]};
    }
};

TEST_F(FrameRendering, BackgroundPulsesFromTheFrameCounter) {
    auto view = viewWithThings({});
    const auto first = frame(*view);
    ASSERT_EQ(first.size(), 2U);
    const auto blue = static_cast<float>(0.25 * std::sin(1.0 / 80.0) + 0.25);
    EXPECT_GT(blue, 0.25F);
    EXPECT_EQ(first[0].kind, Kind::SetColor);
    EXPECT_EQ(first[0].values, (std::array<double, 4>{0.03, 0.05, static_cast<double>(blue), 1.0}));
    EXPECT_EQ(first[1].kind, Kind::FillRect);
    EXPECT_EQ(first[1].values, (std::array<double, 4>{0.0, 0.0, 800.0, 600.0}));
    EXPECT_EQ(view->backgroundCounter(), 1);

    double brightest = 0.0;
    double darkest = 1.0;
    for (int counter = 2; counter <= 503; ++counter) {
        const double b = frame(*view)[0].values[2];
        EXPECT_GE(b, 0.0);
        EXPECT_LE(b, 0.5);
        if (counter == 126) brightest = b;
        if (counter == 377) darkest = b;
    }
    EXPECT_GT(brightest, 0.4999);
    EXPECT_LT(darkest, 0.0001);
    EXPECT_NEAR(frame(*view)[0].values[2], 0.25, 0.01);  // one cycle is about 503 frames
}

TEST_F(FrameRendering, BackgroundFillsTheCurrentBoundsAfterAResize) {
    auto view = viewWithThings({});
    view->setBounds({0.0, 0.0, 1024.0, 77.0});
    EXPECT_EQ(frame(*view)[1].values, (std::array<double, 4>{0.0, 0.0, 1024.0, 77.0}));
}

TEST_F(FrameRendering, EachSphereDrawsLineThenDiscThenLabel) {
    auto view = viewWithThings({thingAt(60.7F, 50.2F), thingAt(300.0F, 200.0F, 2)});
    const auto ops = frame(*view);
    const std::vector<Kind> expected = {
        Kind::SetColor, Kind::FillRect,
        Kind::SetColor, Kind::SetDefaultLineWidth, Kind::StrokeLine, Kind::SetColor, Kind::FillOval, Kind::DrawText,
        Kind::SetColor, Kind::SetDefaultLineWidth, Kind::StrokeLine, Kind::SetColor, Kind::FillOval, Kind::DrawText};
    ASSERT_EQ(ops.size(), expected.size());
    for (std::size_t i = 0; i < ops.size(); ++i) {
        EXPECT_EQ(ops[i].kind, expected[i]) << i;
    }
    // The first sphere: white line of zero length (neutral) from the disc's centre.
    const double startX = static_cast<double>(60.7F + 10.0F);
    const double startY = static_cast<double>(50.2F + 10.0F);
    EXPECT_EQ(ops[2].values, (std::array<double, 4>{1.0, 1.0, 1.0, 1.0}));
    EXPECT_EQ(ops[3].values[0], 1.0);
    EXPECT_EQ(ops[4].values, (std::array<double, 4>{startX, startY, startX, startY}));
    const Color neutral = view->thingArray()[0].color();
    EXPECT_EQ(ops[5].values, (std::array<double, 4>{neutral.red, neutral.green, neutral.blue, 1.0}));
    EXPECT_EQ(ops[6].values, (std::array<double, 4>{60.0, 50.0, 20.0, 20.0}));
    EXPECT_EQ(ops[7].text, " 0");
    EXPECT_EQ(ops[7].values[0], 62.0);
    EXPECT_EQ(ops[7].values[1], 55.0);
    EXPECT_EQ(ops[7].attributes.foregroundColor, Color::black());
    EXPECT_EQ(view->dotRect(), (Rect{300.0, 200.0, 20.0, 20.0}));  // the last sphere's origin stays
}

TEST_F(FrameRendering, FieldLinePointsAlongTheFieldScaledByChargeAndRange) {
    auto view = viewWithThings({thingAt(100.0F, 100.0F, 1), thingAt(200.0F, 100.0F, -1)});
    const auto lines = ofKind(frame(*view), Kind::StrokeLine);
    ASSERT_EQ(lines.size(), 2U);
    // The negative charge at +100 pulls the field of the first sphere towards it.
    const float fieldX = static_cast<float>((-1.0 * static_cast<double>(100.0F - 200.0F)) / 10000.0);
    const float k = 400.0F * 1.0F * 1.0F;
    const double startX = static_cast<double>(100.0F + 10.0F);
    EXPECT_EQ(lines[0].values[0], startX);
    EXPECT_EQ(lines[0].values[2], startX + static_cast<double>(k * fieldX));
    EXPECT_DOUBLE_EQ(lines[0].values[2], 114.0);
    EXPECT_EQ(lines[0].values[3], lines[0].values[1]);
    // The second sphere feels the positive charge pushing it outwards, but its
    // negative charge turns the line around: it points back at the first one.
    EXPECT_DOUBLE_EQ(lines[1].values[2], 210.0 - 4.0);
}

TEST_F(FrameRendering, ANewRadiusFromTheSheetRedrawsTheDiscRoundItsFieldLine) {
    auto view = viewWithThings({thingAt(60.0F, 50.0F)});
    view->configureSheet();
    sheet.control("numberControl").intValue = 1;
    sheet.control("sphereRadiiControl").floatValue = 4.0F;
    view->ok();
    ASSERT_EQ(view->thingArray().size(), 1U);  // the same sphere, not a new one
    const auto ops = frame(*view);
    const auto discs = ofKind(ops, Kind::FillOval);
    const auto lines = ofKind(ops, Kind::StrokeLine);
    ASSERT_EQ(discs.size(), 1U);
    ASSERT_EQ(lines.size(), 1U);
    EXPECT_EQ(discs[0].values, (std::array<double, 4>{60.0, 50.0, 8.0, 8.0}));
    // The line starts at the disc's centre, not at the old disc's.
    EXPECT_EQ(lines[0].values[0], discs[0].values[0] + discs[0].values[2] / 2.0);
    EXPECT_EQ(lines[0].values[1], discs[0].values[1] + discs[0].values[3] / 2.0);
}

TEST_F(FrameRendering, LabelPlacementFollowsFillAndRadius) {
    EXPECT_EQ(labelPoint(true, 10.0F), (Point{62.0, 55.0}));
    EXPECT_EQ(labelPoint(false, 10.0F), (Point{65.0, 55.0}));
    EXPECT_EQ(labelPoint(true, 8.0F), (Point{72.0, 62.0}));   // outside the disc
    EXPECT_EQ(labelPoint(true, 8.5F), (Point{62.0, 54.0}));   // on the disc
    EXPECT_EQ(labelPoint(true, 3.0F), (Point{64.0, 54.0}));   // offsets 0, 1 and 4
    EXPECT_EQ(labelPoint(false, 3.0F), (Point{61.0, 51.0}));
    EXPECT_EQ(labelPoint(false, 1.5F), (Point{60.0, 50.0}));  // half radius 0
}

TEST_F(FrameRendering, OutlinedDiscsWhenFillIsOff) {
    save("fillSpheres", false);
    auto view = viewWithThings({thingAt(60.7F, 50.2F)});
    const auto ops = frame(*view);
    EXPECT_EQ(ofKind(ops, Kind::FillOval).size(), 0U);
    ASSERT_EQ(ofKind(ops, Kind::StrokeOval).size(), 1U);
    EXPECT_EQ(ofKind(ops, Kind::DrawText)[0].attributes.foregroundColor, Color::white());
}

TEST_F(FrameRendering, LabelsShowTheSignedCharge) {
    auto view = viewWithThings({thingAt(10.0F, 10.0F, 3), thingAt(100.0F, 10.0F, 0), thingAt(200.0F, 10.0F, -2)});
    const auto texts = ofKind(frame(*view), Kind::DrawText);
    ASSERT_EQ(texts.size(), 3U);
    EXPECT_EQ(texts[0].text, "+3");
    EXPECT_EQ(texts[1].text, " 0");
    EXPECT_EQ(texts[2].text, "-2");
}

TEST_F(FrameRendering, SwitchedOffLinesAndLabelsDrawNothingOfThem) {
    save("showLocalFields", false);
    save("labelsEnabled", false);
    auto view = viewWithThings({thingAt(10.0F, 10.0F, 1), thingAt(100.0F, 10.0F, 1)});
    const auto ops = frame(*view);
    EXPECT_EQ(ops.size(), 2U + 2U * 2U);  // background, then colour and disc per sphere
    EXPECT_TRUE(ofKind(ops, Kind::SetDefaultLineWidth).empty());
    EXPECT_TRUE(ofKind(ops, Kind::DrawText).empty());
}

TEST_F(FrameRendering, NaNSuppressesTheLineButNotItsColourOrDisc) {
    // A charge range of 0 set in the sheet makes the line scale infinite.
    auto view = viewWithThings({thingAt(100.0F, 100.0F, 1)});
    view->configureSheet();
    sheet.control("numberControl").intValue = 1;
    sheet.control("chargeRangeControl").intValue = 0;
    view->ok();
    ASSERT_EQ(view->chargeRange(), 0);
    ASSERT_EQ(view->thingArray().size(), 1U);
    const auto ops = frame(*view);  // infinite scale times a zero field is NaN
    EXPECT_TRUE(ofKind(ops, Kind::StrokeLine).empty());
    EXPECT_EQ(ofKind(ops, Kind::SetDefaultLineWidth).size(), 1U);
    EXPECT_EQ(ofKind(ops, Kind::FillOval).size(), 1U);
}

TEST_F(FrameRendering, InfiniteEndPointsStillGoToTheStroke) {
    auto view = viewWithThings({thingAt(100.0F, 100.0F, 1), thingAt(200.0F, 150.0F, 1)});
    view->configureSheet();
    sheet.control("numberControl").intValue = 2;
    sheet.control("chargeRangeControl").intValue = 0;
    view->ok();
    const auto lines = ofKind(frame(*view), Kind::StrokeLine);
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_TRUE(std::isinf(lines[0].values[2]));
    EXPECT_TRUE(std::isinf(lines[0].values[3]));
}

TEST_F(FrameRendering, UnrepresentablePositionsDrawFarOutside) {
    Vekthing lost = thingAt(0.0F, 0.0F);
    lost.set(std::numeric_limits<float>::quiet_NaN(), 3.0e10F, 0.0F, 0.0F);
    auto view = viewWithThings({lost});
    const auto ops = frame(*view);
    const auto discs = ofKind(ops, Kind::FillOval);
    ASSERT_EQ(discs.size(), 1U);
    EXPECT_EQ(discs[0].values[0], -2147483648.0);
    EXPECT_EQ(ofKind(ops, Kind::DrawText)[0].values[0], -2147483648.0);
    EXPECT_TRUE(ofKind(ops, Kind::StrokeLine).empty());
}

}  // namespace
}  // namespace pelmora::testing
