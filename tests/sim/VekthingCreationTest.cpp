// Part 1.1: creation of a sphere from the C library's rand(), its colour ramp
// and its plain accessors, with the creation faults this project mends.

#include <gtest/gtest.h>

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

Vekthing createSeeded(unsigned seed, std::int32_t range, bool neutral, const Rect& rect) {
    std::srand(seed);
    return Vekthing(range, neutral, rect);
}

std::size_t drawsOfCreation(unsigned seed, std::int32_t range, bool neutral, const Rect& rect) {
    return countDraws(seed, [&] { Vekthing thing(range, neutral, rect); });
}

// --- Draws: order, count and use -------------------------------------------

TEST(VekthingCreation, DrawsXYPxPyChargeInThatOrder) {
    // The origin plays no part: only width and height are read.
    const Rect rect{300.0, -70.0, 640.0, 480.0};
    for (unsigned seed = 1; seed <= 50; ++seed) {
        const std::vector<int> d = drawsAfterSeed(seed, 5);
        const Vekthing thing = createSeeded(seed, 2, true, rect);
        ASSERT_EQ(thing.x(), static_cast<float>(d[0] % 620)) << "seed " << seed;
        ASSERT_EQ(thing.y(), static_cast<float>(d[1] % 460)) << "seed " << seed;
        ASSERT_EQ(thing.px(), static_cast<float>(d[2] % 5 - 2)) << "seed " << seed;
        ASSERT_EQ(thing.py(), static_cast<float>(d[3] % 5 - 2)) << "seed " << seed;
        ASSERT_EQ(thing.electricCharge(), d[4] % 5 - 2) << "seed " << seed;
        ASSERT_EQ(drawsOfCreation(seed, 2, true, rect), 5U) << "seed " << seed;
    }
}

TEST(VekthingCreation, SetsLimitsAndLeavesTheRestAtZero) {
    const Vekthing thing = createSeeded(7, 2, true, Rect{-1000.0, 55.5, 640.0, 480.0});
    EXPECT_EQ(thing.maxX(), 620);
    EXPECT_EQ(thing.maxY(), 460);
    EXPECT_EQ(thing.minX(), 0);
    EXPECT_EQ(thing.minY(), 0);
    EXPECT_EQ(thing.oldPosition(), Point{});
    EXPECT_EQ(thing.oldField(), Point{});
    EXPECT_EQ(bits(thing.color().blue), bits(0.0));
}

TEST(VekthingCreation, PlacesWholeNumbersBelowTheLimits) {
    for (unsigned seed = 1; seed <= 200; ++seed) {
        const Vekthing thing = createSeeded(seed, 2, true, kScreen);
        ASSERT_EQ(thing.x(), std::trunc(thing.x()));
        ASSERT_EQ(thing.y(), std::trunc(thing.y()));
        ASSERT_GE(thing.x(), 0.0F);
        ASSERT_LE(thing.x(), 619.0F);
        ASSERT_GE(thing.y(), 0.0F);
        ASSERT_LE(thing.y(), 459.0F);
        ASSERT_GE(thing.px(), -2.0F);
        ASSERT_LE(thing.px(), 2.0F);
        ASSERT_GE(thing.electricCharge(), -2);
        ASSERT_LE(thing.electricCharge(), 2);
    }
}

TEST(VekthingCreation, CutsTheFractionOfTheWidthAndHeight) {
    const Vekthing thing = createSeeded(3, 2, true, Rect{0.0, 0.0, 90.9, 90.9});
    EXPECT_EQ(thing.maxX(), 70);
    EXPECT_EQ(thing.maxY(), 70);
    const Vekthing justBelow = createSeeded(3, 2, true, Rect{0.0, 0.0, 91.0 - 1e-9, 40.99});
    EXPECT_EQ(justBelow.maxX(), 70);
    EXPECT_EQ(justBelow.maxY(), 20);
}

