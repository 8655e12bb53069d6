// Creation of a sphere from the C library's rand(), its colour ramp
// and its accessors, with the creation faults this project mends.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "RandReplay.h"
#include "Vekthing.h"

namespace pelmora {
namespace {

using test::bits;
using test::countDraws;
using test::drawsAfterSeed;
using test::findSeed;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
const Rect kScreen{0.0, 0.0, 640.0, 480.0};
const Color kGreen{0.0, 1.0, 0.0, 1.0};

Vekthing createSeeded(unsigned seed, std::int32_t range, bool neutral, const Rect& rect = kScreen) {
    std::srand(seed);
    return Vekthing(range, neutral, rect);
}

std::size_t drawsOfCreation(unsigned seed, std::int32_t range, bool neutral, const Rect& rect = kScreen) {
    return countDraws(seed, [&] { Vekthing thing(range, neutral, rect); });
}

// A sphere whose (first) charge draw leaves the remainder k.
Vekthing createWithK(std::int32_t range, std::int32_t k) {
    const std::int32_t n = 2 * range + 1;
    return createSeeded(findSeed(5, [&](const std::vector<int>& d) { return d[4] % n == k; }), range, true);
}

TEST(VekthingCreation, DrawsXYPxPyChargeInThatOrderFiveTimes) {
    const Rect rect{300.0, -70.0, 640.0, 480.0};  // the origin plays no part
    for (unsigned seed = 1; seed <= 50; ++seed) {
        const std::vector<int> d = drawsAfterSeed(seed, 5);
        const Vekthing thing = createSeeded(seed, 2, true, rect);
        ASSERT_EQ(thing.x(), static_cast<float>(d[0] % 620)) << seed;
        ASSERT_EQ(thing.y(), static_cast<float>(d[1] % 460)) << seed;
        ASSERT_EQ(thing.px(), static_cast<float>(d[2] % 5 - 2)) << seed;
        ASSERT_EQ(thing.py(), static_cast<float>(d[3] % 5 - 2)) << seed;
        ASSERT_EQ(thing.electricCharge(), d[4] % 5 - 2) << seed;
        ASSERT_EQ(drawsOfCreation(seed, 2, true, rect), 5U) << seed;
        ASSERT_EQ(thing.maxX(), 620);
        ASSERT_EQ(thing.maxY(), 460);
        ASSERT_EQ(thing.minX(), 0);
        ASSERT_EQ(thing.oldPosition(), Point{});
        ASSERT_EQ(thing.oldField(), Point{});
    }
    const Vekthing cut = createSeeded(3, 2, true, Rect{0.0, 0.0, 90.9, 40.99});
    EXPECT_EQ(cut.maxX(), 70);
    EXPECT_EQ(cut.maxY(), 20);
}

TEST(VekthingCreation, RepeatsTheChargeDrawWhileZeroWhenNeutralIsNotAllowed) {
    // The first two charge draws give 0 and the third does not: seven draws.
    const unsigned seed = findSeed(7, [](const std::vector<int>& d) {
        return d[4] % 5 == 2 && d[5] % 5 == 2 && d[6] % 5 != 2;
    });
    const std::vector<int> d = drawsAfterSeed(seed, 7);
    const Vekthing thing = createSeeded(seed, 2, false);
    EXPECT_EQ(thing.electricCharge(), d[6] % 5 - 2);
    EXPECT_EQ(drawsOfCreation(seed, 2, false), 7U);
    EXPECT_EQ(thing.color(), createWithK(2, d[6] % 5).color());  // the final charge's colour
    // Neutral charges allowed: the 0 stands after five draws.
    EXPECT_EQ(createSeeded(seed, 2, true).electricCharge(), 0);
    EXPECT_EQ(drawsOfCreation(seed, 2, true), 5U);
    // A non-zero first charge makes no extra draw.
    const unsigned other = findSeed(5, [](const std::vector<int>& e) { return e[4] % 5 != 2; });
    EXPECT_EQ(drawsOfCreation(other, 2, false), 5U);
}

TEST(VekthingColour, FollowsTheTableForChargeRangeTwo) {
    // Single-precision π, t and a, then θ = a / 2 in double: +1 and +2 differ in
    // the last bit from a ramp computed wholly in double precision.
    const struct {
        std::int32_t charge;
        float red, green;
        double approxRed, approxGreen;
    } table[] = {
        {-2, 0.0F, 1.0F, 0.0, 1.0},
        {-1, 0x1.3c6ef4p-2F, 0x1.e6f0e2p-1F, 0.31, 0.95},
        {0, 0x1.2cf23p-1F, 0x1.9e377ap-1F, 0.59, 0.81},
        {1, 0x1.9e377cp-1F, 0x1.2cf22ep-1F, 0.81, 0.59},
        {2, 0x1.e6f0e2p-1F, 0x1.3c6ef2p-2F, 0.95, 0.31},
    };
    for (const auto& row : table) {
        const Vekthing thing = createWithK(2, row.charge + 2);
        ASSERT_EQ(thing.electricCharge(), row.charge);
        const Color colour = thing.color();
        EXPECT_EQ(bits(colour.red), bits(static_cast<double>(row.red))) << row.charge;
        EXPECT_EQ(bits(colour.green), bits(static_cast<double>(row.green))) << row.charge;
        EXPECT_EQ(bits(colour.blue), bits(0.0));
        EXPECT_EQ(colour.alpha, 1.0);
        EXPECT_NEAR(colour.red, row.approxRed, 0.005);
        EXPECT_NEAR(colour.green, row.approxGreen, 0.005);
    }
}

TEST(VekthingColour, FollowsTheSinglePrecisionStepsForOtherRanges) {
    const auto pi = static_cast<float>(std::atan(1.0) * 4.0);
    for (const std::int32_t range : {1, 3, 7, 100}) {
        const std::int32_t n = 2 * range + 1;
        for (std::int32_t k = 0; k < std::min(n, 15); ++k) {
            const float t = static_cast<float>(k) / static_cast<float>(n);
            const float a = pi * t;
            const double theta = static_cast<double>(a) / 2.0;
            const Vekthing thing = createWithK(range, k);
            ASSERT_EQ(thing.electricCharge(), k - range);
            EXPECT_EQ(bits(thing.color().red), bits(static_cast<double>(static_cast<float>(std::sin(theta)))));
            EXPECT_EQ(bits(thing.color().green), bits(static_cast<double>(static_cast<float>(std::cos(theta)))));
        }
        EXPECT_EQ(createWithK(range, 0).color(), kGreen) << "the most negative charge is pure green";
    }
    EXPECT_EQ(bits(createWithK(3, 6).color().red), bits(static_cast<double>(0x1.f329cp-1F)));
}

TEST(VekthingCreationFaults, ZeroOrNegativeChargeRangeGivesChargeZeroAfterOneDraw) {
    for (const std::int32_t range : {0, -1, -2, kMin}) {
        for (const bool neutral : {true, false}) {
            for (unsigned seed = 1; seed <= 10; ++seed) {
                const Vekthing thing = createSeeded(seed, range, neutral);
                ASSERT_EQ(thing.electricCharge(), 0) << range;
                ASSERT_EQ(thing.color(), kGreen) << range;
                ASSERT_EQ(drawsOfCreation(seed, range, neutral), 5U) << range << " " << neutral;
            }
        }
    }
}

TEST(VekthingCreationFaults, HugeChargeRangeDoesNotOverflow) {
    // 2c + 1 leaves the 32-bit range from c = 2^30 on; it is formed in 64 bits.
    for (const std::int32_t range : {(1 << 30) - 1, 1 << 30, kMax}) {
        for (unsigned seed = 1; seed <= 10; ++seed) {
            const std::vector<int> d = drawsAfterSeed(seed, 5);
            const Vekthing thing = createSeeded(seed, range, true);
            ASSERT_EQ(thing.electricCharge(), static_cast<std::int64_t>(d[4]) % (2 * std::int64_t{range} + 1) - range);
            ASSERT_GE(thing.color().red, 0.0);
            ASSERT_LE(thing.color().red, 1.0);
        }
    }
}

TEST(VekthingCreationFaults, NarrowLowOrNaNRectangleStillDrawsAndGivesZero) {
    const Rect rects[] = {
        {0.0, 0.0, 20.5, 480.0},  // maxX 0
        {0.0, 0.0, 5.0, 480.0},   // maxX -15
        {0.0, 0.0, 640.0, 20.0},  // maxY 0
        {0.0, 0.0, std::numeric_limits<double>::quiet_NaN(), 1e12},  // both INT32_MIN
    };
    for (const Rect& rect : rects) {
        for (unsigned seed = 1; seed <= 10; ++seed) {
            const std::vector<int> d = drawsAfterSeed(seed, 5);
            const Vekthing thing = createSeeded(seed, 2, true, rect);
            ASSERT_EQ(bits(thing.x()), bits(thing.maxX() < 1 ? 0.0F : static_cast<float>(d[0] % thing.maxX())));
            ASSERT_EQ(bits(thing.y()), bits(thing.maxY() < 1 ? 0.0F : static_cast<float>(d[1] % thing.maxY())));
            ASSERT_EQ(thing.px(), static_cast<float>(d[2] % 5 - 2));  // later draws keep their places
            ASSERT_EQ(thing.electricCharge(), d[4] % 5 - 2);
            ASSERT_EQ(drawsOfCreation(seed, 2, true, rect), 5U);
        }
    }
    EXPECT_EQ(createSeeded(1, 2, true, rects[1]).maxX(), -15);
    EXPECT_EQ(createSeeded(1, 2, true, rects[3]).maxX(), kMin);
    EXPECT_EQ(createSeeded(1, 2, true, rects[3]).maxY(), kMin);
}

TEST(VekthingAccessors, StoreAndAddWithoutSideEffects) {
    Vekthing thing = createSeeded(9, 2, true);
    const Color colour = thing.color();
    const std::int32_t charge = thing.electricCharge();
    thing.set(12.5F, -7.25F, 0.5F, -4.0F);
    EXPECT_EQ(thing.x(), 12.5F);
    EXPECT_EQ(thing.y(), -7.25F);
    EXPECT_EQ(thing.maxX(), 620);
    EXPECT_EQ(thing.electricCharge(), charge);
    EXPECT_EQ(thing.color(), colour);
    thing.giveForce(1.0F, 0.0F);
    thing.giveForce(1.0F, 0x1p-24F);  // each sum rounded to single
    EXPECT_EQ(thing.px(), 2.5F);
    EXPECT_EQ(thing.py(), -4.0F);
    EXPECT_EQ(thing.x(), 12.5F);

    Vekthing plain;
    EXPECT_EQ(bits(plain.x()) | bits(plain.py()), 0U);
    EXPECT_EQ(plain.color(), (Color{0.0, 0.0, 0.0, 1.0}));
    plain.setRed(0.1F, 0.7F, 0.3F);
    EXPECT_EQ(plain.color(), (Color{double{0.1F}, double{0.7F}, double{0.3F}, 1.0}));
    plain.setOldPosition(Point{1.5, -2.5}, Point{0.25, 8.0});
    EXPECT_EQ(plain.oldPosition(), (Point{1.5, -2.5}));
    EXPECT_EQ(plain.oldField(), (Point{0.25, 8.0}));
}

}  // namespace
}  // namespace pelmora
