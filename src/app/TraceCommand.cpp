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

}  // namespace pelmora
