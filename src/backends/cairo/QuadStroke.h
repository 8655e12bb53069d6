#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

#include "Geometry.h"

namespace pelmora {

// Strokes a straight line with butt ends straight into the pixels of an
// image surface: the stroke is the quadrilateral the segment sweeps at the
// line's width, and each pixel is covered by exactly the share of its area
// the quadrilateral covers. Cairo's own stroke samples that area instead,
// so the two pictures differ by a few levels along a line's edges; in
// return this one skips Cairo's per-call setup, which costs more than the
// few pixels of a short line.
class QuadStroke {
public:
    // Strokes the segment from (x0, y0) to (x1, y1) in cr's user space at
    // `width` user units in `color` with the OVER operator. False, with
    // nothing drawn, where it cannot: a surface other than a 32-bit image, a
    // matrix other than a positive scale and translation, another operator
    // or antialiasing, or a line too long for one pass. A clip on `cr` is
    // not seen here.
    bool stroke(cairo_t* cr, double x0, double y0, double x1, double y1, double width, const Color& color);

private:
    // An edge of the quadrilateral that is not level, top end first, in
    // pixels from the box's left.
    struct Edge {
        double x, top, bottom, slope, direction;
    };
    void addPiece(double xa, double xb, double height);
    void paintRow(std::uint32_t* line, int width, std::uint32_t color);

    // One row's signed area the edges leave in each cell of the box,
    // from its left: summed from the left, they give each pixel's coverage.
    // Cells are cleared as they are painted, so the row starts each time
    // from zeros.
    std::vector<float> cells_;
    int left_ = 0;
    int firstCell_ = 0;
    int lastCell_ = 0;
};

}  // namespace pelmora
