#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "Truncation.h"

namespace pelmora {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(TruncateToInt32, CutsTowardZeroAndGivesMinForNaNAndOutOfRange) {
    const struct {
        double value;
        std::int32_t expected;
    } cases[] = {
        {70.9, 70}, {620.0, 620}, {0.999, 0}, {-0.999, 0}, {-0.0, 0}, {-15.7, -15},
        {2147483647.99, kMax}, {-2147483648.99, kMin},  // still in range
        {2147483648.0, kMin}, {-2147483649.0, kMin}, {1e300, kMin}, {-1e300, kMin},
        {kInf, kMin}, {-kInf, kMin}, {kNaN, kMin}, {-kNaN, kMin},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(truncateToInt32(c.value), c.expected) << c.value;
    }
}

TEST(WrappingIncrement, CountsUpAndWrapsPastTheTop) {
    EXPECT_EQ(wrappingIncrement(-1), 0);
    EXPECT_EQ(wrappingIncrement(kMax - 1), kMax);
    EXPECT_EQ(wrappingIncrement(kMax), kMin);
}

}  // namespace
}  // namespace pelmora
