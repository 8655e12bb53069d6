#include "Truncation.h"

#include <limits>

namespace pelmora {

std::int32_t truncateToInt32(double value) {
    // Truncation toward zero lands in the 32-bit range exactly when the value
    // lies strictly between -2^31 - 1 and 2^31; both bounds are exact doubles.
    // NaN fails both comparisons.
    constexpr double kBelowRange = -2147483649.0;
    constexpr double kAboveRange = 2147483648.0;
    if (!(value > kBelowRange && value < kAboveRange)) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t wrappingIncrement(std::int32_t value) {
    // Unsigned arithmetic wraps by definition, and since C++20 the conversion
    // back to a signed type is defined as the two's-complement value.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) + 1U);
}

}  // namespace pelmora
