#include "FramePhysics.h"

#include <algorithm>
#include <cstddef>

namespace pelmora {

void FramePhysics::prepare(std::int32_t count) {
    count_ = std::max<std::int32_t>(count, 0);
    // resize() allocates only when the count grows past every earlier count;
    // a steady or shrinking count reuses the storage. The contents are left
    // as they are: each pass of step() writes every entry before reading it.
    const auto size = static_cast<std::size_t>(count_);
    snapX_.resize(size);
    snapY_.resize(size);
    fieldX_.resize(size);
    fieldY_.resize(size);
}

float FramePhysics::contactDistanceSquared(float sphereRadii) {
    const float square = sphereRadii * sphereRadii;
    return 4.0F * square;
}

float FramePhysics::speedScale(float speedDivisor) {
    return static_cast<float>(static_cast<double>(speedDivisor) / 100.0);
}

void FramePhysics::step(std::vector<Vekthing>& things, const PhysicsSettings& settings, const Rect& bounds,
                        float contactDistanceSquared, float speedScale) {
    // N is the count taken by prepare(). Should the list be shorter than that,
    // the passes stop at its end, and the field entries past it read 0.
    const auto n = static_cast<std::int32_t>(std::min<std::size_t>(static_cast<std::size_t>(count_), things.size()));
    const auto count = static_cast<std::size_t>(count_);
    for (auto k = static_cast<std::size_t>(n); k < count; ++k) {
        fieldX_[k] = 0.0F;
        fieldY_[k] = 0.0F;
    }

    // Snapshot pass: every start-of-frame position before any sphere moves.
    for (std::int32_t k = 0; k < n; ++k) {
        const Vekthing& thing = things[static_cast<std::size_t>(k)];
        snapX_[static_cast<std::size_t>(k)] = thing.x();
        snapY_[static_cast<std::size_t>(k)] = thing.y();
    }

    // Field pass: the turn of each sphere in list order.
    for (std::int32_t i = 0; i < n; ++i) {
        const auto ii = static_cast<std::size_t>(i);
        Vekthing& self = things[ii];
        const std::int32_t chargeI = self.electricCharge();
        // Sphere i has not moved yet and a push changes only a velocity, so its
        // position is its snapshot all through the turn.
        const float xi = self.x();
        const float yi = self.y();
        float sumX = 0.0F;
        float sumY = 0.0F;

        for (std::int32_t j = 0; j < n; ++j) {
            if (j == i) {
                continue;
            }
            const auto jj = static_cast<std::size_t>(j);
            const float dx = xi - snapX_[jj];
            const float dy = yi - snapY_[jj];
            const double dxWide = dx;
            const double dyWide = dy;
            const auto s = static_cast<float>(dxWide * dxWide + dyWide * dyWide);
            // Two spheres on one point (or so close that s rounds to 0): the
            // pair contributes nothing, neither push nor field term.
            if (s == 0.0F) {
                continue;
            }
            const double sWide = s;

            // Contact repulsion pushes sphere j, along the line from i to j.
            // NaN fails the comparison and so never touches.
            if (settings.bouncingEnabled && s < contactDistanceSquared) {
                Vekthing& other = things[jj];
                const double force = settings.bounceForce;
                const auto newPx = static_cast<float>(static_cast<double>(other.px()) - (force * dxWide) / sWide);
                const auto newPy = static_cast<float>(static_cast<double>(other.py()) - (force * dyWide) / sWide);
                other.set(other.x(), other.y(), newPx, newPy);
            }

            // Field term: q_j as single, widened; product, quotient, sum in
            // double; the sum rounded to single as it is stored.
            const auto chargeJ = static_cast<double>(static_cast<float>(things[jj].electricCharge()));
            sumX = static_cast<float>(static_cast<double>(sumX) + (chargeJ * dxWide) / sWide);
            sumY = static_cast<float>(static_cast<double>(sumY) + (chargeJ * dyWide) / sWide);
        }
        fieldX_[ii] = sumX;
        fieldY_[ii] = sumY;

        // Force: (q_i * strength) * field, every step in single precision.
        const float chargeStrength = static_cast<float>(chargeI) * settings.electricFieldStrength;
        self.giveForce(chargeStrength * sumX, chargeStrength * sumY);

        self.animateOneFrame(bounds, speedScale);
    }
}

}  // namespace pelmora
