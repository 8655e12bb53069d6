#pragma once

#include <cstdint>

namespace pelmora {

// Lets a test make a frame fail the way a worker's rethrown failure or a
// bad_alloc in a crowded frame would, to see that the host ends cleanly:
// with PELMORA_TEST_FAIL_FRAME=N in the environment, the Nth frame throws.
// Without it (always, outside tests) it does nothing.
class FrameFaultHook {
public:
    // Reads the environment once.
    FrameFaultHook();
    // Called as each frame starts; throws std::runtime_error on the Nth.
    void frameStarting();

private:
    std::uint64_t failingFrame_ = 0;
    std::uint64_t frames_ = 0;
};

}  // namespace pelmora
