#include "SegmentStroker.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "Truncation.h"

namespace pelmora {
namespace {

// Cairo's coordinates are 24.8 fixed point, rounded from doubles by adding
// 1.5 * 2^44 and keeping the low word: round to nearest, ties to even.
constexpr double kFixedMagic = 1.5 * 17592186044416.0;
constexpr int kFractionBits = 8;
constexpr double kFixedOne = 256.0;
// Device coordinates beyond this many pixels are left to Cairo, which keeps
// the scan converter's products inside 64 bits.
constexpr double kLargestCoordinate = 60000.0;
constexpr std::int32_t kLargestFixedY = 1 << 24;

std::int32_t fixedFromDouble(double d) {
    const double shifted = d + kFixedMagic;
    std::uint64_t bits = 0;
    std::memcpy(&bits, &shifted, sizeof bits);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bits & 0xffffffffu));
}

int fixedFloor(std::int32_t f) { return f >= 0 ? f >> kFractionBits : -((-f - 1) >> kFractionBits) - 1; }
int fixedCeil(std::int32_t f) { return f > 0 ? ((f - 1) >> kFractionBits) + 1 : -(-f >> kFractionBits); }

struct FixedPoint {
    std::int32_t x, y;
};

bool isIdentity(const cairo_matrix_t& m) {
    return m.xx == 1.0 && m.yx == 0.0 && m.xy == 0.0 && m.yy == 1.0 && m.x0 == 0.0 && m.y0 == 0.0;
}

double determinant(const cairo_matrix_t& m) { return m.xx * m.yy - m.yx * m.xy; }

bool hasUnityScale(const cairo_matrix_t& m) {
    constexpr double epsilon = 1.0 / kFixedOne;
    const double det = determinant(m);
    if (std::fabs(det * det - 1.0) < epsilon) {
        if (std::fabs(m.xy) < epsilon && std::fabs(m.yx) < epsilon) {
            return true;
        }
        if (std::fabs(m.xx) < epsilon && std::fabs(m.yy) < epsilon) {
            return true;
        }
    }
    return false;
}

// A unit vector along (dx, dy), found as Cairo's stroker finds it.
void normalizeSlope(double& dx, double& dy) {
    if (dx == 0.0) {
        dy = dy > 0.0 ? 1.0 : -1.0;
        dx = 0.0;
    } else if (dy == 0.0) {
        dx = dx > 0.0 ? 1.0 : -1.0;
        dy = 0.0;
    } else {
        const double magnitude = std::hypot(dx, dy);
        dx = dx / magnitude;
        dy = dy / magnitude;
    }
}

// Cairo's 16-bit colour component; the pattern's components lie in [0, 1].
std::uint16_t colorShort(double d) { return static_cast<std::uint16_t>(truncateToInt32(d * 65535.0 + 0.5) & 0xffff); }

// The premultiplied pixel Cairo fills with for an opaque solid source, or 0
// when the source is anything else.
bool opaquePixel(cairo_t* cr, std::uint32_t& pixel) {
    cairo_pattern_t* source = cairo_get_source(cr);
    double r = 0.0;
    double g = 0.0;
    double b = 0.0;
    double a = 0.0;
    if (cairo_pattern_get_type(source) != CAIRO_PATTERN_TYPE_SOLID ||
        cairo_pattern_get_rgba(source, &r, &g, &b, &a) != CAIRO_STATUS_SUCCESS) {
        return false;
    }
    const std::uint16_t alpha = colorShort(a);
    if (alpha < 0xff00) {
        return false;
    }
    pixel = static_cast<std::uint32_t>(alpha >> 8) << 24 | static_cast<std::uint32_t>(colorShort(r * a) >> 8) << 16 |
            static_cast<std::uint32_t>(colorShort(g * a) & 0xff00) | static_cast<std::uint32_t>(colorShort(b * a) >> 8);
    return true;
}

// The context state under which the stroke is Cairo's to the bit.
struct Setup {
    cairo_surface_t* surface;
    unsigned char* data;
    int stride, width, height;
    double lineWidth;
    double miterLimit;
    bool miterJoin;
    std::uint32_t pixel;
    cairo_matrix_t ctm, device, aggregate, aggregateInverse;
};

