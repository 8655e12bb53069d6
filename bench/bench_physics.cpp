// The frame physics step at 40, 400, 2,000 and 5,000 spheres, with
// contact repulsion off and on: the vector-and-threads step on 1 and 2
// threads beside the straightforward loop. Reports the time per frame (the benchmark's
// own time per iteration) and, through counters, the time per pair
// evaluation and the pair evaluations per second. A frame evaluates every
// ordered pair: N * (N - 1) pairs.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "FieldRows.h"
#include "FramePhysics.h"
#include "Vekthing.h"

namespace {

using pelmora::FramePhysics;
using pelmora::PhysicsSettings;
using pelmora::Rect;
using pelmora::Vekthing;

enum class Path { Fast, Reference };

void runPhysics(benchmark::State& state, Path path) {
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
    FramePhysics physics(path == Path::Fast ? static_cast<std::int32_t>(state.range(2)) : 1);
    state.SetLabel(path == Path::Fast ? pelmora::fieldRowsTarget() : "reference");

    for (auto _ : state) {
        // A frame as the view runs it, less the drawing.
        physics.prepare(count);
        const float contact = FramePhysics::contactDistanceSquared(settings.sphereRadii);
        const float scale = FramePhysics::speedScale(settings.speedDivisor);
        if (path == Path::Fast) {
            physics.step(things, settings, bounds, contact, scale);
        } else {
            physics.stepReference(things, settings, bounds, contact, scale);
        }
        benchmark::DoNotOptimize(physics.fieldX().data());
        benchmark::ClobberMemory();
    }

    const double pairs = static_cast<double>(count) * static_cast<double>(count - 1);
    state.counters["per_pair"] =
        benchmark::Counter(pairs, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["pairs/s"] = benchmark::Counter(pairs, benchmark::Counter::kIsIterationInvariantRate);
    state.counters["frames/s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_FramePhysicsStep(benchmark::State& state) { runPhysics(state, Path::Fast); }
void BM_FramePhysicsReference(benchmark::State& state) { runPhysics(state, Path::Reference); }

BENCHMARK(BM_FramePhysicsReference)
    ->ArgsProduct({{40, 400, 2000, 5000}, {0, 1}, {1}})
    ->ArgNames({"spheres", "bouncing", "threads"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
BENCHMARK(BM_FramePhysicsStep)
    ->ArgsProduct({{40, 400, 2000, 5000}, {0, 1}, {1, 2}})
    ->ArgNames({"spheres", "bouncing", "threads"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
