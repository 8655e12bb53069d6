#include "RecordFormat.h"

#include <cctype>
#include <filesystem>
#include <limits>
#include <system_error>

#include "SettingText.h"
#include "Truncation.h"

namespace pelmora {

namespace {

// GIF frame delays are whole hundredths of a second.
constexpr std::int32_t kGifTicksPerSecond = 100;
constexpr std::int32_t kGifRate = 50;

constexpr std::int64_t kFfmpegPadding = 128;
constexpr std::int64_t kFfmpegPictureLimit = std::numeric_limits<std::int32_t>::max() / 8;
constexpr std::int32_t kMacroblock = 16;
constexpr std::int64_t kH264MaxFrameBlocks = 139264;

std::string lowerCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

RecordFormat RecordFormat::forOutput(const std::string& output, std::string* error) {
    const std::filesystem::path path(output);
    std::error_code ec;
    if ((!output.empty() && output.back() == '/') || std::filesystem::is_directory(path, ec)) {
        return RecordFormat(Kind::PngFolder);
    }
    const std::string extension = lowerCase(path.extension().string());
    if (extension.empty()) {
        return RecordFormat(Kind::PngFolder);
    }
    if (extension == ".mp4") {
        return RecordFormat(Kind::Mp4);
    }
    if (extension == ".webm") {
        return RecordFormat(Kind::Webm);
    }
    if (extension == ".gif") {
        return RecordFormat(Kind::Gif);
    }
    // Both are quoted: a name may hold anything, a line break included, and
    // the message stays one line.
    *error = "--output " + quoteForMessage(output) + ": record cannot write " + quoteForMessage(extension) +
             " files; give a .mp4, .webm or .gif file, or a folder for PNG frames "
             "(a name without an extension, or ending in /)";
    return RecordFormat(Kind::PngFolder);
}

std::int32_t RecordFormat::defaultRate(double viewInterval) const {
    // Rounded: an interval of 1/29.97 s plays at 30 frames a second, not 29.
    return kind_ == Kind::Gif ? kGifRate : truncateToInt32(1.0 / viewInterval + 0.5);
}

std::string RecordFormat::sizeProblem(std::int32_t width, std::int32_t height) const {
    if (!isVideo()) {
        return {};
    }
    // ffmpeg takes a picture only while every byte of it can be addressed
    // with a signed int, which its image check (av_image_check_size) puts as
    // (w + 128) * (h + 128) < INT_MAX / 8; beyond that the encoder is never
    // opened. 16254x16254 still passes, 16256x16256 does not (ffmpeg 5.1).
    const std::int64_t padded = (std::int64_t{width} + kFfmpegPadding) * (std::int64_t{height} + kFfmpegPadding);
    if (padded >= kFfmpegPictureLimit) {
        return std::to_string(width) + "x" + std::to_string(height) +
               " is too large for ffmpeg, which needs (width + 128) x (height + 128) below 268435455 "
               "(as for 16254x16254)";
    }
    if (kind_ != Kind::Mp4) {
        // VP9 (libvpx) and GIF take each side the command line allows.
        return {};
    }
    // H.264 in yuv420p, the only form common players take, halves the colour
    // planes, so x264 refuses odd sides.
    if (width % 2 != 0 || height % 2 != 0) {
        return "an .mp4 (H.264, yuv420p) needs an even width and height; " + std::to_string(width) + "x" +
               std::to_string(height) + " has an odd side (try " + std::to_string(width + width % 2) + "x" +
               std::to_string(height + height % 2) + ", or a .webm)";
    }
    // The highest H.264 level (6.2 in ITU-T H.264 table A-1) allows frames
    // of 139,264 macroblocks of 16x16 pixels; x264 would write a larger one
    // that no level describes and players refuse.
    const std::int64_t blocks = std::int64_t{(width + kMacroblock - 1) / kMacroblock} *
                                std::int64_t{(height + kMacroblock - 1) / kMacroblock};
    if (blocks > kH264MaxFrameBlocks) {
        return "an .mp4 (H.264) frame holds at most 139264 blocks of 16x16 pixels, such as 8192x4352; " +
               std::to_string(width) + "x" + std::to_string(height) + " has " + std::to_string(blocks) +
               " (try a .webm)";
    }
    return {};
}

std::string RecordFormat::rateProblem(std::int32_t rate) const {
    if (kind_ == Kind::PngFolder) {
        return "--rate applies to video files only";
    }
    // Browsers show a GIF frame of one hundredth of a second for a tenth,
    // so two hundredths is the shortest delay that plays at its speed.
    if (kind_ == Kind::Gif && (kGifTicksPerSecond % rate != 0 || rate > kGifRate)) {
        return "a GIF shows each frame for whole hundredths of a second (at least two, for browsers), so --rate " +
               std::to_string(rate) + " would play at the wrong speed; use 50, 25, 20, 10, 5, 4, 2 or 1";
    }
    return {};
}

const char* RecordFormat::muxer() const {
    switch (kind_) {
        case Kind::Mp4: return "mp4";
        case Kind::Webm: return "webm";
        case Kind::Gif: return "gif";
        case Kind::PngFolder: break;
    }
    return "";
}

}  // namespace pelmora
