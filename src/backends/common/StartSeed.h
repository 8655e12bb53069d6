#pragma once

#include <optional>

namespace pelmora {

// The seed of the C library's generator, from which the view draws every
// sphere it makes. A start someone watches seeds it from the clock, so that
// each start shows a new layout; a seed given on the command line repeats one.
class StartSeed {
public:
    // A seed that differs from one start to the next.
    static unsigned fromClock();
    // Seeds the generator with `asked`, else with fromClock(); the seed used.
    static unsigned plant(std::optional<unsigned> asked);
};

}  // namespace pelmora
