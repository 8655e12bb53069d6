#include <gtest/gtest.h>
#include <unistd.h>

#include <cairo.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FfmpegSink.h"
#include "MemoryStores.h"
#include "ProgressBar.h"
#include "RecordCommand.h"

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
        GTEST_SKIP() << "ffmpeg is not installed";
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

TEST(ProgressBarLine, ShowsFramesRateAndTimeLeft) {
    EXPECT_EQ(ProgressBar::line(150, 600, 5.0),
              "[#######-----------------------] 150/600 frames  30.0 fps  0:15 left");
    EXPECT_EQ(ProgressBar::line(0, 600, 0.0), "[------------------------------] 0/600 frames  0.0 fps  0:00 left");
}

}  // namespace
}  // namespace pelmora