TEST(VekthingCreation, RepeatsTheChargeDrawWhileZeroWhenNeutralIsNotAllowed) {
    // First two charge draws give 0, the third does not: seven draws in all.
    const unsigned seed = findSeed(7, [](const std::vector<int>& d) {
        return d[4] % 5 == 2 && d[5] % 5 == 2 && d[6] % 5 != 2;
    });
    const std::vector<int> d = drawsAfterSeed(seed, 7);
    const Vekthing thing = createSeeded(seed, 2, false, kScreen);
    EXPECT_EQ(thing.electricCharge(), d[6] % 5 - 2);
    EXPECT_EQ(drawsOfCreation(seed, 2, false, kScreen), 7U);

    // The colour follows the final charge, not the first draw's.
    const unsigned sameChargeSeed = findSeed(5, [&](const std::vector<int>& e) { return e[4] % 5 == d[6] % 5; });
    const Vekthing reference = createSeeded(sameChargeSeed, 2, true, kScreen);
    EXPECT_EQ(thing.color(), reference.color());

    // The same seed with neutral charges allowed keeps the 0 and stops at five.
    const Vekthing neutral = createSeeded(seed, 2, true, kScreen);
    EXPECT_EQ(neutral.electricCharge(), 0);
    EXPECT_EQ(drawsOfCreation(seed, 2, true, kScreen), 5U);
}

TEST(VekthingCreation, MakesNoExtraDrawForANonZeroFirstCharge) {
    const unsigned seed = findSeed(5, [](const std::vector<int>& d) { return d[4] % 5 != 2; });
    EXPECT_EQ(drawsOfCreation(seed, 2, false, kScreen), 5U);
}

// --- Colour ramp ------------------------------------------------------------

Vekthing createWithK(std::int32_t range, std::int32_t k) {
    const std::int32_t n = 2 * range + 1;
    const unsigned seed = findSeed(5, [&](const std::vector<int>& d) { return d[4] % n == k; });
    return createSeeded(seed, range, true, kScreen);
}

TEST(VekthingColour, FollowsTheTableForChargeRangeTwo) {
    // The single-precision π and t, the single product a and the double θ = a/2
    // give these exact values; the charges +1 and +2 differ in the last bit from
    // a ramp computed wholly in double precision.
    struct Row {
        std::int32_t charge;
        float red;
        float green;
        double approxRed;
        double approxGreen;
    };
    const Row table[] = {
        {-2, 0.0F, 1.0F, 0.0, 1.0},
        {-1, 0x1.3c6ef4p-2F, 0x1.e6f0e2p-1F, 0.31, 0.95},
        {0, 0x1.2cf23p-1F, 0x1.9e377ap-1F, 0.59, 0.81},
        {1, 0x1.9e377cp-1F, 0x1.2cf22ep-1F, 0.81, 0.59},
        {2, 0x1.e6f0e2p-1F, 0x1.3c6ef2p-2F, 0.95, 0.31},
    };
    for (const Row& row : table) {
        const Vekthing thing = createWithK(2, row.charge + 2);
        ASSERT_EQ(thing.electricCharge(), row.charge);
        const Color colour = thing.color();
        EXPECT_EQ(bits(colour.red), bits(static_cast<double>(row.red))) << "charge " << row.charge;
        EXPECT_EQ(bits(colour.green), bits(static_cast<double>(row.green))) << "charge " << row.charge;
        EXPECT_EQ(bits(colour.blue), bits(0.0));
        EXPECT_EQ(colour.alpha, 1.0);
        EXPECT_NEAR(colour.red, row.approxRed, 0.005);
        EXPECT_NEAR(colour.green, row.approxGreen, 0.005);
    }
}

TEST(VekthingColour, FollowsTheSinglePrecisionStepsForOtherRanges) {
    const auto pi = static_cast<float>(std::atan(1.0) * 4.0);
    for (const std::int32_t range : {1, 3, 7}) {
        const std::int32_t n = 2 * range + 1;
        for (std::int32_t k = 0; k < n; ++k) {
            const float t = static_cast<float>(k) / static_cast<float>(n);
            const float a = pi * t;
            const double theta = static_cast<double>(a) / 2.0;
            const Color colour = createWithK(range, k).color();
            EXPECT_EQ(bits(colour.red), bits(static_cast<double>(static_cast<float>(std::sin(theta)))));
            EXPECT_EQ(bits(colour.green), bits(static_cast<double>(static_cast<float>(std::cos(theta)))));
        }
    }
    // Two values where the single-precision path shows: range 3, charge +3.
    EXPECT_EQ(bits(createWithK(3, 6).color().red), bits(static_cast<double>(0x1.f329cp-1F)));
    EXPECT_EQ(bits(createWithK(3, 6).color().green), bits(static_cast<double>(0x1.c7b904p-3F)));
}

