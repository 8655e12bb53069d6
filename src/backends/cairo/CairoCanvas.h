#pragma once

#include <cairo.h>

#include <cstdint>
#include <string>

#include "Canvas.h"

namespace pelmora {

// Draws the view's operations on a Cairo context. The view's y axis grows
// upwards from the lower left; Cairo's grows downwards, so every coordinate
// is flipped against the height given to target(). Text stays upright, its
// lower-left corner at the given point, laid out with Pango.
class CairoCanvas : public Canvas {
public:
    // Own: text is laid out with a font map of this canvas's own rather than
    // the calling thread's, so the canvas may draw on another thread.
    enum class FontMap { Shared, Own };

    explicit CairoCanvas(FontMap fontMap = FontMap::Shared);
    ~CairoCanvas() override;
    CairoCanvas(const CairoCanvas&) = delete;
    CairoCanvas& operator=(const CairoCanvas&) = delete;

    // Draw on `cr` from now on (not owned), with `height` the view's height in
    // the context's user units. Call again for every new context or size.
    void target(cairo_t* cr, double height);

    void setColor(const Color& color) override;
    void fillRect(const Rect& rect) override;
    void setDefaultLineWidth(double width) override;
    void strokeLine(Point from, Point to) override;
    void fillOval(const Rect& rect) override;
    void strokeOval(const Rect& rect) override;
    void drawText(const std::string& text, Point at, const TextAttributes& attributes) override;

    // Discs and labels drawn once into small cached images and placed at
    // whole device pixels (on by default), or each drawn anew.
    void setSpriteCaching(bool on);

    // Sprites copied straight into the pixels of an image surface rather
    // than placed through Cairo, for the same picture at less cost (off by
    // default). Only for contexts without a clip, as a frame's bands are.
    void setDirectSprites(bool on);

    // With more than one band, frames on an image surface are recorded and
    // drawn by finishFrame() in that many horizontal bands at once, each on
    // a thread of its own. The host then calls finishFrame() after the view's
    // frame step, before drawing anything else on the context.
    void setBands(std::int32_t bands);
    void finishFrame();

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace pelmora
