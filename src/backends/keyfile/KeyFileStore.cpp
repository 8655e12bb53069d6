#include "KeyFileStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>
#include <vector>

#include "SettingText.h"
#include "WriteAll.h"

namespace pelmora {
namespace {

constexpr const char* kGroup = "Settings";

std::string errnoText(int error) { return std::strerror(error); }

// GKeyFile refuses such names with a critical warning; a generic store must
// not pass them on.
bool usableKeyName(std::string_view key) {
    if (key.empty() || key.front() == ' ' || key.back() == ' ') {
        return false;
    }
    for (const char c : key) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f || c == '=' || c == '[' || c == ']') {
            return false;
        }
    }
    return g_utf8_validate(key.data(), static_cast<gssize>(key.size()), nullptr) != 0;
}

// The rename is only durable once the folder's entry is on disk too. A folder
// that cannot be synced still holds the new file, so this is best effort.
void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A settings file kept as a link to elsewhere (a dotfiles folder, say) stays
// a link: the save replaces what it points to.
std::filesystem::path resolveLink(const std::filesystem::path& file) {
    std::error_code error;
    if (std::filesystem::is_symlink(file, error)) {
        const auto target = std::filesystem::weakly_canonical(file, error);
        if (!error) {
            return target;
        }
    }
    return file;
}

// GLib's messages may quote the offending line; keep the message one line.
std::string oneLine(std::string text) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            c = ' ';
        }
    }
    return text;
}

// What mkostemp makes of "<file>.XXXXXX": six letters or digits after the dot.
bool isTemporaryNameOf(const std::string& name, const std::string& target) {
    constexpr std::size_t kSuffix = 6;
    if (name.size() != target.size() + 1 + kSuffix || name.compare(0, target.size(), target) != 0 ||
        name[target.size()] != '.') {
        return false;
    }
    for (std::size_t i = target.size() + 1; i < name.size(); ++i) {
        if (g_ascii_isalnum(name[i]) == 0) {
            return false;
        }
    }
    return true;
}

// A save that was killed between writing its temporary file and renaming it
// leaves that file behind for good. One that has not been touched for this
// long is no longer being written by anyone.
constexpr auto kAbandonedAfter = std::chrono::minutes(1);

void removeAbandonedTemporaries(const std::filesystem::path& target) {
    const std::string targetName = target.filename().string();
    std::error_code error;
    std::filesystem::directory_iterator entries(target.parent_path(), error);
    if (error) {
        return;
    }
    const auto now = std::chrono::system_clock::now();
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        struct stat info {};
        if (!isTemporaryNameOf(name, targetName) || ::lstat(entry.path().c_str(), &info) != 0 ||
            !S_ISREG(info.st_mode)) {
            continue;
        }
        const auto modified = std::chrono::system_clock::from_time_t(info.st_mtim.tv_sec);
        if (now - modified > kAbandonedAfter) {
            ::unlink(entry.path().c_str());
        }
    }
}

// GLib's loader opens the file with a plain blocking open(): a FIFO in the
// file's place would hang it until a writer appears. Only a regular file is
// read; the reasons read as GLib's own.
struct FileText {
    bool ok = false;
    bool missing = false;
    std::string text;
    std::string reason;
};

FileText readRegularFile(const std::filesystem::path& file) {
    FileText result;
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        result.missing = errno == ENOENT;
        result.reason = g_strerror(errno);
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        result.reason = g_strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        result.reason = "Not a regular file";
    } else {
        char buffer[65536];
        for (;;) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got > 0) {
                result.text.append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0) {
                result.ok = true;
                break;
            } else if (errno != EINTR) {
                result.reason = g_strerror(errno);
                break;
            }
        }
    }
    ::close(fd);
    return result;
}

}  // namespace

void warnOnStandardError(const std::string& message) {
    std::fprintf(stderr, "pelmora: %s\n", message.c_str());
}

KeyFileStore::KeyFileStore(std::filesystem::path file, SettingsWarningSink warn)
    : file_(std::move(file)), warn_(std::move(warn)), keyFile_(g_key_file_new()) {
    load();
}

KeyFileStore::KeyFileStore(SettingsWarningSink warn, std::string unsaveableReason)
    : warn_(std::move(warn)), keyFile_(g_key_file_new()), unsaveableReason_(std::move(unsaveableReason)) {}

std::unique_ptr<KeyFileStore> KeyFileStore::unsaveable(std::string reason, SettingsWarningSink warn) {
    return std::unique_ptr<KeyFileStore>(new KeyFileStore(std::move(warn), std::move(reason)));
}

KeyFileStore::~KeyFileStore() { g_key_file_free(keyFile_); }

void KeyFileStore::load() {
    const FileText file = readRegularFile(file_);
    const bool missing = file.missing;
    std::string reason = file.reason;
    if (file.ok) {
        GError* error = nullptr;
        const auto flags = static_cast<GKeyFileFlags>(G_KEY_FILE_KEEP_COMMENTS | G_KEY_FILE_KEEP_TRANSLATIONS);
        if (g_key_file_load_from_data(keyFile_, file.text.data(), file.text.size(), flags, &error)) {
            return;
        }
        reason = error->message;
        g_error_free(error);
    }
    // A failed load can leave part of the file behind; start clean.
    g_key_file_free(keyFile_);
    keyFile_ = g_key_file_new();
    if (missing) {
        return;
    }
    damaged_ = true;
    warn_(file_.string() + ": not usable as a settings file (" + oneLine(reason) +
          "); using the default settings; the file stays as it is until settings are saved, then it is kept as " +
          file_.filename().string() + ".bad");
}

