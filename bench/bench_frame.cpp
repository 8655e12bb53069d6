// One whole frame step of the view (physics and drawing) through the Cairo
// canvas on an image surface: the baseline for speed work on the saver.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdlib>
#include <memory>

#include "BandedCanvas.h"
#include "MemoryStores.h"
#include "NoSheetHost.h"
#include "PelmoraView.h"
#include "WorkerPool.h"

namespace {

using pelmora::BandedCanvas;
using pelmora::PelmoraView;
using pelmora::Rect;

enum Crowd { kDefaults, kLabelsAndLines, kLabelsOnly, kSpheresOnly };

void frameStep(benchmark::State& state, int width, int height, Crowd crowd) {
    const bool crowded = crowd != kDefaults;
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    BandedCanvas canvas;
    pelmora::NoSheetHost sheetHost;
    pelmora::testing::MemoryStores stores;
    if (crowded) {
        auto& saved = stores.module("bench").saved;
        saved["numberOfThings"] = std::int64_t{2000};
        saved["labelsEnabled"] = crowd != kSpheresOnly;
        saved["showLocalFields"] = crowd == kLabelsAndLines;
    }
    std::srand(1);
    PelmoraView view(Rect{0.0, 0.0, static_cast<double>(width), static_cast<double>(height)}, false,
                     pelmora::ViewHost{stores, "bench", canvas, sheetHost});
    canvas.setBands(pelmora::WorkerPool::hardwareThreads());
    for (auto _ : state) {
        BandedCanvas::Frame frame(canvas, cr, height);
        view.animateOneFrame();
        frame.finish();
        cairo_surface_flush(surface);
    }
    state.counters["spheres"] = static_cast<double>(view.thingArray().size());
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
}

BENCHMARK_CAPTURE(frameStep, hd_defaults, 1920, 1080, kDefaults)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frameStep, uhd_defaults, 3840, 2160, kDefaults)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frameStep, hd_2000_labels_lines, 1920, 1080, kLabelsAndLines)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frameStep, uhd_2000_labels_lines, 3840, 2160, kLabelsAndLines)->Unit(benchmark::kMillisecond);
// The same crowd without the field lines, and without the labels too, to
// show where a frame's time goes.
BENCHMARK_CAPTURE(frameStep, hd_2000_labels, 1920, 1080, kLabelsOnly)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(frameStep, hd_2000_spheres, 1920, 1080, kSpheresOnly)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
