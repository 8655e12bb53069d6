#include "SpritePainter.h"

#include <cmath>

#include "Truncation.h"

namespace pelmora {
namespace {

// Sprites larger than this are drawn directly: no frame repeats them often.
constexpr int kLargestSprite = 1024;

int pixelsUp(double value) { return truncateToInt32(std::ceil(value)); }

// A fresh sprite surface of at least width x height pixels, in whole device
// scales; the pixel size it really has goes back in width and height.
CairoSurfacePtr spriteSurface(cairo_t* cr, const PixelGrid& grid, int& width, int& height) {
    const int logicalWidth = pixelsUp(width / grid.scaleX);
    const int logicalHeight = pixelsUp(height / grid.scaleY);
    CairoSurfacePtr surface(cairo_surface_create_similar(cairo_get_group_target(cr), CAIRO_CONTENT_COLOR_ALPHA,
                                                         logicalWidth, logicalHeight));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
        return nullptr;
    }
    cairo_surface_set_device_scale(surface.get(), grid.scaleX, grid.scaleY);
    width = truncateToInt32(logicalWidth * grid.scaleX);
    height = truncateToInt32(logicalHeight * grid.scaleY);
    return surface;
}

// A context on a sprite whose user space has the target's scale, with the
// user origin at pixel (originX, originY) of the sprite, and the target's
// rendering choices.
CairoContextPtr spriteContext(cairo_surface_t* surface, cairo_t* target, const PixelGrid& grid, double originX,
                              double originY) {
    CairoContextPtr c(cairo_create(surface));
    cairo_matrix_t matrix;
    cairo_matrix_init(&matrix, grid.ctm.xx, 0.0, 0.0, grid.ctm.yy, originX / grid.scaleX, originY / grid.scaleY);
    cairo_set_matrix(c.get(), &matrix);
    cairo_set_antialias(c.get(), cairo_get_antialias(target));
    cairo_set_tolerance(c.get(), cairo_get_tolerance(target));
    cairo_set_fill_rule(c.get(), cairo_get_fill_rule(target));
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_surface_get_font_options(cairo_get_group_target(target), options);
    cairo_set_font_options(c.get(), options);
    cairo_font_options_destroy(options);
    return c;
}

// The key's part for a position: its fractions of a pixel across and down.
double fractionsOf(Snapped x, Snapped y) { return static_cast<double>(x.fraction * 1024 + y.fraction); }

}  // namespace

std::optional<PixelGrid> SpritePainter::gridOf(cairo_t* cr) {
    const cairo_surface_t* surface = cairo_get_group_target(cr);
    if (surface != madeFor_) {
        sprites_.clear();
        madeFor_ = surface;
    }
    return PixelGrid::of(cr);
}

void SpritePainter::place(cairo_t* cr, const SpriteCache::Sprite& sprite, const PixelGrid& grid, double pixelX,
                          double pixelY) const {
    // Sprites sit at whole pixels well inside int (snapped() keeps them
    // within 1e8), so the pixel can be named directly.
    if (direct_ && blitSpriteOver(cairo_get_group_target(cr), sprite.surface.get(), sprite.rows,
                                  truncateToInt32(pixelX) + sprite.offsetX, truncateToInt32(pixelY) + sprite.offsetY)) {
        return;
    }
    // Saved and restored: the matrix is set aside and the source replaced
    // only for the sprite.
    cairo_save(cr);
    cairo_identity_matrix(cr);
    const double x = (pixelX + sprite.offsetX - grid.offsetX) / grid.scaleX;
    const double y = (pixelY + sprite.offsetY - grid.offsetY) / grid.scaleY;
    cairo_set_source_surface(cr, sprite.surface.get(), x, y);
    cairo_new_path(cr);
    cairo_rectangle(cr, x, y, sprite.width / grid.scaleX, sprite.height / grid.scaleY);
    cairo_fill(cr);
    cairo_restore(cr);
}

bool SpritePainter::fillOval(cairo_t* cr, const Box& box, const Color& color) {
    const auto grid = gridOf(cr);
    if (!grid) {
        return false;
    }
    const auto x = snapped(grid->pixelX(box.left));
    const auto y = snapped(grid->pixelY(box.top));
    if (!x || !y) {
        return false;
    }
    const double ovalWidth = box.right - box.left;
    const double ovalHeight = box.bottom - box.top;
    SpriteCache::Key key;
    key.text = "disc";
    key.values = {colorComponent(color.red), colorComponent(color.green), colorComponent(color.blue),
                  colorComponent(color.alpha), ovalWidth, ovalHeight, grid->ctm.xx, grid->ctm.yy, grid->scaleX,
                  grid->scaleY, 0.0, fractionsOf(*x, *y)};
    const SpriteCache::Sprite* sprite = sprites_.find(key);
    if (sprite == nullptr) {
        sprite = makeDisc(cr, key, *grid, ovalWidth, ovalHeight, *x, *y);
    }
    if (sprite == nullptr) {
        return false;
    }
    place(cr, *sprite, *grid, x->pixel, y->pixel);
    return true;
}

