#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cairo.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <chrono>
#include <iterator>
#include <pthread.h>
#include <sstream>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "FfmpegSink.h"
#include "FolderNames.h"
#include "MemoryStores.h"
#include "MissingServer.h"
#include "PngFolderSink.h"
#include "ProgressBar.h"
#include "RecordCommand.h"
#include "RecordFormat.h"
#include "TraceCommand.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;

class Record : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("pelmora-record-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    ProgramOptions options(int frames) const {
        ProgramOptions o;
        o.mode = ProgramMode::Record;
        o.frames = frames;
        o.width = 320;
        o.height = 200;
        o.seed = 7U;
        o.output = (folder_ / "frames").string();
        return o;
    }

    fs::path folder_;
    testing::MemoryStores stores_;
};

struct Pixel {
    int red, green, blue;
};

Pixel pixelAt(cairo_surface_t* image, int x, int y) {
    const unsigned char* data = cairo_image_surface_get_data(image);
    const int stride = cairo_image_surface_get_stride(image);
    const auto* pixel = reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4);
    return {static_cast<int>((*pixel >> 16U) & 0xFFU), static_cast<int>((*pixel >> 8U) & 0xFFU),
            static_cast<int>(*pixel & 0xFFU)};
}

TEST_F(Record, NumberedPngsShowTheBackgroundAndTheSpheres) {
    ASSERT_EQ(runRecord(options(3), stores_), 0);
    for (const char* name : {"frame-000001.png", "frame-000002.png", "frame-000003.png"}) {
        EXPECT_TRUE(fs::exists(folder_ / "frames" / name)) << name;
    }
    EXPECT_FALSE(fs::exists(folder_ / "frames" / "frame-000004.png"));
    cairo_surface_t* image = cairo_image_surface_create_from_png((folder_ / "frames" / "frame-000003.png").c_str());
    ASSERT_EQ(cairo_surface_status(image), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_image_surface_get_width(image), 320);
    int background = 0;
    int sphere = 0;
    for (int y = 0; y < 200; ++y) {
        for (int x = 0; x < 320; ++x) {
            const Pixel p = pixelAt(image, x, y);
            // The background is dark blue (0.03, 0.05, about 0.26); spheres are
            // green to red with no blue at all.
            if (p.red >= 7 && p.red <= 8 && p.green >= 12 && p.green <= 13 && p.blue > 60 && p.blue < 70) {
                ++background;
            } else if (p.blue == 0 && p.red + p.green > 200) {
                ++sphere;
            }
        }
    }
    cairo_surface_destroy(image);
    EXPECT_GT(background, 320 * 200 / 2);
    EXPECT_GT(sphere, 40 * 200);  // 40 discs of radius 10, some overlapping or cut by the edge
}

std::string fileBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(Record, OneSeedRepeatsTheFramesAndAnotherChangesThem) {
    const auto recordWith = [&](unsigned seed, const std::string& name) {
        ProgramOptions o = options(2);
        o.seed = seed;
        o.output = (folder_ / name).string();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(runRecord(o, stores_), 0);
        ::testing::internal::GetCapturedStderr();
        return std::vector<std::string>{fileBytes(folder_ / name / "frame-000001.png"),
                                        fileBytes(folder_ / name / "frame-000002.png")};
    };
    // Something else draws from the generator in between, as in any longer run.
    const std::vector<std::string> first = recordWith(7U, "first");
    std::srand(99);
    const std::vector<std::string> again = recordWith(7U, "again");
    const std::vector<std::string> other = recordWith(8U, "other");
    ASSERT_FALSE(first[0].empty());
    EXPECT_TRUE(first == again);
    EXPECT_NE(first[0], other[0]);
    EXPECT_NE(first[1], other[1]);
}

TEST_F(Record, AFileInTheWayOfTheFolderIsAClearError) {
    fs::create_directories(folder_);
    { std::FILE* f = std::fopen((folder_ / "frames").c_str(), "w"); std::fclose(f); }
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runRecord(options(1), stores_), 1);
    const std::string error = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(error.find("cannot make the folder"), std::string::npos) << error;
}

