#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "Truncation.h"

namespace pelmora {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

TEST(TruncateToInt32, CutsTheFractionTowardZero) {
    EXPECT_EQ(truncateToInt32(70.9), 70);  // a width of 90.9 minus 20
    EXPECT_EQ(truncateToInt32(620.0), 620);
    EXPECT_EQ(truncateToInt32(0.999), 0);
    EXPECT_EQ(truncateToInt32(-0.999), 0);
    EXPECT_EQ(truncateToInt32(-0.0), 0);
    EXPECT_EQ(truncateToInt32(-15.7), -15);
}

TEST(TruncateToInt32, KeepsEveryValueWhoseTruncationFits) {
    EXPECT_EQ(truncateToInt32(2147483647.0), kMax);
    EXPECT_EQ(truncateToInt32(2147483647.99), kMax);
    EXPECT_EQ(truncateToInt32(-2147483647.0), -kMax);
    EXPECT_EQ(truncateToInt32(-2147483648.0), kMin);
    EXPECT_EQ(truncateToInt32(-2147483648.99), kMin);
}

TEST(TruncateToInt32, GivesMinusTwoToTheThirtyFirstForNaNAndOutOfRange) {
    EXPECT_EQ(truncateToInt32(std::numeric_limits<double>::quiet_NaN()), kMin);
    EXPECT_EQ(truncateToInt32(-std::numeric_limits<double>::quiet_NaN()), kMin);
    EXPECT_EQ(truncateToInt32(std::numeric_limits<double>::infinity()), kMin);
    EXPECT_EQ(truncateToInt32(-std::numeric_limits<double>::infinity()), kMin);
    EXPECT_EQ(truncateToInt32(2147483648.0), kMin);
    EXPECT_EQ(truncateToInt32(-2147483649.0), kMin);
    EXPECT_EQ(truncateToInt32(1e300), kMin);
    EXPECT_EQ(truncateToInt32(-1e300), kMin);
}

TEST(WrappingIncrement, CountsUpAndWrapsPastTheTop) {
    EXPECT_EQ(wrappingIncrement(0), 1);
    EXPECT_EQ(wrappingIncrement(-1), 0);
    EXPECT_EQ(wrappingIncrement(kMax - 1), kMax);
    EXPECT_EQ(wrappingIncrement(kMax), kMin);
    EXPECT_EQ(wrappingIncrement(kMin), kMin + 1);
}

}  // namespace
}  // namespace pelmora
