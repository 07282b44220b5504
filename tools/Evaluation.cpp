#include "Evaluation.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <ostream>

#include "ModelSet.h"
#include "Parallel.h"

namespace talvo::tools {

namespace {

struct MatchCounts {
    long recalled = 0;
    long correct = 0;
    std::vector<bool> matched;  // per predicted error
};

// Pairs predicted and true errors of the same kind within `tolerance` bases,
// each at most once, the nearest first in order of the predictions.
MatchCounts MatchErrors(const std::vector<TrueError>& truth, const std::vector<TrueError>& predicted,
                        int cdsFirst, int cdsLast, int tolerance) {
    MatchCounts counts;
    counts.matched.assign(predicted.size(), false);
    std::vector<bool> used(truth.size(), false);
    for (std::size_t k = 0; k < predicted.size(); ++k) {
        const TrueError& p = predicted[k];
        int best = -1;
        for (int i = 0; i < static_cast<int>(truth.size()); ++i) {
            if (used[i] || truth[i].kind != p.kind) continue;
            const int d = std::abs(truth[i].pos - p.pos);
            if (d <= tolerance && (best < 0 || d < std::abs(truth[best].pos - p.pos))) best = i;
        }
        if (best < 0) continue;
        used[best] = true;
        counts.matched[k] = true;
        ++counts.correct;
        if (truth[best].pos >= cdsFirst && truth[best].pos <= cdsLast) ++counts.recalled;
    }
    return counts;
}

// Whether the call reads the intact codon that begins at base q in its frame.
class FrameReader {
public:
    explicit FrameReader(const Call& call) : call_(call) {}
    // Codon starts must be asked in increasing order.
    bool InFrame(int q) {
        if (!call_.framePath.empty() || call_.first < 0) return FrameAt(call_.framePath, q / 3) == q % 3;
        if (q < call_.first || q + 2 > call_.last) return false;
        // An extra base before q moves the codons by +1, a base missing
        // before q (a deletion at q or earlier) by -1.
        while (next_ < call_.errors.size() && (call_.errors[next_].pos < q ||
                                               (call_.errors[next_].pos == q &&
                                                call_.errors[next_].kind == ErrorKind::Deletion))) {
            shift_ += call_.errors[next_].kind == ErrorKind::Insertion ? 1 : 2;
            ++next_;
        }
        return (q - call_.first + 3 - shift_ % 3) % 3 == 0;
    }

private:
    const Call& call_;
    std::size_t next_ = 0;
    int shift_ = 0;
};

struct Figure {
    std::string name;
    double part;
    long whole;
    bool shown = true;  // false: the figure does not apply to this column
    double Value() const { return whole == 0 ? 0.0 : 100.0 * part / whole; }
};

std::string DistanceBinName(std::size_t bin) {
    const std::string prefix = "nearest call of the kind, ";
    if (bin == kDistanceBins.size() + 1) return prefix + "none";
    if (bin == kDistanceBins.size()) return prefix + ">" + std::to_string(kDistanceBins.back());
    if (bin == 0) return prefix + std::to_string(kDistanceBins[0]);
    return prefix + std::to_string(kDistanceBins[bin - 1] + 1) + "-" + std::to_string(kDistanceBins[bin]);
}

std::string ConfidenceBinName(std::size_t bin) {
    char name[48];
    const double lo = bin == 0 ? 0.0 : kConfidenceBins[bin - 1];
    const double hi = bin < kConfidenceBins.size() ? kConfidenceBins[bin] : 1.0;
    std::snprintf(name, sizeof name, "region confidence %.2f-%.2f", lo, hi);
    return name;
}

// The figures of a tally, each 100 part / whole, in the order printed; with
// `confidence`, the mean confidences of the calls too; with `strands` and
// `regions`, the other strand's calls and the region confidence's bins.
std::vector<Figure> Figures(const Tally& t, bool confidence, bool strands, bool regions) {
    const long coding = t.codingTruePositive;
    auto row = [](const char* name, long part, long whole) { return Figure{name, static_cast<double>(part), whole}; };
    std::vector<Figure> rows = {
        row("exact start", t.startExact, t.sequences),
        row("exact stop", t.stopExact, t.sequences),
        row("exact start and stop", t.bothExact, t.sequences),
        row("no coding region found", t.noPrediction, t.sequences),
        row("coding-base sensitivity", coding, coding + t.codingMissed),
        row("coding-base specificity", coding, coding + t.codingFalse),
        row("error recall, +-10 bases", t.recalled10, t.trueErrors),
        row("error precision, +-10 bases", t.correct10, t.predictedErrors),
        row("error recall, +-3 bases", t.recalled3, t.trueErrors),
        row("error precision, +-3 bases", t.correct3, t.predictedErrors),
        row("codons read in the right frame", t.codonsInFrame, t.codons),
    };
    long called = 0;
    for (std::size_t b = 0; b < t.nearest.size(); ++b) {
        rows.push_back({DistanceBinName(b), static_cast<double>(t.nearest[b]), t.trueErrors});
        if (b + 1 < t.nearest.size()) called += t.nearest[b];
    }
    rows.push_back({"  ... that call before the error", static_cast<double>(t.callBefore), called});
    if (confidence) {
        rows.push_back({"mean confidence, right calls +-10", t.confidenceRight, t.correct10, t.confident});
        rows.push_back({"mean confidence, other calls", t.confidenceWrong, t.predictedErrors - t.correct10,
                        t.confident});
    }
    if (strands) rows.push_back({"other strand chosen", static_cast<double>(t.otherStrand), t.sequences, t.strands});
    if (regions) {
        long high = 0;
        long highExact = 0;
        for (std::size_t b = 0; b < t.regionReads.size(); ++b) {
            rows.push_back({ConfidenceBinName(b), static_cast<double>(t.regionReads[b]), t.sequences, t.regions});
            rows.push_back({"  ... both ends exact", static_cast<double>(t.regionExact[b]), t.regionReads[b], t.regions});
            if (b > 0 && kConfidenceBins[b - 1] >= 0.9) {
                high += t.regionReads[b];
                highExact += t.regionExact[b];
            }
        }
        rows.push_back({"region confidence >= 0.9, exact", static_cast<double>(highExact), high, t.regions});
    }
    return rows;
}

bool Any(const std::vector<Tally>& tallies, bool Tally::*flag) {
    for (const Tally& t : tallies) {
        if (t.*flag) return true;
    }
    return false;
}

std::vector<Figure> Figures(const Tally& t, const std::vector<Tally>& all) {
    return Figures(t, Any(all, &Tally::confident), Any(all, &Tally::strands), Any(all, &Tally::regions));
}

}  // namespace

void Tally::Add(const Tally& o) {
    for (long Tally::*field : {&Tally::sequences, &Tally::noPrediction, &Tally::startExact, &Tally::stopExact,
                               &Tally::bothExact, &Tally::codingTruePositive, &Tally::codingMissed,
                               &Tally::codingFalse, &Tally::trueErrors, &Tally::predictedErrors,
                               &Tally::recalled10, &Tally::recalled3, &Tally::correct10, &Tally::correct3,
                               &Tally::codons, &Tally::codonsInFrame, &Tally::callBefore}) {
        this->*field += o.*field;
    }
    for (std::size_t b = 0; b < nearest.size(); ++b) nearest[b] += o.nearest[b];
    confident = confident || o.confident;
    confidenceRight += o.confidenceRight;
    confidenceWrong += o.confidenceWrong;
    strands = strands || o.strands;
    otherStrand += o.otherStrand;
    regions = regions || o.regions;
    for (std::size_t b = 0; b < regionReads.size(); ++b) {
        regionReads[b] += o.regionReads[b];
        regionExact[b] += o.regionExact[b];
    }
}

Call WindowCall(const Prediction& prediction) {
    Call call;
    call.first = prediction.seqLayout.startBase;
    call.last = prediction.seqLayout.stopBase;
    call.errors = prediction.errors;
    call.framePath = prediction.framePath;
    return call;
}

std::vector<Prediction> PredictReads(const std::vector<SimulatedRead>& reads, const std::string& dir,
                                     const PredictionOptions& options, int threads) {
    std::vector<Prediction> predictions(reads.size());
    const ModelSet models(dir);
    models.LoadAll();  // a broken model directory fails before any work
    ParallelFor(static_cast<int>(reads.size()), threads, [&](int i) {
        Prediction p = Predict(models, BaseCodes(reads[i].bases), options);
        const int start = p.seqLayout.startBase;
        const int stop = p.seqLayout.stopBase;
        p.seqLayout = layout{};
        p.seqLayout.startBase = start;
        p.seqLayout.stopBase = stop;
        p.frameScore = {};
        predictions[i] = std::move(p);
    });
    return predictions;
}

void Score(const SimulatedRead& read, const Call& call, Tally& t) {
    ++t.sequences;
    const int startBase = call.first;
    const int stopBase = call.last;
    const bool found = startBase >= 0;
    if (!found) ++t.noPrediction;
    const bool startOk = found && startBase == read.cdsFirst;
    const bool stopOk = found && stopBase == read.cdsLast;
    t.startExact += startOk;
    t.stopExact += stopOk;
    t.bothExact += startOk && stopOk;
    t.strands = t.strands || call.strands;
    t.otherStrand += call.otherStrand;
    if (found && call.regionConfidence >= 0.0) {
        t.regions = true;
        std::size_t bin = 0;
        while (bin < kConfidenceBins.size() && call.regionConfidence >= kConfidenceBins[bin]) ++bin;
        ++t.regionReads[bin];
        t.regionExact[bin] += startOk && stopOk;
    }

    const long coding = read.cdsLast - read.cdsFirst + 1;
    long overlap = 0;
    long predicted = 0;
    if (found) {
        const int stop = std::min(stopBase, static_cast<int>(read.bases.size()) - 1);
        predicted = stop - startBase + 1;
        const int lo = std::max(startBase, read.cdsFirst);
        const int hi = std::min(stop, read.cdsLast);
        overlap = hi >= lo ? hi - lo + 1 : 0;
    }
    t.codingTruePositive += overlap;
    t.codingMissed += coding - overlap;
    t.codingFalse += predicted - overlap;

    const std::vector<TrueError>& predictedErrors = call.errors;
    for (const TrueError& e : read.errors) t.trueErrors += e.pos >= read.cdsFirst && e.pos <= read.cdsLast;
    t.predictedErrors += static_cast<long>(predictedErrors.size());
    const MatchCounts near10 = MatchErrors(read.errors, predictedErrors, read.cdsFirst, read.cdsLast, 10);
    const MatchCounts near3 = MatchErrors(read.errors, predictedErrors, read.cdsFirst, read.cdsLast, 3);
    t.recalled10 += near10.recalled;
    t.correct10 += near10.correct;
    t.recalled3 += near3.recalled;
    t.correct3 += near3.correct;
    if (call.confident) {
        t.confident = true;
        for (std::size_t k = 0; k < predictedErrors.size(); ++k) {
            (near10.matched[k] ? t.confidenceRight : t.confidenceWrong) += call.confidence[k];
        }
    }

    for (const TrueError& e : read.errors) {
        if (e.pos < read.cdsFirst || e.pos > read.cdsLast) continue;
        bool called = false;
        int nearest = 0;  // signed distance of the nearest call of the error's kind
        for (const TrueError& p : predictedErrors) {
            if (p.kind == e.kind && (!called || std::abs(p.pos - e.pos) < std::abs(nearest))) {
                called = true;
                nearest = p.pos - e.pos;
            }
        }
        std::size_t bin = t.nearest.size() - 1;
        if (called) {
            bin = 0;
            while (bin < kDistanceBins.size() && std::abs(nearest) > kDistanceBins[bin]) ++bin;
            t.callBefore += nearest < 0;
        }
        ++t.nearest[bin];
    }

    FrameReader frames(call);
    for (int q : read.codonStarts) {
        ++t.codons;
        t.codonsInFrame += frames.InFrame(q);
    }
}

void Score(const SimulatedRead& read, const Prediction& prediction, Tally& tally) {
    Score(read, WindowCall(prediction), tally);
}

void PrintTable(const std::vector<std::string>& names, const std::vector<Tally>& tallies, std::ostream& out) {
    char cell[64];
    std::snprintf(cell, sizeof cell, "%-32s", "");
    out << cell;
    for (const std::string& name : names) {
        std::snprintf(cell, sizeof cell, " %14s", name.c_str());
        out << cell;
    }
    out << "\n";
    std::snprintf(cell, sizeof cell, "%-32s", "sequences");
    out << cell;
    for (const Tally& t : tallies) {
        std::snprintf(cell, sizeof cell, " %14ld", t.sequences);
        out << cell;
    }
    out << "\n";
    std::snprintf(cell, sizeof cell, "%-32s", "true / predicted errors");
    out << cell;
    for (const Tally& t : tallies) {
        std::snprintf(cell, sizeof cell, " %14s", (std::to_string(t.trueErrors) + " / " + std::to_string(t.predictedErrors)).c_str());
        out << cell;
    }
    out << "\n";
    std::vector<std::vector<Figure>> columns;
    for (const Tally& t : tallies) columns.push_back(Figures(t, tallies));
    for (std::size_t r = 0; !columns.empty() && r < columns[0].size(); ++r) {
        std::snprintf(cell, sizeof cell, "%-32s", columns[0][r].name.c_str());
        out << cell;
        for (const std::vector<Figure>& column : columns) {
            if (column[r].shown) {
                std::snprintf(cell, sizeof cell, " %13.1f%%", column[r].Value());
            } else {
                std::snprintf(cell, sizeof cell, " %14s", "-");
            }
            out << cell;
        }
        out << "\n";
    }
}

void PrintTsv(const std::vector<std::string>& names, const std::vector<Tally>& tallies, std::ostream& out) {
    out << "scenario\tmetric\tpercent\tpart\twhole\n";
    for (std::size_t s = 0; s < names.size(); ++s) {
        const Tally& t = tallies[s];
        for (const Figure& row : Figures(t, tallies)) {
            if (!row.shown) continue;
            char value[32];
            char part[32];
            std::snprintf(value, sizeof value, "%.2f", row.Value());
            // Counts whole; sums of confidences to two decimals, as printed everywhere.
            std::snprintf(part, sizeof part, std::floor(row.part) == row.part ? "%.0f" : "%.2f", row.part);
            out << names[s] << '\t' << row.name << '\t' << value << '\t' << part << '\t' << row.whole << '\n';
        }
    }
}

}  // namespace talvo::tools