TEST_F(Record, VideoWithoutFfmpegNamesTheMissingProgram) {
    const char* path = std::getenv("PATH");
    const std::string saved = path != nullptr ? path : "";
    ::setenv("PATH", folder_.c_str(), 1);
    ProgramOptions o = options(1);
    o.output = (folder_ / "clip.mp4").string();
    ::testing::internal::CaptureStderr();
    const int status = runRecord(o, stores_);
    const std::string error = ::testing::internal::GetCapturedStderr();
    ::setenv("PATH", saved.c_str(), 1);
    EXPECT_EQ(status, 1);
    EXPECT_NE(error.find("needs ffmpeg"), std::string::npos) << error;
}

TEST_F(Record, VideoThroughFfmpeg) {
    if (FfmpegSink::findFfmpeg().empty()) {
        return testing::missingServer("ffmpeg: it is not installed");
    }
    ProgramOptions o = options(12);
    o.width = 161;  // odd sides must still encode
    o.output = (folder_ / "clip.webm").string();
    fs::create_directories(folder_);
    ASSERT_EQ(runRecord(o, stores_), 0);
    EXPECT_GT(fs::file_size(o.output), 100U);
    EXPECT_TRUE(FfmpegSink::handles("A.MP4"));
    EXPECT_TRUE(FfmpegSink::handles("a.gif"));
    EXPECT_FALSE(FfmpegSink::handles("frames"));
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

using testing::namesIn;

// Puts a shell script named ffmpeg first on PATH for the test's lifetime.
class FakeFfmpeg {
public:
    FakeFfmpeg(const fs::path& folder, const std::string& body) : saved_(std::getenv("PATH")) {
        fs::create_directories(folder);
        const fs::path script = folder / "ffmpeg";
        writeFile(script, "#!/bin/sh\n" + body);
        fs::permissions(script, fs::perms::owner_all);
        ::setenv("PATH", (folder.string() + ":" + saved_).c_str(), 1);
    }
    ~FakeFfmpeg() { ::setenv("PATH", saved_.c_str(), 1); }
    FakeFfmpeg(const FakeFfmpeg&) = delete;
    FakeFfmpeg& operator=(const FakeFfmpeg&) = delete;

private:
    std::string saved_;
};

std::string recordError(std::vector<std::string> args) {
    args.insert(args.begin(), "record");
    return CommandLine::parse(args, std::nullopt).error;
}

TEST(RecordOptions, WhatTheEncoderCannotTakeIsRefusedWithTheReason) {
    EXPECT_EQ(recordError({"--output", "clip.mp4", "--size", "640x360"}), "");
    EXPECT_EQ(recordError({"--output", "CLIP.WEBM", "--size", "161x121"}), "");
    EXPECT_EQ(recordError({"--output", "clip.gif", "--size", "1x1", "--rate", "25"}), "");
    EXPECT_EQ(recordError({"--output", "frames.v2/"}), "");

    for (const char* name : {"clip.avi", "clip.mkv", "frame.png", "frames.v2"}) {
        const std::string error = recordError({"--output", name});
        EXPECT_NE(error.find(".mp4, .webm or .gif"), std::string::npos) << name << ": " << error;
    }
    EXPECT_EQ(recordError({"--output", "clip.av\ni"}).find('\n'), std::string::npos);
    EXPECT_NE(recordError({"--output", "precious.mp4", "--size", "1x1"}).find("even width and height"),
              std::string::npos);
    EXPECT_NE(recordError({"--output", "clip.mp4", "--size", "640x361"}).find("try 640x362"), std::string::npos);
    EXPECT_NE(recordError({"--frames", "0"}).find("at least one frame"), std::string::npos);
    // ffmpeg's own limit on a picture, for every video, and H.264's largest
    // frame for an .mp4; sizes are checked before anything is allocated.
    for (const char* name : {"x.mp4", "x.webm", "x.gif"}) {
        EXPECT_NE(recordError({"--output", name, "--size", "16384x16384"}).find("too large"), std::string::npos)
            << name;
        EXPECT_NE(recordError({"--output", name, "--size", "16256x16256"}).find("too large"), std::string::npos)
            << name;
    }
    EXPECT_EQ(recordError({"--output", "x.webm", "--size", "16254x16254"}), "");
    EXPECT_EQ(recordError({"--output", "x.gif", "--size", "16384x200"}), "");
    EXPECT_EQ(recordError({"--output", "frames", "--size", "16384x16384"}), "");
    EXPECT_EQ(recordError({"--output", "x.mp4", "--size", "8192x4352"}), "");
    EXPECT_EQ(recordError({"--output", "x.mp4", "--size", "4352x8192"}), "");
    EXPECT_NE(recordError({"--output", "x.mp4", "--size", "8192x4354"}).find("139264 blocks"), std::string::npos);
    EXPECT_NE(recordError({"--output", "x.mp4", "--size", "8208x4352"}).find("has 139536"), std::string::npos);
    EXPECT_NE(recordError({"--output", "clip.gif", "--rate", "30"}).find("hundredths"), std::string::npos);
    EXPECT_NE(recordError({"--output", "clip.gif", "--rate", "100"}).find("hundredths"), std::string::npos);
    EXPECT_EQ(recordError({"--output", "clip.webm", "--rate", "100"}), "");
    EXPECT_NE(recordError({"--output", "frames", "--rate", "30"}).find("video files only"), std::string::npos);
    EXPECT_NE(recordError({"--output", "clip.mp4", "--rate", "0"}).find("from 1 to 1000"), std::string::npos);
    EXPECT_NE(CommandLine::parse({"trace", "--force"}, std::nullopt).error.find("does not apply"), std::string::npos);

    const auto parsed = CommandLine::parse({"record", "--rate", "25", "--force", "--output", "a.webm"}, std::nullopt);
    EXPECT_EQ(parsed.options.rate, 25);
    EXPECT_TRUE(parsed.options.force);
}

TEST(RecordFormatRate, AVideoPlaysAtTheViewsRateRoundedAndAGifAtFifty) {
    std::string error;
    const RecordFormat mp4 = RecordFormat::forOutput("a.mp4", &error);
    EXPECT_EQ(mp4.defaultRate(1.0 / 60.0), 60);
    EXPECT_EQ(mp4.defaultRate(1.0 / 29.97), 30);
    EXPECT_EQ(mp4.defaultRate(1.0 / 59.4), 59);
    EXPECT_EQ(RecordFormat::forOutput("a.gif", &error).defaultRate(1.0 / 60.0), 50);
}

TEST(RecordOptions, EachModeHasItsOwnHelp) {
    const auto record = CommandLine::parse({"record", "--help"}, std::nullopt).options;
    EXPECT_EQ(record.mode, ProgramMode::Help);
    EXPECT_EQ(record.helpFor, ProgramMode::Record);
    EXPECT_EQ(CommandLine::parse({"trace", "-h"}, std::nullopt).options.helpFor, ProgramMode::Trace);
    EXPECT_EQ(CommandLine::parse({"--help"}, std::nullopt).options.helpFor, ProgramMode::Window);
    EXPECT_NE(recordHelpText().find("--force"), std::string::npos);
    EXPECT_NE(traceHelpText().find("--draw"), std::string::npos);
}

TEST(RecordFormatOfAFolder, AnExistingFolderTakesFramesWhateverItsName) {
    const fs::path folder = fs::temp_directory_path() / ("pelmora-format-" + std::to_string(::getpid()) + ".mp4");
    fs::create_directories(folder);
    std::string error;
    EXPECT_FALSE(RecordFormat::forOutput(folder.string(), &error).isVideo());
    EXPECT_EQ(error, "");
    fs::remove_all(folder);
}

TEST_F(Record, AFolderWithEarlierFramesIsRefusedUnlessForced) {
    ProgramOptions o = options(2);
    fs::create_directories(o.output);
    writeFile(fs::path(o.output) / "frame-000001.png", "old");
    writeFile(fs::path(o.output) / "frame-000009.png", "old");
    writeFile(fs::path(o.output) / "notes.txt", "mine");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runRecord(o, stores_), 1);
    const std::string error = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(error.find("already holds 2 frames"), std::string::npos) << error;
    EXPECT_NE(error.find("--force"), std::string::npos) << error;
    EXPECT_EQ(readFile(fs::path(o.output) / "frame-000009.png"), "old");

    o.force = true;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runRecord(o, stores_), 0);
    const std::string done = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(namesIn(o.output), (std::vector<std::string>{"frame-000001.png", "frame-000002.png", "notes.txt"}));
    EXPECT_NE(done.find("wrote 2 frames as PNG files in " + o.output), std::string::npos) << done;
    EXPECT_TRUE(PngFolderSink::isFrameName("frame-1234567.png"));
    EXPECT_FALSE(PngFolderSink::isFrameName("frame-00001.png"));
    EXPECT_FALSE(PngFolderSink::isFrameName("frame-00000a.png"));
}

