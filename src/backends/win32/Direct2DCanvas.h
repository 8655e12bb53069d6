#pragma once

#include <windows.h>

#include <string>

#include "Canvas.h"

struct ID2D1Factory;
struct ID2D1DCRenderTarget;
struct ID2D1SolidColorBrush;
struct IDWriteFactory;
struct IDWriteTextFormat;

namespace pelmora {

// Draws the view's operations with Direct2D and DirectWrite through a DC
// render target, which draws into top-level and child windows alike (an HWND
// target into a child window stays black under Wine). Coordinates are the
// view's: device-independent units with the origin at the lower left and y
// growing upwards; the target's DPI scales them to pixels. Both libraries are
// loaded, not linked, so that a system without them still runs the saver far
// enough for it to say why it cannot draw.
class Direct2DCanvas : public Canvas {
public:
    Direct2DCanvas();
    ~Direct2DCanvas() override;
    Direct2DCanvas(const Direct2DCanvas&) = delete;
    Direct2DCanvas& operator=(const Direct2DCanvas&) = delete;

    // False when Direct2D or DirectWrite is not available at all; failure()
    // then says which and why, in a line for the user.
    bool usable() const { return factory_ != nullptr && writeFactory_ != nullptr; }
    const std::string& failure() const { return failure_; }

    // Starts a frame on `dc`, whose `pixels` rectangle becomes the view at
    // `dpi` (96 = one unit per pixel). Drawing outside a frame does nothing.
    bool beginFrame(HDC dc, const RECT& pixels, float dpi);
    // Ends the frame; false when it could not be drawn (the target is made
    // anew for the next one).
    bool endFrame();

    // The view's size in its own units for a window of `pixels` at `dpi`.
    static double toUnits(LONG pixels, float dpi);

    void setColor(const Color& color) override;
    void fillRect(const Rect& rect) override;
    void setDefaultLineWidth(double width) override;
    void strokeLine(Point from, Point to) override;
    void fillOval(const Rect& rect) override;
    void strokeOval(const Rect& rect) override;
    void drawText(const std::string& text, Point at, const TextAttributes& attributes) override;

private:
    bool makeTarget();
    void releaseTarget();
    bool useFont(const Font& font);
    std::wstring resolveFamily(const std::string& name) const;
    void applyColor(const Color& color);

    void loadLibraries();

    HMODULE direct2D_ = nullptr;
    HMODULE directWrite_ = nullptr;
    std::string failure_;
    ID2D1Factory* factory_ = nullptr;
    IDWriteFactory* writeFactory_ = nullptr;
    ID2D1DCRenderTarget* target_ = nullptr;
    ID2D1SolidColorBrush* brush_ = nullptr;
    IDWriteTextFormat* textFormat_ = nullptr;
    Font font_;
    Color color_ = Color::black();
    double lineWidth_ = 1.0;
    double height_ = 0.0;
    bool drawing_ = false;
};

}  // namespace pelmora
