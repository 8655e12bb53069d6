#include "CairoCanvas.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <optional>

#include "BandedReplay.h"
#include "LineClip.h"
#include "SpriteBlit.h"
#include "SpriteCache.h"
#include "Truncation.h"

namespace pelmora {
namespace {

// Cairo keeps coordinates in 24.8 fixed point, so anything much beyond a few
// million units wraps around silently. Everything handed to Cairo is first
// brought inside this box, which is far larger than any screen even at a
// high device scale.
constexpr double kLimit = 1.0e6;

// Control-point distance of the four cubic Bézier arcs that make an ellipse,
// as a fraction of its radii: 4/3 (sqrt(2) - 1).
constexpr double kBezierCircle = 0.55228474983079339840;

// Font sizes and texts beyond these are no label anyone can read, and they
// keep Pango's integer units and lengths in range.
constexpr double kLargestFontSize = 10000.0;
constexpr std::size_t kLongestText = 100000;

bool finite(double a, double b, double c, double d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

bool insideLimit(double value) { return value >= -kLimit && value <= kLimit; }

// Cairo clamps colour components itself but would let NaN through.
double colorComponent(double value) { return std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0); }

struct Box {
    double left, top, right, bottom;
    bool insideLimit() const {
        return left >= -kLimit && right <= kLimit && top >= -kLimit && bottom <= kLimit;
    }
};

// The ellipse inscribed in the rectangle, built from Bézier arcs rather than
// a scaled circle so that a rectangle of zero width or height cannot make the
// matrix singular (which would put the context in an error state).
void appendOval(cairo_t* cr, double left, double top, double width, double height) {
    const double rx = width / 2.0;
    const double ry = height / 2.0;
    const double cx = left + rx;
    const double cy = top + ry;
    const double kx = kBezierCircle * rx;
    const double ky = kBezierCircle * ry;
    cairo_new_path(cr);
    cairo_move_to(cr, cx + rx, cy);
    cairo_curve_to(cr, cx + rx, cy + ky, cx + kx, cy + ry, cx, cy + ry);
    cairo_curve_to(cr, cx - kx, cy + ry, cx - rx, cy + ky, cx - rx, cy);
    cairo_curve_to(cr, cx - rx, cy - ky, cx - kx, cy - ry, cx, cy - ry);
    cairo_curve_to(cr, cx + kx, cy - ry, cx + rx, cy - ky, cx + rx, cy);
    cairo_close_path(cr);
}

// How user space meets the pixels of the surface drawn on: only a positive
// scale and a translation, and whole device scales and offsets, let a shape
// be moved by whole pixels without changing its pixels.
struct PixelGrid {
    cairo_matrix_t ctm;
    double scaleX, scaleY;
    double offsetX, offsetY;

