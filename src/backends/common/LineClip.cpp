#include "LineClip.h"

namespace pelmora {
namespace {

enum Outside : unsigned { kLeft = 1, kRight = 2, kAbove = 4, kBelow = 8 };

unsigned outside(double x, double y, double limit) {
    return (x < -limit ? kLeft : 0u) | (x > limit ? kRight : 0u) | (y < -limit ? kAbove : 0u) |
           (y > limit ? kBelow : 0u);
}

// The point where the segment from (x0, y0) to (x1, y1) meets x = edge, as
// the y there. Works on halves so that no difference of two huge
// coordinates can overflow to infinity.
double crossingAt(double edge, double x0, double y0, double x1, double y1) {
    const double halfDx = x1 * 0.5 - x0 * 0.5;
    const double halfDy = y1 * 0.5 - y0 * 0.5;
    const double share = (edge * 0.5 - x0 * 0.5) / halfDx;
    return y0 + halfDy * share + halfDy * share;
}

}  // namespace

std::optional<LineSegment> clipToSquare(LineSegment s, double limit) {
    for (int step = 0; step < 5; ++step) {
        const unsigned from = outside(s.x0, s.y0, limit);
        const unsigned to = outside(s.x1, s.y1, limit);
        if ((from | to) == 0) {
            return s;
        }
        if ((from & to) != 0) {
            return std::nullopt;
        }
        const bool moveFrom = from != 0;
        const unsigned code = moveFrom ? from : to;
        double& x = moveFrom ? s.x0 : s.x1;
        double& y = moveFrom ? s.y0 : s.y1;
        if ((code & (kLeft | kRight)) != 0) {
            const double edge = (code & kLeft) != 0 ? -limit : limit;
            y = crossingAt(edge, s.x0, s.y0, s.x1, s.y1);
            x = edge;
        } else {
            const double edge = (code & kAbove) != 0 ? -limit : limit;
            x = crossingAt(edge, s.y0, s.x0, s.y1, s.x1);
            y = edge;
        }
    }
    return std::nullopt;
}

}  // namespace pelmora
