// The frame physics step at 40, 400 and 2,000 spheres, with
// contact repulsion off and on. Reports the time per frame (the benchmark's
// own time per iteration) and, through counters, the time per pair
// evaluation and the pair evaluations per second. A frame evaluates every
// ordered pair: N * (N - 1) pairs.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FramePhysics.h"
#include "Vekthing.h"

namespace {

using pelmora::FramePhysics;
using pelmora::PhysicsSettings;
using pelmora::Rect;
using pelmora::Vekthing;

void BM_FramePhysicsStep(benchmark::State& state) {
    const auto count = static_cast<std::int32_t>(state.range(0));
    const Rect bounds{0.0, 0.0, 1280.0, 1024.0};
    std::srand(1);
    std::vector<Vekthing> things;
    things.reserve(static_cast<std::size_t>(count));
    for (std::int32_t k = 0; k < count; ++k) {
        things.emplace_back(2, true, bounds);  // the default settings' charges
    }
    PhysicsSettings settings;  // the default settings
    settings.bouncingEnabled = state.range(1) != 0;
    FramePhysics physics;

    for (auto _ : state) {
        // A frame as the view runs it, less the drawing.
        physics.prepare(count);
        const float contact = FramePhysics::contactDistanceSquared(settings.sphereRadii);
        const float scale = FramePhysics::speedScale(settings.speedDivisor);
        physics.step(things, settings, bounds, contact, scale);
        benchmark::DoNotOptimize(physics.fieldX().data());
        benchmark::ClobberMemory();
    }

    const double pairs = static_cast<double>(count) * static_cast<double>(count - 1);
    state.counters["per_pair"] =
        benchmark::Counter(pairs, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["pairs/s"] = benchmark::Counter(pairs, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["frames/s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}

BENCHMARK(BM_FramePhysicsStep)
    ->ArgsProduct({{40, 400, 2000}, {0, 1}})
    ->ArgNames({"spheres", "bouncing"})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
