#include "FramePhysics.h"

#include "FirstNaN.h"

#include <algorithm>
#include <cstddef>

namespace pelmora {

FramePhysics::FramePhysics(std::int32_t threads) { setThreads(threads); }

FramePhysics::~FramePhysics() = default;

void FramePhysics::setThreads(std::int32_t threads) {
    const std::int32_t wanted = threads <= 0 ? WorkerPool::hardwareThreads() : threads;
    if (wanted == threads_ && !contacts_.empty()) {
        return;
    }
    threads_ = wanted;
    pool_ = threads_ > 1 ? std::make_unique<WorkerPool>(threads_) : nullptr;
    contacts_.resize(static_cast<std::size_t>(threads_));
}

void FramePhysics::prepare(std::int32_t count) {
    count_ = std::max<std::int32_t>(count, 0);
    // resize() allocates only when the count grows past every earlier count;
    // a steady or shrinking count reuses the storage. The contents are left
    // as they are: each pass of step() writes every entry before reading it.
    const auto size = static_cast<std::size_t>(count_);
    const auto padded = size + static_cast<std::size_t>(kFieldRowsPadding);
    snapX_.resize(padded);
    snapY_.resize(padded);
    charge_.resize(padded);
    fieldX_.resize(size);
    fieldY_.resize(size);
    // Room for a few contacts per sphere, so that ordinary crowding does not
    // allocate during a step.
    for (std::vector<Contact>& contacts : contacts_) {
        contacts.reserve(size * 4 + 16);
    }
}

float FramePhysics::contactDistanceSquared(float sphereRadii) {
    const float square = sphereRadii * sphereRadii;
    return 4.0F * square;
}

float FramePhysics::speedScale(float speedDivisor) {
    return static_cast<float>(static_cast<double>(speedDivisor) / 100.0);
}

void FramePhysics::stepReference(std::vector<Vekthing>& things, const PhysicsSettings& settings, const Rect& bounds,
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
            const auto s = static_cast<float>(addFirstNaN(dxWide * dxWide, dyWide * dyWide));
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
                const auto newPx = static_cast<float>(static_cast<double>(other.px()) - multiplyFirstNaN(force, dxWide) / sWide);
                const auto newPy = static_cast<float>(static_cast<double>(other.py()) - multiplyFirstNaN(force, dyWide) / sWide);
                other.set(other.x(), other.y(), newPx, newPy);
            }

            // Field term: q_j as single, widened; product, quotient, sum in
            // double; the sum rounded to single as it is stored.
            const auto chargeJ = static_cast<double>(static_cast<float>(things[jj].electricCharge()));
            sumX = static_cast<float>(addFirstNaN(sumX, (chargeJ * dxWide) / sWide));
            sumY = static_cast<float>(addFirstNaN(sumY, (chargeJ * dyWide) / sWide));
        }
        fieldX_[ii] = sumX;
        fieldY_[ii] = sumY;

        // Force: (q_i * strength) * field, every step in single precision.
        const float chargeStrength = static_cast<float>(chargeI) * settings.electricFieldStrength;
        self.giveForce(multiplyFirstNaN(chargeStrength, sumX), multiplyFirstNaN(chargeStrength, sumY));

        self.animateOneFrame(bounds, speedScale);
    }
}

struct FramePhysics::RowsJob {
    FramePhysics* physics = nullptr;
    FieldRowsInput input;
    std::int32_t parts = 1;
};

void FramePhysics::runRows(void* job, std::int32_t part) {
    auto& rows = *static_cast<RowsJob*>(job);
    FramePhysics& physics = *rows.physics;
    // Equal shares of rows; every row costs the same count of pairs.
    const std::int64_t n = rows.input.count;
    const auto begin = static_cast<std::int32_t>(n * part / rows.parts);
    const auto end = static_cast<std::int32_t>(n * (part + 1) / rows.parts);
    std::vector<Contact>& contacts = physics.contacts_[static_cast<std::size_t>(part)];
    contacts.clear();
    computeFieldRows(rows.input, begin, end, physics.fieldX_.data(), physics.fieldY_.data(), contacts);
}

