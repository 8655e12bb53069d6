#pragma once

#include <cairo.h>

#include "Geometry.h"

namespace pelmora {

// A rectangle by its edges in Cairo's top-down user space.
struct Box {
    double left, top, right, bottom;
};

// Cairo clamps colour components itself but would let NaN through; this
// gives the component Cairo is handed.
double colorComponent(double value);
void setSourceColor(cairo_t* cr, const Color& color);

// Whether `surface` is an image of 32-bit pixels whose memory can be
// written directly.
bool thirtyTwoBitImage(cairo_surface_t* surface);

// Starts a new path holding the ellipse inscribed in the rectangle.
void appendOval(cairo_t* cr, double left, double top, double width, double height);

}  // namespace pelmora
