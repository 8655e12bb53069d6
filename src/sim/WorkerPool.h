#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace pelmora {

// A few threads that run the parts of one job at a time. The caller's thread
// runs part 0 and the workers the others; run() returns once every part is
// done. The workers are started on the first job and wait between jobs, so
// no thread is created per job.
class WorkerPool {
public:
    using Task = void (*)(void* context, std::int32_t part);

    // `threads` counts the caller's thread too; fewer than 1 counts as 1.
    explicit WorkerPool(std::int32_t threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    std::int32_t size() const { return threads_; }

    // Runs task(context, part) for every part from 0 to parts - 1, at most
    // size() parts; the workers beyond `parts` sit this job out. Parts that
    // have no worker (the system would not start one) run on the caller's
    // thread after part 0. Should a part throw, the first exception is
    // rethrown here once every part has ended, so no worker is left using
    // `context`.
    void run(Task task, void* context, std::int32_t parts);

    // The machine's cores, at least 1.
    static std::int32_t hardwareThreads();

private:
    void start();
    void work(std::int32_t part);

    std::int32_t threads_ = 1;
    bool started_ = false;
    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    Task task_ = nullptr;
    void* context_ = nullptr;
    // Counts jobs; a worker runs a job when it sees a number it has not run.
    std::uint64_t job_ = 0;
    std::int32_t parts_ = 0;
    std::int32_t pending_ = 0;
    std::exception_ptr failure_;
    bool stopping_ = false;
};

}  // namespace pelmora
