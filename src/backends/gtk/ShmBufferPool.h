#pragma once

#include <cairo.h>
#include <wayland-client.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace pelmora {

// A few shared-memory buffers of one size for one Wayland surface, each with
// a Cairo image on its own memory so that a frame is drawn straight into what
// the compositor reads. A buffer is lent to the compositor when attached and
// comes back with its release event; the buffers are made again only when
// the size changes. (Making, clearing and dropping a full-screen buffer for
// every frame, as a toolkit's surface does, costs far more than the frame.)
class ShmBufferPool {
public:
    struct Buffer {
        wl_buffer* buffer = nullptr;
        cairo_surface_t* image = nullptr;
        void* memory = nullptr;
        std::size_t bytes = 0;
        bool withCompositor = false;
        // Of an old size: dropped when the compositor gives it back.
        bool stale = false;
        ShmBufferPool* pool = nullptr;
    };

    // `released` runs whenever the compositor gives a buffer back.
    ShmBufferPool(wl_shm* shm, std::function<void()> released);
    ~ShmBufferPool();
    ShmBufferPool(const ShmBufferPool&) = delete;
    ShmBufferPool& operator=(const ShmBufferPool&) = delete;

    // A buffer of `width` x `height` pixels the compositor does not hold,
    // made if need be; null when all of them are with the compositor.
    // Throws when the memory cannot be had.
    Buffer* take(int width, int height);
    // The buffer is the compositor's until it releases it.
    static void lend(Buffer& buffer) { buffer.withCompositor = true; }
    // How many buffers were made in all: a count that stays put while the
    // size does shows that frames reuse them.
    long buffersMade() const { return made_; }

    static constexpr std::size_t kMostBuffers = 3;

private:
    static void onRelease(void* data, wl_buffer* buffer);
    static const wl_buffer_listener kListener;

    std::unique_ptr<Buffer> make(int width, int height);
    static void destroy(Buffer& buffer);
    void dropStale();

    wl_shm* shm_;
    std::function<void()> released_;
    std::vector<std::unique_ptr<Buffer>> buffers_;
    int width_ = 0;
    int height_ = 0;
    long made_ = 0;
};

}  // namespace pelmora
