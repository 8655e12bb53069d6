#pragma once

#include <X11/Xlib.h>
#include <cairo.h>

#include <memory>

#include "ShmImage.h"

namespace pelmora {

// An off-screen pixmap the frame is drawn into before one XCopyArea puts it
// on the window, so the window never shows a half-drawn frame. It lives on
// the window's screen with the window's depth and visual, but is not made
// from the window itself: a window that goes away then cannot take the
// pixmap (and the Cairo surface on it) down with it.
class BackBuffer {
public:
    BackBuffer(Display* display, Window screenRoot, Visual* visual, int depth, int width, int height);
    ~BackBuffer();
    BackBuffer(const BackBuffer&) = delete;
    BackBuffer& operator=(const BackBuffer&) = delete;

    // Makes a new pixmap of this size; the old contents are not kept, since
    // every frame repaints the whole view.
    void resize(int width, int height);
    int width() const { return width_; }
    int height() const { return height_; }

    // Whether the frames that follow are drawn in the hack's own memory and
    // handed over through shared memory, rather than drawn by the server on
    // the pixmap. Where shared memory cannot be used the pixmap stays.
    void setClientSide(bool clientSide) { clientSide_ = clientSide; }

    // A new Cairo context on the frame, to be destroyed when the frame is drawn.
    cairo_t* beginFrame();
    // Finishes Cairo's drawing and puts the frame onto `window`.
    void present(Window window);

private:
    void create();
    void release();

    Display* display_;
    Window screenRoot_;
    Visual* visual_;
    unsigned depth_;
    int width_;
    int height_;
    Pixmap pixmap_ = None;
    GC gc_ = nullptr;
    cairo_surface_t* surface_ = nullptr;
    bool clientSide_ = false;
    bool shmRefused_ = false;
    bool drawingShm_ = false;
    std::unique_ptr<ShmImage> shm_;
};

}  // namespace pelmora
