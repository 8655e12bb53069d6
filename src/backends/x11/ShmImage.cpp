#include "ShmImage.h"

#include <X11/Xutil.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>

namespace pelmora {

namespace {

// Set while attaching: a server that cannot reach the segment (another
// machine, another IPC namespace) answers with an error, which only means
// that this way is closed.
bool attachFailed = false;

int noteAttachError(Display*, XErrorEvent*) {
    attachFailed = true;
    return 0;
}

bool usualTrueColor(const Visual* visual, int depth) {
    return (depth == 24 || depth == 32) && visual->red_mask == 0xff0000UL && visual->green_mask == 0x00ff00UL &&
           visual->blue_mask == 0x0000ffUL;
}

}  // namespace

std::unique_ptr<ShmImage> ShmImage::create(Display* display, Visual* visual, int depth, int width, int height) {
    if (XShmQueryExtension(display) == False || !usualTrueColor(visual, depth)) {
        return nullptr;
    }
    std::unique_ptr<ShmImage> image(new ShmImage(display, std::max(width, 1), std::max(height, 1)));
    if (!image->attach(visual, depth)) {
        return nullptr;
    }
    return image;
}

ShmImage::ShmImage(Display* display, int width, int height) : display_(display), width_(width), height_(height) {}

bool ShmImage::attach(Visual* visual, int depth) {
    image_ = XShmCreateImage(display_, visual, static_cast<unsigned>(depth), ZPixmap, nullptr, &segment_,
                             static_cast<unsigned>(width_), static_cast<unsigned>(height_));
    if (image_ == nullptr || image_->bits_per_pixel != 32 || image_->byte_order != LSBFirst ||
        image_->bytes_per_line != cairo_format_stride_for_width(CAIRO_FORMAT_RGB24, width_)) {
        return false;
    }
    const auto bytes = static_cast<std::size_t>(image_->bytes_per_line) * static_cast<std::size_t>(height_);
    segment_.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (segment_.shmid < 0) {
        return false;
    }
    void* memory = shmat(segment_.shmid, nullptr, 0);
    // Marked for removal at once: it goes when both sides have detached,
    // however this process ends.
    shmctl(segment_.shmid, IPC_RMID, nullptr);
    if (memory == reinterpret_cast<void*>(-1)) {
        segment_.shmid = -1;
        return false;
    }
    segment_.shmaddr = static_cast<char*>(memory);
    image_->data = segment_.shmaddr;
    segment_.readOnly = True;

    XSync(display_, False);
    attachFailed = false;
    const auto previous = XSetErrorHandler(noteAttachError);
    XShmAttach(display_, &segment_);
    XSync(display_, False);
    XSetErrorHandler(previous);
    if (attachFailed) {
        return false;
    }
    attached_ = true;
    surface_ = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(segment_.shmaddr),
                                                   CAIRO_FORMAT_RGB24, width_, height_, image_->bytes_per_line);
    return cairo_surface_status(surface_) == CAIRO_STATUS_SUCCESS;
}

ShmImage::~ShmImage() {
    if (surface_ != nullptr) {
        cairo_surface_finish(surface_);
        cairo_surface_destroy(surface_);
    }
    if (attached_) {
        XShmDetach(display_, &segment_);
        XSync(display_, False);
    }
    if (image_ != nullptr) {
        image_->data = nullptr;  // the segment is not XDestroyImage's to free
        XDestroyImage(image_);
    }
    if (segment_.shmaddr != nullptr) {
        shmdt(segment_.shmaddr);
    }
}

void ShmImage::present(Drawable drawable, GC gc) {
    cairo_surface_flush(surface_);
    XShmPutImage(display_, drawable, gc, image_, 0, 0, 0, 0, static_cast<unsigned>(width_),
                 static_cast<unsigned>(height_), False);
}

}  // namespace pelmora
