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
// not pass them on. Control characters are refused for every store.
bool usableKeyName(std::string_view key) {
    if (key.empty() || key.front() == ' ' || key.back() == ' ' || key.find_first_of("=[]") != std::string_view::npos) {
        return false;
    }
    return g_utf8_validate(key.data(), static_cast<gssize>(key.size()), nullptr) != 0;
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
    } else if (info.st_size > KeyFileStore::kLargestFile) {
        // Reading and parsing hundreds of megabytes would take seconds and
        // gigabytes, only to find what its size already says.
        result.reason = std::to_string(info.st_size) + " bytes, more than a settings file ever holds (" +
                        std::to_string(KeyFileStore::kLargestFile) + ")";
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

KeyFileStore::KeyFileStore(std::filesystem::path file, SettingsWarningSink warn, const FileSystemCalls& calls)
    : TextSettingsStore(pathForMessage(file.string()), std::move(warn)),
      file_(std::move(file)),
      calls_(calls),
      keyFile_(g_key_file_new()) {
    load();
}

KeyFileStore::KeyFileStore(SettingsWarningSink warn, std::string unsaveableReason)
    : TextSettingsStore(std::string(), std::move(warn), std::move(unsaveableReason)),
      calls_(FileSystemCalls::system()),
      keyFile_(g_key_file_new()) {}

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
    warn(where() + ": not usable as a settings file (" + excerpt(reason) +
          "); using the default settings; the file stays as it is until settings are saved, then it is kept as " +
          file_.filename().string() + ".bad");
}

bool KeyFileStore::keepsKeyName(std::string_view key) const { return usableKeyName(key); }

TextSettingsStore::SavedText KeyFileStore::savedText(std::string_view key) {
    const std::string name(key);
    gchar* raw = g_key_file_get_value(keyFile_, kGroup, name.c_str(), nullptr);
    if (raw == nullptr) {
        return {};
    }
    SavedText saved{true, true, raw};
    g_free(raw);
    return saved;
}

bool KeyFileStore::saveTexts(const std::map<std::string, std::string, std::less<>>& texts) {
    for (const auto& [key, text] : texts) {
        g_key_file_set_value(keyFile_, kGroup, key.c_str(), text.c_str());
    }
    return saveFile();
}

// Writes a complete temporary file beside the target and renames it over the
// target, so a reader or a crash sees either the old file or the new one,
// never a torn one.
bool KeyFileStore::saveFile() {
    const std::filesystem::path target = resolveLink(file_);
    const std::filesystem::path folder = target.parent_path();
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
        return fail("cannot create the settings folder " + pathForMessage(folder.string()) + ": " + errnoText(errno));
    }
    gsize size = 0;
    gchar* data = g_key_file_to_data(keyFile_, &size, nullptr);
    const std::string contents(data, size);
    g_free(data);

    // A hand-made file keeps its permissions; a new one is the user's alone.
    struct stat existing {};
    const bool replacing = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);
    AtomicFile file(target, "save", calls_);
    if (!file.create(replacing ? (existing.st_mode & 0777) : 0600)) {
        return fail("cannot write settings: " + file.error());
    }
    if (replacing) {
        ::fchmod(file.fd(), existing.st_mode & 0777);
    }
    if (!writeAll(file.fd(), contents.data(), contents.size())) {
        return fail("cannot write settings to " + pathForMessage(file.temporaryPath().string()) + ": " +
                    errnoText(errno));
    }
    if (damaged_ && !keepDamagedCopy(target)) {
        return false;
    }
    if (!file.commit()) {
        return fail("cannot save settings: " + file.error());
    }
    AtomicFile::removeAbandonedBeside(target);
    damaged_ = false;
    return true;
}

// Keeps the file that could not be read under a free name <file>.bad,
// <file>.bad.1, ... A hard link keeps the original in place until the rename
// replaces it; where links are refused, moving it aside is the fallback.
bool KeyFileStore::keepDamagedCopy(const std::filesystem::path& target) {
    struct stat existing {};
    if (::lstat(target.c_str(), &existing) != 0) {
        return errno == ENOENT || fail("cannot look at " + pathForMessage(target.string()) + ": " + errnoText(errno));
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
        return fail("cannot keep the unusable settings file as " + pathForMessage(copy) + ": " + errnoText(errno));
    }
    return fail("cannot keep the unusable settings file " + pathForMessage(target.string()) +
                ": too many .bad copies already");
}

}  // namespace pelmora
