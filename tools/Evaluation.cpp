#include "Evaluation.h"

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
};

// Pairs predicted and true errors of the same kind within `tolerance` bases,
// each at most once, the nearest first in order of the predictions.
MatchCounts MatchErrors(const std::vector<TrueError>& truth, const std::vector<TrueError>& predicted,
                        int cdsFirst, int cdsLast, int tolerance) {
    MatchCounts counts;
    std::vector<bool> used(truth.size(), false);
    for (const TrueError& p : predicted) {
        int best = -1;
        for (int i = 0; i < static_cast<int>(truth.size()); ++i) {
            if (used[i] || truth[i].kind != p.kind) continue;
            const int d = std::abs(truth[i].pos - p.pos);
            if (d <= tolerance && (best < 0 || d < std::abs(truth[best].pos - p.pos))) best = i;
        }
        if (best < 0) continue;
        used[best] = true;
        ++counts.correct;
        if (truth[best].pos >= cdsFirst && truth[best].pos <= cdsLast) ++counts.recalled;
    }
    return counts;
}

double Percent(long part, long whole) { return whole == 0 ? 0.0 : 100.0 * part / whole; }

struct Row {
    const char* name;
    long Tally::*part;
    long Tally::*whole;
};

// Rows as (part, whole): the figure is 100 part / whole.
constexpr Row kRows[] = {
    {"exact start", &Tally::startExact, &Tally::sequences},
    {"exact stop", &Tally::stopExact, &Tally::sequences},
    {"exact start and stop", &Tally::bothExact, &Tally::sequences},
    {"no coding region found", &Tally::noPrediction, &Tally::sequences},
    {"coding-base sensitivity", &Tally::codingTruePositive, &Tally::codingMissed},
    {"coding-base specificity", &Tally::codingTruePositive, &Tally::codingFalse},
    {"error recall, +-10 bases", &Tally::recalled10, &Tally::trueErrors},
    {"error precision, +-10 bases", &Tally::correct10, &Tally::predictedErrors},
    {"error recall, +-3 bases", &Tally::recalled3, &Tally::trueErrors},
    {"error precision, +-3 bases", &Tally::correct3, &Tally::predictedErrors},
    {"codons read in the right frame", &Tally::codonsInFrame, &Tally::codons},
};

double RowValue(const Row& row, const Tally& t) {
    // Sensitivity and specificity divide by true + missed and true + false.
    if (row.whole == &Tally::codingMissed || row.whole == &Tally::codingFalse) {
        return Percent(t.*row.part, t.*row.part + t.*row.whole);
    }
    return Percent(t.*row.part, t.*row.whole);
}

}  // namespace

void Tally::Add(const Tally& o) {
    for (long Tally::*field : {&Tally::sequences, &Tally::noPrediction, &Tally::startExact, &Tally::stopExact,
                               &Tally::bothExact, &Tally::codingTruePositive, &Tally::codingMissed,
                               &Tally::codingFalse, &Tally::trueErrors, &Tally::predictedErrors,
                               &Tally::recalled10, &Tally::recalled3, &Tally::correct10, &Tally::correct3,
                               &Tally::codons, &Tally::codonsInFrame}) {
        this->*field += o.*field;
    }
}

std::vector<Prediction> PredictReads(const std::vector<SimulatedRead>& reads, const std::string& dir, int threads) {
    std::vector<Prediction> predictions(reads.size());
    const ModelSet models(dir);
    ParallelFor(static_cast<int>(reads.size()), threads, [&](int i) {
        Prediction p = Predict(models, BaseCodes(reads[i].bases));
        const int start = p.seqLayout.startBase;
        const int stop = p.seqLayout.stopBase;
        p.seqLayout = layout{};
        p.seqLayout.startBase = start;
        p.seqLayout.stopBase = stop;
        p.frameScore = {};
        predictions[i] = std::move(p);
    });
    for (const std::string& warning : models.Warnings()) std::cerr << "talvo-eval: warning: " << warning << '\n';
    return predictions;
}

void Score(const SimulatedRead& read, const Prediction& prediction, Tally& t) {
    ++t.sequences;
    const int startBase = prediction.seqLayout.startBase;
    const int stopBase = prediction.seqLayout.stopBase;
    const bool found = startBase >= 0;
    if (!found) ++t.noPrediction;
    const bool startOk = found && startBase == read.cdsFirst;
    const bool stopOk = found && stopBase == read.cdsLast;
    t.startExact += startOk;
    t.stopExact += stopOk;
    t.bothExact += startOk && stopOk;

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

    const std::vector<TrueError>& predictedErrors = prediction.errors;
    for (const TrueError& e : read.errors) t.trueErrors += e.pos >= read.cdsFirst && e.pos <= read.cdsLast;
    t.predictedErrors += static_cast<long>(predictedErrors.size());
    const MatchCounts near10 = MatchErrors(read.errors, predictedErrors, read.cdsFirst, read.cdsLast, 10);
    const MatchCounts near3 = MatchErrors(read.errors, predictedErrors, read.cdsFirst, read.cdsLast, 3);
    t.recalled10 += near10.recalled;
    t.correct10 += near10.correct;
    t.recalled3 += near3.recalled;
    t.correct3 += near3.correct;

    for (int q : read.codonStarts) {
        ++t.codons;
        t.codonsInFrame += FrameAt(prediction.framePath, q / 3) == q % 3;
    }
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
    for (const Row& row : kRows) {
        std::snprintf(cell, sizeof cell, "%-32s", row.name);
        out << cell;
        for (const Tally& t : tallies) {
            std::snprintf(cell, sizeof cell, " %13.1f%%", RowValue(row, t));
            out << cell;
        }
        out << "\n";
    }
}

void PrintTsv(const std::vector<std::string>& names, const std::vector<Tally>& tallies, std::ostream& out) {
    out << "scenario\tmetric\tpercent\tpart\twhole\n";
    for (std::size_t s = 0; s < names.size(); ++s) {
        const Tally& t = tallies[s];
        for (const Row& row : kRows) {
            long whole = t.*row.whole;
            if (row.whole == &Tally::codingMissed || row.whole == &Tally::codingFalse) whole += t.*row.part;
            char value[32];
            std::snprintf(value, sizeof value, "%.2f", RowValue(row, t));
            out << names[s] << '\t' << row.name << '\t' << value << '\t' << t.*row.part << '\t' << whole << '\n';
        }
    }
}

}  // namespace talvo::tools
