#include "Truncation.h"

#include <limits>

namespace pelmora {
namespace {

// A constant expression may hold no undefined behaviour, so these fail the
// build if the helper ever converts NaN or an out-of-range value plainly.
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

static_assert(truncateToInt32(70.9) == 70 && truncateToInt32(-15.7) == -15 && truncateToInt32(-0.999) == 0);
static_assert(truncateToInt32(2147483647.99) == kMax && truncateToInt32(-2147483648.99) == kMin);
static_assert(truncateToInt32(2147483648.0) == kMin && truncateToInt32(-2147483649.0) == kMin);
static_assert(truncateToInt32(1e300) == kMin && truncateToInt32(-1e300) == kMin);
static_assert(truncateToInt32(kInfinity) == kMin && truncateToInt32(-kInfinity) == kMin);
static_assert(truncateToInt32(kNaN) == kMin && truncateToInt32(-kNaN) == kMin);
static_assert(wrappingIncrement(kMax) == kMin && wrappingIncrement(-1) == 0);

}  // namespace
}  // namespace pelmora