    double pixelX(double userX) const { return (ctm.xx * userX + ctm.x0) * scaleX + offsetX; }
    double pixelY(double userY) const { return (ctm.yy * userY + ctm.y0) * scaleY + offsetY; }
};

bool whole(double value) { return value == std::floor(value); }

std::optional<PixelGrid> pixelGridOf(cairo_t* cr) {
    PixelGrid grid{};
    cairo_get_matrix(cr, &grid.ctm);
    if (grid.ctm.xy != 0.0 || grid.ctm.yx != 0.0 || !(grid.ctm.xx > 0.0) || !(grid.ctm.yy > 0.0) ||
        cairo_get_operator(cr) != CAIRO_OPERATOR_OVER) {
        return std::nullopt;
    }
    cairo_surface_t* target = cairo_get_group_target(cr);
    cairo_surface_get_device_scale(target, &grid.scaleX, &grid.scaleY);
    cairo_surface_get_device_offset(target, &grid.offsetX, &grid.offsetY);
    if (!(grid.scaleX >= 1.0) || !(grid.scaleY >= 1.0) || !whole(grid.scaleX) || !whole(grid.scaleY) ||
        !whole(grid.offsetX) || !whole(grid.offsetY)) {
        return std::nullopt;
    }
    return grid;
}

// A pixel coordinate as its whole pixel and its fraction in 1/256 pixel.
struct Snapped {
    double pixel;
    int fraction;
};

constexpr double kFractions = 256.0;
constexpr double kLargestPixel = 1.0e8;

std::optional<Snapped> snapped(double pixel) {
    if (!(std::fabs(pixel) < kLargestPixel)) {
        return std::nullopt;
    }
    double base = std::floor(pixel);
    int fraction = truncateToInt32(std::round((pixel - base) * kFractions));
    if (fraction == static_cast<int>(kFractions)) {
        base += 1.0;
        fraction = 0;
    }
    return Snapped{base, fraction};
}

// Sprites larger than this are drawn directly: no frame repeats them often.
constexpr int kLargestSprite = 1024;

int pixelsUp(double value) { return truncateToInt32(std::ceil(value)); }

// A fresh sprite surface of at least width x height pixels, in whole device
// scales; the pixel size it really has goes back in width and height.
cairo_surface_t* spriteSurface(cairo_t* cr, const PixelGrid& grid, int& width, int& height) {
    const int logicalWidth = pixelsUp(width / grid.scaleX);
    const int logicalHeight = pixelsUp(height / grid.scaleY);
    cairo_surface_t* surface =
        cairo_surface_create_similar(cairo_get_group_target(cr), CAIRO_CONTENT_COLOR_ALPHA, logicalWidth, logicalHeight);
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    cairo_surface_set_device_scale(surface, grid.scaleX, grid.scaleY);
    width = truncateToInt32(logicalWidth * grid.scaleX);
    height = truncateToInt32(logicalHeight * grid.scaleY);
    return surface;
}

// A context on a sprite whose user space has the target's scale, with the
// user origin at pixel (originX, originY) of the sprite, and the target's
// rendering choices.
cairo_t* spriteContext(cairo_surface_t* surface, cairo_t* target, const PixelGrid& grid, double originX,
                       double originY) {
    cairo_t* c = cairo_create(surface);
    cairo_matrix_t matrix;
    cairo_matrix_init(&matrix, grid.ctm.xx, 0.0, 0.0, grid.ctm.yy, originX / grid.scaleX, originY / grid.scaleY);
    cairo_set_matrix(c, &matrix);
    cairo_set_antialias(c, cairo_get_antialias(target));
    cairo_set_tolerance(c, cairo_get_tolerance(target));
    cairo_set_fill_rule(c, cairo_get_fill_rule(target));
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_surface_get_font_options(cairo_get_group_target(target), options);
    cairo_set_font_options(c, options);
    cairo_font_options_destroy(options);
    return c;
}

}  // namespace

struct CairoCanvas::Impl {
    cairo_t* cr = nullptr;
    double height = 0.0;
    Color color = Color::black();
    double lineWidth = 1.0;
    // One layout and font description serve every label: a label then costs
    // a set_text and a layout of a few glyphs, not a new Pango context.
    PangoLayout* layout = nullptr;
    PangoFontDescription* fontDescription = nullptr;
    Font font;
    bool spriteCaching = true;
    bool directSprites = false;
    bool ownFontMap = false;
    std::unique_ptr<BandedReplay> banded;
    bool recording = false;
    cairo_surface_t* spriteTarget = nullptr;
    SpriteCache sprites;
    // A label's logical box from the layout origin, per text and font.
    struct LabelBox {
        double left, bottom;
        PangoRectangle ink;
    };
    std::map<SpriteCache::Key, LabelBox> labelBoxes;

    ~Impl() {
        if (layout != nullptr) {
            g_object_unref(layout);
        }
        if (fontDescription != nullptr) {
            pango_font_description_free(fontDescription);
        }
    }

    double flipY(double y) const { return height - y; }

    void applyColor(const Color& c) const {
        cairo_set_source_rgba(cr, colorComponent(c.red), colorComponent(c.green), colorComponent(c.blue),
                              colorComponent(c.alpha));
    }

