#include "FfmpegProcess.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <sstream>

#include "MessageText.h"
#include "WriteAll.h"

extern char** environ;

namespace pelmora {

namespace {

constexpr std::size_t kShownLines = 4;

// posix_spawn's attributes, released on every path.
class SpawnAttributes {
public:
    SpawnAttributes() {
        posix_spawnattr_init(&attributes_);
        sigset_t none;
        sigemptyset(&none);
        sigset_t defaults;
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGINT);
        sigaddset(&defaults, SIGTERM);
        sigaddset(&defaults, SIGHUP);
        sigaddset(&defaults, SIGPIPE);
        // The recorder blocks SIGINT, SIGTERM and SIGHUP and ignores SIGPIPE; ffmpeg
        // gets the usual dispositions back.
        posix_spawnattr_setsigmask(&attributes_, &none);
        posix_spawnattr_setsigdefault(&attributes_, &defaults);
        posix_spawnattr_setpgroup(&attributes_, 0);
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    const posix_spawnattr_t* get() const { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

class FileActions {
public:
    FileActions() { posix_spawn_file_actions_init(&actions_); }
    ~FileActions() { posix_spawn_file_actions_destroy(&actions_); }
    FileActions(const FileActions&) = delete;
    FileActions& operator=(const FileActions&) = delete;
    posix_spawn_file_actions_t* get() { return &actions_; }

private:
    posix_spawn_file_actions_t actions_;
};

std::string describeStatus(int status) {
    if (WIFEXITED(status)) {
        return "exit status " + std::to_string(WEXITSTATUS(status));
    }
    if (WIFSIGNALED(status)) {
        return std::string("killed by ") + strsignal(WTERMSIG(status));
    }
    return "status " + std::to_string(status);
}

}  // namespace

FfmpegProcess::~FfmpegProcess() {
    finish();
    if (messages_ != nullptr) {
        std::fclose(messages_);
    }
}

std::string FfmpegProcess::find() {
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

bool FfmpegProcess::start(const std::string& ffmpeg, const std::vector<std::string>& args, bool feedInput) {
    messages_ = std::tmpfile();
    // ffmpeg gets the file as its standard error only: a second descriptor
    // of it would also reach the programs ffmpeg starts, and every later
    // ffmpeg run of this recording.
    if (messages_ == nullptr || ::fcntl(fileno(messages_), F_SETFD, FD_CLOEXEC) != 0) {
        error_ = std::string("cannot start ffmpeg: no temporary file for its messages: ") + std::strerror(errno);
        return false;
    }
    int fds[2] = {-1, -1};
    if (feedInput && ::pipe2(fds, O_CLOEXEC) != 0) {
        error_ = std::string("cannot start ffmpeg: ") + std::strerror(errno);
        return false;
    }
    FileActions actions;
    if (feedInput) {
        posix_spawn_file_actions_adddup2(actions.get(), fds[0], STDIN_FILENO);
    } else {
        posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_adddup2(actions.get(), fileno(messages_), STDERR_FILENO);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(ffmpeg.c_str()));
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    SpawnAttributes attributes;
    const int spawned = posix_spawn(&child_, ffmpeg.c_str(), actions.get(), attributes.get(), argv.data(), environ);
    if (feedInput) {
        ::close(fds[0]);
    }
    if (spawned != 0) {
        if (feedInput) {
            ::close(fds[1]);
        }
        child_ = -1;
        error_ = "cannot start " + ffmpeg + ": " + std::strerror(spawned);
        return false;
    }
    input_ = feedInput ? fds[1] : -1;
    // A dying ffmpeg must show up as a failed write, not kill the recorder.
    std::signal(SIGPIPE, SIG_IGN);
    return true;
}

bool FfmpegProcess::write(const void* data, std::size_t size) { return input_ >= 0 && writeAll(input_, data, size); }

bool FfmpegProcess::finish(const std::function<bool()>& abandon) {
    if (input_ >= 0) {
        ::close(input_);
        input_ = -1;
    }
    if (child_ <= 0) {
        return error_.empty();
    }
    int status = 0;
    for (;;) {
        const pid_t ended = ::waitpid(child_, &status, abandon ? WNOHANG : 0);
        if (ended == child_ || (ended < 0 && errno != EINTR)) {
            break;
        }
        if (ended == 0 && abandon()) {
            ::kill(child_, SIGKILL);
            while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
            }
            child_ = -1;
            error_ = "abandoned";
            return false;
        }
    }
    child_ = -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return true;
    }
    error_ = "ffmpeg failed (" + describeStatus(status) + ")";
    const std::string said = lastLines(kShownLines);
    if (!said.empty()) {
        error_ += "; it said:\n" + said;
    }
    return false;
}

std::string FfmpegProcess::lastLines(std::size_t count) const {
    if (messages_ == nullptr || std::fseek(messages_, 0, SEEK_SET) != 0) {
        return {};
    }
    std::deque<std::string> lines;
    std::string line;
    for (int c = std::fgetc(messages_); c != EOF; c = std::fgetc(messages_)) {
        if (c != '\n' && c != '\r') {
            // Past what a message shows, the rest of a line only costs memory.
            if (line.size() <= kLongestPassedOn) {
                line += static_cast<char>(c);
            }
            continue;
        }
        if (!line.empty()) {
            lines.push_back("  " + excerpt(line));
            if (lines.size() > count) {
                lines.pop_front();
            }
        }
        line.clear();
    }
    if (!line.empty()) {
        lines.push_back("  " + excerpt(line));
        if (lines.size() > count) {
            lines.pop_front();
        }
    }
    std::string text;
    for (const std::string& kept : lines) {
        text += (text.empty() ? "" : "\n") + kept;
    }
    return text;
}

}  // namespace pelmora