void KeyFileStore::registerDefaults(const SettingsDefaults& defaults) {
    for (const auto& [key, text] : defaults) {
        registered_.insert_or_assign(key, text);
    }
}

std::string KeyFileStore::registeredText(std::string_view key) const {
    const auto found = registered_.find(key);
    return found == registered_.end() ? std::string() : found->second;
}

std::string KeyFileStore::textForKey(std::string_view key, SettingType type) {
    const std::string name(key);
    gchar* raw = usableKeyName(key) ? g_key_file_get_value(keyFile_, kGroup, name.c_str(), nullptr) : nullptr;
    if (raw == nullptr) {
        return registeredText(key);
    }
    std::string saved(raw);
    g_free(raw);
    if (parsesAs(type, saved)) {
        return saved;
    }
    if (warnedKeys_.insert(name).second) {
        warn_(badValueMessage(file_.string(), name, saved, type, registeredText(key)));
    }
    return registeredText(key);
}

bool KeyFileStore::boolForKey(std::string_view key) {
    return parseBoolText(textForKey(key, SettingType::Boolean)).value_or(false);
}

float KeyFileStore::floatForKey(std::string_view key) {
    return parseFloatText(textForKey(key, SettingType::Float)).value_or(0.0f);
}

std::int64_t KeyFileStore::integerForKey(std::string_view key) {
    return parseIntegerText(textForKey(key, SettingType::Integer)).value_or(0);
}

void KeyFileStore::setText(std::string_view key, const std::string& text) {
    if (!usableKeyName(key)) {
        warn_("cannot store a setting named " + quoteForMessage(key) + " in a key file; it is not saved");
        return;
    }
    const std::string name(key);
    g_key_file_set_value(keyFile_, kGroup, name.c_str(), text.c_str());
    dirty_ = true;
}

void KeyFileStore::setBool(bool value, std::string_view key) { setText(key, formatBoolText(value)); }

void KeyFileStore::setFloat(float value, std::string_view key) { setText(key, formatFloatText(value)); }

void KeyFileStore::setInteger(std::int64_t value, std::string_view key) { setText(key, formatIntegerText(value)); }

bool KeyFileStore::synchronize() {
    if (!unsaveableReason_.empty()) {
        return fail(unsaveableReason_);
    }
    // Nothing to make persistent; a file we could not read stays untouched.
    if (!dirty_) {
        lastError_.clear();
        return true;
    }
    return saveFile();
}

bool KeyFileStore::fail(const std::string& message) {
    lastError_ = message;
    return false;
}

// Writes a complete temporary file beside the target and renames it over the
// target, so a reader or a crash sees either the old file or the new one,
// never a torn one.
bool KeyFileStore::saveFile() {
    const std::filesystem::path target = resolveLink(file_);
    const std::filesystem::path folder = target.parent_path();
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
        return fail("cannot create the settings folder " + folder.string() + ": " + errnoText(errno));
    }
    gsize size = 0;
    gchar* data = g_key_file_to_data(keyFile_, &size, nullptr);
    std::string contents(data, size);
    g_free(data);

    std::string temporaryName = target.string() + ".XXXXXX";
    std::vector<char> pattern(temporaryName.begin(), temporaryName.end());
    pattern.push_back('\0');
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        return fail("cannot write settings in " + folder.string() + ": " + errnoText(errno));
    }
    temporaryName = pattern.data();
    struct stat existing {};
    if (::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
        ::fchmod(fd, existing.st_mode & 0777);
    }
    const bool written = writeAll(fd, contents.data(), contents.size()) && ::fsync(fd) == 0;
    const int writeError = errno;
    if (::close(fd) != 0 || !written) {
        const int error = written ? errno : writeError;
        ::unlink(temporaryName.c_str());
        return fail("cannot write settings to " + temporaryName + ": " + errnoText(error));
    }
    if (damaged_ && !keepDamagedCopy(target)) {
        ::unlink(temporaryName.c_str());
        return false;
    }
    if (::rename(temporaryName.c_str(), target.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporaryName.c_str());
        return fail("cannot replace " + target.string() + ": " + errnoText(error));
    }
    syncFolder(folder);
    removeAbandonedTemporaries(target);
    damaged_ = false;
    dirty_ = false;
    lastError_.clear();
    return true;
}

// Keeps the file that could not be read under a free name <file>.bad,
// <file>.bad.1, ... A hard link keeps the original in place until the rename
// replaces it; where links are refused, moving it aside is the fallback.
bool KeyFileStore::keepDamagedCopy(const std::filesystem::path& target) {
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) != 0) {
        return errno == ENOENT || fail("cannot look at " + target.string() + ": " + errnoText(errno));
    }
    constexpr int kTries = 100;
    for (int attempt = 0; attempt < kTries; ++attempt) {
        std::string copy = target.string() + ".bad";
        if (attempt > 0) {
            copy += "." + std::to_string(attempt);
        }
        if (::link(target.c_str(), copy.c_str()) == 0) {
            return true;
        }
        if (errno == EEXIST) {
            continue;
        }
        if (::access(copy.c_str(), F_OK) != 0 && ::rename(target.c_str(), copy.c_str()) == 0) {
            return true;
        }
        return fail("cannot keep the unusable settings file as " + copy + ": " + errnoText(errno));
    }
    return fail("cannot keep the unusable settings file " + target.string() + ": too many .bad copies already");
}

}  // namespace pelmora
