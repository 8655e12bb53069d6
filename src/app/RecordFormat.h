#pragma once

#include <cstdint>
#include <string>

namespace pelmora {

// What `record` makes of an --output path: a folder of PNG files, or a video
// whose container and encoder follow from the extension. Knows what each
// encoder accepts, so that a recording is refused before anything is written.
class RecordFormat {
public:
    enum class Kind { PngFolder, Mp4, Webm, Gif };

    // The format for `output`, or an error naming the supported extensions.
    static RecordFormat forOutput(const std::string& output, std::string* error);

    Kind kind() const { return kind_; }
    bool isVideo() const { return kind_ != Kind::PngFolder; }
    // Frames per second when --rate is not given, for a view that animates
    // a step every `viewInterval` seconds.
    std::int32_t defaultRate(double viewInterval) const;
    // Why the encoder cannot take a picture of this size, or empty.
    std::string sizeProblem(std::int32_t width, std::int32_t height) const;
    // Why the format cannot play at this rate, or empty.
    std::string rateProblem(std::int32_t rate) const;
    // ffmpeg's name of the container.
    const char* muxer() const;

private:
    explicit RecordFormat(Kind kind) : kind_(kind) {}
    Kind kind_;
};

}  // namespace pelmora
