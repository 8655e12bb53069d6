#include "BackBuffer.h"

#include <cairo-xlib.h>

#include <algorithm>

namespace pelmora {

BackBuffer::BackBuffer(Display* display, Window screenRoot, Visual* visual, int depth, int width, int height)
    : display_(display),
      screenRoot_(screenRoot),
      visual_(visual),
      depth_(static_cast<unsigned>(depth)),
      width_(std::max(width, 1)),
      height_(std::max(height, 1)) {
    create();
}

BackBuffer::~BackBuffer() { release(); }

void BackBuffer::resize(int width, int height) {
    release();
    width_ = std::max(width, 1);
    height_ = std::max(height, 1);
    create();
}

cairo_t* BackBuffer::beginFrame() {
    if (clientSide_ && !shm_ && !shmRefused_) {
        shm_ = ShmImage::create(display_, visual_, static_cast<int>(depth_), width_, height_);
        shmRefused_ = !shm_;
    }
    drawingShm_ = clientSide_ && shm_;
    return cairo_create(drawingShm_ ? shm_->surface() : surface_);
}

void BackBuffer::present(Window window) {
    if (drawingShm_) {
        shm_->present(window, gc_);
        return;
    }
    cairo_surface_flush(surface_);
    XCopyArea(display_, pixmap_, window, gc_, 0, 0, static_cast<unsigned>(width_), static_cast<unsigned>(height_), 0,
              0);
}

void BackBuffer::create() {
    pixmap_ = XCreatePixmap(display_, screenRoot_, static_cast<unsigned>(width_), static_cast<unsigned>(height_),
                            depth_);
    // Without this every copy asks the server for a NoExpose event that
    // nobody reads.
    XGCValues values{};
    values.graphics_exposures = False;
    gc_ = XCreateGC(display_, pixmap_, GCGraphicsExposures, &values);
    surface_ = cairo_xlib_surface_create(display_, pixmap_, visual_, width_, height_);
}

void BackBuffer::release() {
    shm_.reset();
    if (surface_ != nullptr) {
        cairo_surface_finish(surface_);
        cairo_surface_destroy(surface_);
        surface_ = nullptr;
    }
    if (gc_ != nullptr) {
        XFreeGC(display_, gc_);
        gc_ = nullptr;
    }
    if (pixmap_ != None) {
        XFreePixmap(display_, pixmap_);
        pixmap_ = None;
    }
}

}  // namespace pelmora
