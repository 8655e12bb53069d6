#pragma once

#include <filesystem>

#include "FrameSink.h"

namespace pelmora {

// Numbered PNG files (frame-000001.png, ...) in a folder, made if missing.
class PngFolderSink : public FrameSink {
public:
    explicit PngFolderSink(std::filesystem::path folder) : folder_(std::move(folder)) {}
    bool open() override;
    bool write(cairo_surface_t* frame, int index) override;
    bool close() override { return true; }

    std::filesystem::path fileFor(int index) const;

private:
    std::filesystem::path folder_;
};

}  // namespace pelmora
