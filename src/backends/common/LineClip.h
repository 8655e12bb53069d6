#pragma once

#include <optional>

namespace pelmora {

struct LineSegment {
    double x0, y0, x1, y1;
};

// Cohen-Sutherland: the part of the segment inside the square of half-width
// `limit` around the origin, if any. A moved end lands exactly on the edge
// and is worked out on halves, so the visible part stays where it was even
// for a segment a googol long. Drawing libraries that work in fixed point or
// single precision take only what this leaves.
std::optional<LineSegment> clipToSquare(LineSegment segment, double limit);

}  // namespace pelmora
