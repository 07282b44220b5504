#include "Trainer.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "Parallel.h"
#include "Random.h"
#include "Stumps.h"
#include "WebPredict.h"

namespace talvo::tools {

namespace {

constexpr int kLengthGroups = 4;
constexpr int kGcClasses = 4;
constexpr double kNever = -1000.0;  // a transition no coding path takes

std::string LengthGroupName(int group) {
    return group == 0 ? "599 bases or fewer" : "length class " + std::to_string(group - 1);
}

// Sequence indices of the class, then, while too few, of the other G+C
// classes of its length group, then of the nearest length groups.
std::vector<int> PoolFor(const ClassKey& key, const std::vector<ClassKey>& keyOf, int minSequences,
                         ClassReport& report) {
    auto collect = [&](auto inPool) {
        std::vector<int> pool;
        for (int i = 0; i < static_cast<int>(keyOf.size()); ++i) {
            if (inPool(keyOf[i])) pool.push_back(i);
        }
        return pool;
    };
    std::vector<int> pool = collect([&](const ClassKey& k) { return k.lengthGroup == key.lengthGroup && k.gc == key.gc; });
    report.ownSequences = static_cast<int>(pool.size());
    if (static_cast<int>(pool.size()) < minSequences) {
        pool = collect([&](const ClassKey& k) { return k.lengthGroup == key.lengthGroup; });
        report.pooled = "all G+C classes of " + LengthGroupName(key.lengthGroup);
        for (int d = 1; d < kLengthGroups && static_cast<int>(pool.size()) < minSequences; ++d) {
            pool = collect([&](const ClassKey& k) { return std::abs(k.lengthGroup - key.lengthGroup) <= d; });
            report.pooled = "all G+C classes of the length groups within " + std::to_string(d) + " of " +
                            LengthGroupName(key.lengthGroup);
        }
    }
    report.sequences = static_cast<int>(pool.size());
    return pool;
}

// A window is identified by its sequence and its first base.
struct WindowRef {
    int seq;
    int start;
};

// Every window the program scores (whole width inside the sequence, centre
// codon not a stop), split by the class of its centre codon: coding when it
// is a codon of the annotated frame inside the CDS.
void CandidateWindows(const std::vector<AnnotatedSequence>& set, const std::vector<std::vector<short>>& codes,
                      const std::vector<int>& pool, int width, std::vector<WindowRef>& coding,
                      std::vector<WindowRef>& other) {
    const int centre = 3 * (width / 6);
    for (int idx : pool) {
        const AnnotatedSequence& seq = set[idx];
        const short* b = codes[idx].data();
        const int length = static_cast<int>(codes[idx].size());
        for (int f = 0; f < 3; ++f) {
            for (int s = f; s + width < length; s += 3) {
                const int c = s + centre;
                if (AminoAcidOf(b[c], b[c + 1], b[c + 2]) == kStop) continue;
                const bool inFrame = c >= seq.cdsFirst && c + 2 <= seq.cdsLast && (c - seq.cdsFirst) % 3 == 0;
                (inFrame ? coding : other).push_back({idx, s});
            }
        }
    }
}

// Pseudo-counts from the amino-acid and pair frequencies of the pool's
// coding regions, read in frame: (strength x frequency, strength), so that a
// window without any of them measures the training set's association.
void SetPriors(const std::vector<AnnotatedSequence>& set, const std::vector<std::vector<short>>& codes,
               const std::vector<int>& pool, double strength, ClassModel& model) {
    std::vector<double> acid(kAminoAcids, 0.0);
    std::vector<double> pair(4 * kAminoAcids * kAminoAcids, 0.0);
    double acids = 0.0;
    double pairs[4] = {};
    for (int idx : pool) {
        const short* b = codes[idx].data();
        const int first = set[idx].cdsFirst;
        const int last = set[idx].cdsLast;
        for (int p = first; p + 2 <= last; p += 3) {
            const int a = AminoAcidOf(b[p], b[p + 1], b[p + 2]);
            if (a < 0) continue;
            acid[a] += 1.0;
            acids += 1.0;
            for (int g = 0; g < 4; ++g) {
                const int q = p + 3 * (g + 1);
                if (q + 2 > last) break;
                const int a2 = AminoAcidOf(b[q], b[q + 1], b[q + 2]);
                if (a2 < 0) continue;
                pair[(g * kAminoAcids + a) * kAminoAcids + a2] += 1.0;
                pairs[g] += 1.0;
            }
        }
    }
    for (int a = 0; a < kAminoAcids; ++a) {
        model.snglPrior[a][0] = strength * (acid[a] + 0.5) / (acids + 0.5 * kAminoAcids);
        model.snglPrior[a][1] = strength;
    }
    for (int g = 0; g < 4; ++g) {
        for (int a1 = 0; a1 < kAminoAcids; ++a1) {
            for (int a2 = 0; a2 < kAminoAcids; ++a2) {
                const double count = pair[(g * kAminoAcids + a1) * kAminoAcids + a2];
                model.pairPrior[g][a1][a2][0] =
                    strength * (count + 0.5) / (pairs[g] + 0.5 * kAminoAcids * kAminoAcids);
                model.pairPrior[g][a1][a2][1] = strength;
            }
        }
    }
}

using TransitionCounts = std::array<std::array<long, 4>, 4>;  // [previous][current]

// Window classes of one sequence under the installed model, scored as the
// program scores them; the leading fill takes the first window's class, as
// the frame DP sees it.
std::array<std::vector<int>, 3> WindowClasses(const AnnotatedSequence& seq, const std::vector<short>& codes) {
    WebPredict run;
    run.baseArray = codes;
    run.arrayLen = run.seqLen = static_cast<int>(codes.size());
    run.gcPressure = GcPressure(seq.bases);
    run.GetSmplsFromArray();
    std::array<std::vector<int>, 3> classes = run.seqLayout.windowClasses;
    const int h = WINDOW_WIDTH / 6;
    for (auto& frame : classes) {
        if (static_cast<int>(frame.size()) <= h) continue;
        for (int i = 0; i < h; ++i) frame[i] = frame[h];
    }
    return classes;
}

// Transitions along the annotated coding path (begin, then the CDS's codon
// positions up to its stop codon) and along every frame of the sequence,
// where any position may begin a path.
void CountTransitions(const AnnotatedSequence& seq, const std::vector<short>& codes, TransitionCounts& coding,
                      TransitionCounts& all) {
    const Test test;
    const auto classes = WindowClasses(seq, codes);
    constexpr int kBegin = 2;
    for (const auto& frame : classes) {
        for (std::size_t j = 0; j < frame.size(); ++j) {
            const int c = test.ChkState(frame[j]);
            if (c < 0) continue;
            ++all[kBegin][c];
            const int p = j > 0 ? test.ChkState(frame[j - 1]) : -1;
            if (p >= 0) ++all[p][c];
        }
    }
    const auto& frame = classes[seq.cdsFirst % 3];
    const int first = seq.cdsFirst / 3;
    const int last = std::min((seq.cdsLast - 2) / 3, static_cast<int>(frame.size()) - 1);
    int previous = kBegin;
    for (int j = first; j <= last; ++j) {
        const int c = test.ChkState(frame[j]);
        if (c < 0) break;
        ++coding[previous][c];
        previous = c;
    }
}

// Base-10 log-odds of each step between window classes on the annotated
// coding paths against all steps: for steps from a coding, non-coding or
// stop window, of the pair of classes among all such steps; for the path's
// first step, of the class it begins with against the class of any
// position. A step no coding path takes scores -1000.
void SetTransitions(const TransitionCounts& coding, const TransitionCounts& all, ClassModel& model) {
    constexpr int kBegin = 2;
    double codingSteps = 0.0;
    double allSteps = 0.0;
    for (int p = 0; p < 4; ++p) {
        for (int c = 0; c < 4; ++c) {
            if (p == kBegin) continue;
            codingSteps += coding[p][c];
            allSteps += all[p][c];
        }
    }
    double codingBegins = 0.0;
    double allBegins = 0.0;
    for (int c = 0; c < 4; ++c) {
        codingBegins += coding[kBegin][c];
        allBegins += all[kBegin][c];
    }
    for (int p = 0; p < 4; ++p) {
        const double codingTotal = p == kBegin ? codingBegins : codingSteps;
        const double allTotal = p == kBegin ? allBegins : allSteps;
        for (int c = 0; c < 4; ++c) {
            if (coding[p][c] == 0 || all[p][c] == 0) {
                model.transition[p][c] = kNever;
            } else {
                model.transition[p][c] = std::log10((coding[p][c] / codingTotal) / (all[p][c] / allTotal));
            }
        }
    }
}

TrainedClass TrainClass(const ClassKey& key, const std::vector<AnnotatedSequence>& set,
                        const std::vector<std::vector<short>>& codes, const std::vector<int>& pool,
                        const ClassReport& pooling, const TrainOptions& options) {
    const int threads = ThreadCount(options.threads);
    TrainedClass result{key, {}, pooling, pool};
    ClassReport& report = result.report;
    ClassModel& model = result.model;
    const int width = key.WindowWidth();
    WINDOW_WIDTH = width;
    Random rng(options.seed);
    std::vector<WindowRef> coding;
    std::vector<WindowRef> other;
    CandidateWindows(set, codes, pool, width, coding, other);
    report.codingWindows = static_cast<long>(coding.size());
    report.nonCodingWindows = static_cast<long>(other.size());
    coding = SampleInOrder(std::move(coding), options.maxCoding, rng);
    other = SampleInOrder(std::move(other), options.maxNonCoding, rng);
    report.sampledCoding = static_cast<int>(coding.size());
    report.sampledNonCoding = static_cast<int>(other.size());
    if (options.progress) {
        std::cerr << "talvo-train: " << key.Name() << ": " << report.sequences << " sequences, "
                  << report.sampledCoding << " coding and " << report.sampledNonCoding
                  << " non-coding windows\n";
    }

    SetPriors(set, codes, pool, width / 2.0, model);
    InstallPriors(model);

    std::vector<WindowRef> windows = coding;
    windows.insert(windows.end(), other.begin(), other.end());
    std::vector<int8_t> label(windows.size(), -1);
    std::fill(label.begin(), label.begin() + static_cast<long>(coding.size()), int8_t{1});
    std::vector<smplTestData> samples(windows.size());
    ParallelFor(static_cast<int>(windows.size()), threads, [&](int i) {
        bool centreStop = false;
        const auto& seqCodes = codes[windows[i].seq];
        ScanWindow(samples[i], seqCodes.data(), static_cast<int>(seqCodes.size()), windows[i].start, width,
                   centreStop);
    });

    if (!coding.empty() && !other.empty()) {
        const QuantisedWindows data = Quantise(samples, label, options.thresholds, threads);
        const std::vector<Stump> stumps = Boost(data, options.rounds, threads, [&](int round) {
            if (options.progress && (round % 100 == 0)) {
                std::cerr << "talvo-train: " << key.Name() << ": round " << round << "/" << options.rounds << "\n";
            }
        });
        for (int i = 0; i < static_cast<int>(stumps.size()) && i < kMaxRules; ++i) SetRule(model, i, stumps[i]);
        report.rules = static_cast<int>(std::min<std::size_t>(stumps.size(), kMaxRules));
    }
    InstallModel(model);

    std::vector<int> scored = SampleInOrder(pool, options.transitionSequences, rng);
    report.transitionSequences = static_cast<int>(scored.size());
    std::vector<TransitionCounts> codingCounts(scored.size(), TransitionCounts{});
    std::vector<TransitionCounts> allCounts(scored.size(), TransitionCounts{});
    ParallelFor(static_cast<int>(scored.size()), threads, [&](int i) {
        CountTransitions(set[scored[i]], codes[scored[i]], codingCounts[i], allCounts[i]);
    });
    TransitionCounts codingSum{};
    TransitionCounts allSum{};
    for (std::size_t i = 0; i < scored.size(); ++i) {
        for (int p = 0; p < 4; ++p) {
            for (int c = 0; c < 4; ++c) {
                codingSum[p][c] += codingCounts[i][p][c];
                allSum[p][c] += allCounts[i][p][c];
            }
        }
    }
    SetTransitions(codingSum, allSum, model);
    return result;
}

}  // namespace

std::string ClassKey::SubDirectory() const { return lengthGroup == 0 ? "paramater32" : "paramater"; }

std::string ClassKey::Label() const {
    char label[32];
    std::snprintf(label, sizeof label, "L%dG%d", lengthGroup == 0 ? 0 : lengthGroup - 1, gc);
    return label;
}

std::string ClassKey::FileName(const std::string& kind) const { return kind + Label() + "-ex0.txt"; }

std::string ClassKey::Name() const { return SubDirectory() + "/" + Label(); }

std::vector<ClassKey> AllClasses() {
    std::vector<ClassKey> keys;
    for (int group = 1; group < kLengthGroups; ++group) {
        for (int gc = 0; gc < kGcClasses; ++gc) keys.push_back({group, gc});
    }
    for (int gc = 0; gc < kGcClasses; ++gc) keys.push_back({0, gc});
    return keys;
}

ClassKey ClassOf(const AnnotatedSequence& seq) {
    const int length = static_cast<int>(seq.bases.size());
    const SequenceClass cls = ClassifySequence(length, GcPressure(seq.bases));
    return {length <= 599 ? 0 : cls.lengthId + 1, cls.gcId};
}

std::vector<TrainedClass> TrainModels(const std::vector<AnnotatedSequence>& set, const TrainOptions& options) {
    if (set.empty()) throw std::runtime_error("no annotated sequences to train on");
    std::vector<std::vector<short>> codes;
    std::vector<ClassKey> keyOf;
    for (const AnnotatedSequence& seq : set) {
        codes.push_back(BaseCodes(seq.bases));
        keyOf.push_back(ClassOf(seq));
    }
    std::vector<TrainedClass> trained;
    for (const ClassKey& key : AllClasses()) {
        // Classes that pool the same sequences at the same width get the same
        // model: train it once.
        ClassReport pooling;
        const std::vector<int> pool = PoolFor(key, keyOf, options.minSequences, pooling);
        const TrainedClass* same = nullptr;
        for (const TrainedClass& earlier : trained) {
            if (earlier.key.WindowWidth() == key.WindowWidth() && earlier.pool == pool) same = &earlier;
        }
        if (same != nullptr) {
            TrainedClass copy = *same;
            copy.key = key;
            copy.report.ownSequences = pooling.ownSequences;
            trained.push_back(std::move(copy));
        } else {
            trained.push_back(TrainClass(key, set, codes, pool, pooling, options));
        }
    }
    return trained;
}

void PrintReport(const std::vector<TrainedClass>& classes, std::ostream& out) {
    for (const TrainedClass& tc : classes) {
        const ClassReport& r = tc.report;
        out << tc.key.Name() << ": " << r.ownSequences << " own sequences, " << r.sequences << " used";
        if (!r.pooled.empty()) out << " (pooled: " << r.pooled << ")";
        out << "; windows " << r.codingWindows << " coding / " << r.nonCodingWindows << " non-coding, sampled "
            << r.sampledCoding << " / " << r.sampledNonCoding << "; " << r.rules << " rules; transitions from "
            << r.transitionSequences << " sequences\n";
    }
}

void WriteModelDirectory(const std::vector<TrainedClass>& classes, const TrainOptions& options,
                         const std::string& dir) {
    namespace fs = std::filesystem;
    for (const char* sub : {"paramater", "paramater32"}) fs::create_directories(fs::path(dir) / sub);
    for (const TrainedClass& tc : classes) {
        const fs::path base = fs::path(dir) / tc.key.SubDirectory();
        WriteParameterFile(tc.model, (base / tc.key.FileName("param")).string());
        WriteTransitionFile(tc.model, (base / tc.key.FileName("matrix")).string());
    }
    const std::string notePath = (fs::path(dir) / "TRAINING.txt").string();
    std::ofstream note(notePath);
    note << "Trained by talvo-train " << TALVO_VERSION << ": seed " << options.seed << ", " << options.rounds
         << " rounds, up to " << options.maxCoding << " coding and " << options.maxNonCoding
         << " non-coding windows per class, " << options.thresholds << " thresholds per feature, pooling below "
         << options.minSequences << " sequences.\n";
    PrintReport(classes, note);
    note.close();
    if (!note) throw std::runtime_error(notePath + ": write failed");
}

}  // namespace talvo::tools
