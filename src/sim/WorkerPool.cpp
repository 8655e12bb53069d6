#include "WorkerPool.h"

#include <algorithm>
#include <system_error>

namespace pelmora {

WorkerPool::WorkerPool(std::int32_t threads) : threads_(std::max<std::int32_t>(threads, 1)) {}

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

std::int32_t WorkerPool::hardwareThreads() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<std::int32_t>(std::min<unsigned>(cores, 1024U));
}

void WorkerPool::start() {
    started_ = true;
    workers_.reserve(static_cast<std::size_t>(threads_ - 1));
    for (std::int32_t part = 1; part < threads_; ++part) {
        try {
            workers_.emplace_back([this, part] { work(part); });
        } catch (const std::system_error&) {
            // Out of threads or memory: the workers made so far do what they
            // can and the caller's thread the rest.
            return;
        }
    }
}

void WorkerPool::run(Task task, void* context, std::int32_t parts) {
    parts = std::max<std::int32_t>(std::min(parts, threads_), 1);
    if (parts > 1 && !started_) {
        start();
    }
    // Parts 1 to shared - 1 go to the workers, the others stay here.
    const auto shared = std::min(parts, static_cast<std::int32_t>(workers_.size()) + 1);
    if (shared <= 1) {
        for (std::int32_t part = 0; part < parts; ++part) {
            task(context, part);
        }
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        task_ = task;
        context_ = context;
        parts_ = shared;
        pending_ = shared - 1;
        ++job_;
    }
    wake_.notify_all();
    std::exception_ptr failure;
    try {
        task(context, 0);
        for (std::int32_t part = shared; part < parts; ++part) {
            task(context, part);
        }
    } catch (...) {
        failure = std::current_exception();
    }
    std::unique_lock<std::mutex> lock(mutex_);
    done_.wait(lock, [this] { return pending_ == 0; });
    if (!failure) {
        failure = failure_;
    }
    failure_ = nullptr;
    lock.unlock();
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void WorkerPool::work(std::int32_t part) {
    std::uint64_t seen = 0;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this, seen] { return stopping_ || job_ != seen; });
        if (stopping_) {
            return;
        }
        seen = job_;
        if (part >= parts_) {
            continue;
        }
        const Task task = task_;
        void* const context = context_;
        lock.unlock();
        std::exception_ptr failure;
        try {
            task(context, part);
        } catch (...) {
            failure = std::current_exception();
        }
        lock.lock();
        if (failure && !failure_) {
            failure_ = failure;
        }
        if (--pending_ == 0) {
            done_.notify_one();
        }
    }
}

}  // namespace pelmora
