#include "FuzzFrames.h"

#include <stdlib.h>

#include <string>
#include <system_error>

namespace pelmora::fuzz {

namespace {

struct Scratch {
    std::filesystem::path folder;
    Scratch() {
        std::string pattern = (std::filesystem::temp_directory_path() / "pelmora-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ::abort();
        }
        folder = pattern;
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

}  // namespace

void runFrames(PelmoraView& view, int frames) {
    if (view.thingArray().size() > static_cast<std::size_t>(kMostFuzzedSpheres)) {
        return;
    }
    for (int i = 0; i < frames; ++i) {
        view.animateOneFrame();
    }
}

const std::filesystem::path& scratchFolder() {
    static const Scratch scratch;
    return scratch.folder;
}

}  // namespace pelmora::fuzz
