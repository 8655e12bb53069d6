// The motion step, its limits, reflections and the 9/8 cut-back.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>

#include "RandReplay.h"
#include "Vekthing.h"

namespace pelmora {
namespace {

using test::bits;

// 400 by 300 at an origin that plays no part: maxX 380, maxY 280.
const Rect kBounds{-50.0, 1000.0, 400.0, 300.0};

Vekthing at(float x, float y, float px, float py) {
    Vekthing thing;
    thing.set(x, y, px, py);
    return thing;
}

TEST(VekthingMotion, MovesReflectsAndCutsBack) {
    const struct {
        const char* what;
        float x, y, px, py, scale;
        float toX, toY, toPx, toPy;
    } cases[] = {
        {"advance by velocity times scale", 100, 50, 3, -2, 0.5F, 101.5F, 49, 3, -2},
        {"right wall: reversed, put on the edge", 379, 10, 2, 0, 1, 380, 10, -2, 0},
        {"ending exactly on the limit is inside", 378, 280, 2, 0, 1, 380, 280, 2, 0},
        {"left wall: overshoot dropped, 12 cut to 8", 0.5F, 10, -12, 0, 0.5F, 0, 10, 8, 0},
        {"exactly 9 stays 9", 379, 10, 9, 0, 1, 380, 10, -9, 0},
        {"9.5 becomes -8", 379, 10, 9.5F, 0, 1, 380, 10, -8, 0},
        {"-9.5 becomes 8", 1, 10, -9.5F, 0, 1, 0, 10, 8, 0},
        {"8.5 is below the threshold", 1, 10, -8.5F, 0, 1, 0, 10, 8.5F, 0},
        {"top wall", 10, 279, 0, 9.5F, 1, 10, 280, 0, -8},
        {"bottom wall", 10, 1, 0, -9, 1, 10, 0, 0, 9},
        {"uncrossed walls leave 30 alone", 10, 10, 30, -30, 0.1F, 10 + 30 * 0.1F, 10 - 30 * 0.1F, 30, -30},
        {"both walls: the corner", 379, 1, 12, -3, 1, 380, 0, -8, 3},
        {"speed 0 still puts back a stray", 500, 100, 2, 1, 0, 380, 100, -2, 1},
    };
    for (const auto& c : cases) {
        Vekthing thing = at(c.x, c.y, c.px, c.py);
        thing.animateOneFrame(kBounds, c.scale);
        EXPECT_EQ(bits(thing.x()), bits(c.toX)) << c.what;
        EXPECT_EQ(bits(thing.y()), bits(c.toY)) << c.what;
        EXPECT_EQ(bits(thing.px()), bits(c.toPx)) << c.what;
        EXPECT_EQ(bits(thing.py()), bits(c.toPy)) << c.what;
        EXPECT_EQ(thing.maxX(), 380);
        EXPECT_EQ(thing.maxY(), 280);
        EXPECT_EQ(thing.minX(), 0);
        EXPECT_EQ(thing.minY(), 0);
    }
}

TEST(VekthingMotion, RoundsTheProductBeforeTheAddition) {
    // px * s = 1 + 2^-11 + 2^-24 rounds to 1 + 2^-11, which cancels x exactly;
    // a fused multiply-add or a double-precision step would leave 2^-24.
    const float factor = 1.0F + 0x1p-12F;
    Vekthing thing = at(-(1.0F + 0x1p-11F), 10.0F, factor, 0.0F);
    thing.animateOneFrame(kBounds, factor);
    EXPECT_EQ(bits(thing.x()), bits(0.0F));
    EXPECT_EQ(thing.px(), factor);
}

TEST(VekthingMotion, LimitsCutTheFractionAndGiveMinForNaN) {
    Vekthing thing = at(10.0F, 10.0F, 1.0F, 1.0F);
    thing.animateOneFrame(Rect{0.0, 0.0, 90.9, 40.5}, 0.0F);
    EXPECT_EQ(thing.maxX(), 70);
    EXPECT_EQ(thing.maxY(), 20);
    thing.animateOneFrame(Rect{0.0, 0.0, std::numeric_limits<double>::quiet_NaN(), 300.0}, 1.0F);
    EXPECT_EQ(thing.maxX(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(thing.x(), -2147483648.0F);  // every x lies above that limit
    EXPECT_EQ(thing.px(), -1.0F);
}

TEST(VekthingMotion, PlainStepEqualsSpeedScaleOne) {
    std::srand(2024);
    const auto value = [] { return static_cast<float>(std::rand() % 100000) / 97.0F - 200.0F; };
    for (int round = 0; round < 500; ++round) {
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
    }
}

}  // namespace
}  // namespace pelmora
