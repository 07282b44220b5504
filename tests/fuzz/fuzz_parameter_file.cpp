// Fuzz target: the parameter-file loader on a file of arbitrary bytes. A rule
// field out of its range is refused with EngineError; a loaded model must be
// safe to score a window with.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "EngineError.h"
#include "FuzzSupport.h"
#include "Model.h"
#include "SampleExtraction.h"
#include "WindowScoring.h"

namespace {

// A window of the same codons every time, scored with the loaded rules.
const talvo::smplTestData& FixedWindow() {
    static const talvo::smplTestData sample = [] {
        static const short bases[] = {0, 1, 2, 2, 3, 0, 1, 1, 3, 2, 0, 0, 0, 1, 0, 3, 3, 1,
                                      2, 2, 2, 1, 2, 0, 0, 3, 1, 2, 1, 3, -1, 0, 2, 0, 0, 3};
        constexpr int length = static_cast<int>(std::size(bases));
        talvo::smplTestData s;
        bool centreStop = false;
        talvo::ScanWindow(s, bases, length, 0, length, centreStop);
        return s;
    }();
    return sample;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string& path = talvo::fuzz::WriteScratchFile(data, size);
    talvo::Model model;
    std::vector<std::string> warnings;
    try {
        talvo::ReadParameterFile(path, talvo::kMaxRules, model, warnings);
    } catch (const talvo::EngineError&) {
        return 0;
    }
    talvo::fuzz::Require(model.rules.size() == talvo::kMaxRules, "one record per rule line");
    double score = 0.0;
    talvo::ScoreWindow(model, FixedWindow(), score);
    return 0;
}