    // The rectangle's edges in Cairo's coordinates (top-left origin), or
    // nothing when it has a non-finite value. Each edge is flipped on its
    // own, so a huge height cannot swallow a small offset.
    std::optional<Box> flipped(const Rect& r) const {
        if (!finite(r.x, r.y, r.width, r.height)) {
            return std::nullopt;
        }
        const double x1 = r.x + r.width;
        const double y1 = r.y + r.height;
        return Box{std::min(r.x, x1), flipY(std::max(r.y, y1)), std::max(r.x, x1), flipY(std::min(r.y, y1))};
    }

    // The grid of the current target, when sprites may stand in for shapes;
    // a new target surface gets new sprites.
    std::optional<PixelGrid> spriteGrid() {
        if (!spriteCaching) {
            return std::nullopt;
        }
        cairo_surface_t* surface = cairo_get_group_target(cr);
        if (surface != spriteTarget) {
            sprites.clear();
            labelBoxes.clear();
            spriteTarget = surface;
        }
        return pixelGridOf(cr);
    }

    void placeSprite(const SpriteCache::Sprite& sprite, const PixelGrid& grid, double pixelX, double pixelY) const {
        // Sprites sit at whole pixels well inside int (snapped() keeps them
        // within 1e8), so the pixel can be named directly.
        if (directSprites && blitSpriteOver(cairo_get_group_target(cr), sprite.surface, sprite.rows,
                                            truncateToInt32(pixelX) + sprite.offsetX,
                                            truncateToInt32(pixelY) + sprite.offsetY)) {
            return;
        }
        cairo_matrix_t saved;
        cairo_get_matrix(cr, &saved);
        cairo_identity_matrix(cr);
        const double x = (pixelX + sprite.offsetX - grid.offsetX) / grid.scaleX;
        const double y = (pixelY + sprite.offsetY - grid.offsetY) / grid.scaleY;
        cairo_set_source_surface(cr, sprite.surface, x, y);
        cairo_new_path(cr);
        cairo_rectangle(cr, x, y, sprite.width / grid.scaleX, sprite.height / grid.scaleY);
        cairo_fill(cr);
        cairo_set_matrix(cr, &saved);
        applyColor(color);
    }

    // Fills the oval from its sprite; false when it must be drawn directly.
    bool discFromSprite(const Box& r) {
        const auto grid = spriteGrid();
        if (!grid) {
            return false;
        }
        const auto x = snapped(grid->pixelX(r.left));
        const auto y = snapped(grid->pixelY(r.top));
        if (!x || !y) {
            return false;
        }
        const double ovalWidth = r.right - r.left;
        const double ovalHeight = r.bottom - r.top;
        SpriteCache::Key key;
        key.text = "disc";
        key.values = {colorComponent(color.red), colorComponent(color.green), colorComponent(color.blue),
                      colorComponent(color.alpha), ovalWidth, ovalHeight, grid->ctm.xx, grid->ctm.yy, grid->scaleX,
                      grid->scaleY, 0.0, static_cast<double>(x->fraction * 1024 + y->fraction)};
        const SpriteCache::Sprite* sprite = sprites.find(key);
        if (sprite == nullptr) {
            sprite = makeDiscSprite(key, *grid, ovalWidth, ovalHeight, *x, *y);
        }
        if (sprite == nullptr) {
            return false;
        }
        placeSprite(*sprite, *grid, x->pixel, y->pixel);
        return true;
    }

