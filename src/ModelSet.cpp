#include "ModelSet.h"

#include <atomic>

namespace talvo {

namespace {
constexpr int kClasses = 16;
}

// One class's model: loaded once, by whichever thread asks first; a failed
// load is kept and thrown again to every later caller.
struct ModelSet::Slot {
    std::once_flag once;
    LoadedModel loaded;
    std::unique_ptr<WindowScorer> scorer;
    std::exception_ptr failure;
    std::atomic<bool> done{false};  // set once loaded (or failed)
};

ModelSet::ModelSet(std::string directory)
    : directory_(std::move(directory)), slots_(new Slot[kClasses]) {}

ModelSet::~ModelSet() = default;

const Model& ModelSet::For(const SequenceClass& cls) const {
    Slot& slot = slots_[cls.Index()];
    std::call_once(slot.once, [&] {
        try {
            slot.loaded = LoadModel(cls.ParameterPath(directory_), cls.TransitionPath(directory_),
                                    cls.windowWidth);
            slot.scorer = std::make_unique<WindowScorer>(slot.loaded.model);
        } catch (...) {
            slot.failure = std::current_exception();
        }
        slot.done.store(true, std::memory_order_release);
    });
    if (slot.failure) std::rethrow_exception(slot.failure);
    return slot.loaded.model;
}

const WindowScorer& ModelSet::ScorerFor(const SequenceClass& cls) const {
    For(cls);
    return *slots_[cls.Index()].scorer;
}

void ModelSet::LoadAll() const {
    for (const SequenceClass& cls : AllSequenceClasses()) For(cls);
}

std::vector<std::string> ModelSet::Warnings() const {
    std::vector<std::string> warnings;
    for (const SequenceClass& cls : AllSequenceClasses()) {
        const Slot& slot = slots_[cls.Index()];
        if (!slot.done.load(std::memory_order_acquire)) continue;
        warnings.insert(warnings.end(), slot.loaded.warnings.begin(), slot.loaded.warnings.end());
    }
    return warnings;
}

}  // namespace talvo
