// How much of a line of text Direct2D and DirectWrite put on screen through a
// DC render target, the way Direct2DCanvas draws, with nothing of Pelmora in
// between. Prints, for each font size and text antialiasing mode, how many
// pixels the text lit in a memory bitmap and in a window:
//   text_probe.exe [family]   ->   size 12 grayscale: bitmap 115 window 115
// In a fresh Wine prefix, "Liberation Sans" lights pixels in both, while
// "Arial" and "Helvetica" (the default) light none anywhere: Wine's DirectWrite
// draws nothing for a family it does not hold, through either kind of DC.
#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>

#include "TopDownBitmap.h"

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 60;

struct Drawing {
    const wchar_t* family = L"Helvetica";
    ID2D1Factory* factory = nullptr;
    IDWriteFactory* writeFactory = nullptr;
};

// Black, then white "+8 -8" at `size` DIPs; true when EndDraw succeeded.
bool drawText(const Drawing& drawing, HDC dc, float size, D2D1_TEXT_ANTIALIAS_MODE mode) {
    const D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_IGNORE));
    ID2D1DCRenderTarget* target = nullptr;
    if (FAILED(drawing.factory->CreateDCRenderTarget(&properties, &target))) {
        return false;
    }
    const RECT area{0, 0, kWidth, kHeight};
    target->BindDC(dc, &area);
    ID2D1SolidColorBrush* brush = nullptr;
    target->CreateSolidColorBrush(D2D1::ColorF(1.0F, 1.0F, 1.0F, 1.0F), &brush);
    IDWriteTextFormat* format = nullptr;
    drawing.writeFactory->CreateTextFormat(drawing.family, nullptr, DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STYLE_NORMAL,
                                           DWRITE_FONT_STRETCH_NORMAL, size, L"", &format);
    target->BeginDraw();
    target->Clear(D2D1::ColorF(0.0F, 0.0F, 0.0F, 1.0F));
    target->SetTextAntialiasMode(mode);
    target->DrawText(L"+8 -8", 5, format, D2D1::RectF(4.0F, 4.0F, kWidth, kHeight), brush);
    const bool drawn = SUCCEEDED(target->EndDraw());
    format->Release();
    brush->Release();
    target->Release();
    return drawn;
}

// Pixels of `source` that are not black.
int litPixels(HDC source) {
    const pelmora::testing::TopDownBitmap copy(kWidth, kHeight);
    BitBlt(copy.dc(), 0, 0, kWidth, kHeight, source, 0, 0, SRCCOPY);
    GdiFlush();
    int lit = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            lit += copy.at(x, y) != 0 ? 1 : 0;
        }
    }
    return lit;
}

int inBitmap(const Drawing& drawing, float size, D2D1_TEXT_ANTIALIAS_MODE mode) {
    const pelmora::testing::TopDownBitmap bitmap(kWidth, kHeight);
    return drawText(drawing, bitmap.dc(), size, mode) ? litPixels(bitmap.dc()) : -1;
}

int inWindow(const Drawing& drawing, HWND window, float size, D2D1_TEXT_ANTIALIAS_MODE mode) {
    HDC dc = GetDC(window);
    const int lit = drawText(drawing, dc, size, mode) ? litPixels(dc) : -1;
    ReleaseDC(window, dc);
    return lit;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Drawing drawing;
    if (argc > 1) {
        drawing.family = argv[1];
    }
    if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, &drawing.factory)) ||
        FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                   reinterpret_cast<IUnknown**>(&drawing.writeFactory)))) {
        std::puts("no Direct2D or DirectWrite");
        return 1;
    }
    HWND window = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"text probe", WS_POPUP | WS_VISIBLE, 0, 0, kWidth,
                                  kHeight, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    UpdateWindow(window);
    const struct {
        D2D1_TEXT_ANTIALIAS_MODE mode;
        const char* name;
    } modes[] = {{D2D1_TEXT_ANTIALIAS_MODE_DEFAULT, "default"},
                 {D2D1_TEXT_ANTIALIAS_MODE_CLEARTYPE, "cleartype"},
                 {D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE, "grayscale"},
                 {D2D1_TEXT_ANTIALIAS_MODE_ALIASED, "aliased"}};
    for (const float size : {12.0F, 24.0F}) {
        for (const auto& mode : modes) {
            std::printf("size %g %s: bitmap %d window %d\n", static_cast<double>(size), mode.name,
                        inBitmap(drawing, size, mode.mode), inWindow(drawing, window, size, mode.mode));
        }
    }
    DestroyWindow(window);
    drawing.writeFactory->Release();
    drawing.factory->Release();
    return 0;
}
