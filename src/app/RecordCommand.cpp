#include "RecordCommand.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "CairoCanvas.h"
#include "FfmpegSink.h"
#include "NoSheetHost.h"
#include "PelmoraView.h"
#include "PngFolderSink.h"
#include "ProgressBar.h"
#include "WorkerPool.h"

namespace pelmora {

namespace {

std::unique_ptr<FrameSink> sinkFor(const ProgramOptions& options, double framesPerSecond) {
    if (FfmpegSink::handles(options.output)) {
        return std::make_unique<FfmpegSink>(options.output, options.width, options.height, framesPerSecond);
    }
    return std::make_unique<PngFolderSink>(options.output);
}

unsigned clockSeed() {
    return static_cast<unsigned>(std::time(nullptr)) ^ (static_cast<unsigned>(::getpid()) << 16U);
}

struct SurfaceDeleter {
    void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct ContextDeleter {
    void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};

}  // namespace

int runRecord(const ProgramOptions& options, SettingsStores& stores) {
    const unsigned seed = options.seed ? *options.seed : clockSeed();
    std::srand(seed);
    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, options.width, options.height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "pelmora: cannot make a %dx%d picture: %s\n", options.width, options.height,
                     cairo_status_to_string(cairo_surface_status(surface.get())));
        return 1;
    }
    std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
    CairoCanvas canvas;
    canvas.setBands(options.threads > 0 ? options.threads : WorkerPool::hardwareThreads());
    canvas.target(cr.get(), options.height);
    NoSheetHost sheetHost;
    const Rect bounds{0.0, 0.0, static_cast<double>(options.width), static_cast<double>(options.height)};
    PelmoraView view(bounds, false, ViewHost{stores, options.moduleName, canvas, sheetHost});
    view.setPhysicsThreads(options.threads);

    std::unique_ptr<FrameSink> sink = sinkFor(options, 1.0 / view.animationTimeInterval());
    if (!sink->open()) {
        std::fprintf(stderr, "pelmora: %s\n", sink->error().c_str());
        return 1;
    }
    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    if (terminal) {
        std::fprintf(stderr, "Recording %d frames (seed %u) to %s\n", options.frames, seed, options.output.c_str());
    }
    ProgressBar progress(stderr, options.frames, terminal);
    bool good = true;
    for (int frame = 1; frame <= options.frames && good; ++frame) {
        view.animateOneFrame();
        canvas.finishFrame();
        cairo_surface_flush(surface.get());
        good = sink->write(surface.get(), frame);
        progress.update(frame);
    }
    progress.finish();
    good = sink->close() && good;
    if (!good) {
        std::fprintf(stderr, "pelmora: %s\n", sink->error().c_str());
        return 1;
    }
    return 0;
}

}  // namespace pelmora