    const SpriteCache::Sprite* makeDiscSprite(const SpriteCache::Key& key, const PixelGrid& grid, double ovalWidth,
                                              double ovalHeight, Snapped x, Snapped y) {
        const double pixelWidth = ovalWidth * grid.ctm.xx * grid.scaleX;
        const double pixelHeight = ovalHeight * grid.ctm.yy * grid.scaleY;
        if (!(pixelWidth < kLargestSprite) || !(pixelHeight < kLargestSprite)) {
            return nullptr;
        }
        // Room for the anti-aliased edge on each side.
        constexpr int margin = 2;
        SpriteCache::Sprite sprite;
        sprite.width = pixelsUp(pixelWidth) + 2 * margin + 1;
        sprite.height = pixelsUp(pixelHeight) + 2 * margin + 1;
        sprite.surface = spriteSurface(cr, grid, sprite.width, sprite.height);
        if (sprite.surface == nullptr) {
            return nullptr;
        }
        sprite.offsetX = -margin;
        sprite.offsetY = -margin;
        cairo_t* c = spriteContext(sprite.surface, cr, grid, margin + x.fraction / kFractions,
                                   margin + y.fraction / kFractions);
        appendOval(c, 0.0, 0.0, ovalWidth, ovalHeight);
        cairo_set_source_rgba(c, key.values[0], key.values[1], key.values[2], key.values[3]);
        cairo_fill(c);
        cairo_destroy(c);
        return &sprites.store(key, sprite);
    }

    // Sets the layout's text, made valid UTF-8 first: Pango complains about
    // anything else.
    void setLayoutText(const std::string& text) const {
        if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr) != 0) {
            pango_layout_set_text(layout, text.data(), static_cast<int>(text.size()));
        } else {
            gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
            pango_layout_set_text(layout, valid, -1);
            g_free(valid);
        }
    }

    // Draws the label from its sprite; false when it must be drawn directly.
    bool labelFromSprite(const std::string& text, Point at, const TextAttributes& attributes) {
        const auto grid = spriteGrid();
        if (!grid) {
            return false;
        }
        SpriteCache::Key boxKey;
        boxKey.text = text + '\n' + attributes.font.name;
        boxKey.values = {attributes.font.size, grid->ctm.xx, grid->ctm.yy, grid->scaleX, grid->scaleY};
        auto found = labelBoxes.find(boxKey);
        if (found == labelBoxes.end()) {
            if (labelBoxes.size() >= 512) {
                labelBoxes.clear();
            }
            setLayoutText(text);
            PangoRectangle logical{};
            LabelBox box{};
            pango_layout_get_extents(layout, &box.ink, &logical);
            box.left = static_cast<double>(logical.x) / PANGO_SCALE;
            box.bottom = static_cast<double>(logical.y + logical.height) / PANGO_SCALE;
            found = labelBoxes.emplace(boxKey, box).first;
        }
        const LabelBox& box = found->second;
        const auto x = snapped(grid->pixelX(at.x - box.left));
        const auto y = snapped(grid->pixelY(flipY(at.y) - box.bottom));
        if (!x || !y) {
            return false;
        }
        const Color& ink = attributes.foregroundColor;
        SpriteCache::Key key;
        key.text = "label\n" + boxKey.text;
        key.values = {colorComponent(ink.red), colorComponent(ink.green), colorComponent(ink.blue),
                      colorComponent(ink.alpha), attributes.font.size, grid->ctm.xx, grid->ctm.yy, grid->scaleX,
                      grid->scaleY, static_cast<double>(x->fraction * 1024 + y->fraction)};
        const SpriteCache::Sprite* sprite = sprites.find(key);
        if (sprite == nullptr) {
            sprite = makeLabelSprite(key, text, box, *grid, *x, *y);
        }
        if (sprite == nullptr) {
            return false;
        }
        placeSprite(*sprite, *grid, x->pixel, y->pixel);
        return true;
    }

    const SpriteCache::Sprite* makeLabelSprite(const SpriteCache::Key& key, const std::string& text,
                                               const LabelBox& box, const PixelGrid& grid, Snapped x, Snapped y) {
        const double unitX = grid.ctm.xx * grid.scaleX / PANGO_SCALE;
        const double unitY = grid.ctm.yy * grid.scaleY / PANGO_SCALE;
        const double inkLeft = box.ink.x * unitX;
        const double inkTop = box.ink.y * unitY;
        const double inkWidth = box.ink.width * unitX;
        const double inkHeight = box.ink.height * unitY;
        if (!(inkWidth < kLargestSprite) || !(inkHeight < kLargestSprite) || !(std::fabs(inkLeft) < kLargestSprite) ||
            !(std::fabs(inkTop) < kLargestSprite)) {
            return nullptr;
        }
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
        cairo_t* c = spriteContext(sprite.surface, cr, grid, -sprite.offsetX + x.fraction / kFractions,
                                   -sprite.offsetY + y.fraction / kFractions);
        setLayoutText(text);
        pango_cairo_update_layout(c, layout);
        cairo_move_to(c, 0.0, 0.0);
        cairo_set_source_rgba(c, key.values[0], key.values[1], key.values[2], key.values[3]);
        pango_cairo_show_layout(c, layout);
        cairo_destroy(c);
        pango_cairo_update_layout(cr, layout);
        return &sprites.store(key, sprite);
    }

    bool useFont(const Font& wanted) {
        if (!std::isfinite(wanted.size) || wanted.size <= 0.0 || wanted.size > kLargestFontSize) {
            return false;
        }
        if (fontDescription != nullptr && wanted == font) {
            return true;
        }
        if (fontDescription == nullptr) {
            fontDescription = pango_font_description_new();
        }
        pango_font_description_set_family(fontDescription, wanted.name.c_str());
        // Absolute size: the font's size is in the view's units, as with
        // AppKit, not in points at Pango's 96 dpi.
        pango_font_description_set_absolute_size(fontDescription, wanted.size * PANGO_SCALE);
        pango_layout_set_font_description(layout, fontDescription);
        font = wanted;
        return true;
    }
};

