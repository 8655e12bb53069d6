#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FfmpegProcess.h"
#include "FrameSink.h"
#include "AtomicFile.h"
#include "RecordFormat.h"

namespace pelmora {

// Encodes frames into a video file by piping raw BGRA pixels into ffmpeg.
// The video is made under a temporary name beside the output and put in
// place only when ffmpeg has finished it. A GIF goes through a temporary
// lossless file, read once to choose the palette and once to apply it, so
// that memory stays the same however long the clip is.
class FfmpegSink : public FrameSink {
public:
    // An existing file at `path` is refused unless `replace` allows
    // replacing it, as a folder of earlier frames is.
    FfmpegSink(RecordFormat format, const std::string& path, std::int32_t width, std::int32_t height,
               std::int32_t framesPerSecond, bool replace = false);

    // Kept for callers that only ask whether a name is a video.
    static bool handles(const std::string& path);
    static std::string findFfmpeg() { return FfmpegProcess::find(); }

    bool open() override;
    bool write(cairo_surface_t* frame, int index) override;
    bool close() override;
    std::string destination() const override { return output_.finalPath().string(); }
    std::string untouched() const override;

    // ffmpeg's arguments for the pass that takes the frames, without the program.
    std::vector<std::string> inputPassArguments() const;
    // The two passes that turn the lossless file into a GIF.
    std::vector<std::string> paletteArguments(const std::string& palette) const;
    std::vector<std::string> gifArguments(const std::string& palette) const;

private:
    bool makeGif();
    bool fail(const std::string& what);

    RecordFormat format_;
    std::int32_t width_;
    std::int32_t height_;
    std::int32_t framesPerSecond_;
    bool replace_;
    // Whether a file stood at the output's name when the sink was opened.
    bool existed_ = false;
    std::string ffmpeg_;
    AtomicFile output_;
    AtomicFile lossless_;
    FfmpegProcess encoder_;
};

}  // namespace pelmora
