// The field rows across vector lanes: each lane is one sphere i and adds its
// terms over j in ascending order with exactly the operations of the scalar
// loop (single-precision differences, double products and quotients, the sum
// rounded to single after every term), so every lane's result is the scalar
// result to the bit. Highway compiles this file once per instruction set and
// picks the best one the machine runs.
#include "FieldRows.h"

#include <algorithm>
#include <cstddef>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "FieldRows.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace pelmora {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using Wide = hn::ScalableTag<double>;
using Narrow = hn::Rebind<float, Wide>;
using WideVec = hn::Vec<Wide>;
using WideMask = hn::Mask<Wide>;

// first + second, where a NaN in `first` is the result even when `second` is
// a NaN too: the lanes' version of addFirstNaN (FirstNaN.h), which the scalar
// loops use, so that no compiler's choice of operand order decides a NaN's
// sign. `first` is always the result of arithmetic here, hence a quiet NaN.
WideVec addKeepingFirstNaN(WideVec first, WideVec second) {
    return hn::IfThenElse(hn::IsNaN(first), first, hn::Add(first, second));
}

// Appends (row + lane, j) for every touching lane of a block whose row is
// below `end`.
void recordTouches(Wide wide, WideMask touch, std::int32_t row, std::int32_t end, std::int32_t j,
                   std::vector<Contact>& contacts) {
    std::uint8_t bits[HWY_MAX_BYTES / sizeof(double) / 8 + 1] = {};
    hn::StoreMaskBits(wide, touch, bits);
    const auto lanes = static_cast<std::int32_t>(hn::Lanes(wide));
    for (std::int32_t lane = 0; lane < lanes && row + lane < end; ++lane) {
        if ((bits[lane / 8] >> (lane % 8)) & 1U) {
            contacts.push_back(Contact{row + lane, j});
        }
    }
}

// Stores the lanes of a block that lie below `end`.
void storeRows(Narrow narrow, hn::Vec<Narrow> values, std::int32_t row, std::int32_t end, float* out) {
    const auto lanes = static_cast<std::int32_t>(hn::Lanes(narrow));
    if (row + lanes <= end) {
        hn::StoreU(values, narrow, out + row);
        return;
    }
    float buffer[HWY_MAX_BYTES / sizeof(float)];
    hn::StoreU(values, narrow, buffer);
    std::copy(buffer, buffer + (end - row), out + row);
}

void FieldRowsVector(const FieldRowsInput& input, std::int32_t begin, std::int32_t end, float* fieldX,
                     float* fieldY, std::vector<Contact>& contacts) {
#if HWY_TARGET == HWY_SCALAR || HWY_TARGET == HWY_EMU128
    // The emulated targets' narrowing clamps overflow to the largest float
    // instead of rounding to infinity; the scalar rows are exact and no slower.
    computeFieldRowsScalar(input, begin, end, fieldX, fieldY, contacts);
    return;
#endif
    const Wide wide;
    const Narrow narrow;
    const auto lanes = static_cast<std::int32_t>(hn::Lanes(wide));
    const WideVec zero = hn::Zero(wide);
    const WideVec contactDistance = hn::Set(wide, static_cast<double>(input.contactDistanceSquared));

    for (std::int32_t row = begin; row < end; row += lanes) {
        const auto xi = hn::LoadU(narrow, input.snapX + row);
        const auto yi = hn::LoadU(narrow, input.snapY + row);
        const WideVec rowIndex = hn::Iota(wide, static_cast<double>(row));
        // The sums live in double lanes but only ever hold single-precision
        // values: each is rounded to single as the scalar loop stores it.
        WideVec sumX = zero;
        WideVec sumY = zero;
        const std::size_t firstContact = contacts.size();

        for (std::int32_t j = 0; j < input.count; ++j) {
            const WideVec dx = hn::PromoteTo(wide, hn::Sub(xi, hn::Set(narrow, input.snapX[j])));
            const WideVec dy = hn::PromoteTo(wide, hn::Sub(yi, hn::Set(narrow, input.snapY[j])));
            const WideVec s = hn::PromoteTo(wide, hn::DemoteTo(narrow, addKeepingFirstNaN(hn::Mul(dx, dx), hn::Mul(dy, dy))));
            // The sphere itself and a pair on one point add nothing. Eq is an
            // ordered comparison: a NaN s is not skipped, as in the scalar loop.
            const WideMask skip = hn::Or(hn::Eq(s, zero), hn::Eq(rowIndex, hn::Set(wide, static_cast<double>(j))));
            const WideVec charge = hn::Set(wide, static_cast<double>(input.charge[j]));
            const WideVec nextX = hn::PromoteTo(wide, hn::DemoteTo(narrow, addKeepingFirstNaN(sumX, hn::Div(hn::Mul(charge, dx), s))));
            const WideVec nextY = hn::PromoteTo(wide, hn::DemoteTo(narrow, addKeepingFirstNaN(sumY, hn::Div(hn::Mul(charge, dy), s))));
            sumX = hn::IfThenElse(skip, sumX, nextX);
            sumY = hn::IfThenElse(skip, sumY, nextY);
            if (input.recordContacts) {
                const WideMask touch = hn::AndNot(skip, hn::Lt(s, contactDistance));
                if (!hn::AllFalse(wide, touch)) {
                    recordTouches(wide, touch, row, end, j, contacts);
                }
            }
        }
        storeRows(narrow, hn::DemoteTo(narrow, sumX), row, end, fieldX);
        storeRows(narrow, hn::DemoteTo(narrow, sumY), row, end, fieldY);
        // The block found its pairs j by j; turn order is i first, then j.
        std::sort(contacts.begin() + static_cast<std::ptrdiff_t>(firstContact), contacts.end(),
                  [](const Contact& a, const Contact& b) { return a.i != b.i ? a.i < b.i : a.j < b.j; });
    }
}

const char* FieldRowsTargetName() { return hwy::TargetName(HWY_TARGET); }

}  // namespace HWY_NAMESPACE
}  // namespace pelmora
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace pelmora {

HWY_EXPORT(FieldRowsVector);
HWY_EXPORT(FieldRowsTargetName);

void computeFieldRows(const FieldRowsInput& input, std::int32_t begin, std::int32_t end, float* fieldX,
                      float* fieldY, std::vector<Contact>& contacts) {
    HWY_DYNAMIC_DISPATCH(FieldRowsVector)(input, begin, end, fieldX, fieldY, contacts);
}

const char* fieldRowsTarget() { return HWY_DYNAMIC_DISPATCH(FieldRowsTargetName)(); }

}  // namespace pelmora
#endif
