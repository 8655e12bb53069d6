// The frame step allocates nothing once the sphere count is steady. This
// program replaces the global allocation functions to count them, which is
// why it is a program of its own.

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
    for (int k = 0; k < 401; ++k) {
        things.emplace_back(2, true, bounds);
    }
    PhysicsSettings settings;
    settings.bouncingEnabled = true;
    FramePhysics physics;
    const auto frameAllocations = [&](std::int32_t count) {
        const long before = allocations.load();
        physics.prepare(count);
        physics.step(things, settings, bounds, FramePhysics::contactDistanceSquared(settings.sphereRadii),
                     FramePhysics::speedScale(settings.speedDivisor));
        return allocations.load() - before;
    };
    EXPECT_GT(frameAllocations(400), 0);  // the first frame sizes the scratch storage
    for (const std::int32_t count : {400, 400, 100, 400}) {
        EXPECT_EQ(frameAllocations(count), 0) << count;
    }
    frameAllocations(401);  // a larger count may allocate once
    EXPECT_EQ(frameAllocations(401), 0);
}

}  // namespace
}  // namespace pelmora
