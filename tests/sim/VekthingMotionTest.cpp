// Part 1.2: the motion step, its limits, reflections and the 9/8 cut-back.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>

#include "RandReplay.h"
#include "Vekthing.h"

namespace pelmora {
namespace {

using test::bits;

// 400 by 300 at an origin that must play no part: maxX 380, maxY 280.
const Rect kBounds{-50.0, 1000.0, 400.0, 300.0};

Vekthing at(float x, float y, float px, float py) {
    Vekthing thing;
    thing.set(x, y, px, py);
    return thing;
}

TEST(VekthingMotion, RecomputesTheLimitsFromWidthAndHeight) {
    Vekthing thing = at(10.0F, 10.0F, 0.0F, 0.0F);
    thing.animateOneFrame(kBounds, 0.5F);
    EXPECT_EQ(thing.maxX(), 380);
    EXPECT_EQ(thing.maxY(), 280);
    EXPECT_EQ(thing.minX(), 0);
    EXPECT_EQ(thing.minY(), 0);
    thing.animateOneFrame(Rect{0.0, 0.0, 90.9, 40.5}, 0.5F);
    EXPECT_EQ(thing.maxX(), 70);
    EXPECT_EQ(thing.maxY(), 20);
}

TEST(VekthingMotion, AdvancesByVelocityTimesScale) {
    Vekthing thing = at(100.0F, 50.0F, 3.0F, -2.0F);
    thing.animateOneFrame(kBounds, 0.5F);
    EXPECT_EQ(thing.x(), 101.5F);
    EXPECT_EQ(thing.y(), 49.0F);
    EXPECT_EQ(thing.px(), 3.0F);
    EXPECT_EQ(thing.py(), -2.0F);
}

TEST(VekthingMotion, RoundsTheProductBeforeTheAddition) {
    // px * s = 1 + 2^-11 + 2^-24 rounds to 1 + 2^-11, which cancels x exactly;
    // a fused multiply-add would leave 2^-24.
    const float factor = 1.0F + 0x1p-12F;
    Vekthing thing = at(-(1.0F + 0x1p-11F), 10.0F, factor, 0.0F);
    thing.animateOneFrame(kBounds, factor);
    EXPECT_EQ(bits(thing.x()), bits(0.0F));
    EXPECT_EQ(thing.px(), factor);  // 0 is inside: no reflection
}

TEST(VekthingMotion, ReflectsAtTheRightWallOntoTheEdge) {
    Vekthing thing = at(379.0F, 10.0F, 2.0F, 0.0F);
    thing.animateOneFrame(kBounds, 1.0F);
    EXPECT_EQ(thing.x(), 380.0F);
    EXPECT_EQ(thing.px(), -2.0F);
    EXPECT_EQ(thing.y(), 10.0F);
    EXPECT_EQ(thing.py(), 0.0F);
}

TEST(VekthingMotion, PositionOnTheLimitIsInside) {
    Vekthing right = at(378.0F, 280.0F, 2.0F, 0.0F);
    right.animateOneFrame(kBounds, 1.0F);
    EXPECT_EQ(right.x(), 380.0F);
    EXPECT_EQ(right.px(), 2.0F);
    EXPECT_EQ(right.y(), 280.0F);

    Vekthing left = at(2.0F, 0.0F, -2.0F, 0.0F);
    left.animateOneFrame(kBounds, 1.0F);
    EXPECT_EQ(left.x(), 0.0F);
    EXPECT_EQ(left.px(), -2.0F);
}

TEST(VekthingMotion, DropsTheOvershootAndCutsFastVelocitiesBackToEight) {
    Vekthing thing = at(0.5F, 10.0F, -12.0F, 0.0F);
    thing.animateOneFrame(kBounds, 0.5F);
    EXPECT_EQ(bits(thing.x()), bits(0.0F));
    EXPECT_EQ(thing.px(), 8.0F);
}

TEST(VekthingMotion, CutBackComparesWithNineAndSetsEight) {
    struct Case {
        float x;
        float px;
        float expectedPx;
    };
    const Case cases[] = {
        {379.0F, 9.0F, -9.0F},   // exactly 9 stays 9
        {379.0F, 9.5F, -8.0F},   // above 9 leaves with 8
        {379.0F, 30.0F, -8.0F},  // far above
        {1.0F, -9.0F, 9.0F},
        {1.0F, -9.5F, 8.0F},
        {1.0F, -8.5F, 8.5F},  // between 8 and 9: left alone
    };
    for (const Case& c : cases) {
        Vekthing thing = at(c.x, 10.0F, c.px, 0.0F);
        thing.animateOneFrame(kBounds, 1.0F);
        EXPECT_EQ(thing.px(), c.expectedPx) << "px " << c.px;
        EXPECT_EQ(thing.x(), c.px > 0.0F ? 380.0F : 0.0F) << "px " << c.px;
    }
}

TEST(VekthingMotion, VerticalWallWorksLikeTheHorizontal) {
    Vekthing top = at(10.0F, 279.0F, 0.0F, 9.5F);
    top.animateOneFrame(kBounds, 1.0F);
    EXPECT_EQ(top.y(), 280.0F);
    EXPECT_EQ(top.py(), -8.0F);

    Vekthing bottom = at(10.0F, 1.0F, 0.0F, -9.0F);
    bottom.animateOneFrame(kBounds, 1.0F);
    EXPECT_EQ(bottom.y(), 0.0F);
    EXPECT_EQ(bottom.py(), 9.0F);
}

TEST(VekthingMotion, LeavesAVelocityAloneWhenItsWallIsNotCrossed) {
    Vekthing thing = at(10.0F, 10.0F, 30.0F, -30.0F);
    thing.animateOneFrame(kBounds, 0.1F);
    EXPECT_EQ(thing.px(), 30.0F);
    EXPECT_EQ(thing.py(), -30.0F);
    EXPECT_EQ(thing.x(), 10.0F + 30.0F * 0.1F);
}

TEST(VekthingMotion, ReflectsBothAxesIntoTheCorner) {
    Vekthing thing = at(379.0F, 1.0F, 12.0F, -3.0F);
    thing.animateOneFrame(kBounds, 1.0F);
    EXPECT_EQ(thing.x(), 380.0F);
    EXPECT_EQ(thing.y(), 0.0F);
    EXPECT_EQ(thing.px(), -8.0F);
    EXPECT_EQ(thing.py(), 3.0F);
}

TEST(VekthingMotion, SpeedZeroStillPutsAStrayBackAfterTheViewShrank) {
    Vekthing thing = at(500.0F, 100.0F, 2.0F, 1.0F);
    thing.animateOneFrame(kBounds, 0.0F);
    EXPECT_EQ(thing.x(), 380.0F);
    EXPECT_EQ(thing.px(), -2.0F);
    EXPECT_EQ(thing.y(), 100.0F);
    EXPECT_EQ(thing.py(), 1.0F);
}

TEST(VekthingMotion, NaNBoundsGiveLimitMinWithoutUndefinedBehaviour) {
    Vekthing thing = at(10.0F, 10.0F, 1.0F, 1.0F);
    thing.animateOneFrame(Rect{0.0, 0.0, std::numeric_limits<double>::quiet_NaN(), 300.0}, 1.0F);
    EXPECT_EQ(thing.maxX(), std::numeric_limits<std::int32_t>::min());
    // Every x lies above -2^31, so the sphere is reflected onto that limit.
    EXPECT_EQ(thing.x(), -2147483648.0F);
    EXPECT_EQ(thing.px(), -1.0F);
    EXPECT_EQ(thing.y(), 11.0F);
}

TEST(VekthingMotion, PlainStepEqualsSpeedScaleOne) {
    std::srand(2024);
    for (int round = 0; round < 500; ++round) {
        const auto value = [] { return static_cast<float>(std::rand() % 100000) / 97.0F - 200.0F; };
        const float x = value() + 300.0F;
        const float y = value() + 200.0F;
        const float px = value() / 5.0F;
        const float py = value() / 5.0F;
        Vekthing plain = at(x, y, px, py);
        Vekthing scaled = at(x, y, px, py);
        plain.animateOneFrame(kBounds);
        scaled.animateOneFrame(kBounds, 1.0F);
        ASSERT_EQ(bits(plain.x()), bits(scaled.x()));
        ASSERT_EQ(bits(plain.y()), bits(scaled.y()));
        ASSERT_EQ(bits(plain.px()), bits(scaled.px()));
        ASSERT_EQ(bits(plain.py()), bits(scaled.py()));
        ASSERT_EQ(plain.maxX(), scaled.maxX());
    }
}

}  // namespace
}  // namespace pelmora