bool setupOf(cairo_t* cr, Setup& s) {
    s.surface = cairo_get_target(cr);
    if (cairo_status(cr) != CAIRO_STATUS_SUCCESS || cairo_get_group_target(cr) != s.surface ||
        cairo_surface_get_type(s.surface) != CAIRO_SURFACE_TYPE_IMAGE) {
        return false;
    }
    const cairo_format_t format = cairo_image_surface_get_format(s.surface);
    s.data = cairo_image_surface_get_data(s.surface);
    if ((format != CAIRO_FORMAT_ARGB32 && format != CAIRO_FORMAT_RGB24) || s.data == nullptr) {
        return false;
    }
    s.stride = cairo_image_surface_get_stride(s.surface);
    s.width = cairo_image_surface_get_width(s.surface);
    s.height = cairo_image_surface_get_height(s.surface);
    const cairo_line_join_t join = cairo_get_line_join(cr);
    s.lineWidth = cairo_get_line_width(cr);
    s.miterLimit = cairo_get_miter_limit(cr);
    s.miterJoin = join == CAIRO_LINE_JOIN_MITER;
    if (cairo_get_operator(cr) != CAIRO_OPERATOR_OVER || cairo_get_antialias(cr) != CAIRO_ANTIALIAS_DEFAULT ||
        cairo_get_line_cap(cr) != CAIRO_LINE_CAP_BUTT || cairo_get_dash_count(cr) != 0 ||
        join == CAIRO_LINE_JOIN_ROUND || !(s.lineWidth > 0.0) || !(s.lineWidth < 1000.0) ||
        !opaquePixel(cr, s.pixel)) {
        return false;
    }
    cairo_get_matrix(cr, &s.ctm);
    double scaleX = 0.0;
    double scaleY = 0.0;
    double offsetX = 0.0;
    double offsetY = 0.0;
    cairo_surface_get_device_scale(s.surface, &scaleX, &scaleY);
    cairo_surface_get_device_offset(s.surface, &offsetX, &offsetY);
    if (s.ctm.xx != 1.0 || s.ctm.yy != 1.0 || s.ctm.xy != 0.0 || s.ctm.yx != 0.0 || scaleX != scaleY ||
        !(scaleX >= 1.0 && scaleX <= 8.0) || scaleX != std::floor(scaleX) || offsetX != 0.0 || offsetY != 0.0) {
        return false;
    }
    // The matrices Cairo's stroker is handed: user to device and back, each
    // built the way the context and the surface build them.
    cairo_matrix_t ctmInverse = s.ctm;
    if (isIdentity(s.ctm)) {
        cairo_matrix_init_identity(&ctmInverse);
    } else if (cairo_matrix_invert(&ctmInverse) != CAIRO_STATUS_SUCCESS) {
        return false;
    }
    cairo_matrix_init(&s.device, scaleX, 0.0, 0.0, scaleY, 0.0, 0.0);
    cairo_matrix_t deviceInverse = s.device;
    if (cairo_matrix_invert(&deviceInverse) != CAIRO_STATUS_SUCCESS) {
        return false;
    }
    cairo_matrix_multiply(&s.aggregate, &s.ctm, &s.device);
    cairo_matrix_multiply(&s.aggregateInverse, &deviceInverse, &ctmInverse);
    return true;
}

bool toDevice(const Setup& s, double x, double y, FixedPoint& p) {
    cairo_matrix_transform_point(&s.ctm, &x, &y);
    cairo_matrix_transform_point(&s.device, &x, &y);
    if (!(std::fabs(x) < kLargestCoordinate) || !(std::fabs(y) < kLargestCoordinate)) {
        return false;
    }
    p = FixedPoint{fixedFromDouble(x), fixedFromDouble(y)};
    return true;
}

// Half the line width across the segment, in device units, as the stroker
// turns it for a segment along `slope`.
FixedPoint faceOffset(const Setup& s, FixedPoint slope) {
    double dx = slope.x / kFixedOne;
    double dy = slope.y / kFixedOne;
    normalizeSlope(dx, dy);
    const double half = s.lineWidth / 2.;
    double faceX = 0.0;
    double faceY = 0.0;
    if (!isIdentity(s.aggregateInverse)) {
        cairo_matrix_transform_distance(&s.aggregateInverse, &dx, &dy);
        normalizeSlope(dx, dy);
        if (determinant(s.aggregate) >= 0.0) {
            faceX = -dy * half;
            faceY = dx * half;
        } else {
            faceX = dy * half;
            faceY = -dx * half;
        }
        cairo_matrix_transform_distance(&s.aggregate, &faceX, &faceY);
    } else {
        faceX = -dy * half;
        faceY = dx * half;
    }
    return FixedPoint{fixedFromDouble(faceX), fixedFromDouble(faceY)};
}

// Whether Cairo's rough extents of the stroke leave the surface, in which
// case it clips the outline's edges to the surface.
bool strokeLeavesSurface(const Setup& s, FixedPoint a, FixedPoint b) {
    double expansion = 0.5;
    constexpr double sqrt2 = 1.41421356237309504880;
    if (s.miterJoin && expansion < sqrt2 * s.miterLimit) {
        expansion = sqrt2 * s.miterLimit;
    }
    expansion *= s.lineWidth;
    double dx = expansion;
    double dy = expansion;
    if (!hasUnityScale(s.aggregate)) {
        dx = expansion * std::hypot(s.aggregate.xx, s.aggregate.xy);
        dy = expansion * std::hypot(s.aggregate.yy, s.aggregate.yx);
    }
    const std::int64_t left = std::min(a.x, b.x) - static_cast<std::int64_t>(fixedFromDouble(dx));
    const std::int64_t top = std::min(a.y, b.y) - static_cast<std::int64_t>(fixedFromDouble(dy));
    const std::int64_t right = std::max(a.x, b.x) + static_cast<std::int64_t>(fixedFromDouble(dx));
    const std::int64_t bottom = std::max(a.y, b.y) + static_cast<std::int64_t>(fixedFromDouble(dy));
    auto floorOf = [](std::int64_t f) { return fixedFloor(static_cast<std::int32_t>(f)); };
    auto ceilOf = [](std::int64_t f) { return fixedCeil(static_cast<std::int32_t>(f)); };
    return floorOf(left) < 0 || floorOf(top) < 0 || ceilOf(right) > s.width || ceilOf(bottom) > s.height;
}