const SpriteCache::Sprite* SpritePainter::makeDisc(cairo_t* cr, const SpriteCache::Key& key, const PixelGrid& grid,
                                                   double ovalWidth, double ovalHeight, Snapped x, Snapped y) {
    const double pixelWidth = ovalWidth * grid.ctm.xx * grid.scaleX;
    const double pixelHeight = ovalHeight * grid.ctm.yy * grid.scaleY;
    if (!(pixelWidth < kLargestSprite) || !(pixelHeight < kLargestSprite)) {
        return nullptr;
    }
    // Room for the anti-aliased edge on each side.
    constexpr int kMargin = 2;
    SpriteCache::Sprite sprite;
    sprite.width = pixelsUp(pixelWidth) + 2 * kMargin + 1;
    sprite.height = pixelsUp(pixelHeight) + 2 * kMargin + 1;
    sprite.surface = spriteSurface(cr, grid, sprite.width, sprite.height);
    if (sprite.surface == nullptr) {
        return nullptr;
    }
    sprite.offsetX = -kMargin;
    sprite.offsetY = -kMargin;
    const CairoContextPtr c = spriteContext(sprite.surface.get(), cr, grid, kMargin + x.fraction / kPixelFractions,
                                            kMargin + y.fraction / kPixelFractions);
    appendOval(c.get(), 0.0, 0.0, ovalWidth, ovalHeight);
    cairo_set_source_rgba(c.get(), key.values[0], key.values[1], key.values[2], key.values[3]);
    cairo_fill(c.get());
    return &sprites_.store(key, std::move(sprite));
}

bool SpritePainter::showLabel(cairo_t* cr, LabelLayout& labels, const std::string& text, double left, double bottom,
                              const Color& ink) {
    const auto grid = gridOf(cr);
    if (!grid) {
        return false;
    }
    const LabelLayout::Extents& extents =
        labels.extents(text, {grid->ctm.xx, grid->ctm.yy, grid->scaleX, grid->scaleY});
    const auto x = snapped(grid->pixelX(left - extents.left));
    const auto y = snapped(grid->pixelY(bottom - extents.bottom));
    if (!x || !y) {
        return false;
    }
    const Font& font = labels.font();
    SpriteCache::Key key;
    key.text = "label\n" + text + '\n' + font.name;
    key.values = {colorComponent(ink.red), colorComponent(ink.green), colorComponent(ink.blue),
                  colorComponent(ink.alpha), font.size, grid->ctm.xx, grid->ctm.yy, grid->scaleX, grid->scaleY,
                  fractionsOf(*x, *y)};
    const SpriteCache::Sprite* sprite = sprites_.find(key);
    if (sprite == nullptr) {
        sprite = makeLabel(cr, labels, key, text, extents, *grid, *x, *y);
    }
    if (sprite == nullptr) {
        return false;
    }
    place(cr, *sprite, *grid, x->pixel, y->pixel);
    return true;
}

const SpriteCache::Sprite* SpritePainter::makeLabel(cairo_t* cr, LabelLayout& labels, const SpriteCache::Key& key,
                                                    const std::string& text, const LabelLayout::Extents& extents,
                                                    const PixelGrid& grid, Snapped x, Snapped y) {
    const double unitX = grid.ctm.xx * grid.scaleX / PANGO_SCALE;
    const double unitY = grid.ctm.yy * grid.scaleY / PANGO_SCALE;
    const double inkLeft = extents.ink.x * unitX;
    const double inkTop = extents.ink.y * unitY;
    const double inkWidth = extents.ink.width * unitX;
    const double inkHeight = extents.ink.height * unitY;
    if (!(inkWidth < kLargestSprite) || !(inkHeight < kLargestSprite) || !(std::fabs(inkLeft) < kLargestSprite) ||
        !(std::fabs(inkTop) < kLargestSprite)) {
        return nullptr;
    }
    // Room for the anti-aliased edge and the glyphs' hinting on each side.
    constexpr int kMargin = 3;
    SpriteCache::Sprite sprite;
    sprite.offsetX = truncateToInt32(std::floor(inkLeft)) - kMargin;
    sprite.offsetY = truncateToInt32(std::floor(inkTop)) - kMargin;
    sprite.width = pixelsUp(inkWidth) + 2 * kMargin + 2;
    sprite.height = pixelsUp(inkHeight) + 2 * kMargin + 2;
    sprite.surface = spriteSurface(cr, grid, sprite.width, sprite.height);
    if (sprite.surface == nullptr) {
        return nullptr;
    }
    const CairoContextPtr c = spriteContext(sprite.surface.get(), cr, grid, -sprite.offsetX + x.fraction / kPixelFractions,
                                            -sprite.offsetY + y.fraction / kPixelFractions);
    cairo_move_to(c.get(), 0.0, 0.0);
    cairo_set_source_rgba(c.get(), key.values[0], key.values[1], key.values[2], key.values[3]);
    labels.showOn(c.get(), text, cr);
    return &sprites_.store(key, std::move(sprite));
}

}  // namespace pelmora
