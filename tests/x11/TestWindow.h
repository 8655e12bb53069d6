#pragma once

#include <X11/Xlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pelmora::testing {

struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
};

// What a picture shows, counted by the kind of pixel.
struct PixelCensus {
    int total = 0;
    int background = 0;  // the pulsing dark blue: red 0.03, green 0.05, blue 0 to 0.5
    int sphere = 0;      // the charge colours: red and green, no blue
    int white = 0;       // field lines and text

    void add(Rgb pixel);
};

// The picture of a screen or a window, row by row from the top.
class Picture {
public:
    Picture(int width, int height, std::vector<Rgb> pixels);
    int width() const { return width_; }
    int height() const { return height_; }
    Rgb at(int x, int y) const { return pixels_[static_cast<std::size_t>(y * width_ + x)]; }
    // Counts the pixels of the rectangle with top-left corner (x, y).
    PixelCensus census(int x, int y, int width, int height) const;
    PixelCensus census() const { return census(0, 0, width_, height_); }

private:
    int width_;
    int height_;
    std::vector<Rgb> pixels_;
};

// A client of the test's own X server: a mapped top-level window that the
// hack is told to draw into, and a reader of pixels.
class TestWindow {
public:
    // A window of width x height at (x, y) on the screen; keep the windows of
    // one test apart, since covered pixels cannot be read back.
    TestWindow(const std::string& display, int x, int y, int width, int height);
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    bool ok() const { return display_ != nullptr && window_ != None; }
    Window id() const { return window_; }
    Display* display() const { return display_; }

    void fillWith(unsigned long pixel);
    void resize(int width, int height);
    void destroy();
    Picture picture() const;
    // The whole screen with every window on it.
    Picture screen() const;

private:
    Picture grab(Window window, int width, int height) const;

    Display* display_ = nullptr;
    Window window_ = None;
    int width_;
    int height_;
};

}  // namespace pelmora::testing
