#pragma once

// Helpers that replay the C library's rand() after srand(seed), so a test can
// tell which draws an operation took and how many.

#include <gtest/gtest.h>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace pelmora::test {

// The first `count` draws after srand(seed).
inline std::vector<int> drawsAfterSeed(unsigned seed, std::size_t count) {
    std::srand(seed);
    std::vector<int> draws(count);
    for (int& draw : draws) {
        draw = std::rand();
    }
    return draws;
}

// How many draws `action` takes from a generator seeded with `seed`: the draw
// that follows it is looked up in the replayed sequence. Returns SIZE_MAX when
// it is not among the first `window` draws.
template <class Action>
std::size_t countDraws(unsigned seed, Action&& action, std::size_t window = 64) {
    const std::vector<int> reference = drawsAfterSeed(seed, window);
    std::srand(seed);
    action();
    const int next = std::rand();
    for (std::size_t m = 0; m < reference.size(); ++m) {
        if (reference[m] == next) {
            for (std::size_t later = m + 1; later < reference.size(); ++later) {
                if (reference[later] == next) {
                    ADD_FAILURE() << "draw value repeats within the window; pick another seed";
                }
            }
            return m;
        }
    }
    return SIZE_MAX;
}

// The first seed from 1 upwards whose first `count` draws satisfy `predicate`.
template <class Predicate>
unsigned findSeed(std::size_t count, Predicate&& predicate) {
    for (unsigned seed = 1; seed < 1000000U; ++seed) {
        if (predicate(drawsAfterSeed(seed, count))) {
            return seed;
        }
    }
    ADD_FAILURE() << "no seed found";
    return 0;
}

// Bit patterns, so that 0.0 and -0.0 and every last bit are told apart.
inline std::uint32_t bits(float value) { return std::bit_cast<std::uint32_t>(value); }
inline std::uint64_t bits(double value) { return std::bit_cast<std::uint64_t>(value); }

}  // namespace pelmora::test