TEST(VekthingColour, MostNegativeChargeIsPureGreenForEveryRange) {
    for (const std::int32_t range : {1, 2, 3, 10, 100}) {
        const Vekthing thing = createWithK(range, 0);
        ASSERT_EQ(thing.electricCharge(), -range);
        EXPECT_EQ(thing.color(), (Color{0.0, 1.0, 0.0, 1.0})) << "range " << range;
    }
}

// --- Mended faults of creation ----------------------------------------------

TEST(VekthingCreationFaults, ChargeRangeZeroKeepsTheFirstDrawsZero) {
    for (const bool neutral : {true, false}) {
        for (unsigned seed = 1; seed <= 20; ++seed) {
            const Vekthing thing = createSeeded(seed, 0, neutral, kScreen);
            ASSERT_EQ(thing.electricCharge(), 0);
            ASSERT_EQ(thing.color(), (Color{0.0, 1.0, 0.0, 1.0}));
            ASSERT_EQ(drawsOfCreation(seed, 0, neutral, kScreen), 5U) << "neutral " << neutral;
        }
    }
}

TEST(VekthingCreationFaults, NegativeChargeRangeActsAsZero) {
    for (const std::int32_t range : {-1, -2, -1000, kMin}) {
        for (const bool neutral : {true, false}) {
            const Vekthing thing = createSeeded(11, range, neutral, kScreen);
            EXPECT_EQ(thing.electricCharge(), 0) << "range " << range;
            EXPECT_EQ(thing.color(), (Color{0.0, 1.0, 0.0, 1.0})) << "range " << range;
            EXPECT_EQ(drawsOfCreation(11, range, neutral, kScreen), 5U) << "range " << range;
        }
    }
}

TEST(VekthingCreationFaults, HugeChargeRangeDoesNotOverflow) {
    // 2c + 1 does not fit 32 bits from c = 2^30 on; it is formed in 64 bits.
    for (const std::int32_t range : {(1 << 30) - 1, 1 << 30, kMax}) {
        for (unsigned seed = 1; seed <= 10; ++seed) {
            const std::vector<int> d = drawsAfterSeed(seed, 5);
            const std::int64_t n = 2 * static_cast<std::int64_t>(range) + 1;
            const Vekthing thing = createSeeded(seed, range, true, kScreen);
            ASSERT_EQ(thing.electricCharge(), static_cast<std::int64_t>(d[4]) % n - range);
            ASSERT_GE(thing.electricCharge(), -range);
            ASSERT_LE(thing.electricCharge(), range);
            const Color colour = thing.color();
            ASSERT_GE(colour.red, 0.0);
            ASSERT_LE(colour.red, 1.0);
            ASSERT_GE(colour.green, 0.0);
            ASSERT_LE(colour.green, 1.0);
        }
    }
}

TEST(VekthingCreationFaults, NarrowOrLowRectangleStillDrawsAndGivesZero) {
    const Rect rects[] = {
        {0.0, 0.0, 20.5, 480.0},  // maxX 0
        {0.0, 0.0, 5.0, 480.0},   // maxX -15
        {0.0, 0.0, 0.0, 0.0},     // both -20
        {0.0, 0.0, 640.0, 20.0},  // maxY 0
    };
    for (const Rect& rect : rects) {
        for (unsigned seed = 1; seed <= 10; ++seed) {
            const std::vector<int> d = drawsAfterSeed(seed, 5);
            const Vekthing thing = createSeeded(seed, 2, true, rect);
            if (thing.maxX() < 1) {
                ASSERT_EQ(bits(thing.x()), bits(0.0F));
            } else {
                ASSERT_EQ(thing.x(), static_cast<float>(d[0] % thing.maxX()));
            }
            if (thing.maxY() < 1) {
                ASSERT_EQ(bits(thing.y()), bits(0.0F));
            } else {
                ASSERT_EQ(thing.y(), static_cast<float>(d[1] % thing.maxY()));
            }
            // The later draws keep their places.
            ASSERT_EQ(thing.px(), static_cast<float>(d[2] % 5 - 2));
            ASSERT_EQ(thing.py(), static_cast<float>(d[3] % 5 - 2));
            ASSERT_EQ(thing.electricCharge(), d[4] % 5 - 2);
            ASSERT_EQ(drawsOfCreation(seed, 2, true, rect), 5U);
        }
    }
    EXPECT_EQ(createSeeded(1, 2, true, rects[1]).maxX(), -15);
}

