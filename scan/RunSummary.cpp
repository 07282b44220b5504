#include "RunSummary.h"

#include <cstdio>
#include <iostream>

#include "ResourceSummary.h"

namespace talvo::scan {

RunSummary::RunSummary(bool showProgress)
    : showProgress_(showProgress), start_(std::chrono::steady_clock::now()), lastProgress_(start_) {}

void RunSummary::Written(const RunFigures& batch) {
    figures_.Add(batch);
    if (!showProgress_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - lastProgress_ < std::chrono::seconds(1)) return;
    lastProgress_ = now;
    const double seconds = std::chrono::duration<double>(now - start_).count();
    char line[160];
    std::snprintf(line, sizeof line, "\rtalvo-scan: %llu reads, %.1f Mb done, %.0f reads/s ",
                  static_cast<unsigned long long>(figures_.reads), figures_.bases / 1e6, figures_.reads / seconds);
    std::cerr << line << std::flush;
    progressShown_ = true;
}

void RunSummary::EndProgress() {
    if (progressShown_) std::cerr << "\r\033[K" << std::flush;
    progressShown_ = false;
}

std::string RunSummary::Summary() const {
    return "talvo-scan: " + DescribeCounts(figures_) + "; " + ResourceSummary(start_);
}

}  // namespace talvo::scan
