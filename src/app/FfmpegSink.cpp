#include "FfmpegSink.h"

#include <system_error>

namespace pelmora {

namespace {

// ffmpeg reads anything it is given as an output name as a URL or, after a
// dash, as an option; the file: protocol and an absolute path make it a file.
std::string fileUrl(const std::filesystem::path& path) { return "file:" + path.string(); }

}  // namespace

FfmpegSink::FfmpegSink(RecordFormat format, const std::string& path, std::int32_t width, std::int32_t height,
                       std::int32_t framesPerSecond, bool replace)
    : format_(format),
      width_(width),
      height_(height),
      framesPerSecond_(framesPerSecond),
      replace_(replace),
      output_(path),
      lossless_(path, "nut") {}

bool FfmpegSink::handles(const std::string& path) {
    std::string error;
    return RecordFormat::forOutput(path, &error).isVideo();
}

std::vector<std::string> FfmpegSink::inputPassArguments() const {
    std::vector<std::string> args = {"-hide_banner", "-loglevel", "error", "-f", "rawvideo", "-pixel_format", "bgra",
                                     "-video_size", std::to_string(width_) + "x" + std::to_string(height_),
                                     "-framerate", std::to_string(framesPerSecond_), "-i", "pipe:0"};
    switch (format_.kind()) {
        case RecordFormat::Kind::Mp4:
            args.insert(args.end(), {"-c:v", "libx264", "-pix_fmt", "yuv420p", "-movflags", "+faststart"});
            break;
        case RecordFormat::Kind::Webm:
            args.insert(args.end(), {"-c:v", "libvpx-vp9", "-pix_fmt", "yuv420p", "-b:v", "0", "-crf", "32"});
            break;
        case RecordFormat::Kind::Gif:
        case RecordFormat::Kind::PngFolder:
            args.insert(args.end(), {"-c:v", "ffv1", "-f", "nut", "-y", fileUrl(lossless_.temporaryPath())});
            return args;
    }
    args.insert(args.end(), {"-f", format_.muxer(), "-y", fileUrl(output_.temporaryPath())});
    return args;
}

std::vector<std::string> FfmpegSink::paletteArguments(const std::string& palette) const {
    return {"-hide_banner", "-loglevel", "error", "-nostdin", "-f", "nut", "-i", fileUrl(lossless_.temporaryPath()),
            "-vf", "palettegen", "-c:v", "rawvideo", "-f", "nut", "-y", fileUrl(palette)};
}

std::vector<std::string> FfmpegSink::gifArguments(const std::string& palette) const {
    return {"-hide_banner", "-loglevel", "error", "-nostdin", "-f", "nut", "-i", fileUrl(lossless_.temporaryPath()),
            "-f", "nut", "-i", fileUrl(palette), "-lavfi", "[0:v][1:v]paletteuse", "-f", "gif", "-y",
            fileUrl(output_.temporaryPath())};
}

bool FfmpegSink::open() {
    // A dangling link counts as a file too: the rename would replace it.
    std::error_code ec;
    existed_ = std::filesystem::exists(std::filesystem::symlink_status(output_.finalPath(), ec));
    if (existed_ && !replace_) {
        error_ = destination() + " already exists; add --force to replace it, or choose another name";
        return false;
    }
    ffmpeg_ = FfmpegProcess::find();
    if (ffmpeg_.empty()) {
        error_ = "recording to " + destination() +
                 " needs ffmpeg, which is not installed (apt-get install ffmpeg); "
                 "or give a folder for PNG files";
        return false;
    }
    // What a run killed while ffmpeg wrote (ffmpeg outlives it in a process
    // group of its own) left beside the output.
    AtomicFile::removeAbandonedBeside(output_.finalPath());
    if (!output_.create()) {
        error_ = output_.error();
        return false;
    }
    if (format_.kind() == RecordFormat::Kind::Gif && !lossless_.create()) {
        error_ = lossless_.error();
        return false;
    }
    if (!encoder_.start(ffmpeg_, inputPassArguments(), true)) {
        error_ = encoder_.error();
        return false;
    }
    return true;
}

bool FfmpegSink::write(cairo_surface_t* frame, int /*index*/) {
    cairo_surface_flush(frame);
    const unsigned char* data = cairo_image_surface_get_data(frame);
    const int stride = cairo_image_surface_get_stride(frame);
    const auto rowBytes = static_cast<std::size_t>(width_) * 4U;
    for (int row = 0; row < height_; ++row) {
        if (!encoder_.write(data + static_cast<std::ptrdiff_t>(row) * stride, rowBytes)) {
            encoder_.finish();
            return fail(encoder_.error().empty() ? "ffmpeg stopped taking frames" : encoder_.error());
        }
    }
    return true;
}

bool FfmpegSink::close() {
    if (!error_.empty()) {
        output_.discard();
        lossless_.discard();
        return false;
    }
    bool good = encoder_.finish(abandon_) || fail(encoder_.error());
    if (good && format_.kind() == RecordFormat::Kind::Gif) {
        good = makeGif();
    }
    lossless_.discard();
    if (good && !output_.commit()) {
        good = fail(output_.error());
    }
    output_.discard();
    return good;
}

bool FfmpegSink::makeGif() {
    AtomicFile palette(output_.finalPath(), "palette.nut");
    if (!palette.create() || !palette.closeFile()) {
        return fail(palette.error());
    }
    FfmpegProcess paletteMaker;
    if (!paletteMaker.start(ffmpeg_, paletteArguments(palette.temporaryPath()), false) || !paletteMaker.finish(abandon_)) {
        return fail(paletteMaker.error());
    }
    FfmpegProcess gifMaker;
    if (!gifMaker.start(ffmpeg_, gifArguments(palette.temporaryPath()), false) || !gifMaker.finish(abandon_)) {
        return fail(gifMaker.error());
    }
    return true;
}

std::string FfmpegSink::untouched() const {
    return existed_ ? "; " + destination() + " is as it was" : "; no file was made at " + destination();
}

bool FfmpegSink::fail(const std::string& what) {
    if (error_.empty()) {
        error_ = "cannot make " + destination() + ": " + what;
    }
    return false;
}

}  // namespace pelmora
