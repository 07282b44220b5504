#include "Evaluation.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <ostream>

#include "Model.h"
#include "Parallel.h"
#include "Shortcut.h"
#include "Trainer.h"
#include "WebPredict.h"

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
    std::map<std::string, std::vector<int>> byClass;  // keyed by the class's name
    std::map<std::string, ClassKey> keys;
    for (int i = 0; i < static_cast<int>(reads.size()); ++i) {
        AnnotatedSequence probe;
        probe.bases = reads[i].bases;
        const ClassKey key = ClassOf(probe);
        byClass[key.Name()].push_back(i);
        keys.emplace(key.Name(), key);
    }
    for (const auto& [name, members] : byClass) {
        const ClassKey& key = keys.at(name);
        const SequenceClass cls = ClassifySequence(static_cast<int>(reads[members[0]].bases.size()),
                                                   GcPressure(reads[members[0]].bases));
        GCID = cls.gcId;
        LENGTHID = cls.lengthId;
        WINDOW_WIDTH = cls.windowWidth;
        READ_ROUND = kMaxRules;
        ClearModel();
        Shortcut loader;
        const std::string base = dir + "/" + key.SubDirectory() + "/";
        loader.GetParamater(base + key.FileName("param"));
        loader.GetDPMatrix(base + key.FileName("matrix"));
        ParallelFor(static_cast<int>(members.size()), threads, [&](int m) {
            const SimulatedRead& read = reads[members[m]];
            WebPredict run;
            run.baseArray = BaseCodes(read.bases);
            run.arrayLen = run.seqLen = static_cast<int>(read.bases.size());
            run.gcPressure = GcPressure(read.bases);
            run.Predict();
            Prediction& p = predictions[members[m]];
            p.startBase = run.seqLayout.startBase;
            p.stopBase = run.seqLayout.stopBase;
            p.framePath = std::move(run.framePath);
        });
    }
    return predictions;
}

void Score(const SimulatedRead& read, const Prediction& prediction, Tally& t) {
    ++t.sequences;
    const bool found = prediction.startBase >= 0;
    if (!found) ++t.noPrediction;
    const bool startOk = found && prediction.startBase == read.cdsFirst;
    const bool stopOk = found && prediction.stopBase == read.cdsLast;
    t.startExact += startOk;
    t.stopExact += stopOk;
    t.bothExact += startOk && stopOk;

    const long coding = read.cdsLast - read.cdsFirst + 1;
    long overlap = 0;
    long predicted = 0;
    if (found) {
        const int stop = std::min(prediction.stopBase, static_cast<int>(read.bases.size()) - 1);
        predicted = stop - prediction.startBase + 1;
        const int lo = std::max(prediction.startBase, read.cdsFirst);
        const int hi = std::min(stop, read.cdsLast);
        overlap = hi >= lo ? hi - lo + 1 : 0;
    }
    t.codingTruePositive += overlap;
    t.codingMissed += coding - overlap;
    t.codingFalse += predicted - overlap;

    std::vector<TrueError> predictedErrors;
    for (int p = 3; p < static_cast<int>(read.bases.size()); ++p) {
        const ErrorKind kind = ErrorAt(prediction.framePath, p);
        if (kind != ErrorKind::None) predictedErrors.push_back({p, kind});
    }
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
