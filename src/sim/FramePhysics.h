#pragma once

#include <cstdint>
#include <vector>

#include "Geometry.h"
#include "Vekthing.h"

namespace pelmora {

// The settings the physics step reads, copied from the view each frame.
struct PhysicsSettings {
    bool bouncingEnabled = false;
    float bounceForce = 30.0F;
    float electricFieldStrength = 2.0F;
    float speedDivisor = 50.0F;
    float sphereRadii = 10.0F;
};

// Advances every sphere by one frame: a position snapshot, then for each
// sphere in list order the field of all the others, contact pushes, the
// electric force and the move. The scratch arrays belong to this object and
// are reused from frame to frame, so a steady count allocates nothing; their
// contents never carry over from one frame to the next.
class FramePhysics {
public:
    // First act of a frame: takes the sphere count and sizes the scratch arrays.
    void prepare(std::int32_t count);
    std::int32_t count() const { return count_; }

    // Per-frame values: 4 * (r * r) in single precision, and speedDivisor / 100
    // in double precision rounded to single.
    static float contactDistanceSquared(float sphereRadii);
    static float speedScale(float speedDivisor);

    // The snapshot pass and the field pass over the first count() spheres.
    // Leaves fieldX()/fieldY() for the drawing pass.
    void step(std::vector<Vekthing>& things, const PhysicsSettings& settings, const Rect& bounds,
              float contactDistanceSquared, float speedScale);

    // The field at each sphere's start-of-frame position, without its own
    // charge and without the field strength.
    const std::vector<float>& fieldX() const { return fieldX_; }
    const std::vector<float>& fieldY() const { return fieldY_; }

private:
    std::int32_t count_ = 0;
    std::vector<float> snapX_;
    std::vector<float> snapY_;
    std::vector<float> fieldX_;
    std::vector<float> fieldY_;
};

}  // namespace pelmora
