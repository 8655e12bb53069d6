#pragma once

#include <cairo.h>

#include <optional>
#include <string>

#include "CairoShapes.h"
#include "LabelLayout.h"
#include "PixelGrid.h"
#include "SpriteCache.h"

namespace pelmora {

// Paints discs and labels from sprites: each drawn once into a small image
// and then placed at whole device pixels. A sprite is made per shape,
// colour, drawing scale and fraction of a pixel, so a placed sprite covers
// exactly the pixels a direct drawing would, up to the rounding of one more
// composite.
class SpritePainter {
public:
    // Sprites copied straight into the pixels of an image surface rather
    // than placed through Cairo, for the same picture at less cost (off by
    // default). Only for contexts without a clip, as a frame's bands are.
    void setDirect(bool on) { direct_ = on; }

    // Fills the ellipse inscribed in `box` on `cr` in `color`; false, with
    // nothing drawn, where it must be drawn directly.
    bool fillOval(cairo_t* cr, const Box& box, const Color& color);

    // Shows `text` in the labels' current font and `ink` with the bottom
    // left of its logical box at (left, bottom) in cr's user space; false,
    // with nothing drawn, where it must be drawn directly.
    bool showLabel(cairo_t* cr, LabelLayout& labels, const std::string& text, double left, double bottom,
                   const Color& ink);

    std::size_t bytes() const { return sprites_.bytes(); }

private:
    std::optional<PixelGrid> gridOf(cairo_t* cr);
    void place(cairo_t* cr, const SpriteCache::Sprite& sprite, const PixelGrid& grid, double pixelX,
               double pixelY) const;
    const SpriteCache::Sprite* makeDisc(cairo_t* cr, const SpriteCache::Key& key, const PixelGrid& grid,
                                        double ovalWidth, double ovalHeight, Snapped x, Snapped y);
    const SpriteCache::Sprite* makeLabel(cairo_t* cr, LabelLayout& labels, const SpriteCache::Key& key,
                                         const std::string& text, const LabelLayout::Extents& extents,
                                         const PixelGrid& grid, Snapped x, Snapped y);

    SpriteCache sprites_;
    // The surface the sprites were made for, only ever compared: a new
    // target gets new sprites.
    const cairo_surface_t* madeFor_ = nullptr;
    bool direct_ = false;
};

}  // namespace pelmora
