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

// The pipeline's shared state, and the steps of its threads: the calling
// thread reads, each worker claims the next batch read, works on it and
// then writes the finished batches at the head of the queue, unless another
// worker is writing them already.
template <class Batch>
class OrderedPipeline {
public:
    explicit OrderedPipeline(std::size_t maxBatches) : maxBatches_(maxBatches) {}

    template <class Read, class Work, class Write>
    void Run(int threads, Read& read, Work& work, Write& write) {
        std::vector<std::thread> workers;
        workers.reserve(static_cast<std::size_t>(threads));
        for (int i = 0; i < threads; ++i) workers.emplace_back([&] { Serve(work, write); });
        ReadAll(read);
        for (std::thread& thread : workers) thread.join();
        if (failure_) std::rethrow_exception(failure_);
    }

private:
    struct Slot {
        Batch batch;
        bool done = false;
    };

    // The calling thread: reads batches while fewer than maxBatches are in
    // flight, until the input ends or the pipeline fails.
    template <class Read>
    void ReadAll(Read& read) {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            changed_.wait(lock, [&] { return failure_ || inFlight_.size() < maxBatches_; });
            if (failure_) break;
            lock.unlock();
            auto slot = std::make_unique<Slot>();
            bool more = false;
            if (!Attempt(lock, [&] { more = read(slot->batch); })) break;
            lock.lock();
            if (!more) break;
            inFlight_.push_back(std::move(slot));
            changed_.notify_all();
        }
        reading_ = false;
        changed_.notify_all();
    }

    // A worker: claims batches in reading order and works on each; after
    // each, writes what is finished at the head unless another worker is.
    template <class Work, class Write>
    void Serve(Work& work, Write& write) {
        std::unique_lock<std::mutex> lock(mutex_);
        while (Slot* slot = Claim(lock)) {
            lock.unlock();
            if (!Attempt(lock, [&] { work(slot->batch); })) return;
            lock.lock();
            slot->done = true;
            if (writing_) continue;
            writing_ = true;
            const bool written = WriteFinished(lock, write);
            writing_ = false;
            if (!written) return;
        }
    }

    // The next batch read and not claimed yet; nullptr once the pipeline has
    // failed, or reading has ended and every batch is claimed.
    Slot* Claim(std::unique_lock<std::mutex>& lock) {
        changed_.wait(lock, [&] { return failure_ || claimed_ < inFlight_.size() || !reading_; });
        if (failure_ || claimed_ == inFlight_.size()) return nullptr;
        return inFlight_[claimed_++].get();
    }

    // Writes the finished batches at the head, in reading order; false when
    // the pipeline has failed in a write.
    template <class Write>
    bool WriteFinished(std::unique_lock<std::mutex>& lock, Write& write) {
        while (!failure_ && !inFlight_.empty() && inFlight_.front()->done) {
            std::unique_ptr<Slot> head = std::move(inFlight_.front());
            inFlight_.pop_front();
            --claimed_;
            changed_.notify_all();
            lock.unlock();
            if (!Attempt(lock, [&] { write(head->batch); })) return false;
            lock.lock();
        }
        return true;
    }

    // Runs a stage with the lock released; an exception becomes the
    // pipeline's failure (the first one is kept), and the lock is held again.
    template <class Stage>
    bool Attempt(std::unique_lock<std::mutex>& lock, Stage&& stage) {
        try {
            stage();
            return true;
        } catch (...) {
            lock.lock();
            if (!failure_) failure_ = std::current_exception();
            changed_.notify_all();
            return false;
        }
    }

    const std::size_t maxBatches_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::unique_ptr<Slot>> inFlight_;  // in reading order, not yet written
    std::size_t claimed_ = 0;                     // slots of inFlight_ handed to a worker
    bool reading_ = true;
    bool writing_ = false;
    std::exception_ptr failure_;
};

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
    OrderedPipeline<Batch>(maxBatches).Run(threads, read, work, write);
}

}  // namespace talvo::scan
