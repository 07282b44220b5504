// The stats file of a run (--stats): its figures as JSON, in the form of a
// MultiQC custom-content table (one row per sample: the run's headline
// figures), with every binned figure under "talvo_scan" for other programs
// and for adding up the stats of shards.
#pragma once

#include <cstdint>
#include <string>

#include "RunFigures.h"

namespace talvo::scan {

// What a run's figures come from.
struct RunDescription {
    std::string sample;      // the row's name in MultiQC
    std::string provenance;  // version, model and settings, as the table's first line gives them
    std::string command;     // the command line (of the first run, when runs are added up)
    std::uint64_t runs = 1;  // runs whose figures were added up
};

std::string StatsJson(const RunFigures& figures, const RunDescription& run);

// Reads a stats file written by StatsJson. Throws std::runtime_error naming
// the file and what is wrong with it.
void ReadStatsFile(const std::string& path, RunFigures& figures, RunDescription& run);

}  // namespace talvo::scan
