#include "RecordFormat.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "SettingText.h"

namespace pelmora {

namespace {

// GIF frame delays are whole hundredths of a second.
constexpr std::int32_t kGifTicksPerSecond = 100;
constexpr std::int32_t kGifRate = 50;

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

std::int32_t RecordFormat::defaultRate(std::int32_t viewRate) const {
    return kind_ == Kind::Gif ? kGifRate : viewRate;
}

std::string RecordFormat::sizeProblem(std::int32_t width, std::int32_t height) const {
    // H.264 in yuv420p, the only form common players take, halves the colour
    // planes, so x264 refuses odd sides. VP9 and GIF take any size.
    if (kind_ == Kind::Mp4 && (width % 2 != 0 || height % 2 != 0)) {
        return "an .mp4 (H.264, yuv420p) needs an even width and height; " + std::to_string(width) + "x" +
               std::to_string(height) + " has an odd side (try " + std::to_string(width + width % 2) + "x" +
               std::to_string(height + height % 2) + ", or a .webm)";
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
