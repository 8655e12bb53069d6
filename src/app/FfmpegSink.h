#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "FrameSink.h"

namespace pelmora {

// Encodes frames into a video file by piping raw BGRA pixels into ffmpeg.
class FfmpegSink : public FrameSink {
public:
    FfmpegSink(std::string path, int width, int height, double framesPerSecond);
    ~FfmpegSink() override;

    // True for the file names this sink encodes: .mp4, .webm and .gif.
    static bool handles(const std::string& path);
    // The ffmpeg found on PATH, or empty.
    static std::string findFfmpeg();

    bool open() override;
    bool write(cairo_surface_t* frame, int index) override;
    bool close() override;

private:
    std::vector<std::string> arguments(const std::string& ffmpeg) const;

    std::string path_;
    int width_;
    int height_;
    double framesPerSecond_;
    pid_t child_ = -1;
    int pipe_ = -1;
};

}  // namespace pelmora