TEST_F(Record, AFailedFrameSaysWhyAndLeavesNoPartialFile) {
    ProgramOptions o = options(3);
    fs::create_directories(o.output);
    // A file size limit makes write() fail as a full disk would, with its own errno.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ::setrlimit(RLIMIT_FSIZE, &small);
    ::testing::internal::CaptureStderr();
    const int status = runRecord(o, stores_);
    const std::string error = ::testing::internal::GetCapturedStderr();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(status, 1);
    EXPECT_NE(error.find("cannot write " + o.output + "/frame-000001.png: File too large"), std::string::npos)
        << error;
    EXPECT_NE(error.find("wrote nothing"), std::string::npos) << error;
    EXPECT_TRUE(namesIn(o.output).empty());
}

TEST_F(Record, AVideoWhereItCannotBeWrittenSaysWhy) {
    ProgramOptions o = options(2);
    o.output = (folder_ / "missing" / "clip.webm").string();
    FakeFfmpeg fake(folder_ / "bin", "cat >/dev/null\n");
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runRecord(o, stores_), 1);
    const std::string error = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(error.find("the folder " + (folder_ / "missing").string() + " does not exist"), std::string::npos)
        << error;
}

// Permissions do not bind root: CI runs this case once more as an
// unprivileged user.
TEST_F(Record, AVideoInAFolderWithoutPermissionSaysWhy) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "root writes into read-only folders";
    }
    ProgramOptions o = options(2);
    FakeFfmpeg fake(folder_ / "bin", "cat >/dev/null\n");
    fs::create_directories(folder_ / "locked");
    fs::permissions(folder_ / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    o.output = (folder_ / "locked" / "clip.webm").string();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runRecord(o, stores_), 1);
    const std::string error = ::testing::internal::GetCapturedStderr();
    fs::permissions(folder_ / "locked", fs::perms::owner_all);
    EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
}

