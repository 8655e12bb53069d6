#include "KeyFileStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <future>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "AtomicFile.h"
#include "FileCallLog.h"
#include "KeyFileStores.h"
#include "SettingsSchema.h"

namespace pelmora {
namespace {

namespace fs = std::filesystem;

SettingsDefaults registeredDefaults() {
    SettingsDefaults defaults;
    for (const Setting& entry : kSettings) {
        defaults.emplace_back(std::string(entry.key), std::string(entry.defaultText));
    }
    return defaults;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const fs::path& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary);
    out << contents;
}

class KeyFileStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "pelmora-keyfile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        folder_ = root_ / "config" / "pelmora";
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(root_ / "config", fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::permissions(folder_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root_, ignored);
    }

    KeyFileStores stores() {
        return KeyFileStores(folder_, [this](const std::string& message) { warnings_.push_back(message); });
    }
    std::unique_ptr<SettingsStore> open(std::string_view module = "pelmora") {
        auto store = stores().defaultsForModuleWithName(module);
        store->registerDefaults(registeredDefaults());
        return store;
    }
    fs::path file(std::string_view module = "pelmora") const { return folder_ / (std::string(module) + ".conf"); }
    void writeSettings(const std::string& contents) {
        fs::create_directories(folder_);
        writeFile(file(), contents);
    }

    fs::path root_;
    fs::path folder_;
    std::vector<std::string> warnings_;
};

TEST_F(KeyFileStoreTest, NothingSavedReadsTheRegisteredDefaults) {
    auto store = open();
    EXPECT_EQ(store->floatForKey("localFieldDisplay"), 400.0f);
    EXPECT_EQ(store->floatForKey("speedDivisor"), 50.0f);
    EXPECT_TRUE(store->boolForKey("showLocalFields"));
    EXPECT_FALSE(store->boolForKey("bouncingEnabled"));
    EXPECT_FALSE(store->boolForKey("labelsEnabled"));
    EXPECT_EQ(store->floatForKey("electricFieldStrength"), 2.0f);
    EXPECT_EQ(store->integerForKey("numberOfThings"), 40);
    EXPECT_EQ(store->integerForKey("chargeRange"), 2);
    EXPECT_TRUE(store->boolForKey("neutralCharges"));
    EXPECT_TRUE(store->boolForKey("fillSpheres"));
    EXPECT_EQ(store->floatForKey("sphereRadii"), 10.0f);
    // A key with neither a saved value nor a default reads as zero.
    EXPECT_FALSE(store->boolForKey("unheardOf"));
    EXPECT_EQ(store->integerForKey("unheardOf"), 0);
    EXPECT_TRUE(warnings_.empty());
    // Reading never creates the file.
    EXPECT_FALSE(fs::exists(file()));
}

TEST_F(KeyFileStoreTest, SavedValuesWinOverRegisteredDefaults) {
    {
        auto store = open();
        store->setBool(false, "showLocalFields");
        store->setFloat(0.0f, "speedDivisor");
        ASSERT_TRUE(store->synchronize()) << store->lastError();
    }
    auto store = open();
    store->registerDefaults({{"showLocalFields", "YES"}});
    EXPECT_FALSE(store->boolForKey("showLocalFields"));
    EXPECT_EQ(store->floatForKey("speedDivisor"), 0.0f);
    EXPECT_EQ(store->integerForKey("numberOfThings"), 40);
}

TEST_F(KeyFileStoreTest, EveryTypeRoundTripsExactly) {
    const std::vector<float> floats = {-0.0f, std::numeric_limits<float>::denorm_min(), 1.17549421e-38f, 3.4e38f,
                                       0.1f, -7.25f};
    const std::vector<std::int64_t> integers = {0, -1, INT64_C(4294967301), std::numeric_limits<std::int64_t>::min(),
                                                std::numeric_limits<std::int64_t>::max()};
    {
        auto store = open();
        for (std::size_t i = 0; i < floats.size(); ++i) {
            store->setFloat(floats[i], "f" + std::to_string(i));
        }
        for (std::size_t i = 0; i < integers.size(); ++i) {
            store->setInteger(integers[i], "i" + std::to_string(i));
        }
        store->setBool(true, "yes");
        store->setBool(false, "no");
        ASSERT_TRUE(store->synchronize()) << store->lastError();
    }
    auto store = open();
    for (std::size_t i = 0; i < floats.size(); ++i) {
        EXPECT_EQ(std::bit_cast<std::uint32_t>(store->floatForKey("f" + std::to_string(i))),
                  std::bit_cast<std::uint32_t>(floats[i]))
            << floats[i];
    }
    for (std::size_t i = 0; i < integers.size(); ++i) {
        EXPECT_EQ(store->integerForKey("i" + std::to_string(i)), integers[i]);
    }
    EXPECT_TRUE(store->boolForKey("yes"));
    EXPECT_FALSE(store->boolForKey("no"));
}

