#pragma once

#include <cstdint>
#include <vector>

namespace pelmora {

// A touching pair found by the field pass: sphere `i` pushes sphere `j` in
// i's turn. Lists of them are kept in turn order: ascending i, then j.
struct Contact {
    std::int32_t i = 0;
    std::int32_t j = 0;
};

// The start-of-frame state the field sums read. The arrays hold `count`
// entries and are readable (any value) up to kFieldRowsPadding entries past
// the end, so a vector block may load beyond the last sphere.
struct FieldRowsInput {
    const float* snapX = nullptr;
    const float* snapY = nullptr;
    // Each charge already converted to single precision.
    const float* charge = nullptr;
    std::int32_t count = 0;
    float contactDistanceSquared = 0.0F;
    bool recordContacts = false;
};

inline constexpr std::int32_t kFieldRowsPadding = 64;

// Field sums of the spheres begin..end-1 over all `count` spheres, each sum
// added term by term in ascending j with the rounding of the straightforward
// loop, so each result is bit for bit the same. Touching pairs of those rows
// are appended to `contacts` in turn order when input.recordContacts is set.
// Rows are independent: disjoint row ranges may run on different threads.
void computeFieldRows(const FieldRowsInput& input, std::int32_t begin, std::int32_t end, float* fieldX,
                      float* fieldY, std::vector<Contact>& contacts);

// The same, one sphere at a time in plain scalar code.
void computeFieldRowsScalar(const FieldRowsInput& input, std::int32_t begin, std::int32_t end, float* fieldX,
                            float* fieldY, std::vector<Contact>& contacts);

// The instruction set computeFieldRows runs on at this moment ("scalar"
// without vector support compiled in).
const char* fieldRowsTarget();

}  // namespace pelmora
