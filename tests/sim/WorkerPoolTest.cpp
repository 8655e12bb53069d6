// The worker pool: a part that throws must neither leave workers running on
// the caller's finished job nor take the program down.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <thread>

#include "WorkerPool.h"

namespace pelmora {
namespace {

struct Job {
    std::atomic<bool> thrown{false};
    std::atomic<int> finished{0};
    std::int32_t throwingPart = -1;
};

void runPart(void* context, std::int32_t part) {
    auto& job = *static_cast<Job*>(context);
    if (part == job.throwingPart) {
        job.thrown = true;
        throw std::runtime_error("part failed");
    }
    // The other parts are still busy when the throwing one is done.
    while (!job.thrown && job.throwingPart >= 0) {
        std::this_thread::yield();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ++job.finished;
}

TEST(WorkerPool, AThrowingPartIsRethrownOnlyOnceEveryOtherPartIsDone) {
    for (const std::int32_t throwingPart : {0, 1, 2}) {
        WorkerPool pool(3);
        Job job;
        job.throwingPart = throwingPart;
        EXPECT_THROW(pool.run(&runPart, &job, 3), std::runtime_error) << "part " << throwingPart;
        EXPECT_EQ(job.finished.load(), 2) << "part " << throwingPart;

        // The pool stays usable: the next job runs every part.
        Job next;
        pool.run(&runPart, &next, 3);
        EXPECT_EQ(next.finished.load(), 3) << "part " << throwingPart;
    }
}

}  // namespace
}  // namespace pelmora