TEST_F(KeyFileStoreTest, LargeIntegersReadWhole) {
    // The store keeps 64 bits; 2^32 + 5 keeps low 32 bits 5 once the view narrows it.
    writeSettings("[Settings]\nnumberOfThings=4294967301\n");
    auto store = open();
    const std::int64_t value = store->integerForKey("numberOfThings");
    EXPECT_EQ(value, INT64_C(4294967301));
    EXPECT_EQ(static_cast<std::uint32_t>(value), 5u);
}

TEST_F(KeyFileStoreTest, TheFileIsAPlainKeyFileThatKeepsWhatItDoesNotKnow) {
    writeSettings("# my own notes\n[Settings]\n# speed I like\nspeedDivisor=80\ncustom=hello\n\n[Other]\nx=1\n");
    auto store = open();
    EXPECT_EQ(store->floatForKey("speedDivisor"), 80.0f);
    store->setInteger(12, "numberOfThings");
    store->setBool(true, "labelsEnabled");
    ASSERT_TRUE(store->synchronize()) << store->lastError();
    const std::string saved = readFile(file());
    for (const char* kept : {"# my own notes", "# speed I like", "speedDivisor=80", "custom=hello", "[Other]", "x=1",
                             "numberOfThings=12", "labelsEnabled=YES"}) {
        EXPECT_NE(saved.find(kept), std::string::npos) << kept << " in\n" << saved;
    }
}

TEST_F(KeyFileStoreTest, ModuleNamesKeepSeparateFiles) {
    {
        auto store = open("pelmora");
        store->setInteger(7, "numberOfThings");
        ASSERT_TRUE(store->synchronize());
    }
    EXPECT_EQ(open("other.host")->integerForKey("numberOfThings"), 40);
    EXPECT_EQ(open("pelmora")->integerForKey("numberOfThings"), 7);
}

