// A small fixed pool of worker threads for the rasteriser's stages.
//
// run(jobCount, fn) calls fn(job) once for every job in [0, jobCount), spread
// over the workers and the calling thread, and returns when all are done.
// Which thread runs which job is not fixed, so jobs must write disjoint
// memory; then the result does not depend on the thread count.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace q3d::raster {

class ThreadPool {
public:
    // threadCount counts the caller: 1 (or 0) starts no worker.
    explicit ThreadPool(unsigned threadCount);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    unsigned threadCount() const { return static_cast<unsigned>(workers_.size()) + 1; }

    // [one caller at a time] Runs fn(size_t job) for every job. An exception
    // thrown by a job is rethrown here once all jobs have stopped (later jobs
    // are skipped).
    template <class Fn>
    void run(size_t jobCount, Fn&& fn) {
        if (jobCount == 0) {
            return;
        }
        if (workers_.empty() || jobCount == 1) {
            for (size_t job = 0; job < jobCount; ++job) {
                fn(job);
            }
            return;
        }
        dispatch(jobCount, &fn, [](void* context, size_t job) { (*static_cast<Fn*>(context))(job); });
    }

private:
    using Trampoline = void (*)(void*, size_t);

    void dispatch(size_t jobCount, void* context, Trampoline trampoline);
    void workerLoop();
    void work();

    std::vector<std::thread> workers_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    // Guarded by mutex_.
    unsigned long generation_ = 0;
    unsigned busy_ = 0;
    bool stopping_ = false;
    std::exception_ptr failure_;
    // Set before a generation starts, read by the workers of that generation.
    void* context_ = nullptr;
    Trampoline trampoline_ = nullptr;
    size_t jobCount_ = 0;
    std::atomic<size_t> nextJob_{0};
};

}  // namespace q3d::raster
