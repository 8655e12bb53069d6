#include "PartFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace pelmora {

namespace {

// Tries this many names before giving up; a clash means a file left by a
// killed run that happened to have the same process id.
constexpr int kNameAttempts = 100;

}  // namespace

PartFile::PartFile(const std::filesystem::path& finalPath, std::string suffix)
    : final_(std::filesystem::absolute(finalPath).lexically_normal()), suffix_(std::move(suffix)) {}

PartFile::~PartFile() { discard(); }

bool PartFile::create() {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        char tail[64];
        std::snprintf(tail, sizeof tail, ".%ld-%d.%s", static_cast<long>(::getpid()), attempt, suffix_.c_str());
        std::filesystem::path candidate = final_.parent_path() / ("." + final_.filename().string() + tail);
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            fd_ = fd;
            temporary_ = std::move(candidate);
            created_ = true;
            return true;
        }
        if (errno == ENOENT) {
            error_ = "cannot write " + final_.string() + ": the folder " + final_.parent_path().string() +
                     " does not exist";
            return false;
        }
        if (errno != EEXIST) {
            error_ = "cannot write in " + final_.parent_path().string() + ": " + std::strerror(errno);
            return false;
        }
    }
    error_ = "cannot find a free temporary name beside " + final_.string();
    return false;
}

bool PartFile::closeFile() {
    if (fd_ < 0) {
        return true;
    }
    const int result = ::close(fd_);
    fd_ = -1;
    // Some file systems report a full disk only when the file is closed.
    if (result != 0 && errno != EINTR) {
        error_ = "cannot write " + temporary_.string() + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool PartFile::commit() {
    if (!created_ || !closeFile()) {
        return false;
    }
    if (::rename(temporary_.c_str(), final_.c_str()) != 0) {
        error_ = "cannot put " + final_.string() + " in place: " + std::strerror(errno);
        return false;
    }
    created_ = false;
    return true;
}

void PartFile::discard() {
    closeFile();
    if (created_) {
        ::unlink(temporary_.c_str());
        created_ = false;
    }
}

}  // namespace pelmora