TEST_F(KeyFileStoreTest, UnsafeModuleNamesAreRefusedAndNothingIsWritten) {
    for (const std::string& name : std::vector<std::string>{"", "../escape", "a/b", "..", ".", ".hidden", std::string("a\nb"),
                                   std::string(300, 'm')}) {
        std::string message;
        EXPECT_FALSE(KeyFileStores::validModuleName(name, &message)) << name;
        EXPECT_NE(message.find("invalid module name"), std::string::npos);
        auto store = open(name);
        EXPECT_EQ(store->integerForKey("numberOfThings"), 40);
        store->setInteger(1, "numberOfThings");
        EXPECT_EQ(store->integerForKey("numberOfThings"), 1);
        EXPECT_FALSE(store->synchronize());
        EXPECT_NE(store->lastError().find("invalid module name"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(root_ / "config"));
    EXPECT_TRUE(KeyFileStores::validModuleName("org.jwz.xscreensaver", nullptr));
}

TEST_F(KeyFileStoreTest, ValuesNotOfTheirTypeReadAsDefaultsWithOneMessageEach) {
    const std::string contents =
        "[Settings]\nnumberOfThings=7.9\nchargeRange=abc\nsphereRadii=nan\nlocalFieldDisplay=1e39\n"
        "speedDivisor=inf\nshowLocalFields=maybe\nelectricFieldStrength=3.5\n";
    writeSettings(contents);
    auto store = open();
    for (int pass = 0; pass < 2; ++pass) {
        EXPECT_EQ(store->integerForKey("numberOfThings"), 40);
        EXPECT_EQ(store->integerForKey("chargeRange"), 2);
        EXPECT_EQ(store->floatForKey("sphereRadii"), 10.0f);
        EXPECT_EQ(store->floatForKey("localFieldDisplay"), 400.0f);
        EXPECT_EQ(store->floatForKey("speedDivisor"), 50.0f);
        EXPECT_TRUE(store->boolForKey("showLocalFields"));
        EXPECT_EQ(store->floatForKey("electricFieldStrength"), 3.5f);
    }
    ASSERT_EQ(warnings_.size(), 6u);
    EXPECT_NE(warnings_[0].find(file().string()), std::string::npos);
    EXPECT_NE(warnings_[0].find("numberOfThings"), std::string::npos);
    EXPECT_NE(warnings_[0].find("\"7.9\""), std::string::npos);
    EXPECT_NE(warnings_[0].find("\"40\""), std::string::npos);
    for (const auto& warning : warnings_) {
        EXPECT_EQ(warning.find('\n'), std::string::npos);
    }
    // Reading alone leaves the user's file exactly as it was.
    EXPECT_TRUE(store->synchronize());
    EXPECT_EQ(readFile(file()), contents);
}

TEST_F(KeyFileStoreTest, AFileThatIsNotAKeyFileIsKeptUntilASaveAndThenBackedUp) {
    const std::string garbage = std::string("\x7f" "ELF\x01\x02 not settings\nat all = [\n");
    writeSettings(garbage);
    auto store = open();
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_NE(warnings_[0].find(file().string()), std::string::npos);
    EXPECT_NE(warnings_[0].find(".bad"), std::string::npos);
    EXPECT_EQ(warnings_[0].find('\n'), std::string::npos);
    EXPECT_EQ(store->integerForKey("numberOfThings"), 40);
    EXPECT_TRUE(store->synchronize());
    EXPECT_EQ(readFile(file()), garbage);

    store->setInteger(9, "numberOfThings");
    ASSERT_TRUE(store->synchronize()) << store->lastError();
    EXPECT_EQ(readFile(folder_ / "pelmora.conf.bad"), garbage);
    EXPECT_EQ(open()->integerForKey("numberOfThings"), 9);
    // An older backup is never overwritten.
    writeSettings(garbage + "second");
    auto again = open();
    again->setInteger(10, "numberOfThings");
    ASSERT_TRUE(again->synchronize()) << again->lastError();
    EXPECT_EQ(readFile(folder_ / "pelmora.conf.bad"), garbage);
    EXPECT_EQ(readFile(folder_ / "pelmora.conf.bad.1"), garbage + "second");
}

// Names a key file cannot hold, or that no store keeps (control characters,
// DEL among them), are refused with a message and never reach the file.
TEST_F(KeyFileStoreTest, KeyNamesItCannotKeepAreRefusedAndTheRestIsSaved) {
    const std::vector<std::string> refused{std::string("bad\x7fkey"), "tab\tkey", "a=b", "[x]", " lead", ""};
    auto store = open();
    for (const std::string& name : refused) {
        store->setInteger(5, name);
        EXPECT_EQ(store->integerForKey(name), 0) << name;
    }
    store->setInteger(5, "numberOfThings");
    ASSERT_TRUE(store->synchronize()) << store->lastError();
    ASSERT_EQ(warnings_.size(), refused.size());
    for (const std::string& warning : warnings_) {
        EXPECT_EQ(warning.rfind("cannot store a setting named ", 0), 0U) << warning;
        EXPECT_EQ(warning.find_first_of("\x7f\t\n"), std::string::npos) << warning;
    }
    EXPECT_EQ(readFile(file()), "[Settings]\nnumberOfThings=5\n");
}

// A file far larger than settings ever are is refused before it is read,
// with one short line, and kept as it is; a save keeps it as .bad.
TEST_F(KeyFileStoreTest, AHugeFileIsRefusedUnreadAndKept) {
    const std::string huge =
        "[Settings]\nnumberOfThings=7\n" + std::string(static_cast<std::size_t>(KeyFileStore::kLargestFile), '#');
    writeSettings(huge);
    auto store = open();
    ASSERT_EQ(warnings_.size(), 1U);
    EXPECT_NE(warnings_[0].find("more than a settings file ever holds"), std::string::npos) << warnings_[0];
    EXPECT_LT(warnings_[0].size(), 400U);
    EXPECT_EQ(store->integerForKey("numberOfThings"), 40);
    EXPECT_TRUE(store->synchronize());
    EXPECT_EQ(readFile(file()), huge);
    store->setInteger(9, "numberOfThings");
    ASSERT_TRUE(store->synchronize()) << store->lastError();
    EXPECT_EQ(readFile(folder_ / "pelmora.conf.bad"), huge);

    // Just within the limit, the file is read.
    writeSettings("[Settings]\nnumberOfThings=7\n#" +
                  std::string(static_cast<std::size_t>(KeyFileStore::kLargestFile) - 29, '#'));
    ASSERT_EQ(fs::file_size(file()), static_cast<std::uintmax_t>(KeyFileStore::kLargestFile));
    EXPECT_EQ(open()->integerForKey("numberOfThings"), 7);
}

// A long line GLib cannot read reaches the message only as an excerpt.
TEST_F(KeyFileStoreTest, AnUnreadableLongLineIsQuotedShort) {
    writeSettings("[Settings]\n" + std::string(500000, 'x') + "\n");
    open();
    ASSERT_EQ(warnings_.size(), 1U);
    EXPECT_LT(warnings_[0].size(), 600U);
    EXPECT_NE(warnings_[0].find("..."), std::string::npos) << warnings_[0];
    EXPECT_NE(warnings_[0].find(".bad"), std::string::npos) << warnings_[0];
}

TEST_F(KeyFileStoreTest, AFolderThatCannotBeCreatedFailsTheSaveButNotTheReads) {
    fs::create_directories(root_);
    writeFile(root_ / "config", "a regular file where the folder should be");
    auto store = open();
    store->setInteger(5, "numberOfThings");
    EXPECT_EQ(store->integerForKey("numberOfThings"), 5);
    EXPECT_FALSE(store->synchronize());
    EXPECT_NE(store->lastError().find("cannot create the settings folder"), std::string::npos);
    EXPECT_NE(store->lastError().find(folder_.string()), std::string::npos);
}

TEST_F(KeyFileStoreTest, PermissionProblemsAreReportedAndLoseNothing) {
    if (::geteuid() == 0) {
        GTEST_SKIP() << "permissions do not bind root";
    }
    writeSettings("[Settings]\nnumberOfThings=12\n");
    fs::permissions(file(), fs::perms::none);
    auto unreadable = open();
    EXPECT_EQ(unreadable->integerForKey("numberOfThings"), 40);
    ASSERT_EQ(warnings_.size(), 1u);
    fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write);

    fs::permissions(folder_, fs::perms::owner_read | fs::perms::owner_exec);
    auto store = open();
    EXPECT_EQ(store->integerForKey("numberOfThings"), 12);
    store->setInteger(13, "numberOfThings");
    EXPECT_FALSE(store->synchronize());
    EXPECT_NE(store->lastError().find(folder_.string()), std::string::npos);
    fs::permissions(folder_, fs::perms::owner_all);
    EXPECT_EQ(open()->integerForKey("numberOfThings"), 12);
}

TEST_F(KeyFileStoreTest, SavesReplaceTheFileAtomically) {
    writeSettings("[Settings]\nnumberOfThings=12\n");
    // What an interrupted save leaves behind: a temporary file beside the
    // real one. It must not count.
    writeFile(folder_ / "pelmora.conf.Ab12Cd", "[Settings]\nnumberOfThings=9");
    std::ifstream reader(file());
    struct stat before {};
    ASSERT_EQ(::stat(file().c_str(), &before), 0);

    auto store = open();
    EXPECT_EQ(store->integerForKey("numberOfThings"), 12);
    store->setInteger(30, "numberOfThings");
    ASSERT_TRUE(store->synchronize()) << store->lastError();

    struct stat after {};
    ASSERT_EQ(::stat(file().c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino);
    // A reader that opened the file before the save still sees the whole old file.
    std::stringstream old;
    old << reader.rdbuf();
    EXPECT_EQ(old.str(), "[Settings]\nnumberOfThings=12\n");
    EXPECT_EQ(open()->integerForKey("numberOfThings"), 30);
    // The save leaves no temporary file of its own.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"pelmora.conf", "pelmora.conf.Ab12Cd"}));
}

TEST_F(KeyFileStoreTest, ALinkedSettingsFileStaysALink) {
    fs::create_directories(folder_);
    const fs::path real = root_ / "dotfiles.conf";
    writeFile(real, "[Settings]\nchargeRange=3\n");
    fs::create_symlink(real, file());
    auto store = open();
    EXPECT_EQ(store->integerForKey("chargeRange"), 3);
    store->setInteger(4, "chargeRange");
    ASSERT_TRUE(store->synchronize()) << store->lastError();
    EXPECT_TRUE(fs::is_symlink(file()));
    EXPECT_EQ(open()->integerForKey("chargeRange"), 4);
}

TEST_F(KeyFileStoreTest, AFifoOrAFolderInThePlaceOfTheFileIsNotReadAndDoesNotHang) {
    fs::create_directories(folder_);
    ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
    auto loading = std::async(std::launch::async, [this] { return open()->integerForKey("numberOfThings"); });
    if (loading.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "opening a FIFO as the settings file blocks";
        // Let the blocked reader go: a writer that opens and closes gives it an end of file.
        ::close(::open(file().c_str(), O_WRONLY | O_NONBLOCK));
    }
    EXPECT_EQ(loading.get(), 40);
    fs::remove(file());
    fs::create_directories(file());
    EXPECT_EQ(open()->integerForKey("numberOfThings"), 40);
    ASSERT_EQ(warnings_.size(), 2u);
    for (const std::string& warning : warnings_) {
        EXPECT_NE(warning.find("Not a regular file"), std::string::npos) << warning;
        EXPECT_EQ(warning.find('\n'), std::string::npos);
    }
}

TEST_F(KeyFileStoreTest, ASaveRemovesOnlyItsOwnTemporaryFilesLeftByKilledSaves) {
    writeSettings("[Settings]\nnumberOfThings=12\n");
    const auto setAge = [](const fs::path& path, std::chrono::seconds age) {
        fs::last_write_time(path, fs::file_time_type::clock::now() - age);
    };
    // Saves killed an hour and two minutes ago, one that may still be
    // writing, a user's own copies beside the file (which once looked like
    // temporaries: the name, a dot and six characters), and marked names
    // of another file.
    const std::vector<std::string> killed{".pelmora.conf.4242-0.save.tmp-pelmora",
                                          ".pelmora.conf.17-3.save.tmp-pelmora"};
    const std::vector<std::string> kept{
        ".pelmora.conf.99-0.save.tmp-pelmora", "pelmora.conf.backup", "pelmora.conf.old123", "pelmora.conf.orig",
        "pelmora.conf.Ab12Cd", "pelmora.conf.bad", ".other.conf.1-0.save.tmp-pelmora", "pelmora.conf.tmp-pelmora",
        ".pelmora.conf.swp"};
    for (const std::string& name : killed) {
        writeFile(folder_ / name, "x");
        setAge(folder_ / name, std::chrono::hours(1));
    }
    for (const std::string& name : kept) {
        writeFile(folder_ / name, "mine");
        setAge(folder_ / name, std::chrono::seconds(120));
    }
    setAge(folder_ / killed[1], std::chrono::seconds(120));
    setAge(folder_ / kept[0], std::chrono::seconds(5));
    auto store = open();
    store->setInteger(30, "numberOfThings");
    ASSERT_TRUE(store->synchronize()) << store->lastError();
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
        names.push_back(entry.path().filename().string());
    }
    std::vector<std::string> expected = kept;
    expected.push_back("pelmora.conf");
    std::sort(names.begin(), names.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    for (const std::string& name : kept) {
        EXPECT_EQ(readFile(folder_ / name), "mine") << name;
    }
}

// Without the folder's fsync after the rename, a crash can bring back the
// old settings although the save said it succeeded.
TEST_F(KeyFileStoreTest, ASaveIsOnDiskFileAndFolderWhenItReturns) {
    writeSettings("[Settings]\nnumberOfThings=12\n");
    testing::FileCallLog::calls().clear();
    KeyFileStore store(file(), [this](const std::string& message) { warnings_.push_back(message); },
                       testing::FileCallLog::logged());
    store.registerDefaults(registeredDefaults());
    store.setInteger(30, "numberOfThings");
    ASSERT_TRUE(store.synchronize()) << store.lastError();
    EXPECT_EQ(testing::FileCallLog::calls(),
              (std::vector<std::string>{"fsync file", "rename", "fsync folder"}));
    EXPECT_EQ(open()->integerForKey("numberOfThings"), 30);
}

TEST_F(KeyFileStoreTest, ASaveKeepsTheModeOfTheFileItReplaces) {
    writeSettings("[Settings]\nnumberOfThings=12\n");
    for (const mode_t mode : {mode_t{0644}, mode_t{0600}, mode_t{0640}}) {
        ASSERT_EQ(::chmod(file().c_str(), mode), 0);
        auto store = open();
        store->setInteger(static_cast<std::int64_t>(mode), "numberOfThings");
        ASSERT_TRUE(store->synchronize()) << store->lastError();
        struct stat info {};
        ASSERT_EQ(::stat(file().c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, mode);
    }
}

}  // namespace
}  // namespace pelmora
