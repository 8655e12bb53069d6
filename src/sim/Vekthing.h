#pragma once

#include <cstdint>

#include "Geometry.h"

namespace pelmora {

// One charged sphere: position, velocity, a whole-number charge and the
// colour that follows from it. It knows nothing of the view or of the other
// spheres; the frame physics step moves it once per frame.
class Vekthing {
public:
    // An all-zero sphere; the charged constructor below is the one the view uses.
    Vekthing() = default;

    // Draws x, y, px, py and the charge from the C library's rand() (never
    // seeded here) in that order, then derives the colour from the charge.
    // `neutralCharges` allows a charge of 0. Only the rectangle's width and
    // height are read.
    Vekthing(std::int32_t chargeRange, bool neutralCharges, const Rect& inRect);

    // One motion step at speed scale 1.
    void animateOneFrame(const Rect& bounds);
    // Moves by velocity times speedScale and reflects off the edges of bounds.
    void animateOneFrame(const Rect& bounds, float speedScale);

    void set(float x, float y, float px, float py);
    float x() const { return x_; }
    float y() const { return y_; }
    float px() const { return px_; }
    float py() const { return py_; }
    void giveForce(float forceX, float forceY);

    void setElectricCharge(std::int32_t charge) { electricCharge_ = charge; }
    std::int32_t electricCharge() const { return electricCharge_; }

    void setOldPosition(Point oldPosition, Point oldField);
    Point oldPosition() const { return oldPosition_; }
    Point oldField() const { return oldField_; }

    void setRed(float red, float green, float blue);
    Color color() const;

    std::int32_t maxX() const { return maxX_; }
    std::int32_t maxY() const { return maxY_; }
    std::int32_t minX() const { return minX_; }
    std::int32_t minY() const { return minY_; }

private:
    float x_ = 0.0F;
    float y_ = 0.0F;
    float px_ = 0.0F;
    float py_ = 0.0F;
    std::int32_t maxX_ = 0;
    std::int32_t maxY_ = 0;
    std::int32_t minX_ = 0;
    std::int32_t minY_ = 0;
    std::int32_t electricCharge_ = 0;
    float red_ = 0.0F;
    float green_ = 0.0F;
    float blue_ = 0.0F;
    Point oldPosition_;
    Point oldField_;
};

}  // namespace pelmora
