// What a run has done so far: its figures (RunFigures), a progress line
// for a terminal, and the closing summary with the resources used.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "RunFigures.h"

namespace talvo::scan {

class RunSummary {
public:
    explicit RunSummary(bool showProgress);
    // Counts a written batch; on a terminal, redraws the progress line at
    // most once a second.
    void Written(const RunFigures& batch);
    // Clears the progress line.
    void EndProgress();
    // The closing line: counts, wall time, CPU time, peak resident memory.
    std::string Summary() const;
    const RunFigures& Figures() const { return figures_; }

private:
    bool showProgress_;
    bool progressShown_ = false;
    RunFigures figures_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastProgress_;
};

}  // namespace talvo::scan
