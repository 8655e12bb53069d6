#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "FieldRows.h"
#include "Geometry.h"
#include "Vekthing.h"
#include "WorkerPool.h"

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
//
// Every field sum depends only on the snapshot, so step() computes them all
// first, across vector lanes and worker threads, noting the touching pairs;
// then the pushes, forces and moves run in list order on the calling thread.
// stepReference() is the plain loop that does it all in one pass; both leave
// every sphere and every field sum the same to the bit.
class FramePhysics {
public:
    // `threads` is the most threads a step may use, the caller's included;
    // 0 means one per core, 1 keeps every step on the calling thread.
    explicit FramePhysics(std::int32_t threads = 0);
    ~FramePhysics();
    FramePhysics(const FramePhysics&) = delete;
    FramePhysics& operator=(const FramePhysics&) = delete;

    void setThreads(std::int32_t threads);
    std::int32_t threads() const { return threads_; }

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
    // The same frame in the straightforward single loop.
    void stepReference(std::vector<Vekthing>& things, const PhysicsSettings& settings, const Rect& bounds,
                       float contactDistanceSquared, float speedScale);

    // Below this many pair evaluations a step stays on the calling thread:
    // waking the workers would cost more than they save.
    static constexpr std::int64_t kPairsPerExtraThread = 40000;

    // How many parts the last step() split its rows into; 1: it stayed on the
    // calling thread and woke no worker.
    std::int32_t partsOfLastStep() const { return partsOfLastStep_; }

    // The field at each sphere's start-of-frame position, without its own
    // charge and without the field strength.
    const std::vector<float>& fieldX() const { return fieldX_; }
    const std::vector<float>& fieldY() const { return fieldY_; }

private:
    struct RowsJob;
    static void runRows(void* job, std::int32_t part);
    std::int32_t takeSnapshot(const std::vector<Vekthing>& things);
    std::int32_t partsFor(std::int32_t n) const;
    void applyTurns(std::vector<Vekthing>& things, std::int32_t n, std::int32_t parts, const PhysicsSettings& settings,
                    const Rect& bounds, float speedScale);

    std::int32_t count_ = 0;
    std::int32_t threads_ = 1;
    std::int32_t partsOfLastStep_ = 1;
    // Padded by kFieldRowsPadding so vector blocks may read past the end.
    std::vector<float> snapX_;
    std::vector<float> snapY_;
    std::vector<float> charge_;
    std::vector<float> fieldX_;
    std::vector<float> fieldY_;
    // The touching pairs each part of the rows found, in turn order.
    std::vector<std::vector<Contact>> contacts_;
    std::unique_ptr<WorkerPool> pool_;
};

}  // namespace pelmora