TEST_F(Record, WhenFfmpegFailsTheOldFileStaysAndItsLastLinesAreShown) {
    fs::create_directories(folder_);
    const fs::path precious = folder_ / "precious.mp4";
    writeFile(precious, "the only copy");
    FakeFfmpeg fake(folder_ / "bin",
                    "head -c 1000 >/dev/null\n"
                    "for n in 1 2 3 4 5 6; do echo \"complaint $n\" >&2; done\n"
                    "echo 'No space left on device' >&2\n"
                    "exit 1\n");
    ProgramOptions o = options(5);
    o.output = precious.string();
    o.force = true;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runRecord(o, stores_), 1);
    const std::string error = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(readFile(precious), "the only copy");
    EXPECT_EQ(namesIn(folder_), (std::vector<std::string>{"bin", "precious.mp4"}));
    EXPECT_NE(error.find("ffmpeg failed (exit status 1)"), std::string::npos) << error;
    EXPECT_NE(error.find("  complaint 4\n  complaint 5\n  complaint 6\n  No space left on device\n"),
              std::string::npos)
        << error;
    EXPECT_EQ(error.find("complaint 3"), std::string::npos) << error;
    EXPECT_NE(error.find("wrote nothing; " + precious.string() + " is as it was"), std::string::npos) << error;

    // Where there was nothing, nothing is left, and the message says so.
    o.output = (folder_ / "new.mp4").string();
    o.force = false;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runRecord(o, stores_), 1);
    const std::string fresh = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(fresh.find("wrote nothing; no file was made at " + o.output), std::string::npos) << fresh;
    EXPECT_EQ(fresh.find("as it was"), std::string::npos) << fresh;
    EXPECT_EQ(namesIn(folder_), (std::vector<std::string>{"bin", "precious.mp4"}));
}

TEST_F(Record, AnExistingVideoIsRefusedUnlessForcedAsAFolderOfFramesIs) {
    fs::create_directories(folder_);
    FakeFfmpeg fake(folder_ / "bin", "for a; do last=$a; done; printf new > \"${last#file:}\"; cat >/dev/null\n");
    const fs::path precious = folder_ / "precious.webm";
    writeFile(precious, "the only copy");
    // A link to nowhere stands in the way too: the rename would replace it.
    fs::create_symlink(folder_ / "nowhere", folder_ / "dangling.gif");
    for (const fs::path& taken : {precious, folder_ / "dangling.gif"}) {
        ProgramOptions o = options(2);
        o.output = taken.string();
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(runRecord(o, stores_), 1);
        const std::string error = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(error.find(taken.string() + " already exists; add --force to replace it"), std::string::npos)
            << error;
        EXPECT_NE(error.find("wrote nothing; " + taken.string() + " is as it was"), std::string::npos) << error;
    }
    EXPECT_EQ(readFile(precious), "the only copy");
    EXPECT_TRUE(fs::is_symlink(folder_ / "dangling.gif"));

    ProgramOptions o = options(2);
    o.output = precious.string();
    o.force = true;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runRecord(o, stores_), 0);
    const std::string done = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(readFile(precious), "the only copy") << done;
}