std::int32_t FramePhysics::takeSnapshot(const std::vector<Vekthing>& things) {
    const auto n = static_cast<std::int32_t>(std::min<std::size_t>(static_cast<std::size_t>(count_), things.size()));
    const auto count = static_cast<std::size_t>(count_);
    for (auto k = static_cast<std::size_t>(n); k < count; ++k) {
        fieldX_[k] = 0.0F;
        fieldY_[k] = 0.0F;
    }
    for (std::int32_t k = 0; k < n; ++k) {
        const auto kk = static_cast<std::size_t>(k);
        const Vekthing& thing = things[kk];
        snapX_[kk] = thing.x();
        snapY_[kk] = thing.y();
        charge_[kk] = static_cast<float>(thing.electricCharge());
    }
    return n;
}

std::int32_t FramePhysics::partsFor(std::int32_t n) const {
    const std::int64_t pairs = static_cast<std::int64_t>(n) * n;
    const std::int64_t useful = 1 + pairs / kPairsPerExtraThread;
    return static_cast<std::int32_t>(std::min<std::int64_t>(threads_, useful));
}

void FramePhysics::step(std::vector<Vekthing>& things, const PhysicsSettings& settings, const Rect& bounds,
                        float contactDistanceSquared, float speedScale) {
    // N is the count taken by prepare(). Should the list be shorter than that,
    // the passes stop at its end, and the field entries past it read 0.
    const std::int32_t n = takeSnapshot(things);

    RowsJob job;
    job.physics = this;
    job.input.snapX = snapX_.data();
    job.input.snapY = snapY_.data();
    job.input.charge = charge_.data();
    job.input.count = n;
    job.input.contactDistanceSquared = contactDistanceSquared;
    job.input.recordContacts = settings.bouncingEnabled;
    job.parts = partsFor(n);
    partsOfLastStep_ = job.parts;
    if (job.parts > 1) {
        pool_->run(&FramePhysics::runRows, &job, job.parts);
    } else {
        runRows(&job, 0);
    }
    applyTurns(things, n, job.parts, settings, bounds, speedScale);
}

void FramePhysics::applyTurns(std::vector<Vekthing>& things, std::int32_t n, std::int32_t parts,
                              const PhysicsSettings& settings, const Rect& bounds, float speedScale) {
    // The parts hold disjoint ascending row ranges, each in turn order, so
    // walking them one after the other meets every pair in turn order.
    std::int32_t part = 0;
    std::size_t next = 0;
    for (std::int32_t i = 0; i < n; ++i) {
        const auto ii = static_cast<std::size_t>(i);
        for (;;) {
            while (part < parts && next == contacts_[static_cast<std::size_t>(part)].size()) {
                ++part;
                next = 0;
            }
            if (part == parts) {
                break;
            }
            const Contact contact = contacts_[static_cast<std::size_t>(part)][next];
            if (contact.i != i) {
                break;
            }
            ++next;
            // The push of the straightforward loop, from the same snapshot
            // values: sphere i has not moved yet in its turn.
            const auto jj = static_cast<std::size_t>(contact.j);
            const float dx = snapX_[ii] - snapX_[jj];
            const float dy = snapY_[ii] - snapY_[jj];
            const double dxWide = dx;
            const double dyWide = dy;
            const double sWide = static_cast<float>(addFirstNaN(dxWide * dxWide, dyWide * dyWide));
            Vekthing& other = things[jj];
            const double force = settings.bounceForce;
            const auto newPx = static_cast<float>(static_cast<double>(other.px()) - multiplyFirstNaN(force, dxWide) / sWide);
            const auto newPy = static_cast<float>(static_cast<double>(other.py()) - multiplyFirstNaN(force, dyWide) / sWide);
            other.set(other.x(), other.y(), newPx, newPy);
        }

        Vekthing& self = things[ii];
        const float chargeStrength = static_cast<float>(self.electricCharge()) * settings.electricFieldStrength;
        self.giveForce(multiplyFirstNaN(chargeStrength, fieldX_[ii]), multiplyFirstNaN(chargeStrength, fieldY_[ii]));
        self.animateOneFrame(bounds, speedScale);
    }
}

}  // namespace pelmora
