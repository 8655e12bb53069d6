#pragma once

#include <cairo.h>

#include <cstddef>
#include <string>

#include "Canvas.h"
#include "LabelLayout.h"
#include "QuadStroke.h"
#include "SpritePainter.h"

namespace pelmora {

// Draws the view's operations on a Cairo context, one frame at a time. The
// view's y axis grows upwards from the lower left; Cairo's grows downwards,
// so every coordinate is flipped against the height given with the frame.
// Text stays upright, its lower-left corner at the given point. Outside a
// frame nothing is drawn.
class CairoCanvas : public Canvas {
public:
    using FontMap = LabelLayout::FontMap;

    explicit CairoCanvas(FontMap fontMap = FontMap::Shared);

    // Draws on `cr` (not owned), with `height` the view's height in the
    // context's user units, until endFrame(), which lets go of `cr`.
    void beginFrame(cairo_t* cr, double height);
    void endFrame();

    // Discs and labels drawn once into small cached images and placed at
    // whole device pixels (on by default), or each drawn anew.
    void setSpriteCaching(bool on) { spriteCaching_ = on; }
    // See SpritePainter::setDirect().
    void setDirectSprites(bool on) { sprites_.setDirect(on); }
    // Lines stroked by QuadStroke straight into the pixels rather than by
    // Cairo (off by default): within a few levels of Cairo's picture, at a
    // fraction of the cost. Only for contexts without a clip, as a frame's
    // bands are.
    void setQuadStroke(bool on) { quadStroke_ = on; }
    // The bytes the cached sprites hold.
    std::size_t spriteBytes() const { return sprites_.bytes(); }

    void setColor(const Color& color) override;
    void fillRect(const Rect& rect) override;
    void setDefaultLineWidth(double width) override;
    void strokeLine(Point from, Point to) override;
    void fillOval(const Rect& rect) override;
    void strokeOval(const Rect& rect) override;
    void drawText(const std::string& text, Point at, const TextAttributes& attributes) override;

private:
    double flipY(double y) const { return height_ - y; }
    bool flipped(const Rect& rect, Box& box) const;

    // The frame's context, between beginFrame() and endFrame() only.
    cairo_t* cr_ = nullptr;
    double height_ = 0.0;
    Color color_ = Color::black();
    double lineWidth_ = 1.0;
    bool spriteCaching_ = true;
    bool quadStroke_ = false;
    LabelLayout labels_;
    SpritePainter sprites_;
    QuadStroke lines_;
};

}  // namespace pelmora
