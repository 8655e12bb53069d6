// The frame step allocates nothing once the sphere count is steady. This file
// replaces the global allocation functions of its own test program to count
// them, which is why it is a program of its own.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "FramePhysics.h"
#include "Vekthing.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* memory = std::malloc(size == 0 ? 1 : size)) {
        return memory;
    }
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace pelmora {
namespace {

TEST(FramePhysicsAllocation, SteadyOrShrinkingCountAllocatesNothing) {
    const Rect bounds{0.0, 0.0, 640.0, 480.0};
    std::srand(3);
    std::vector<Vekthing> things;
    for (int k = 0; k < 400; ++k) {
        things.emplace_back(2, true, bounds);
    }
    PhysicsSettings settings;
    settings.bouncingEnabled = true;
    FramePhysics physics;
    const auto frame = [&](std::int32_t count) {
        physics.prepare(count);
        physics.step(things, settings, bounds, FramePhysics::contactDistanceSquared(settings.sphereRadii),
                     FramePhysics::speedScale(settings.speedDivisor));
    };
    frame(400);  // the first frame sizes the scratch storage

    const long before = allocations.load();
    for (int k = 0; k < 10; ++k) {
        frame(400);
    }
    frame(100);
    frame(400);
    EXPECT_EQ(allocations.load(), before);

    // After the count grows, the new size is steady again from the next frame.
    things.emplace_back(2, true, bounds);
    frame(401);
    const long afterGrowth = allocations.load();
    frame(401);
    frame(401);
    EXPECT_EQ(allocations.load(), afterGrowth);
}

}  // namespace
}  // namespace pelmora
