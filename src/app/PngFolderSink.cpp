#include "PngFolderSink.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

#include "AtomicFile.h"
#include "WriteAll.h"

namespace pelmora {

namespace {

// Cairo's PNG writer hands its bytes here; the first failed write keeps its
// errno so that the message can say why (a full disk, a lost permission).
struct PngStream {
    int fd;
    int error = 0;
};

cairo_status_t writePngBytes(void* closure, const unsigned char* data, unsigned int length) {
    auto* stream = static_cast<PngStream*>(closure);
    if (!writeAll(stream->fd, data, length)) {
        stream->error = errno;
        return CAIRO_STATUS_WRITE_ERROR;
    }
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

PngFolderSink::PngFolderSink(std::filesystem::path folder, bool replace)
    : folder_(std::filesystem::absolute(folder).lexically_normal()), replace_(replace) {}

bool PngFolderSink::isFrameName(const std::string& name) {
    // frame-NNNNNN.png with at least six digits
    constexpr std::size_t kPrefix = 6;
    constexpr std::size_t kSuffix = 4;
    if (name.size() < kPrefix + 6 + kSuffix || name.compare(0, kPrefix, "frame-") != 0 ||
        name.compare(name.size() - kSuffix, kSuffix, ".png") != 0) {
        return false;
    }
    for (std::size_t i = kPrefix; i < name.size() - kSuffix; ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return false;
        }
    }
    return true;
}

std::string PngFolderSink::destination() const { return folder_.string(); }

bool PngFolderSink::open() {
    std::error_code ec;
    std::filesystem::create_directories(folder_, ec);
    if (ec || !std::filesystem::is_directory(folder_)) {
        error_ = "cannot make the folder " + folder_.string() + ": " +
                 (ec ? ec.message() : std::string("a file of that name is in the way"));
        return false;
    }
    // Frames a killed run left half written.
    AtomicFile::removeAbandoned(folder_, "frame-");
    return clearEarlierFrames();
}

bool PngFolderSink::clearEarlierFrames() {
    std::vector<std::filesystem::path> earlier;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
        if (isFrameName(it->path().filename().string())) {
            earlier.push_back(it->path());
        }
    }
    if (ec) {
        error_ = "cannot read the folder " + folder_.string() + ": " + ec.message();
        return false;
    }
    if (earlier.empty()) {
        return true;
    }
    if (!replace_) {
        error_ = folder_.string() + " already holds " + std::to_string(earlier.size()) +
                 " frames of an earlier recording; add --force to replace them, or choose another folder";
        return false;
    }
    for (const std::filesystem::path& file : earlier) {
        if (!std::filesystem::remove(file, ec) && ec) {
            error_ = "cannot remove the earlier frame " + file.string() + ": " + ec.message();
            return false;
        }
    }
    return true;
}

std::filesystem::path PngFolderSink::fileFor(int index) const {
    char name[32];
    std::snprintf(name, sizeof name, "frame-%06d.png", index);
    return folder_ / name;
}

bool PngFolderSink::write(cairo_surface_t* frame, int index) {
    AtomicFile file(fileFor(index));
    if (!file.create()) {
        error_ = file.error();
        return false;
    }
    PngStream stream{file.fd()};
    const cairo_status_t status = cairo_surface_write_to_png_stream(frame, writePngBytes, &stream);
    if (status != CAIRO_STATUS_SUCCESS) {
        error_ = "cannot write " + file.finalPath().string() + ": " +
                 (stream.error != 0 ? std::strerror(stream.error) : cairo_status_to_string(status));
        return false;
    }
    if (!file.commit()) {
        error_ = file.error();
        return false;
    }
    return true;
}

}  // namespace pelmora