// ffmpeg's descriptors are its input, its output and its message file as
// standard error, and no other: a stray one would keep a file open (or a
// pipe from ending) as long as ffmpeg and whatever it starts runs.
TEST_F(Record, FfmpegGetsNoDescriptorButItsOwnThree) {
    fs::create_directories(folder_);
    const fs::path listing = folder_ / "descriptors";
    FakeFfmpeg fake(folder_ / "bin", "for fd in /proc/$$/fd/*; do echo \"${fd##*/} $(readlink \"$fd\")\"; done >> '" +
                                         listing.string() + "'\ncat >/dev/null\n");
    ProgramOptions o = options(2);
    o.output = (folder_ / "clip.gif").string();
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(runRecord(o, stores_), 0) << ::testing::internal::GetCapturedStderr();
    ::testing::internal::GetCapturedStderr();
    std::istringstream lines(readFile(listing));
    int runs = 0;
    for (std::string line; std::getline(lines, line);) {
        const int fd = std::stoi(line);
        runs += fd == 0 ? 1 : 0;
        if (fd <= 2) {
            continue;
        }
        // The message files are unlinked temporary files; of the test's own
        // folder the shell running the stand-in may hold its script only.
        EXPECT_EQ(line.find("(deleted)"), std::string::npos) << line;
        if (line.find(folder_.string()) != std::string::npos) {
            EXPECT_EQ(line.substr(line.find(' ') + 1), (folder_ / "bin" / "ffmpeg").string());
        }
    }
    EXPECT_EQ(runs, 3) << "a GIF takes three ffmpeg runs: " << readFile(listing);
}

// ffmpeg runs in a process group of its own, so a Pelmora killed while it
// wrote leaves its hidden part file; the next recording to that name (or
// folder) removes such leftovers of ours, and nothing else.
TEST_F(Record, AKilledRunsLeftoversOfOurMakingGoAndTheUsersFilesStay) {
    fs::create_directories(folder_ / "frames");
    const std::vector<std::string> ours{".clip.mp4.4242-0.part.tmp-pelmora", ".clip.mp4.4242-0.nut.tmp-pelmora",
                                        "frames/.frame-000001.png.4242-0.part.tmp-pelmora"};
    const std::vector<std::string> theirs{"clip.mp4.part", ".clip.mp4.part", "frames/.frame-notes.tmp-pelmora.txt"};
    for (const auto& names : {ours, theirs}) {
        for (const std::string& name : names) {
            writeFile(folder_ / name, "x");
            fs::last_write_time(folder_ / name, fs::file_time_type::clock::now() - std::chrono::minutes(2));
        }
    }
    FakeFfmpeg fake(folder_ / "bin", "cat >/dev/null\nfor a; do last=$a; done\nprintf video > \"${last#file:}\"\n");
    ProgramOptions o = options(2);
    o.output = (folder_ / "clip.mp4").string();
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(runRecord(o, stores_), 0) << ::testing::internal::GetCapturedStderr();
    o.output = (folder_ / "frames").string();
    ASSERT_EQ(runRecord(o, stores_), 0) << ::testing::internal::GetCapturedStderr();
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(readFile(folder_ / "clip.mp4"), "video");
    for (const std::string& name : ours) {
        EXPECT_FALSE(fs::exists(folder_ / name)) << name;
    }
    for (const std::string& name : theirs) {
        EXPECT_EQ(readFile(folder_ / name), "x") << name;
    }
}

// A line of ffmpeg's, however long, reaches the message as a short excerpt.
TEST_F(Record, FfmpegsLongLinesAreQuotedShort) {
    fs::create_directories(folder_);
    FakeFfmpeg fake(folder_ / "bin", "head -c 1000 >/dev/null\nhead -c 3000000 /dev/zero | tr '\\0' 'x' >&2\n"
                                     "echo >&2\nexit 1\n");
    ProgramOptions o = options(3);
    o.output = (folder_ / "clip.mp4").string();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(runRecord(o, stores_), 1);
    const std::string error = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(error.find("xxx..."), std::string::npos) << error.substr(0, 300);
    EXPECT_LT(error.size(), 1500U);
}

