// Work split over threads. Each item is computed by exactly one thread and
// written to its own slot, so results never depend on the thread count.
#pragma once

#include <algorithm>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace talvo::tools {

// Number of threads to use when the user asked for `requested` (0: every core).
inline int ThreadCount(int requested) {
    if (requested > 0) return requested;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores);
}

// The number of threads ParallelFor runs `count` items on.
inline int Workers(int count, int threads) { return std::max(1, std::min(threads, count)); }

// Calls body(i, t) for i = 0 .. count-1 on Workers(count, threads) threads;
// thread t (0, 1, ...) takes the items t, t + threads, ..., so that each may
// work in buffers of its own. The first exception is rethrown.
inline void ParallelForByWorker(int count, int threads, const std::function<void(int, int)>& body) {
    threads = Workers(count, threads);
    if (threads == 1) {
        for (int i = 0; i < count; ++i) body(i, 0);
        return;
    }
    std::exception_ptr failure;
    std::mutex failureLock;
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            try {
                for (int i = t; i < count; i += threads) body(i, t);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureLock);
                if (!failure) failure = std::current_exception();
            }
        });
    }
    for (std::thread& th : pool) th.join();
    if (failure) std::rethrow_exception(failure);
}

// Calls body(i) for i = 0 .. count-1 as ParallelForByWorker does.
inline void ParallelFor(int count, int threads, const std::function<void(int)>& body) {
    ParallelForByWorker(count, threads, [&](int i, int) { body(i); });
}

}  // namespace talvo::tools
