// A command line of any words (separated by NUL bytes; the first word is
// $XSCREENSAVER_WINDOW when it starts with '@'), then, when it is accepted,
// a view on its settings and size and a few frames.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ArgumentDomainStores.h"
#include "CommandLine.h"
#include "FakeSheet.h"
#include "FuzzFrames.h"
#include "KeyFileStores.h"
#include "PelmoraView.h"
#include "RecordingCanvas.h"

namespace {

using namespace pelmora;

std::vector<std::string> words(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> result(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            result.emplace_back();
        } else {
            result.back() += static_cast<char>(data[i]);
        }
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> args = words(data, size);
    std::optional<std::string> lockerWindow;
    if (!args.empty() && !args.front().empty() && args.front().front() == '@') {
        lockerWindow = args.front().substr(1);
        args.erase(args.begin());
    }
    if (args.size() == 1 && args.front().empty()) {
        args.clear();
    }
    const CommandLine::Result parsed = CommandLine::parse(args, lockerWindow);
    if (!parsed.error.empty()) {
        if (parsed.error.find('\n') != std::string::npos) {
            std::abort();  // a message is one line whatever was typed
        }
        return 0;
    }
    const ProgramOptions& options = parsed.options;
    if (options.mode == ProgramMode::Help || options.mode == ProgramMode::Version) {
        return 0;
    }
    // Nothing is stored in the scratch folder, so only the typed values count.
    ArgumentDomainStores stores(std::make_unique<KeyFileStores>(fuzz::scratchFolder(), [](const std::string&) {}),
                                options.domain);
    const double width = options.width > 0 ? options.width : 800.0;
    const double height = options.height > 0 ? options.height : 600.0;
    if (options.seed) {
        std::srand(*options.seed);
    }
    RecordingCanvas canvas;
    testing::FakeSheetHost sheet;
    PelmoraView view(Rect{0.0, 0.0, width, height}, options.preview, ViewHost{stores, options.moduleName, canvas, sheet});
    fuzz::runFrames(view, 3);
    return 0;
}
