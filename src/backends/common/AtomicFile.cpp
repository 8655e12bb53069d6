#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "MessageText.h"

namespace pelmora {

namespace {

// Tries this many names before giving up; a clash means a file left by a
// killed run that happened to have the same process id.
constexpr int kNameAttempts = 100;

std::string shown(const std::filesystem::path& path) { return pathForMessage(path.string()); }

int openFile(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }

// The rename is only durable once the folder's entry is on disk too. A
// folder that cannot be synced still holds the new file, so this is best
// effort.
void syncFolder(const FileSystemCalls& calls, const std::filesystem::path& folder) {
    const int fd = calls.open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd >= 0) {
        calls.fsync(fd);
        calls.close(fd);
    }
}

}  // namespace

const FileSystemCalls& FileSystemCalls::system() {
    static const FileSystemCalls calls{openFile, ::fsync, ::rename, ::close};
    return calls;
}

AtomicFile::AtomicFile(const std::filesystem::path& finalPath, std::string purpose, const FileSystemCalls& calls)
    : final_(std::filesystem::absolute(finalPath).lexically_normal()), purpose_(std::move(purpose)), calls_(calls) {}

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::failWith(const std::string& what, int error) {
    error_ = what + ": " + std::strerror(error);
    return false;
}

bool AtomicFile::create(mode_t mode) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        char tail[64];
        std::snprintf(tail, sizeof tail, ".%ld-%d.", static_cast<long>(::getpid()), attempt);
        std::filesystem::path candidate =
            final_.parent_path() / ("." + final_.filename().string() + tail + purpose_ + std::string(kMark));
        // O_EXCL: a file that happens to have this name is never taken over.
        const int fd = calls_.open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (fd >= 0) {
            fd_ = fd;
            temporary_ = std::move(candidate);
            created_ = true;
            return true;
        }
        if (errno == ENOENT) {
            error_ = "cannot write " + shown(final_) + ": the folder " + shown(final_.parent_path()) +
                     " does not exist";
            return false;
        }
        if (errno != EEXIST && errno != ELOOP) {
            return failWith("cannot write in " + shown(final_.parent_path()), errno);
        }
    }
    error_ = "cannot find a free temporary name beside " + shown(final_);
    return false;
}

bool AtomicFile::closeFile() {
    if (fd_ < 0) {
        return true;
    }
    const int result = calls_.close(fd_);
    fd_ = -1;
    // Some file systems report a full disk only when the file is closed.
    if (result != 0 && errno != EINTR) {
        return failWith("cannot write " + shown(temporary_), errno);
    }
    return true;
}

bool AtomicFile::commit() {
    if (!created_) {
        return false;
    }
    if (fd_ >= 0 && calls_.fsync(fd_) != 0 && errno != EINVAL) {
        const int error = errno;
        closeFile();
        return failWith("cannot write " + shown(temporary_), error);
    }
    if (!closeFile()) {
        return false;
    }
    if (calls_.rename(temporary_.c_str(), final_.c_str()) != 0) {
        return failWith("cannot put " + shown(final_) + " in place", errno);
    }
    created_ = false;
    syncFolder(calls_, final_.parent_path());
    return true;
}

void AtomicFile::discard() {
    closeFile();
    if (created_) {
        ::unlink(temporary_.c_str());
        created_ = false;
    }
}

bool AtomicFile::isTemporaryName(std::string_view name, std::string_view finalNameStart) {
    return name.size() > 1 + finalNameStart.size() + kMark.size() && name.front() == '.' &&
           name.substr(1, finalNameStart.size()) == finalNameStart &&
           name.substr(name.size() - kMark.size()) == kMark;
}

void AtomicFile::removeAbandoned(const std::filesystem::path& folder, std::string_view finalNameStart) {
    std::error_code error;
    std::filesystem::directory_iterator entries(folder, error);
    if (error) {
        return;
    }
    const auto now = std::chrono::system_clock::now();
    for (const auto& entry : entries) {
        struct stat info {};
        if (!isTemporaryName(entry.path().filename().string(), finalNameStart) ||
            ::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            continue;
        }
        const auto modified = std::chrono::system_clock::from_time_t(info.st_mtim.tv_sec);
        if (now - modified > kAbandonedAfter) {
            ::unlink(entry.path().c_str());
        }
    }
}

void AtomicFile::removeAbandonedBeside(const std::filesystem::path& finalPath) {
    const std::filesystem::path full = std::filesystem::absolute(finalPath).lexically_normal();
    removeAbandoned(full.parent_path(), full.filename().string() + ".");
}

}  // namespace pelmora
