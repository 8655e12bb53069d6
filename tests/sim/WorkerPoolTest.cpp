// The worker pool: a part that throws must neither leave workers running on
// the caller's finished job nor take the program down.

#include <gtest/gtest.h>
#if defined(__GLIBC__)
#include <pthread.h>
#endif

#include <array>
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

#if defined(__GLIBC__)
// Makes every thread started meanwhile fail for want of memory for its stack.
// The default attributes are a glibc extension, so the case runs on Linux only.
class ThreadsRefused {
public:
    ThreadsRefused() {
        pthread_getattr_default_np(&saved_);
        pthread_attr_t huge;
        pthread_attr_init(&huge);
        pthread_attr_setstacksize(&huge, std::size_t{1} << 50);
        pthread_setattr_default_np(&huge);
        pthread_attr_destroy(&huge);
    }
    ~ThreadsRefused() {
        pthread_setattr_default_np(&saved_);
        pthread_attr_destroy(&saved_);
    }
    ThreadsRefused(const ThreadsRefused&) = delete;
    ThreadsRefused& operator=(const ThreadsRefused&) = delete;

private:
    pthread_attr_t saved_;
};

void markPart(void* context, std::int32_t part) {
    ++(*static_cast<std::array<std::atomic<int>, 3>*>(context))[static_cast<std::size_t>(part)];
}

TEST(WorkerPool, WithoutTheThreadsItAskedForEveryPartStillRunsOnce) {
    WorkerPool pool(3);
    std::array<std::atomic<int>, 3> runs{};
    {
        const ThreadsRefused refused;
        EXPECT_NO_THROW(pool.run(&markPart, &runs, 3));
    }
    for (std::size_t part = 0; part < runs.size(); ++part) {
        EXPECT_EQ(runs[part].load(), 1) << "part " << part;
    }
    // Later jobs too, on whatever threads the pool has.
    std::array<std::atomic<int>, 3> later{};
    pool.run(&markPart, &later, 3);
    for (std::size_t part = 0; part < later.size(); ++part) {
        EXPECT_EQ(later[part].load(), 1) << "part " << part;
    }
}
#endif

}  // namespace
}  // namespace pelmora
