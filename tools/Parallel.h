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

// Calls body(i) for i = 0 .. count-1 on up to `threads` threads; thread t
// takes the items t, t + threads, ... The first exception is rethrown.
inline void ParallelFor(int count, int threads, const std::function<void(int)>& body) {
    threads = std::max(1, std::min(threads, count));
    if (threads == 1) {
        for (int i = 0; i < count; ++i) body(i);
        return;
    }
    std::exception_ptr failure;
    std::mutex failureLock;
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (int t = 0; t < threads; ++t) {
        pool.emplace_back([&, t] {
            try {
                for (int i = t; i < count; i += threads) body(i);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failureLock);
                if (!failure) failure = std::current_exception();
            }
        });
    }
    for (std::thread& th : pool) th.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace talvo::tools
