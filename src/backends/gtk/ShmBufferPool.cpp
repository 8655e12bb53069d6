#include "ShmBufferPool.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

namespace pelmora {

namespace {

// Closes a descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

std::runtime_error systemError(const char* what) {
    return std::runtime_error(std::string("cannot make a frame buffer: ") + what + ": " + std::strerror(errno));
}

}  // namespace

const wl_buffer_listener ShmBufferPool::kListener = {&ShmBufferPool::onRelease};

ShmBufferPool::ShmBufferPool(wl_shm* shm, std::function<void()> released)
    : shm_(shm), released_(std::move(released)) {}

ShmBufferPool::~ShmBufferPool() {
    for (auto& buffer : buffers_) {
        destroy(*buffer);
    }
}

void ShmBufferPool::destroy(Buffer& buffer) {
    cairo_surface_destroy(buffer.image);
    wl_buffer_destroy(buffer.buffer);
    munmap(buffer.memory, buffer.bytes);
}

void ShmBufferPool::onRelease(void* data, wl_buffer*) {
    auto* buffer = static_cast<Buffer*>(data);
    buffer->withCompositor = false;
    ShmBufferPool& pool = *buffer->pool;
    pool.dropStale();
    if (pool.released_) {
        pool.released_();
    }
}

void ShmBufferPool::dropStale() {
    const auto gone = std::remove_if(buffers_.begin(), buffers_.end(), [](const std::unique_ptr<Buffer>& buffer) {
        if (buffer->stale && !buffer->withCompositor) {
            destroy(*buffer);
            return true;
        }
        return false;
    });
    buffers_.erase(gone, buffers_.end());
}

std::unique_ptr<ShmBufferPool::Buffer> ShmBufferPool::make(int width, int height) {
    // XRGB8888 is Cairo's RGB24: 32 bits a pixel in native order, and every
    // compositor takes it.
    const int stride = cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, width);
    if (stride <= 0) {
        throw std::runtime_error("cannot make a frame buffer of " + std::to_string(width) + " pixels a row");
    }
    const std::size_t bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
    // The protocol gives a pool's size in 32 signed bits.
    if (height <= 0 || bytes > static_cast<std::size_t>(INT32_MAX)) {
        throw std::runtime_error("cannot make a frame buffer of " + std::to_string(width) + "x" +
                                 std::to_string(height) + " pixels");
    }
    const FileDescriptor fd(memfd_create("pelmora-frame", MFD_CLOEXEC));
    if (fd.get() < 0) {
        throw systemError("memfd_create");
    }
    if (ftruncate(fd.get(), static_cast<off_t>(bytes)) != 0) {
        throw systemError("ftruncate");
    }
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
    if (memory == MAP_FAILED) {
        throw systemError("mmap");
    }
    auto buffer = std::make_unique<Buffer>();
    buffer->memory = memory;
    buffer->bytes = bytes;
    buffer->pool = this;
    // The compositor maps the file itself; the pool object is needed only to
    // carve the one buffer out of it.
    wl_shm_pool* shmPool = wl_shm_create_pool(shm_, fd.get(), static_cast<std::int32_t>(bytes));
    buffer->buffer = wl_shm_pool_create_buffer(shmPool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(shmPool);
    wl_buffer_add_listener(buffer->buffer, &kListener, buffer.get());
    buffer->image = cairo_image_surface_create_for_data(static_cast<unsigned char*>(memory), CAIRO_FORMAT_RGB24, width,
                                                        height, stride);
    ++made_;
    return buffer;
}

ShmBufferPool::Buffer* ShmBufferPool::take(int width, int height) {
    if (width != width_ || height != height_) {
        for (auto& buffer : buffers_) {
            buffer->stale = true;
        }
        dropStale();
        width_ = width;
        height_ = height;
    }
    for (auto& buffer : buffers_) {
        if (!buffer->stale && !buffer->withCompositor) {
            return buffer.get();
        }
    }
    const auto fresh = std::count_if(buffers_.begin(), buffers_.end(),
                                     [](const std::unique_ptr<Buffer>& buffer) { return !buffer->stale; });
    if (static_cast<std::size_t>(fresh) >= kMostBuffers) {
        return nullptr;
    }
    buffers_.push_back(make(width, height));
    return buffers_.back().get();
}

}  // namespace pelmora