std::int32_t xAtY(FixedPoint p1, FixedPoint p2, std::int32_t y) {
    if (y == p1.y) {
        return p1.x;
    }
    if (y == p2.y) {
        return p2.x;
    }
    const std::int32_t dy = p2.y - p1.y;
    return p1.x + static_cast<std::int32_t>(static_cast<std::int64_t>(y - p1.y) * (p2.x - p1.x) / dy);
}

// The outline's edges as Cairo's polygon holds them, and its extents.
struct Outline {
    std::array<FixedEdge, CoverageScanner::kMostEdges> edges{};
    int count = 0;
    std::int32_t left = INT32_MAX;
    std::int32_t right = INT32_MIN;
    bool clipped = false;
    std::int32_t clipBottom = 0;

    void add(FixedPoint a, FixedPoint b, int dir) {
        if (a.y == b.y) {
            return;
        }
        if (a.y > b.y) {
            std::swap(a, b);
            dir = -dir;
        }
        std::int32_t top = a.y;
        std::int32_t bottom = b.y;
        if (clipped) {
            if (b.y <= 0 || a.y >= clipBottom) {
                return;
            }
            top = std::max(top, 0);
            bottom = std::min(bottom, clipBottom);
        }
        edges[static_cast<std::size_t>(count++)] = FixedEdge{a.x, a.y, b.x, b.y, top, bottom, dir};
        if (a.x < left || a.x > right) {
            const std::int32_t x = top != a.y ? xAtY(a, b, top) : a.x;
            left = std::min(left, x);
            right = std::max(right, x);
        }
        if (b.x < left || b.x > right) {
            const std::int32_t x = bottom != b.y ? xAtY(a, b, bottom) : b.x;
            left = std::min(left, x);
            right = std::max(right, x);
        }
    }
};

}  // namespace

bool SegmentStroker::stroke(cairo_t* cr, double x0, double y0, double x1, double y1) {
    Setup s{};
    FixedPoint start{};
    FixedPoint end{};
    if (!setupOf(cr, s) || !toDevice(s, x0, y0, start) || !toDevice(s, x1, y1, end)) {
        return false;
    }
    const FixedPoint slope{end.x - start.x, end.y - start.y};
    // A segment that is empty at Cairo's precision has no sides for butt
    // caps to close (a neutral sphere's field line): nothing to draw, and
    // nothing worth Cairo's setup.
    if (slope.x == 0 && slope.y == 0) {
        return true;
    }
    // Level and upright segments go Cairo's other way.
    if (slope.x == 0 || slope.y == 0) {
        return false;
    }
    const FixedPoint offset = faceOffset(s, slope);
    const FixedPoint startCcw{start.x + offset.x, start.y + offset.y};
    const FixedPoint startCw{start.x - offset.x, start.y - offset.y};
    const FixedPoint endCcw{startCcw.x + slope.x, startCcw.y + slope.y};
    const FixedPoint endCw{startCw.x + slope.x, startCw.y + slope.y};
    const std::int32_t widthFixed = s.width << kFractionBits;
    for (const FixedPoint& corner : {startCcw, startCw, endCcw, endCw}) {
        // Beyond the side columns Cairo would replace edges by the surface's
        // sides.
        if (corner.x < 0 || corner.x > widthFixed || corner.y < -kLargestFixedY || corner.y > kLargestFixedY) {
            return false;
        }
    }
    Outline outline;
    outline.clipped = strokeLeavesSurface(s, start, end);
    outline.clipBottom = s.height << kFractionBits;
    // The stroker's contours in its order: the side turning left with the
    // end cap, the start cap, then the side turning right.
    outline.add(startCcw, endCcw, -1);
    outline.add(endCcw, endCw, -1);
    outline.add(startCw, startCcw, -1);
    outline.add(startCw, endCw, +1);
    if (outline.count == 0) {
        return true;
    }
    const int left = std::max(0, fixedFloor(outline.left));
    const int right = std::min(s.width, fixedCeil(outline.right));
    cairo_surface_flush(s.surface);
    scanner_.fill(outline.edges.data(), outline.count, PixelRows{s.data, s.stride, s.width, s.height, left, right},
                  s.pixel);
    cairo_surface_mark_dirty(s.surface);
    return true;
}

}  // namespace pelmora
