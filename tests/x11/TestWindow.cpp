#include "TestWindow.h"

#include <X11/Xutil.h>

#include <bit>
#include <utility>

namespace pelmora::testing {

void PixelCensus::add(Rgb pixel) {
    ++total;
    const int red = pixel.red;
    const int green = pixel.green;
    const int blue = pixel.blue;
    // 0.03 and 0.05 of 255 are 7.65 and 12.75; allow for rounding either way.
    if (red >= 6 && red <= 9 && green >= 11 && green <= 14 && blue <= 129) {
        ++background;
    } else if (red + green >= 200 && blue <= 40) {
        ++sphere;
    } else if (red >= 200 && green >= 200 && blue >= 200) {
        ++white;
    }
}

Picture::Picture(int width, int height, std::vector<Rgb> pixels)
    : width_(width), height_(height), pixels_(std::move(pixels)) {}

PixelCensus Picture::census(int x, int y, int width, int height) const {
    PixelCensus census;
    for (int row = y; row < y + height && row < height_; ++row) {
        for (int column = x; column < x + width && column < width_; ++column) {
            census.add(at(column, row));
        }
    }
    return census;
}

TestWindow::TestWindow(const std::string& display, int x, int y, int width, int height)
    : width_(width), height_(height) {
    display_ = XOpenDisplay(display.c_str());
    if (display_ == nullptr) {
        return;
    }
    const int screen = DefaultScreen(display_);
    window_ = XCreateSimpleWindow(display_, RootWindow(display_, screen), x, y, static_cast<unsigned>(width),
                                  static_cast<unsigned>(height), 0, BlackPixel(display_, screen),
                                  BlackPixel(display_, screen));
    XMapWindow(display_, window_);
    XSync(display_, False);
}

TestWindow::~TestWindow() {
    if (display_ != nullptr) {
        XCloseDisplay(display_);
    }
}

void TestWindow::fillWith(unsigned long pixel) {
    XSetWindowBackground(display_, window_, pixel);
    XClearWindow(display_, window_);
    XSync(display_, False);
}

void TestWindow::resize(int width, int height) {
    XResizeWindow(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display_, False);
    width_ = width;
    height_ = height;
}

void TestWindow::destroy() {
    XDestroyWindow(display_, window_);
    XSync(display_, False);
    window_ = None;
}

Picture TestWindow::picture() const { return grab(window_, width_, height_); }

Picture TestWindow::screen() const {
    const int screen = DefaultScreen(display_);
    return grab(RootWindow(display_, screen), DisplayWidth(display_, screen), DisplayHeight(display_, screen));
}

Picture TestWindow::grab(Window window, int width, int height) const {
    XImage* image = XGetImage(display_, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              AllPlanes, ZPixmap);
    std::vector<Rgb> pixels;
    if (image == nullptr) {
        return Picture(0, 0, {});
    }
    const auto channel = [](unsigned long pixel, unsigned long mask) {
        return static_cast<std::uint8_t>((pixel & mask) >> std::countr_zero(mask));
    };
    pixels.reserve(static_cast<std::size_t>(width * height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            pixels.push_back({channel(pixel, image->red_mask), channel(pixel, image->green_mask),
                              channel(pixel, image->blue_mask)});
        }
    }
    XDestroyImage(image);
    return Picture(width, height, std::move(pixels));
}

}  // namespace pelmora::testing