CairoCanvas::CairoCanvas(FontMap fontMap) : impl_(new Impl) { impl_->ownFontMap = fontMap == FontMap::Own; }

void CairoCanvas::setDirectSprites(bool on) { impl_->directSprites = on; }

void CairoCanvas::setBands(std::int32_t bands) {
    impl_->recording = false;
    impl_->banded = bands > 1 ? std::make_unique<BandedReplay>(bands) : nullptr;
}

void CairoCanvas::finishFrame() {
    if (impl_->recording) {
        impl_->banded->finish();
    }
}

CairoCanvas::~CairoCanvas() { delete impl_; }

void CairoCanvas::target(cairo_t* cr, double height) {
    impl_->cr = cr;
    impl_->height = std::isfinite(height) ? height : 0.0;
    impl_->recording = false;
    if (cr == nullptr) {
        return;
    }
    if (impl_->banded && BandedReplay::suits(cr)) {
        impl_->banded->begin(cr, impl_->height);
        impl_->recording = true;
    }
    if (impl_->layout == nullptr && impl_->ownFontMap) {
        PangoFontMap* fontMap = pango_cairo_font_map_new();
        PangoContext* context = pango_font_map_create_context(fontMap);
        pango_cairo_update_context(cr, context);
        impl_->layout = pango_layout_new(context);
        g_object_unref(context);
        g_object_unref(fontMap);
    } else if (impl_->layout == nullptr) {
        impl_->layout = pango_cairo_create_layout(cr);
    } else {
        pango_cairo_update_layout(cr, impl_->layout);
    }
    impl_->applyColor(impl_->color);
}

void CairoCanvas::setSpriteCaching(bool on) { impl_->spriteCaching = on; }

void CairoCanvas::setColor(const Color& color) {
    if (impl_->recording) {
        impl_->banded->recorder().setColor(color);
        return;
    }
    impl_->color = color;
    if (impl_->cr != nullptr) {
        impl_->applyColor(color);
    }
}

void CairoCanvas::fillRect(const Rect& rect) {
    if (impl_->recording) {
        impl_->banded->recorder().fillRect(rect);
        return;
    }
    const auto r = impl_->flipped(rect);
    if (impl_->cr == nullptr || !r) {
        return;
    }
    const double left = std::max(r->left, -kLimit);
    const double right = std::min(r->right, kLimit);
    const double top = std::max(r->top, -kLimit);
    const double bottom = std::min(r->bottom, kLimit);
    if (left >= right || top >= bottom) {
        return;
    }
    cairo_new_path(impl_->cr);
    cairo_rectangle(impl_->cr, left, top, right - left, bottom - top);
    cairo_fill(impl_->cr);
}

