#include "Vekthing.h"

#include <cmath>
#include <cstdlib>

#include "Truncation.h"

namespace pelmora {

namespace {

// The gap between the allowed range and the rectangle's width and height: the
// drawn diameter at the default radius, fixed whatever the radius setting.
constexpr double kEdgeMargin = 20.0;

// maxX / maxY: the extent minus 20 in double precision, truncated toward zero.
std::int32_t limitFor(double extent) {
    return truncateToInt32(extent - kEdgeMargin);
}

// The remainder of one draw of rand() by a coordinate limit. The draw is made
// whatever the limit, so the number and order of draws never change; a limit
// below 1 (a rectangle narrower or lower than 21) gives the coordinate 0
// instead of a remainder by zero or by a negative number.
std::int32_t drawCoordinate(std::int32_t limit) {
    const int draw = std::rand();
    if (limit < 1) {
        return 0;
    }
    return draw % limit;
}

// One velocity component: the remainder of a draw by 5, minus 2.
float drawVelocity() {
    return static_cast<float>(std::rand() % 5 - 2);
}

// One axis of the motion step's wall test: reverse, cut back, and put the sphere on the edge it crossed.
void reflectAxis(float& position, float& velocity, std::int32_t maxLimit, std::int32_t minLimit) {
    const auto upper = static_cast<float>(maxLimit);
    const auto lower = static_cast<float>(minLimit);
    if (position > upper || position < lower) {
        velocity = -velocity;
        if (velocity > 9.0F) {
            velocity = 8.0F;
        }
        if (velocity < -9.0F) {
            velocity = -8.0F;
        }
        position = position > upper ? upper : lower;
    }
}

}  // namespace

Vekthing::Vekthing(std::int32_t chargeRange, bool neutralCharges, const Rect& inRect) {
    maxX_ = limitFor(inRect.width);
    maxY_ = limitFor(inRect.height);

    const auto pi = static_cast<float>(std::atan(1.0) * 4.0);

    // n = 2c + 1 in 64 bits, so no charge range overflows it; every remainder
    // is then of a non-negative draw by n >= 1 and the charge k - c stays in
    // [-c, c]. A negative range holds no charge but 0 and is taken as 0.
    const std::int64_t range = chargeRange < 0 ? 0 : chargeRange;
    const std::int64_t n = 2 * range + 1;

    const auto newX = static_cast<float>(drawCoordinate(maxX_));
    const auto newY = static_cast<float>(drawCoordinate(maxY_));
    const float newPx = drawVelocity();
    const float newPy = drawVelocity();
    set(newX, newY, newPx, newPy);

    std::int64_t k = std::rand() % n;
    setElectricCharge(static_cast<std::int32_t>(k - range));
    // With a range of 0 nothing but 0 can be drawn: the first draw's 0 stands.
    if (!neutralCharges && range > 0) {
        while (electricCharge() == 0) {
            k = std::rand() % n;
            setElectricCharge(static_cast<std::int32_t>(k - range));
        }
    }

    const float t = static_cast<float>(k) / static_cast<float>(n);
    const float a = pi * t;
    const double theta = static_cast<double>(a) / 2.0;
    setRed(static_cast<float>(std::sin(theta)), static_cast<float>(std::cos(theta)), 0.0F);
}

void Vekthing::animateOneFrame(const Rect& bounds) {
    // Multiplying by exactly 1 leaves every float as it is, so this is the
    // plain velocity bit for bit.
    animateOneFrame(bounds, 1.0F);
}

void Vekthing::animateOneFrame(const Rect& bounds, float speedScale) {
    // Each product is rounded to single precision before the addition; the
    // build forbids contraction into a fused multiply-add.
    x_ = x_ + px_ * speedScale;
    y_ = y_ + py_ * speedScale;
    maxX_ = limitFor(bounds.width);
    maxY_ = limitFor(bounds.height);
    minX_ = 0;
    minY_ = 0;
    reflectAxis(x_, px_, maxX_, minX_);
    reflectAxis(y_, py_, maxY_, minY_);
}

void Vekthing::set(float x, float y, float px, float py) {
    x_ = x;
    y_ = y;
    px_ = px;
    py_ = py;
}

void Vekthing::giveForce(float forceX, float forceY) {
    px_ = px_ + forceX;
    py_ = py_ + forceY;
}

void Vekthing::setOldPosition(Point oldPosition, Point oldField) {
    oldPosition_ = oldPosition;
    oldField_ = oldField;
}

void Vekthing::setRed(float red, float green, float blue) {
    red_ = red;
    green_ = green;
    blue_ = blue;
}

Color Vekthing::color() const {
    return {static_cast<double>(red_), static_cast<double>(green_), static_cast<double>(blue_), 1.0};
}

}  // namespace pelmora
