#include "CairoCanvas.h"

#include <algorithm>
#include <cmath>

#include "LineClip.h"

namespace pelmora {
namespace {

// Cairo keeps coordinates in 24.8 fixed point, so anything much beyond a few
// million units wraps around silently. Everything handed to Cairo is first
// brought inside this box, which is far larger than any screen even at a
// high device scale.
constexpr double kLimit = 1.0e6;

// Texts beyond this are no label anyone can read, and it keeps Pango's
// lengths in range.
constexpr std::size_t kLongestText = 100000;

bool finite(double a, double b, double c, double d) {
    return std::isfinite(a) && std::isfinite(b) && std::isfinite(c) && std::isfinite(d);
}

bool insideLimit(double value) { return value >= -kLimit && value <= kLimit; }

bool insideLimit(const Box& box) {
    return box.left >= -kLimit && box.right <= kLimit && box.top >= -kLimit && box.bottom <= kLimit;
}

}  // namespace

CairoCanvas::CairoCanvas(FontMap fontMap) : labels_(fontMap) {}

void CairoCanvas::beginFrame(cairo_t* cr, double height) {
    cr_ = cr;
    height_ = std::isfinite(height) ? height : 0.0;
    if (cr_ == nullptr) {
        return;
    }
    labels_.layOutFor(cr_);
    setSourceColor(cr_, color_);
}

void CairoCanvas::endFrame() { cr_ = nullptr; }

// The rectangle's edges in Cairo's coordinates (top-left origin); false when
// it has a non-finite value. Each edge is flipped on its own, so a huge
// height cannot swallow a small offset.
bool CairoCanvas::flipped(const Rect& r, Box& box) const {
    if (!finite(r.x, r.y, r.width, r.height)) {
        return false;
    }
    const double x1 = r.x + r.width;
    const double y1 = r.y + r.height;
    box = Box{std::min(r.x, x1), flipY(std::max(r.y, y1)), std::max(r.x, x1), flipY(std::min(r.y, y1))};
    return true;
}

void CairoCanvas::setColor(const Color& color) {
    color_ = color;
    if (cr_ != nullptr) {
        setSourceColor(cr_, color);
    }
}

void CairoCanvas::fillRect(const Rect& rect) {
    Box r{};
    if (cr_ == nullptr || !flipped(rect, r)) {
        return;
    }
    const double left = std::max(r.left, -kLimit);
    const double right = std::min(r.right, kLimit);
    const double top = std::max(r.top, -kLimit);
    const double bottom = std::min(r.bottom, kLimit);
    if (left >= right || top >= bottom) {
        return;
    }
    cairo_new_path(cr_);
    cairo_rectangle(cr_, left, top, right - left, bottom - top);
    cairo_fill(cr_);
}

void CairoCanvas::setDefaultLineWidth(double width) {
    // A width Cairo cannot use keeps the one before; a negative one draws as
    // thin as Cairo allows.
    if (std::isfinite(width)) {
        lineWidth_ = std::min(std::max(width, 0.0), kLimit);
    }
}

void CairoCanvas::strokeLine(Point from, Point to) {
    // One sphere with a runaway field must not stop the rest of the frame:
    // a NaN would never reach Cairo, and a huge line is cut to its visible part.
    if (cr_ == nullptr || !finite(from.x, from.y, to.x, to.y)) {
        return;
    }
    const auto segment = clipToSquare({from.x, flipY(from.y), to.x, flipY(to.y)}, kLimit);
    if (!segment) {
        return;
    }
    if (quadStroke_ && lines_.stroke(cr_, segment->x0, segment->y0, segment->x1, segment->y1, lineWidth_, color_)) {
        return;
    }
    cairo_set_line_width(cr_, lineWidth_);
    cairo_new_path(cr_);
    cairo_move_to(cr_, segment->x0, segment->y0);
    cairo_line_to(cr_, segment->x1, segment->y1);
    cairo_stroke(cr_);
}

void CairoCanvas::fillOval(const Rect& rect) {
    Box r{};
    if (cr_ == nullptr || !flipped(rect, r) || !insideLimit(r)) {
        return;
    }
    if (spriteCaching_ && sprites_.fillOval(cr_, r, color_)) {
        return;
    }
    appendOval(cr_, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_fill(cr_);
}

void CairoCanvas::strokeOval(const Rect& rect) {
    Box r{};
    if (cr_ == nullptr || !flipped(rect, r) || !insideLimit(r)) {
        return;
    }
    // Outlines are stroked anew: the stroker's offset curves round a little
    // differently at another position, and where outlines pile up a
    // sprite's picture drifted by more than the 2 levels allowed.
    appendOval(cr_, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_set_line_width(cr_, lineWidth_);
    cairo_stroke(cr_);
}

void CairoCanvas::drawText(const std::string& text, Point at, const TextAttributes& attributes) {
    if (cr_ == nullptr || text.empty() || text.size() > kLongestText || !std::isfinite(at.x) || !std::isfinite(at.y) ||
        !insideLimit(at.x) || !insideLimit(flipY(at.y))) {
        return;
    }
    if (!labels_.useFont(attributes.font)) {
        return;
    }
    // The bottom of the logical rectangle (descent included) sits on the
    // point, as AppKit's drawAtPoint: does in an unflipped view.
    if (spriteCaching_ && sprites_.showLabel(cr_, labels_, text, at.x, flipY(at.y), attributes.foregroundColor)) {
        return;
    }
    const LabelLayout::Extents extents = labels_.measure(text);
    cairo_new_path(cr_);
    cairo_move_to(cr_, at.x - extents.left, flipY(at.y) - extents.bottom);
    setSourceColor(cr_, attributes.foregroundColor);
    labels_.show(cr_, text);
    setSourceColor(cr_, color_);
}

}  // namespace pelmora
