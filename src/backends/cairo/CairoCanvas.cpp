#include "CairoCanvas.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <optional>

#include "LineClip.h"

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

CairoCanvas::CairoCanvas() : impl_(new Impl) {}

CairoCanvas::~CairoCanvas() { delete impl_; }

void CairoCanvas::target(cairo_t* cr, double height) {
    impl_->cr = cr;
    impl_->height = std::isfinite(height) ? height : 0.0;
    if (cr == nullptr) {
        return;
    }
    if (impl_->layout == nullptr) {
        impl_->layout = pango_cairo_create_layout(cr);
    } else {
        pango_cairo_update_layout(cr, impl_->layout);
    }
    impl_->applyColor(impl_->color);
}

void CairoCanvas::setColor(const Color& color) {
    impl_->color = color;
    if (impl_->cr != nullptr) {
        impl_->applyColor(color);
    }
}

void CairoCanvas::fillRect(const Rect& rect) {
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
    // A width Cairo cannot use keeps the one before; a negative one draws as
    // thin as Cairo allows.
    if (std::isfinite(width)) {
        impl_->lineWidth = std::min(std::max(width, 0.0), kLimit);
    }
}

void CairoCanvas::strokeLine(Point from, Point to) {
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
    cairo_new_path(cr);
    cairo_move_to(cr, segment->x0, segment->y0);
    cairo_line_to(cr, segment->x1, segment->y1);
    cairo_set_line_width(cr, impl_->lineWidth);
    cairo_stroke(cr);
}

void CairoCanvas::fillOval(const Rect& rect) {
    const auto r = impl_->flipped(rect);
    if (impl_->cr == nullptr || !r || !r->insideLimit()) {
        return;
    }
    appendOval(impl_->cr, r->left, r->top, r->right - r->left, r->bottom - r->top);
    cairo_fill(impl_->cr);
}

void CairoCanvas::strokeOval(const Rect& rect) {
    const auto r = impl_->flipped(rect);
    if (impl_->cr == nullptr || !r || !r->insideLimit()) {
        return;
    }
    appendOval(impl_->cr, r->left, r->top, r->right - r->left, r->bottom - r->top);
    cairo_set_line_width(impl_->cr, impl_->lineWidth);
    cairo_stroke(impl_->cr);
}

void CairoCanvas::drawText(const std::string& text, Point at, const TextAttributes& attributes) {
    if (impl_->cr == nullptr || text.empty() || text.size() > kLongestText || !std::isfinite(at.x) || !std::isfinite(at.y) ||
        !insideLimit(at.x) || !insideLimit(impl_->flipY(at.y))) {
        return;
    }
    if (!impl_->useFont(attributes.font)) {
        return;
    }
    // Pango insists on UTF-8 and complains about anything else.
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr) != 0) {
        pango_layout_set_text(impl_->layout, text.data(), static_cast<int>(text.size()));
    } else {
        gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
        pango_layout_set_text(impl_->layout, valid, -1);
        g_free(valid);
    }
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