TEST_F(Record, FfmpegIsHandedAnAbsoluteFileAndAContainer) {
    fs::create_directories(folder_);
    const fs::path argsFile = folder_ / "args";
    FakeFfmpeg fake(folder_ / "bin", "printf '%s\\n' \"$@\" > '" + argsFile.string() + "'\ncat >/dev/null\n");
    const fs::path previous = fs::current_path();
    fs::current_path(folder_);
    ProgramOptions o = options(2);
    o.output = "-clip.mp4";
    ::testing::internal::CaptureStderr();
    const int status = runRecord(o, stores_);
    const std::string said = ::testing::internal::GetCapturedStderr();
    fs::current_path(previous);
    ASSERT_EQ(status, 0) << said;
    EXPECT_TRUE(fs::exists(folder_ / "-clip.mp4"));
    std::vector<std::string> args;
    std::istringstream lines(readFile(argsFile));
    for (std::string line; std::getline(lines, line);) {
        args.push_back(line);
    }
    ASSERT_GE(args.size(), 3U);
    const std::string target = args.back();
    EXPECT_EQ(target.rfind("file:" + (folder_ / ".-clip.mp4.").string(), 0), 0U) << target;
    EXPECT_EQ(args[args.size() - 3], "mp4");
    EXPECT_NE(said.find("wrote 2 frames to " + (folder_ / "-clip.mp4").string()), std::string::npos) << said;
}

TEST_F(Record, AGifPlaysAtItsRateAndFfmpegsMemoryStaysBounded) {
    const std::string ffmpeg = FfmpegSink::findFfmpeg();
    if (ffmpeg.empty() || !fs::exists("/usr/bin/time")) {
        return testing::missingServer("ffmpeg or GNU time: not installed");
    }
    // Each ffmpeg run goes through GNU time, which forks it from a small
    // process: a child forked straight from this one would count this
    // process's own pages in its peak until it execs.
    const fs::path peaks = folder_ / "peaks";
    FakeFfmpeg measured(folder_ / "bin",
                        "exec /usr/bin/time -a -f %M -o '" + peaks.string() + "' '" + ffmpeg + "' \"$@\"\n");
    fs::create_directories(folder_ / "out");
    ProgramOptions o = options(600);
    o.width = 640;
    o.height = 360;
    o.output = (folder_ / "out" / "clip.gif").string();
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(runRecord(o, stores_), 0) << ::testing::internal::GetCapturedStderr();
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(namesIn(folder_ / "out"), std::vector<std::string>{"clip.gif"});
    // Holding the whole clip, as one filter graph that makes the palette and
    // applies it does, takes 640 * 360 * 4 bytes for each of the 600 frames:
    // 553 MB. Passes over a lossless file stay bounded whatever the length;
    // how many frames ffmpeg queues before the palette arrives varies from
    // run to run (80 to 240 MB here), hence the wide margin.
    std::ifstream peakLines(peaks);
    long largest = 0;
    int runs = 0;
    for (long kilobytes = 0; peakLines >> kilobytes; ++runs) {
        largest = std::max(largest, kilobytes);
    }
    EXPECT_GE(runs, 1);
    EXPECT_LT(largest, 400L * 1024L) << "kilobytes";

    const std::string probe = "ffprobe -v error -show_entries format=duration -of csv=p=0 '" + o.output + "'";
    std::FILE* pipe = ::popen(probe.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char text[64] = {};
    const bool read = std::fgets(text, sizeof text, pipe) != nullptr;
    ::pclose(pipe);
    ASSERT_TRUE(read);
    EXPECT_DOUBLE_EQ(std::stod(text), 12.0);  // 600 frames at 50 a second
}

TEST(ProgressBarLine, ShowsFramesRateAndTimeLeft) {
    EXPECT_EQ(ProgressBar::line(150, 600, 5.0),
              "[#######-----------------------] 150/600 frames  30.0 fps  0:15 left");
    EXPECT_EQ(ProgressBar::line(0, 600, 0.0), "[------------------------------] 0/600 frames  0.0 fps  0:00 left");
}

}  // namespace
}  // namespace pelmora
