#include "PixelGrid.h"

#include <cmath>

#include "Truncation.h"

namespace pelmora {
namespace {

constexpr double kLargestPixel = 1.0e8;

bool whole(double value) { return value == std::floor(value); }

}  // namespace

std::optional<PixelGrid> PixelGrid::of(cairo_t* cr) {
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

std::optional<Snapped> snapped(double pixel) {
    if (!(std::fabs(pixel) < kLargestPixel)) {
        return std::nullopt;
    }
    double base = std::floor(pixel);
    int fraction = truncateToInt32(std::round((pixel - base) * kPixelFractions));
    if (fraction == static_cast<int>(kPixelFractions)) {
        base += 1.0;
        fraction = 0;
    }
    return Snapped{base, fraction};
}

}  // namespace pelmora
