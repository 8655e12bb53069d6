#pragma once

#include <X11/Xlib.h>
#include <X11/extensions/XShm.h>
#include <cairo.h>

#include <memory>

namespace pelmora {

// A frame drawn by Cairo in the hack's own memory and handed to the X server
// through a shared-memory segment (MIT-SHM): the server copies it onto the
// window without the pixels crossing the socket, and renders nothing itself.
// Only for a local server and a 24-bit TrueColor visual in the usual byte
// order, where Cairo's RGB24 pixels are the server's.
class ShmImage {
public:
    // Null when the server, the visual or the segment does not allow it.
    static std::unique_ptr<ShmImage> create(Display* display, Visual* visual, int depth, int width, int height);
    ~ShmImage();
    ShmImage(const ShmImage&) = delete;
    ShmImage& operator=(const ShmImage&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    // An image surface on the shared pixels, owned by this object.
    cairo_surface_t* surface() const { return surface_; }
    // Puts the whole image on `drawable`. The caller waits for the server
    // (XSync) before drawing the next frame into the same memory.
    void present(Drawable drawable, GC gc);

private:
    ShmImage(Display* display, int width, int height);
    bool attach(Visual* visual, int depth);

    Display* display_;
    int width_;
    int height_;
    XShmSegmentInfo segment_{};
    XImage* image_ = nullptr;
    bool attached_ = false;
    cairo_surface_t* surface_ = nullptr;
};

}  // namespace pelmora
