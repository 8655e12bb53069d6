#include "TraceCommand.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "NoSheetHost.h"
#include "PelmoraView.h"
#include "RecordingCanvas.h"
#include "TraceWriter.h"

namespace pelmora {

namespace {

bool writeLine(std::FILE* out, const std::string& line) {
    return std::fwrite(line.data(), 1, line.size(), out) == line.size() && std::fputc('\n', out) != EOF;
}

}  // namespace

int runTrace(const ProgramOptions& options, SettingsStores& stores, std::FILE* out) {
    if (options.seed) {
        std::srand(*options.seed);
    }
    RecordingCanvas canvas;
    NoSheetHost sheetHost;
    const Rect bounds{0.0, 0.0, static_cast<double>(options.width), static_cast<double>(options.height)};
    PelmoraView view(bounds, false, ViewHost{stores, options.moduleName, canvas, sheetHost});
    view.setPhysicsThreads(options.threads);
    TraceWriter writer;
    bool written = writeLine(out, writer.line(0, view, nullptr));
    for (std::int32_t frame = 1; frame <= options.frames && written; ++frame) {
        canvas.clear();
        view.animateOneFrame();
        written = writeLine(out, writer.line(frame, view, options.draw ? &canvas.operations() : nullptr));
    }
    if (!written || std::fflush(out) != 0) {
        std::fprintf(stderr, "pelmora: cannot write the trace: %s\n", std::strerror(errno));
        return 1;
    }
    return 0;
}

std::string traceHelpText() {
    return "Usage: pelmora trace [--frames N] [--size WxH] [--seed S] [--draw] [-KEY VALUE ...]\n"
           "Runs one view without a display and writes, on standard output, a JSON line of\n"
           "every sphere after creation (frame 0) and after each frame.\n"
           "\n"
           "  --frames N         frames to run (default 10)\n"
           "  --size WxH         bounds of the view (default 800x600)\n"
           "  --seed S           seed the generator with S (default: its starting state,\n"
           "                     so that two runs give the same trace)\n"
           "  --draw             add every drawing operation of each frame\n"
           "  --module-name NAME read the settings kept under NAME (default pelmora)\n"
           "  -KEY VALUE         override a setting for this run; see pelmora --help\n";
}

}  // namespace pelmora
