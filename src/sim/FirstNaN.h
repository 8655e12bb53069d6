#pragma once

#include <cmath>

namespace pelmora {

// Additions and products whose two operands may both be NaN. The hardware
// then returns one of the two NaNs, and which one depends on the operand
// order the compiler happens to choose for a commutative operation, so two
// builds (or two copies of one loop) could disagree in a NaN's sign. These
// return the first operand's NaN whenever it is one, and otherwise the plain
// result, which is the same bits in either order.
inline double addFirstNaN(double first, double second) { return std::isnan(first) ? first : first + second; }
inline double multiplyFirstNaN(double first, double second) { return std::isnan(first) ? first : first * second; }
inline float multiplyFirstNaN(float first, float second) { return std::isnan(first) ? first : first * second; }

}  // namespace pelmora
