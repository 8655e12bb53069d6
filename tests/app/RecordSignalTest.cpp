#include <gtest/gtest.h>
#include <fcntl.h>
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

    int stopWith(int signal) {
        ::kill(child_, signal);
        int status = 0;
        ::waitpid(child_, &status, 0);
        child_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    EXPECT_EQ(stopWith(SIGINT), 130);
    const int frames = framesReported("to " + clip.string());
    EXPECT_GT(frames, 0);
    EXPECT_EQ(names(), std::vector<std::string>{"clip.mp4"});
    const std::string counted = commandOutput("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                              "stream=nb_read_frames -of csv=p=0 '" + clip.string() + "'");
    EXPECT_EQ(counted, std::to_string(frames) + "\n");
}

TEST_F(RecordSignal, AnInterruptWhileTheVideoIsFinishedAbandonsIt) {
    const fs::path clip = folder_ / "out" / "clip.gif";
    std::ofstream(clip) << "the old clip";
    // An ffmpeg that takes the frames, then, making the palette, interrupts
    // the recorder and hangs.
    fs::create_directories(folder_ / "bin");
    std::ofstream(folder_ / "bin" / "ffmpeg")
        << "#!/bin/sh\ncase \"$*\" in *palettegen*) kill -INT $PPID; exec sleep 60 >/dev/null 2>&1;; esac\n"
           "cat >/dev/null\n";
    fs::permissions(folder_ / "bin" / "ffmpeg", fs::perms::owner_all);
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", ((folder_ / "bin").string() + ":" + path).c_str(), 1);
    const auto started = std::chrono::steady_clock::now();
    start({"--frames", "3", "--size", "160x120", "--output", clip.string()});
    ::setenv("PATH", path.c_str(), 1);
    int status = 0;
    ::waitpid(child_, &status, 0);
    child_ = -1;
    EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status << said();
    EXPECT_NE(said().find("abandoned; wrote nothing, " + clip.string() + " is as it was"), std::string::npos)
        << said();
    std::ifstream kept(clip);
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "the old clip");
    EXPECT_EQ(names(), std::vector<std::string>{"clip.gif"});
}

TEST_F(RecordSignal, SigtermLeavesOnlyWholePngFrames) {
    const fs::path out = folder_ / "out";
    start({"--frames", "100000", "--size", "200x150", "--seed", "3", "--output", out.string()});
    ASSERT_TRUE(waitFor([&] { return fs::exists(out / "frame-000003.png"); })) << said();
    EXPECT_EQ(stopWith(SIGTERM), 143);
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

}  // namespace
}  // namespace pelmora
