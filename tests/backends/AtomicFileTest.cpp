#include "AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FileCallLog.h"
#include "FolderNames.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& contents) { std::ofstream(path, std::ios::binary) << contents; }

using testing::namesIn;

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pelmora-atomic-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        testing::FileCallLog::calls().clear();
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }

    fs::path folder_;
};

TEST_F(AtomicFileTest, TheOldFileStaysUntilCommitAndNothingIsLeftEitherWay) {
    const fs::path precious = folder_ / "precious.mp4";
    writeFile(precious, "old");
    {
        AtomicFile part(precious);
        ASSERT_TRUE(part.create()) << part.error();
        EXPECT_EQ(part.temporaryPath().parent_path(), folder_);
        const std::string name = part.temporaryPath().filename().string();
        EXPECT_TRUE(AtomicFile::isTemporaryName(name, "precious.mp4.")) << name;
        ASSERT_EQ(::write(part.fd(), "new", 3), 3);
        EXPECT_EQ(readFile(precious), "old");
    }
    EXPECT_EQ(namesIn(folder_), std::vector<std::string>{"precious.mp4"});
    EXPECT_EQ(readFile(precious), "old");

    AtomicFile part(precious);
    ASSERT_TRUE(part.create());
    ASSERT_EQ(::write(part.fd(), "new", 3), 3);
    ASSERT_TRUE(part.commit()) << part.error();
    EXPECT_EQ(readFile(precious), "new");
    EXPECT_EQ(namesIn(folder_), std::vector<std::string>{"precious.mp4"});
    // Once committed the temporary name is no longer ours: whatever comes to
    // hold it later stays when the writer is discarded.
    writeFile(part.temporaryPath(), "theirs");
    part.discard();
    EXPECT_EQ(readFile(part.temporaryPath()), "theirs");
}

// A file that already has the first temporary name (left by a run that had
// our process id, or put there by someone) is neither opened nor truncated
// nor removed: another name is used.
TEST_F(AtomicFileTest, AClashingFileIsNeverTakenOverAndAnotherNameIsTried) {
    const fs::path target = folder_ / "clip.mp4";
    const std::string first = ".clip.mp4." + std::to_string(::getpid()) + "-0.part" + std::string(AtomicFile::kMark);
    writeFile(folder_ / first, "theirs");
    const std::string second = ".clip.mp4." + std::to_string(::getpid()) + "-1.part" + std::string(AtomicFile::kMark);
    fs::create_symlink(folder_ / "elsewhere", folder_ / second);
    AtomicFile part(target);
    ASSERT_TRUE(part.create()) << part.error();
    EXPECT_NE(part.temporaryPath().filename(), first);
    EXPECT_NE(part.temporaryPath().filename(), second);
    ASSERT_EQ(::write(part.fd(), "ours", 4), 4);
    ASSERT_TRUE(part.commit()) << part.error();
    EXPECT_EQ(readFile(target), "ours");
    EXPECT_EQ(readFile(folder_ / first), "theirs");
    EXPECT_FALSE(fs::exists(folder_ / "elsewhere"));
    EXPECT_TRUE(fs::is_symlink(folder_ / second));
}

TEST_F(AtomicFileTest, ACommitPutsTheDataOnDiskBeforeTheRenameAndTheFolderAfterIt) {
    AtomicFile file(folder_ / "pelmora.conf", "save", testing::FileCallLog::logged());
    ASSERT_TRUE(file.create());
    ASSERT_TRUE(file.commit()) << file.error();
    EXPECT_EQ(testing::FileCallLog::calls(), (std::vector<std::string>{"fsync file", "rename", "fsync folder"}));
}

TEST_F(AtomicFileTest, OnlyOurMarkedLeftoversLongUntouchedAreRemoved) {
    const auto setAge = [](const fs::path& path, std::chrono::seconds age) {
        fs::last_write_time(path, fs::file_time_type::clock::now() - age);
    };
    const std::vector<std::string> abandoned{".frame-000003.png.4242-0.part.tmp-pelmora",
                                             ".frame-000004.png.4242-0.part.tmp-pelmora"};
    const std::vector<std::string> kept{"frame-000001.png", ".frame-000005.png.77-0.part.tmp-pelmora",
                                        ".notes.txt.1-0.part.tmp-pelmora", "frame-000002.png.tmp-pelmora",
                                        "frame-000003.png.part", ".frame-dir.1-0.part.tmp-pelmora",
                                        ".frame-000006.png.swp"};
    for (const std::string& name : abandoned) {
        writeFile(folder_ / name, "x");
        setAge(folder_ / name, std::chrono::seconds(120));
    }
    for (const std::string& name : kept) {
        writeFile(folder_ / name, "x");
        setAge(folder_ / name, std::chrono::seconds(120));
    }
    // One still being written, and a folder that merely carries the mark.
    setAge(folder_ / kept[1], std::chrono::seconds(5));
    fs::remove(folder_ / kept[5]);
    fs::create_directory(folder_ / kept[5]);
    AtomicFile::removeAbandoned(folder_, "frame-");
    std::vector<std::string> expected = kept;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(namesIn(folder_), expected);
}

}  // namespace
}  // namespace pelmora
