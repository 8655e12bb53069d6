#include "CairoShapes.h"

#include <algorithm>
#include <cmath>

namespace pelmora {
namespace {

// Control-point distance of the four cubic Bézier arcs that make an ellipse,
// as a fraction of its radii: 4/3 (sqrt(2) - 1).
constexpr double kBezierCircle = 0.55228474983079339840;

}  // namespace

double colorComponent(double value) { return std::isnan(value) ? 0.0 : std::clamp(value, 0.0, 1.0); }

void setSourceColor(cairo_t* cr, const Color& color) {
    cairo_set_source_rgba(cr, colorComponent(color.red), colorComponent(color.green), colorComponent(color.blue),
                          colorComponent(color.alpha));
}

bool thirtyTwoBitImage(cairo_surface_t* surface) {
    if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_data(surface) == nullptr) {
        return false;
    }
    const cairo_format_t format = cairo_image_surface_get_format(surface);
    return format == CAIRO_FORMAT_ARGB32 || format == CAIRO_FORMAT_RGB24;
}

// Built from Bézier arcs rather than a scaled circle so that a rectangle of
// zero width or height cannot make the matrix singular (which would put the
// context in an error state).
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

}  // namespace pelmora
