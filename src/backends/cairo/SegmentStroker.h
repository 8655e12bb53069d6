#pragma once

#include <cairo.h>

#include "CoverageScanner.h"

namespace pelmora {

// Strokes one straight segment on an image surface with exactly the pixels
// cairo_move_to(), cairo_line_to() and cairo_stroke() give there, for less:
// the segment's outline is worked out with Cairo's own float steps and
// fixed-point rounding, and its coverage by CoverageScanner, without
// Cairo's general path, polygon and compositor setup and with a blend made
// for one opaque colour.
//
// Only what can be promised to the bit is taken over: butt caps, no dashes,
// the default anti-aliasing, an opaque solid source, the OVER operator, a
// matrix that only translates, a whole device scale and the segment's
// outline inside the surface's columns. Anything else is left to Cairo.
class SegmentStroker {
public:
    // Strokes the segment from (x0, y0) to (x1, y1), user space, with the
    // context's line width and source, or returns false having drawn
    // nothing. The context must have no clip, no group, and a matrix last
    // set with cairo_set_matrix() or cairo_identity_matrix() (Cairo keeps an
    // inverse that other calls build differently).
    bool stroke(cairo_t* cr, double x0, double y0, double x1, double y1);

private:
    CoverageScanner scanner_;
};

}  // namespace pelmora
