#pragma once

#include <filesystem>
#include <string>

#include "FrameSink.h"

namespace pelmora {

// Numbered PNG files (frame-000001.png, ...) in a folder, made if missing.
// Each file appears under its name only once it is complete. A folder that
// already holds numbered frames is refused unless `replace` allows removing
// them first, so that a recording never mixes old frames with new ones.
class PngFolderSink : public FrameSink {
public:
    explicit PngFolderSink(std::filesystem::path folder, bool replace = false);
    bool open() override;
    bool write(cairo_surface_t* frame, int index) override;
    bool close() override { return true; }
    std::string destination() const override;

    std::filesystem::path fileFor(int index) const;
    // True for the names this sink gives its frames.
    static bool isFrameName(const std::string& name);

private:
    bool clearEarlierFrames();

    std::filesystem::path folder_;
    bool replace_;
};

}  // namespace pelmora