void CairoCanvas::setDefaultLineWidth(double width) {
    if (impl_->recording) {
        impl_->banded->recorder().setDefaultLineWidth(width);
        return;
    }
    // A width Cairo cannot use keeps the one before; a negative one draws as
    // thin as Cairo allows.
    if (std::isfinite(width)) {
        impl_->lineWidth = std::min(std::max(width, 0.0), kLimit);
    }
}

void CairoCanvas::strokeLine(Point from, Point to) {
    if (impl_->recording) {
        impl_->banded->recorder().strokeLine(from, to);
        return;
    }
    // One sphere with a runaway field must not stop the rest of the frame:
    // a NaN would never reach Cairo, and a huge line is cut to its visible part.
    if (impl_->cr == nullptr || !finite(from.x, from.y, to.x, to.y)) {
        return;
    }
    const auto segment = clipToSquare({from.x, impl_->flipY(from.y), to.x, impl_->flipY(to.y)}, kLimit);
    if (!segment) {
        return;
    }
    cairo_t* cr = impl_->cr;
    cairo_set_line_width(cr, impl_->lineWidth);
    cairo_new_path(cr);
    cairo_move_to(cr, segment->x0, segment->y0);
    cairo_line_to(cr, segment->x1, segment->y1);
    cairo_stroke(cr);
}

void CairoCanvas::fillOval(const Rect& rect) {
    if (impl_->recording) {
        impl_->banded->recorder().fillOval(rect);
        return;
    }
    const auto r = impl_->flipped(rect);
    if (impl_->cr == nullptr || !r || !r->insideLimit()) {
        return;
    }
    if (impl_->discFromSprite(*r)) {
        return;
    }
    appendOval(impl_->cr, r->left, r->top, r->right - r->left, r->bottom - r->top);
    cairo_fill(impl_->cr);
}

void CairoCanvas::strokeOval(const Rect& rect) {
    if (impl_->recording) {
        impl_->banded->recorder().strokeOval(rect);
        return;
    }
    const auto r = impl_->flipped(rect);
    if (impl_->cr == nullptr || !r || !r->insideLimit()) {
        return;
    }
    // Outlines are stroked anew: the stroker's offset curves round a little
    // differently at another position, and where outlines pile up the
    // sprite's picture drifted by more than the 2 levels allowed.
    appendOval(impl_->cr, r->left, r->top, r->right - r->left, r->bottom - r->top);
    cairo_set_line_width(impl_->cr, impl_->lineWidth);
    cairo_stroke(impl_->cr);
}

void CairoCanvas::drawText(const std::string& text, Point at, const TextAttributes& attributes) {
    if (impl_->recording) {
        impl_->banded->recorder().drawText(text, at, attributes);
        return;
    }
    if (impl_->cr == nullptr || text.empty() || text.size() > kLongestText || !std::isfinite(at.x) || !std::isfinite(at.y) ||
        !insideLimit(at.x) || !insideLimit(impl_->flipY(at.y))) {
        return;
    }
    if (!impl_->useFont(attributes.font)) {
        return;
    }
    if (impl_->labelFromSprite(text, at, attributes)) {
        return;
    }
    impl_->setLayoutText(text);
    PangoRectangle logical{};
    pango_layout_get_extents(impl_->layout, nullptr, &logical);
    // The bottom of the logical rectangle (descent included) sits on the
    // point, as AppKit's drawAtPoint: does in an unflipped view.
    const double left = at.x - static_cast<double>(logical.x) / PANGO_SCALE;
    const double top = impl_->flipY(at.y) - static_cast<double>(logical.y + logical.height) / PANGO_SCALE;
    cairo_t* cr = impl_->cr;
    cairo_new_path(cr);
    cairo_move_to(cr, left, top);
    impl_->applyColor(attributes.foregroundColor);
    pango_cairo_show_layout(cr, impl_->layout);
    impl_->applyColor(impl_->color);
}

}  // namespace pelmora
