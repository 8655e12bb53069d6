#pragma once

#include <cairo.h>

#include <optional>

namespace pelmora {

// How user space meets the pixels of the surface a context draws on, when
// a shape can be moved there by whole pixels without changing its pixels:
// only a positive scale and a translation, with whole device scales and
// offsets.
struct PixelGrid {
    cairo_matrix_t ctm;
    double scaleX, scaleY;
    double offsetX, offsetY;

    // The grid of `cr`, or nothing when its matrix, operator or surface
    // does not allow moving shapes by whole pixels.
    static std::optional<PixelGrid> of(cairo_t* cr);

    double pixelX(double userX) const { return (ctm.xx * userX + ctm.x0) * scaleX + offsetX; }
    double pixelY(double userY) const { return (ctm.yy * userY + ctm.y0) * scaleY + offsetY; }
};

// A pixel coordinate as its whole pixel and its fraction in 1/256 pixel.
struct Snapped {
    double pixel;
    int fraction;
};

constexpr double kPixelFractions = 256.0;

// Nothing for coordinates too far out to name as a whole pixel in an int.
std::optional<Snapped> snapped(double pixel);

}  // namespace pelmora
