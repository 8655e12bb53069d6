#include "StartSeed.h"

#include <chrono>
#include <cstdint>
#include <cstdlib>

namespace pelmora {

unsigned StartSeed::fromClock() {
    // The system clock's finest ticks, folded to 32 bits: two starts within
    // the same second still differ, and no host needs a process id for it.
    const auto ticks = static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
    return static_cast<unsigned>((ticks ^ (ticks >> 32U)) & 0xFFFFFFFFU);
}

unsigned StartSeed::plant(std::optional<unsigned> asked) {
    const unsigned seed = asked ? *asked : fromClock();
    std::srand(seed);
    return seed;
}

}  // namespace pelmora
