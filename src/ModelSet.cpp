#include "ModelSet.h"

namespace talvo {

namespace {
constexpr int kClasses = 16;
}

// One class's model: loaded once, by whichever thread asks first; a failed
// load is kept and thrown again to every later caller.
struct ModelSet::Slot {
    std::once_flag once;
    Model model;
    std::unique_ptr<WindowScorer> scorer;
    std::exception_ptr failure;
};

ModelSet::ModelSet(std::string directory)
    : directory_(std::move(directory)), slots_(new Slot[kClasses]) {}

ModelSet::~ModelSet() = default;

const Model& ModelSet::For(const SequenceClass& cls) const {
    Slot& slot = slots_[cls.Index()];
    std::call_once(slot.once, [&] {
        try {
            slot.model = LoadModel(cls.ParameterPath(directory_), cls.TransitionPath(directory_), cls.windowWidth);
            slot.scorer = std::make_unique<WindowScorer>(slot.model);
        } catch (...) {
            slot.failure = std::current_exception();
        }
    });
    if (slot.failure) std::rethrow_exception(slot.failure);
    return slot.model;
}

const WindowScorer& ModelSet::ScorerFor(const SequenceClass& cls) const {
    For(cls);
    return *slots_[cls.Index()].scorer;
}

void ModelSet::LoadAll() const {
    for (const SequenceClass& cls : AllSequenceClasses()) For(cls);
}

}  // namespace talvo
