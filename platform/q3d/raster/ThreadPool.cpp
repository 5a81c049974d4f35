#include "platform/q3d/raster/ThreadPool.h"

namespace q3d::raster {

ThreadPool::ThreadPool(unsigned threadCount) {
    for (unsigned i = 1; i < threadCount; ++i) {
        workers_.emplace_back([this] { workerLoop(); });
    }
}

ThreadPool::~ThreadPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

void ThreadPool::work() {
    for (;;) {
        size_t job = nextJob_.fetch_add(1, std::memory_order_relaxed);
        if (job >= jobCount_) {
            return;
        }
        try {
            trampoline_(context_, job);
        } catch (...) {
            std::lock_guard lock(mutex_);
            if (!failure_) {
                failure_ = std::current_exception();
            }
            // Skip what is left: the caller sees the first failure.
            nextJob_.store(jobCount_, std::memory_order_relaxed);
        }
    }
}

void ThreadPool::dispatch(size_t jobCount, void* context, Trampoline trampoline) {
    {
        std::lock_guard lock(mutex_);
        context_ = context;
        trampoline_ = trampoline;
        jobCount_ = jobCount;
        nextJob_.store(0, std::memory_order_relaxed);
        failure_ = nullptr;
        busy_ = static_cast<unsigned>(workers_.size());
        ++generation_;
    }
    wake_.notify_all();
    work();
    std::exception_ptr failure;
    {
        std::unique_lock lock(mutex_);
        done_.wait(lock, [this] { return busy_ == 0; });
        failure = failure_;
        failure_ = nullptr;
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
}

void ThreadPool::workerLoop() {
    unsigned long seen = 0;
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || generation_ != seen; });
            if (stopping_) {
                return;
            }
            seen = generation_;
        }
        work();
        {
            std::lock_guard lock(mutex_);
            if (--busy_ == 0) {
                done_.notify_one();
            }
        }
    }
}

}  // namespace q3d::raster