TEST(VekthingCreationFaults, NaNOrHugeRectangleGivesLimitMinAndZeroPosition) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Vekthing thing = createSeeded(5, 2, true, Rect{0.0, 0.0, nan, 1e12});
    EXPECT_EQ(thing.maxX(), kMin);
    EXPECT_EQ(thing.maxY(), kMin);
    EXPECT_EQ(bits(thing.x()), bits(0.0F));
    EXPECT_EQ(bits(thing.y()), bits(0.0F));
    EXPECT_EQ(drawsOfCreation(5, 2, true, Rect{0.0, 0.0, nan, 1e12}), 5U);
}

// --- Accessors --------------------------------------------------------------

TEST(VekthingAccessors, DefaultSphereIsAllZero) {
    const Vekthing thing;
    EXPECT_EQ(bits(thing.x()), 0U);
    EXPECT_EQ(bits(thing.py()), 0U);
    EXPECT_EQ(thing.maxX(), 0);
    EXPECT_EQ(thing.electricCharge(), 0);
    EXPECT_EQ(thing.color(), (Color{0.0, 0.0, 0.0, 1.0}));
}

TEST(VekthingAccessors, GiveForceAddsAndNeverStores) {
    Vekthing thing;
    thing.set(1.0F, 2.0F, 0.5F, -3.0F);
    thing.giveForce(1.0F, 0.0F);
    thing.giveForce(1.0F, 0.0F);
    EXPECT_EQ(thing.px(), 2.5F);
    EXPECT_EQ(thing.py(), -3.0F);
    // Each sum is rounded to single precision.
    thing.set(0.0F, 0.0F, 1.0F, 0.0F);
    thing.giveForce(0x1p-24F, 0.0F);
    EXPECT_EQ(thing.px(), 1.0F);
    EXPECT_EQ(thing.x(), 0.0F);
}

TEST(VekthingAccessors, SetReplacesPositionAndVelocityOnly) {
    Vekthing thing = createSeeded(9, 2, true, kScreen);
    const Color colour = thing.color();
    const std::int32_t charge = thing.electricCharge();
    thing.set(12.5F, -7.25F, 3.0F, -4.0F);
    EXPECT_EQ(thing.x(), 12.5F);
    EXPECT_EQ(thing.y(), -7.25F);
    EXPECT_EQ(thing.px(), 3.0F);
    EXPECT_EQ(thing.py(), -4.0F);
    EXPECT_EQ(thing.maxX(), 620);
    EXPECT_EQ(thing.maxY(), 460);
    EXPECT_EQ(thing.electricCharge(), charge);
    EXPECT_EQ(thing.color(), colour);
}

TEST(VekthingAccessors, ColourWidensTheFieldsWithAlphaOne) {
    Vekthing thing;
    thing.setRed(0.1F, 0.7F, 0.3F);
    EXPECT_EQ(thing.color(), (Color{static_cast<double>(0.1F), static_cast<double>(0.7F), static_cast<double>(0.3F), 1.0}));
    thing.setElectricCharge(-4);
    EXPECT_EQ(thing.electricCharge(), -4);
}

TEST(VekthingAccessors, OldPositionAndFieldAreStoredTogether) {
    Vekthing thing;
    thing.setOldPosition(Point{1.5, -2.5}, Point{0.25, 8.0});
    EXPECT_EQ(thing.oldPosition(), (Point{1.5, -2.5}));
    EXPECT_EQ(thing.oldField(), (Point{0.25, 8.0}));
    EXPECT_EQ(thing.x(), 0.0F);
}

}  // namespace
}  // namespace pelmora
