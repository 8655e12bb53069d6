#pragma once

#include <cstdint>
#include <limits>

namespace pelmora {

// Truncates toward zero to a 32-bit signed integer. NaN and values whose
// truncation lies outside the 32-bit range give INT32_MIN instead of the
// undefined behaviour of a plain conversion. Every float-to-int conversion in
// the project goes through here. constexpr so that the edge cases can be
// checked at compile time, where undefined behaviour is an error (x86-64
// hardware gives INT32_MIN for a plain conversion too, so no run-time test
// there can tell the two apart).
constexpr std::int32_t truncateToInt32(double value) {
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

// Adds one with two's-complement wrap-around, for counters that must keep
// running past INT32_MAX without signed-overflow undefined behaviour.
constexpr std::int32_t wrappingIncrement(std::int32_t value) {
    // Unsigned arithmetic wraps by definition, and since C++20 the conversion
    // back to a signed type is defined as the two's-complement value.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) + 1U);
}

}  // namespace pelmora
