#include "PointerTravel.h"

#include <cmath>

namespace pelmora {

bool PointerTravel::movedAway(double x, double y) {
    if (!rest_) {
        rest_ = Point{x, y};
        return false;
    }
    // hypot, not a squared comparison: no overflow for far-off coordinates.
    return std::hypot(x - rest_->x, y - rest_->y) > limit_;
}

}  // namespace pelmora
