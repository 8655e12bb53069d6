#include "FfmpegSink.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "WriteAll.h"

extern char** environ;

namespace pelmora {

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    if (text.size() < suffix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        const char c = text[text.size() - suffix.size() + i];
        if (static_cast<char>(std::tolower(static_cast<unsigned char>(c))) != suffix[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

FfmpegSink::FfmpegSink(std::string path, int width, int height, double framesPerSecond)
    : path_(std::move(path)), width_(width), height_(height), framesPerSecond_(framesPerSecond) {}

FfmpegSink::~FfmpegSink() {
    if (child_ > 0) {
        close();
    }
}

bool FfmpegSink::handles(const std::string& path) {
    return endsWith(path, ".mp4") || endsWith(path, ".webm") || endsWith(path, ".gif");
}

std::string FfmpegSink::findFfmpeg() {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/ffmpeg";
        if (::access(candidate.c_str(), X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

std::vector<std::string> FfmpegSink::arguments(const std::string& ffmpeg) const {
    std::ostringstream size;
    size << width_ << 'x' << height_;
    std::ostringstream rate;
    rate << framesPerSecond_;
    std::vector<std::string> args = {ffmpeg, "-hide_banner", "-loglevel", "error", "-y", "-f", "rawvideo",
                                     "-pixel_format", "bgra", "-video_size", size.str(), "-framerate", rate.str(),
                                     "-i", "-"};
    if (endsWith(path_, ".mp4")) {
        // H.264 in yuv420p wants even sides; the players people use want yuv420p.
        args.insert(args.end(), {"-vf", "crop=trunc(iw/2)*2:trunc(ih/2)*2", "-c:v", "libx264", "-pix_fmt",
                                 "yuv420p", "-movflags", "+faststart"});
    } else if (endsWith(path_, ".webm")) {
        args.insert(args.end(), {"-c:v", "libvpx-vp9", "-pix_fmt", "yuv420p", "-b:v", "0", "-crf", "32"});
    } else {
        args.insert(args.end(), {"-vf", "split[a][b];[a]palettegen[p];[b][p]paletteuse"});
    }
    args.push_back(path_);
    return args;
}

bool FfmpegSink::open() {
    const std::string ffmpeg = findFfmpeg();
    if (ffmpeg.empty()) {
        error_ = "recording to " + path_ +
                 " needs ffmpeg, which is not installed (apt-get install ffmpeg); "
                 "or give a folder for PNG files";
        return false;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        error_ = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
    const std::vector<std::string> args = arguments(ffmpeg);
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    const int spawned = posix_spawn(&child_, ffmpeg.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[0]);
    if (spawned != 0) {
        ::close(fds[1]);
        child_ = -1;
        error_ = "cannot start " + ffmpeg + ": " + std::strerror(spawned);
        return false;
    }
    pipe_ = fds[1];
    // A dying ffmpeg must show up as a failed write, not kill the recorder.
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

bool FfmpegSink::write(cairo_surface_t* frame, int /*index*/) {
    cairo_surface_flush(frame);
    const unsigned char* data = cairo_image_surface_get_data(frame);
    const int stride = cairo_image_surface_get_stride(frame);
    const auto rowBytes = static_cast<std::size_t>(width_) * 4U;
    for (int row = 0; row < height_; ++row) {
        if (!writeAll(pipe_, data + static_cast<std::ptrdiff_t>(row) * stride, rowBytes)) {
            error_ = "ffmpeg stopped taking frames for " + path_ + " (its message is above)";
            return false;
        }
    }
    return true;
}

bool FfmpegSink::close() {
    if (pipe_ >= 0) {
        ::close(pipe_);
        pipe_ = -1;
    }
    if (child_ <= 0) {
        return error_.empty();
    }
    int status = 0;
    while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
    }
    child_ = -1;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        if (error_.empty()) {
            error_ = "ffmpeg could not encode " + path_ + " (its message is above)";
        }
        return false;
    }
    return error_.empty();
}

}  // namespace pelmora
