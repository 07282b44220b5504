#include "Outputs.h"

namespace talvo::scan {

std::string BedStart(const std::string& provenance) { return "# " + provenance + "\n"; }

void AppendBed12(std::string& out, const Read& read, const CodingRegion& region) {
    const std::vector<CodingStretch>& blocks = region.stretches;
    if (!region.HasCds() || blocks.empty()) return;
    const int first = blocks.front().first;
    const std::string start = std::to_string(first);
    const std::string end = std::to_string(blocks.back().last + 1);
    out += read.id;
    out += '\t' + start + '\t' + end + '\t';
    out += read.id;
    out += region.prediction.minus ? "\t0\t-\t" : "\t0\t+\t";
    out += start + '\t' + end + "\t0\t" + std::to_string(blocks.size()) + '\t';
    for (const CodingStretch& block : blocks) out += std::to_string(block.last - block.first + 1) + ',';
    out += '\t';
    for (const CodingStretch& block : blocks) out += std::to_string(block.first - first) + ',';
    out += '\n';
}

}  // namespace talvo::scan
