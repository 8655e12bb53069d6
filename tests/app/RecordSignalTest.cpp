#include <gtest/gtest.h>
#include <fcntl.h>
#include <pty.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "MissingServer.h"
#include "FfmpegSink.h"

extern char** environ;

namespace pelmora {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// The real program, stopped by a signal part-way through a long recording.
class RecordSignal : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("pelmora-signal-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "out");
    }
    void TearDown() override {
        if (child_ > 0) {
            ::kill(child_, SIGKILL);
            ::waitpid(child_, nullptr, 0);
        }
        fs::remove_all(folder_);
    }

    void start(const std::vector<std::string>& args) {
        std::vector<std::string> all = {PELMORA_BINARY, "record"};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& arg : all) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, (folder_ / "stderr").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_EQ(posix_spawn(&child_, PELMORA_BINARY, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
    }

    // Waits, with a deadline generous enough for a loaded machine, until
    // `ready` holds; false when the child ended or the deadline passed.
    bool waitFor(const std::function<bool()>& ready) {
        const auto deadline = std::chrono::steady_clock::now() + 60s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (ready()) {
                return true;
            }
            if (::waitpid(child_, nullptr, WNOHANG) == child_) {
                child_ = -1;
                return false;
            }
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    // The signal the child died by after `signal` was sent; 0 when it exited.
    int stopWith(int signal) {
        ::kill(child_, signal);
        return deathSignal();
    }

    int deathSignal() {
        int status = 0;
        ::waitpid(child_, &status, 0);
        child_ = -1;
        EXPECT_TRUE(WIFSIGNALED(status)) << "exit status " << WEXITSTATUS(status) << ": " << said();
        return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }

    // Puts a shell script named ffmpeg first on PATH for the next start().
    void fakeFfmpeg(const std::string& body) {
        fs::create_directories(folder_ / "bin");
        std::ofstream(folder_ / "bin" / "ffmpeg") << "#!/bin/sh\n" << body;
        fs::permissions(folder_ / "bin" / "ffmpeg", fs::perms::owner_all);
    }

    std::string said() const {
        std::ifstream in(folder_ / "stderr");
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // The frame count of the run's closing line, "wrote N of M frames ...".
    int framesReported(const std::string& where) const {
        const std::string text = said();
        std::smatch match;
        const std::regex line("wrote ([0-9]+) of 100000 frames " + where + "\n");
        if (!std::regex_search(text, match, line)) {
            ADD_FAILURE() << "no closing line in: " << text;
            return -1;
        }
        return std::stoi(match[1]);
    }

    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(folder_ / "out")) {
            found.push_back(entry.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    }

    fs::path folder_;
    pid_t child_ = -1;
};

std::string commandOutput(const std::string& command) {
    std::string text;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return text;
    }
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
        text += buffer;
    }
    ::pclose(pipe);
    return text;
}

TEST_F(RecordSignal, CtrlCFinishesAnMp4ThatPlays) {
    if (FfmpegSink::findFfmpeg().empty()) {
        return testing::missingServer("ffmpeg: it is not installed");
    }
    const fs::path clip = folder_ / "out" / "clip.mp4";
    start({"--frames", "100000", "--size", "160x120", "--seed", "3", "--output", clip.string()});
    // Some encoded frames have reached the temporary file.
    ASSERT_TRUE(waitFor([&] {
        for (const auto& entry : fs::directory_iterator(folder_ / "out")) {
            std::error_code ec;
            if (entry.path().filename().string().rfind(".clip.mp4.", 0) == 0 && entry.file_size(ec) > 20000) {
                return true;
            }
        }
        return false;
    })) << said();
    EXPECT_EQ(stopWith(SIGINT), SIGINT);
    const int frames = framesReported("to " + clip.string());
    EXPECT_GT(frames, 0);
    EXPECT_EQ(names(), std::vector<std::string>{"clip.mp4"});
    const std::string counted = commandOutput("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                              "stream=nb_read_frames -of csv=p=0 '" + clip.string() + "'");
    EXPECT_EQ(counted, std::to_string(frames) + "\n");
}

// ffmpeg stand-ins that, making the palette, interrupt the recorder and go on
// working for a while: once, then the GIF is finished and kept; twice, then
// it is abandoned, and the old file stays.
TEST_F(RecordSignal, OneInterruptWhileTheVideoIsFinishedLetsItFinishASecondAbandonsIt) {
    for (const bool twice : {false, true}) {
        SCOPED_TRACE(twice);
        const fs::path clip = folder_ / "out" / "clip.gif";
        std::ofstream(clip) << "the old clip";
        fakeFfmpeg(std::string("case \"$*\" in *palettegen*) kill -INT $PPID; sleep 1; ") +
                   (twice ? "kill -INT $PPID; exec sleep 60 >/dev/null 2>&1;; " : "exit 0;; ") +
                   "esac\ncat >/dev/null\n");
        const std::string path = std::getenv("PATH");
        ::setenv("PATH", ((folder_ / "bin").string() + ":" + path).c_str(), 1);
        const auto started = std::chrono::steady_clock::now();
        start({"--frames", "3", "--size", "160x120", "--force", "--output", clip.string()});
        ::setenv("PATH", path.c_str(), 1);
        EXPECT_EQ(deathSignal(), SIGINT);
        EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
        const std::string text = said();
        EXPECT_NE(text.find("Interrupt; finishing the recording (interrupt again to abandon it)"), std::string::npos)
            << text;
        std::ifstream kept(clip);
        std::string first;
        std::getline(kept, first);
        if (twice) {
            EXPECT_NE(text.find("abandoned; wrote nothing; " + clip.string() + " is as it was"), std::string::npos)
                << text;
            EXPECT_EQ(first, "the old clip");
        } else {
            EXPECT_NE(text.find("wrote 3 frames to " + clip.string()), std::string::npos) << text;
            EXPECT_EQ(text.find("abandoned"), std::string::npos) << text;
            EXPECT_EQ(first, "") << "the stand-in's empty GIF did not replace the old clip";
        }
        EXPECT_EQ(names(), std::vector<std::string>{"clip.gif"});
    }
}

TEST_F(RecordSignal, SigtermLeavesOnlyWholePngFrames) {
    const fs::path out = folder_ / "out";
    start({"--frames", "100000", "--size", "200x150", "--seed", "3", "--output", out.string()});
    ASSERT_TRUE(waitFor([&] { return fs::exists(out / "frame-000003.png"); })) << said();
    EXPECT_EQ(stopWith(SIGTERM), SIGTERM);
    const int frames = framesReported("as PNG files in " + out.string());
    const std::vector<std::string> files = names();
    ASSERT_EQ(static_cast<int>(files.size()), frames);
    for (const std::string& name : files) {
        cairo_surface_t* image = cairo_image_surface_create_from_png((out / name).c_str());
        EXPECT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS) << name;
        cairo_surface_destroy(image);
    }
    char last[32];
    std::snprintf(last, sizeof last, "frame-%06d.png", frames);
    EXPECT_EQ(files.back(), last);
}

// Ctrl-C on a terminal goes to its whole foreground process group. ffmpeg
// must not be in it: the stand-in here dies of it, as ffmpeg stops early,
// and the recording with it.
TEST_F(RecordSignal, CtrlCOnTheTerminalReachesTheRecorderAloneWhichFinishesTheVideo) {
    fakeFfmpeg("exec cat >/dev/null\n");
    const fs::path clip = folder_ / "out" / "clip.mp4";
    std::vector<std::string> args = {PELMORA_BINARY, "record", "--frames", "100000", "--size", "160x120",
                                     "--output", clip.string()};
    std::vector<std::string> environment = {"PATH=" + (folder_ / "bin").string() + ":" + std::getenv("PATH"),
                                            "HOME=" + folder_.string(), "XDG_CONFIG_HOME=" + folder_.string()};
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    int terminal = -1;
    // The child leads a new session on the pseudo-terminal, in its
    // foreground group, as a program started from a shell prompt is.
    child_ = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(child_, 0);
    if (child_ == 0) {
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::fcntl(terminal, F_SETFL, O_NONBLOCK);
    std::string shown;
    const auto readTerminal = [&] {
        char buffer[4096];
        for (ssize_t got = ::read(terminal, buffer, sizeof buffer); got > 0;
             got = ::read(terminal, buffer, sizeof buffer)) {
            shown.append(buffer, static_cast<std::size_t>(got));
        }
    };
    // Frames are on their way once the progress bar counts some.
    ASSERT_TRUE(waitFor([&] {
        readTerminal();
        return std::regex_search(shown, std::regex(" [1-9][0-9]*/100000 frames"));
    })) << shown;
    ASSERT_EQ(::write(terminal, "\x03", 1), 1);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    pid_t ended = 0;
    while ((ended = ::waitpid(child_, &status, WNOHANG)) == 0 && std::chrono::steady_clock::now() < deadline) {
        readTerminal();
        std::this_thread::sleep_for(10ms);
    }
    readTerminal();
    ::close(terminal);
    ASSERT_EQ(ended, child_) << "the recorder did not end: " << shown;
    child_ = -1;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status << shown;
    EXPECT_TRUE(std::regex_search(shown, std::regex("wrote [0-9]+ of 100000 frames to " + clip.string())))
        << shown;
    EXPECT_EQ(names(), std::vector<std::string>{"clip.mp4"});
}

}  // namespace
}  // namespace pelmora
