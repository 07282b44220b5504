// The models of a parameter directory, one per sequence class, each loaded
// the first time a read of its class asks for it and shared read-only by
// every thread afterwards.
#pragma once

#include <array>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Model.h"
#include "SequenceClass.h"
#include "WindowScorer.h"

namespace talvo {

class ModelSet {
public:
    explicit ModelSet(std::string directory);
    ~ModelSet();
    ModelSet(const ModelSet&) = delete;
    ModelSet& operator=(const ModelSet&) = delete;

    // The model of a class, loaded on first use (thread-safe) and read
    // strictly (ModelReading::Strict): a file that cannot be opened, ends
    // early, holds an overlong line, a bad rule or a value that is not a
    // finite number throws EngineError, on this and on every later call for
    // the class.
    const Model& For(const SequenceClass& cls) const;
    // The compiled scorer of that model, built with it.
    const WindowScorer& ScorerFor(const SequenceClass& cls) const;
    // Loads every class now, so that a missing or broken directory is found
    // before the first read.
    void LoadAll() const;

private:
    struct Slot;
    std::string directory_;
    std::unique_ptr<Slot[]> slots_;
};

}  // namespace talvo
