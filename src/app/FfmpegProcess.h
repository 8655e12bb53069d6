#pragma once

#include <sys/types.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace pelmora {

// One run of ffmpeg. Its standard input is a pipe when frames are to be fed
// in; what it says on standard error is kept aside and shown only when it
// fails. It runs in a process group of its own, so that Ctrl-C on the
// terminal reaches only the recorder, which then ends the input properly
// instead of leaving a video without its index.
class FfmpegProcess {
public:
    FfmpegProcess() = default;
    ~FfmpegProcess();
    FfmpegProcess(const FfmpegProcess&) = delete;
    FfmpegProcess& operator=(const FfmpegProcess&) = delete;

    // The ffmpeg found on PATH, or empty.
    static std::string find();

    // `args` excludes the program. False with error() saying why.
    bool start(const std::string& ffmpeg, const std::vector<std::string>& args, bool feedInput);
    // Writes to ffmpeg's input; false once ffmpeg no longer takes it.
    bool write(const void* data, std::size_t size);
    // Ends the input and waits for ffmpeg; true when it succeeded. While it
    // waits, `abandon` (which may itself wait a little) is asked whether to
    // kill ffmpeg instead.
    bool finish(const std::function<bool()>& abandon = {});

    // The message for a failed run: the exit status and ffmpeg's last lines.
    const std::string& error() const { return error_; }

private:
    std::string lastLines(std::size_t count) const;

    pid_t child_ = -1;
    int input_ = -1;
    std::FILE* messages_ = nullptr;
    std::string error_;
};

}  // namespace pelmora
