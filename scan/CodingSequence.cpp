#include "CodingSequence.h"

#include <algorithm>

#include "GeneticCode.h"
#include "ReadBases.h"

namespace talvo::scan {

namespace {

// The amino-acid letters in index order (Ala .. Tyr, stop).
constexpr char kAminoAcidLetters[] = "ACDEFGHIKLMNPQRSTVWY*";

std::vector<int> CodingPositions(const ReadPrediction& prediction) {
    std::vector<int> positions;
    const auto& errors = prediction.errors;
    positions.reserve(static_cast<std::size_t>(prediction.last - prediction.first) + errors.size() + 1);
    // Errors at p, in the order of the positions walked.
    const auto at = [&](int p, ErrorKind kind) {
        const auto found = std::lower_bound(errors.begin(), errors.end(), p,
                                            [](const SequencingError& e, int pos) { return e.pos < pos; });
        for (auto e = found; e != errors.end() && e->pos == p; ++e) {
            if (e->kind == kind) return true;
        }
        return false;
    };
    if (!prediction.minus) {
        for (int p = prediction.first; p <= prediction.last; ++p) {
            if (at(p, ErrorKind::Deletion)) positions.push_back(-1);
            if (!at(p, ErrorKind::Insertion)) positions.push_back(p);
        }
    } else {
        // A base missing just before p follows p on this strand.
        for (int p = prediction.last; p >= prediction.first; --p) {
            if (!at(p, ErrorKind::Insertion)) positions.push_back(p);
            if (at(p, ErrorKind::Deletion)) positions.push_back(-1);
        }
    }
    return positions;
}

// The stretches of the codons read whole on the read (and of the codons cut
// by the region's ends whose bases are on the read), codons counted from
// `phase`.
std::vector<CodingStretch> Stretches(const std::vector<int>& positions, int phase, bool minus) {
    const int step = minus ? -1 : 1;
    const std::size_t n = positions.size();
    // Runs of codons in the direction of translation, as [from, to].
    std::vector<CodingStretch> runs;
    for (std::size_t i = 0; i < n;) {
        const std::size_t end = std::min(i == 0 && phase > 0 ? static_cast<std::size_t>(phase) : i + 3, n);
        bool onRead = positions[i] >= 0;
        for (std::size_t j = i + 1; j < end && onRead; ++j) onRead = positions[j] == positions[j - 1] + step;
        if (onRead) {
            const int from = positions[i];
            const int to = positions[end - 1];
            if (!runs.empty() && runs.back().last + step == from) {
                runs.back().last = to;
            } else {
                runs.push_back({from, to, i == 0 ? phase : 0});
            }
        }
        i = end;
    }
    std::vector<CodingStretch> stretches;
    stretches.reserve(runs.size());
    for (const CodingStretch& run : runs) {
        stretches.push_back({std::min(run.first, run.last), std::max(run.first, run.last), run.phase});
    }
    if (minus) std::reverse(stretches.begin(), stretches.end());
    return stretches;
}

}  // namespace

CodingRegion MakeCodingRegion(const std::vector<short>& bases, ReadPrediction prediction) {
    CodingRegion region{std::move(prediction), {}, {}, {}, {}, {}};
    if (!region.prediction.HasRegion()) return region;
    const ReadPrediction& p = region.prediction;
    region.positions = CodingPositions(p);
    region.cds.assign(region.positions.size(), -1);
    for (std::size_t i = 0; i < region.positions.size(); ++i) {
        if (region.positions[i] < 0) continue;
        const short base = bases[static_cast<std::size_t>(region.positions[i])];
        region.cds[i] = p.minus ? Complement(base) : base;
    }
    region.protein = Translate(region.cds, p.phase);
    region.stretches = Stretches(region.positions, p.phase, p.minus);
    region.ends = EndsOf(region.positions, region.cds, p.phase, p.minus, p.first, p.last,
                         static_cast<int>(bases.size()));
    return region;
}

std::string Translate(const std::vector<short>& cds, int from) {
    std::string protein;
    protein.reserve(cds.size() / 3);
    for (std::size_t i = static_cast<std::size_t>(from); i + 2 < cds.size(); i += 3) {
        const int acid = AminoAcidOf(cds[i], cds[i + 1], cds[i + 2]);
        protein += acid < 0 ? 'X' : kAminoAcidLetters[acid];
    }
    return protein;
}

}  // namespace talvo::scan
