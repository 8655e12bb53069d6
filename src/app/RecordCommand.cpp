#include "RecordCommand.h"

#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "BandedCanvas.h"
#include "CairoHandles.h"
#include "FfmpegSink.h"
#include "NoSheetHost.h"
#include "PelmoraView.h"
#include "PngFolderSink.h"
#include "ProgressBar.h"
#include "RecordFormat.h"
#include "SignalWatch.h"
#include "StartSeed.h"
#include "Truncation.h"
#include "WorkerPool.h"

namespace pelmora {

namespace {

std::unique_ptr<FrameSink> sinkFor(const ProgramOptions& options, const RecordFormat& format, std::int32_t rate) {
    if (format.isVideo()) {
        return std::make_unique<FfmpegSink>(format, options.output, options.width, options.height, rate, options.force);
    }
    return std::make_unique<PngFolderSink>(options.output, options.force);
}


// The closing line of every run, so that a log shows what the run left.
void reportWritten(const RecordFormat& format, const FrameSink& sink, int frames, int total) {
    const char* what = format.isVideo() ? "to" : "as PNG files in";
    if (frames == total) {
        std::fprintf(stderr, "pelmora: wrote %d frames %s %s\n", frames, what, sink.destination().c_str());
    } else {
        std::fprintf(stderr, "pelmora: wrote %d of %d frames %s %s\n", frames, total, what,
                     sink.destination().c_str());
    }
}

void reportFailure(const RecordFormat& format, const FrameSink& sink, int frames) {
    std::fprintf(stderr, "pelmora: %s\n", sink.error().c_str());
    if (format.isVideo() || frames == 0) {
        std::fprintf(stderr, "pelmora: wrote nothing%s\n", sink.untouched().c_str());
    } else {
        std::fprintf(stderr, "pelmora: wrote %d frames as PNG files in %s before stopping\n", frames,
                     sink.destination().c_str());
    }
}

}  // namespace

std::string checkRecordOptions(const ProgramOptions& options) {
    std::string error;
    const RecordFormat format = RecordFormat::forOutput(options.output, &error);
    if (!error.empty()) {
        return error;
    }
    if (options.frames < 1) {
        return "--frames " + std::to_string(options.frames) + ": a recording needs at least one frame";
    }
    if (std::string size = format.sizeProblem(options.width, options.height); !size.empty()) {
        return "--size " + std::to_string(options.width) + "x" + std::to_string(options.height) + ": " + size;
    }
    if (options.rate != 0) {
        return format.rateProblem(options.rate);
    }
    return {};
}

namespace {

struct FramesMade {
    int written = 0;
    bool good = true;
};

// Renders and hands over frames until all are made, the sink fails or a
// signal asks to stop.
FramesMade makeFrames(PelmoraView& view, BandedCanvas& canvas, cairo_t* cr, double height, FrameSink& sink,
                      SignalWatch& signals, std::int32_t total) {
    cairo_surface_t* surface = cairo_get_target(cr);
    ProgressBar progress(stderr, total, ::isatty(STDERR_FILENO) != 0);
    FramesMade made;
    while (made.written < total && made.good && signals.caught() == 0) {
        {
            BandedCanvas::Frame frame(canvas, cr, height);
            view.animateOneFrame();
            frame.finish();
        }
        cairo_surface_flush(surface);
        made.good = sink.write(surface, made.written + 1);
        made.written += made.good ? 1 : 0;
        progress.update(made.written);
    }
    progress.finish();
    return made;
}

// Closes the sink and says what the run left; returns the exit status.
int finishRecording(FrameSink& sink, const RecordFormat& format, SignalWatch& signals, const FramesMade& made,
                    std::int32_t total) {
    const char* again = format.isVideo() ? " (interrupt again to abandon it)" : "";
    if (const int signal = signals.caught(); signal != 0) {
        std::fprintf(stderr, "pelmora: %s; finishing the recording with the frames made so far%s\n",
                     strsignal(signal), again);
    }
    // Encoding can take a while after the last frame. The first signal then
    // still lets the file finish, as one during the frames does; only a
    // second one means the user wants out now.
    bool abandoned = false;
    sink.abandonWhen([&signals, &abandoned, again] {
        const bool first = signals.count() == 0;
        if (signals.arrivesWithin(std::chrono::milliseconds(50)) && first) {
            std::fprintf(stderr, "pelmora: %s; finishing the recording%s\n", strsignal(signals.caught()), again);
        }
        abandoned = signals.count() > 1;
        return abandoned;
    });
    if (!sink.close() || !made.good) {
        if (abandoned) {
            std::fprintf(stderr, "pelmora: abandoned; wrote nothing%s\n", sink.untouched().c_str());
        } else {
            reportFailure(format, sink, made.written);
        }
        return 1;
    }
    reportWritten(format, sink, made.written, total);
    return 0;
}

}  // namespace

int runRecord(const ProgramOptions& options, SettingsStores& stores) {
    if (const std::string problem = checkRecordOptions(options); !problem.empty()) {
        std::fprintf(stderr, "pelmora: %s\npelmora: wrote nothing\n", problem.c_str());
        return 2;
    }
    // Before anything starts a thread (Pango starts one to load fonts): a
    // thread made earlier would not hold the signals back, and a Ctrl-C
    // delivered to it would end the program with the recording unfinished.
    SignalWatch signals;
    if (signals.fd() < 0) {
        std::fprintf(stderr, "pelmora: cannot watch for signals: %s\npelmora: wrote nothing\n", std::strerror(errno));
        return 1;
    }
    std::string ignored;
    const RecordFormat format = RecordFormat::forOutput(options.output, &ignored);
    const unsigned seed = StartSeed::plant(options.seed);
    CairoSurfacePtr surface(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, options.width, options.height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        std::fprintf(stderr, "pelmora: cannot make a %dx%d picture: %s\npelmora: wrote nothing\n", options.width,
                     options.height, cairo_status_to_string(cairo_surface_status(surface.get())));
        return 1;
    }
    CairoContextPtr cr(cairo_create(surface.get()));
    BandedCanvas canvas;
    canvas.setBands(options.threads > 0 ? options.threads : WorkerPool::hardwareThreads());
    NoSheetHost sheetHost;
    const Rect bounds{0.0, 0.0, static_cast<double>(options.width), static_cast<double>(options.height)};
    PelmoraView view(bounds, false, ViewHost{stores, options.moduleName, canvas, sheetHost});
    view.setPhysicsThreads(options.threads);

    std::unique_ptr<FrameSink> sink = sinkFor(
        options, format, options.rate != 0 ? options.rate : format.defaultRate(view.animationTimeInterval()));
    if (!sink->open()) {
        sink->close();
        reportFailure(format, *sink, 0);
        return 1;
    }
    if (::isatty(STDERR_FILENO) != 0) {
        std::fprintf(stderr, "Recording %d frames (seed %u) to %s\n", options.frames, seed,
                     sink->destination().c_str());
    }
    const FramesMade made = makeFrames(view, canvas, cr.get(), options.height, *sink, signals, options.frames);
    const int status = finishRecording(*sink, format, signals, made, options.frames);
    // Everything is in place and said: the signal that stopped the run now
    // ends the program as it would have, so that a shell or a script
    // around it stops too.
    if (const int signal = signals.caught(); signal != 0) {
        SignalWatch::endProcessBy(signal);
    }
    return status;
}

std::string recordHelpText() {
    return "Usage: pelmora record [--frames N] [--size WxH] [--seed S] [--output PATH] [--rate FPS] [--force]\n"
           "                      [-KEY VALUE ...]\n"
           "Renders the screen saver without a display, into a video or numbered PNG files.\n"
           "\n"
           "  --frames N         frames to render, at least 1 (default 600)\n"
           "  --size WxH         picture size (default 1280x720); an .mp4 needs even sides\n"
           "  --seed S           seed the generator with S (default: from the clock)\n"
           "  --output PATH      a .mp4, .webm or .gif file, encoded with ffmpeg, or a folder\n"
           "                     for frame-000001.png, ... (default pelmora-frames)\n"
           "  --rate FPS         frames per second of a video (default 60; 50 for a GIF,\n"
           "                     whose rate must divide 100 and be at most 50)\n"
           "  --force            replace an existing video file, or the frames an earlier\n"
           "                     recording left in the folder\n"
           "  --threads N        threads for the physics and the drawing (default: one per core)\n"
           "  --module-name NAME read the settings kept under NAME (default pelmora)\n"
           "  -KEY VALUE         override a setting for this recording; see pelmora --help\n"
           "\n"
           "A file appears under its name only when it is complete: a recording that fails\n"
           "leaves an existing file of that name as it was. Ctrl-C or SIGTERM ends the\n"
           "recording early and keeps the frames made so far; a second one while the video\n"
           "is being finished abandons it. Either way the program then ends by that signal.\n";
}

}  // namespace pelmora
