#pragma once

#include <windows.h>

#include <cstdint>

namespace pelmora::testing {

// A 32-bit top-down DIB selected into a memory DC of its own, for drawing
// into and reading back pixel by pixel (0xRRGGBB in the low bytes).
class TopDownBitmap {
public:
    TopDownBitmap(int width, int height) : width_(width) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_ = CreateCompatibleDC(nullptr);
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels_ = static_cast<std::uint32_t*>(bits);
        previous_ = SelectObject(dc_, bitmap_);
    }
    ~TopDownBitmap() {
        SelectObject(dc_, previous_);
        DeleteObject(bitmap_);
        DeleteDC(dc_);
    }
    TopDownBitmap(const TopDownBitmap&) = delete;
    TopDownBitmap& operator=(const TopDownBitmap&) = delete;

    bool valid() const { return bitmap_ != nullptr && pixels_ != nullptr; }
    HDC dc() const { return dc_; }
    // Column x, row y (row 0 at the top); call GdiFlush() after drawing.
    std::uint32_t at(int x, int y) const { return pixels_[y * width_ + x] & 0xFFFFFFU; }

private:
    int width_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint32_t* pixels_ = nullptr;
};

}  // namespace pelmora::testing
