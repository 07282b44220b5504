// An ordered read -> work -> write pipeline over batches: batches are read
// one after another by the calling thread, worked on by any number of
// threads at once, and written one at a time in the order they were read,
// so that the output does not depend on the number of threads. At most a
// fixed number of batches exist at once, which bounds the memory.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace talvo::scan {

// read(Batch&) fills the next batch and returns false when none is left;
// work(Batch&) and write(Batch&) process one. An exception from any stage
// stops the pipeline: batches not yet written are dropped, and the first
// exception is rethrown once every thread has ended.
template <class Batch, class Read, class Work, class Write>
void RunOrdered(int threads, std::size_t maxBatches, Read read, Work work, Write write) {
    if (threads <= 1) {
        for (Batch batch; read(batch);) {
            work(batch);
            write(batch);
        }
        return;
    }
    struct Slot {
        Batch batch;
        bool done = false;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::unique_ptr<Slot>> inFlight;  // in reading order, not yet written
    std::size_t claimed = 0;                     // slots of inFlight handed to a worker
    bool reading = true;
    bool writing = false;
    std::exception_ptr failure;

    const auto fail = [&](std::unique_lock<std::mutex>& lock) {
        if (!lock.owns_lock()) lock.lock();
        if (!failure) failure = std::current_exception();
        changed.notify_all();
    };
    const auto worker = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return failure || claimed < inFlight.size() || !reading; });
            if (failure || claimed == inFlight.size()) return;
            Slot& slot = *inFlight[claimed++];
            lock.unlock();
            try {
                work(slot.batch);
            } catch (...) {
                fail(lock);
                return;
            }
            lock.lock();
            slot.done = true;
            // Write every finished batch at the head, unless another worker is.
            if (writing) continue;
            writing = true;
            while (!failure && !inFlight.empty() && inFlight.front()->done) {
                std::unique_ptr<Slot> head = std::move(inFlight.front());
                inFlight.pop_front();
                --claimed;
                changed.notify_all();
                lock.unlock();
                try {
                    write(head->batch);
                } catch (...) {
                    fail(lock);
                    writing = false;
                    return;
                }
                lock.lock();
            }
            writing = false;
        }
    };

    std::vector<std::thread> workers;
    workers.reserve(static_cast<std::size_t>(threads));
    for (int i = 0; i < threads; ++i) workers.emplace_back(worker);
    {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return failure || inFlight.size() < maxBatches; });
            if (failure) break;
            lock.unlock();
            auto slot = std::make_unique<Slot>();
            bool more;
            try {
                more = read(slot->batch);
            } catch (...) {
                fail(lock);
                break;
            }
            lock.lock();
            if (!more) break;
            inFlight.push_back(std::move(slot));
            changed.notify_all();
        }
        if (!lock.owns_lock()) lock.lock();
        reading = false;
        changed.notify_all();
    }
    for (std::thread& thread : workers) thread.join();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace talvo::scan
