#pragma once

#include <cstdint>

namespace pelmora {

// Truncates toward zero to a 32-bit signed integer. NaN and values whose
// truncation lies outside the 32-bit range give INT32_MIN instead of the
// undefined behaviour of a plain conversion. Every float-to-int conversion in
// the project goes through here.
std::int32_t truncateToInt32(double value);

// Adds one with two's-complement wrap-around, for counters that must keep
// running past INT32_MAX without signed-overflow undefined behaviour.
std::int32_t wrappingIncrement(std::int32_t value);

}  // namespace pelmora
