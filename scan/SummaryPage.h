// The summary page of a run (--summary): one self-contained HTML page
// (no script, style or font from elsewhere) with a table of the run's
// figures and a bar chart of each binned figure.
#pragma once

#include <string>

#include "RunFigures.h"
#include "StatsFile.h"

namespace talvo::scan {

std::string SummaryPage(const RunFigures& figures, const RunDescription& run);

}  // namespace talvo::scan
