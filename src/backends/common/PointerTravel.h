#pragma once

#include <optional>

namespace pelmora {

// Tells a deliberate mouse move from a nudge: the first position reported is
// taken as where the pointer rested when the saver began, and only a move
// further than `limit` from there counts. (Not the position of the first
// enter event: under X it can report where the window was being placed.)
class PointerTravel {
public:
    static constexpr double kDeliberateMove = 10.0;

    explicit PointerTravel(double limit = kDeliberateMove) : limit_(limit) {}

    // True once (x, y) lies further than the limit from the resting position;
    // the first position ever seen becomes the resting position instead.
    bool movedAway(double x, double y);

private:
    struct Point {
        double x;
        double y;
    };
    double limit_;
    std::optional<Point> rest_;
};

}  // namespace pelmora
