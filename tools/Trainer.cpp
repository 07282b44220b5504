#include "Trainer.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

#include "Parallel.h"
#include "PlacementWindows.h"
#include "Random.h"
#include "SameBitsMath.h"
#include "Stumps.h"
#include "SampleExtraction.h"
#include "SequenceClass.h"
#include "WindowScoring.h"

namespace talvo::tools {

namespace {

constexpr int kLengthGroups = 4;
constexpr int kGcClasses = 4;
constexpr double kNever = -1000.0;  // a transition no coding path takes

std::string LengthGroupName(int group) {
    return group == 0 ? "599 bases or fewer" : "length class " + std::to_string(group - 1);
}

// Sequence indices: all of them with poolAll; else those of the class, then, while too few, of the other G+C
// classes of its length group, then of the nearest length groups.
std::vector<int> PoolFor(const ClassKey& key, const std::vector<ClassKey>& keyOf, bool poolAll, int minSequences,
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
    if (poolAll) {
        pool = collect([](const ClassKey&) { return true; });
        report.pooled = "all sequences";
    } else if (static_cast<int>(pool.size()) < minSequences) {
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
// codon not a stop), split by label: coding when its centre codon is a codon
// of the annotated frame inside the CDS, non-coding otherwise (the other two
// frames inside the CDS, and the UTRs). With perSequence > 0 at most that many of each label are drawn from
// one sequence, so that long transcripts do not dominate.
void CandidateWindows(const std::vector<AnnotatedSequence>& set, const std::vector<std::vector<short>>& codes,
                      const std::vector<int>& pool, int width, const TrainOptions& options, Random& rng,
                      std::vector<WindowRef>& coding, std::vector<WindowRef>& other, ClassReport& report) {
    const int centre = 3 * (width / 6);
    const std::size_t cap = options.perSequence > 0 ? static_cast<std::size_t>(options.perSequence) : SIZE_MAX;
    for (int idx : pool) {
        const AnnotatedSequence& seq = set[idx];
        const short* b = codes[idx].data();
        const int length = static_cast<int>(codes[idx].size());
        std::vector<WindowRef> in;
        std::vector<WindowRef> out;
        for (int f = 0; f < 3; ++f) {
            for (int s = f; s + width < length; s += 3) {
                const int c = s + centre;
                if (AminoAcidOf(b[c], b[c + 1], b[c + 2]) == kStop) continue;
                const bool inFrame = c >= seq.cdsFirst && c + 2 <= seq.cdsLast && (c - seq.cdsFirst) % 3 == 0;
                (inFrame ? in : out).push_back({idx, s});
            }
        }
        report.codingWindows += static_cast<long>(in.size());
        report.nonCodingWindows += static_cast<long>(out.size());
        for (const WindowRef& w : SampleInOrder(std::move(in), cap, rng)) coding.push_back(w);
        for (const WindowRef& w : SampleInOrder(std::move(out), cap, rng)) other.push_back(w);
    }
}

// Pseudo-counts from the amino-acid and pair frequencies of the pool's
// coding regions, read in frame: (strength x frequency, strength), so that a
// window without any of them measures the training set's association.
void SetPriors(const std::vector<AnnotatedSequence>& set, const std::vector<std::vector<short>>& codes,
               const std::vector<int>& pool, double strength, Model& model) {
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
        model.snglAcidPriproTable[a][0] = strength * (acid[a] + 0.5) / (acids + 0.5 * kAminoAcids);
        model.snglAcidPriproTable[a][1] = strength;
    }
    for (int g = 0; g < 4; ++g) {
        for (int a1 = 0; a1 < kAminoAcids; ++a1) {
            for (int a2 = 0; a2 < kAminoAcids; ++a2) {
                const double count = pair[(g * kAminoAcids + a1) * kAminoAcids + a2];
                model.pairAcidPriproTable[g][a1][a2][0] =
                    strength * (count + 0.5) / (pairs[g] + 0.5 * kAminoAcids * kAminoAcids);
                model.pairAcidPriproTable[g][a1][a2][1] = strength;
            }
        }
    }
}

// Window classes of one sequence under the model, scored as the program
// scores them; the leading fill takes the first window's class, as the frame
// DP sees it.
std::array<std::vector<int>, 3> WindowClasses(const Model& model, const std::vector<short>& codes) {
    layout lay;
    std::array<std::vector<double>, 3> scores;
    ExtractSamples(model, codes.data(), static_cast<int>(codes.size()), lay, scores);
    std::array<std::vector<int>, 3> classes = std::move(lay.windowClasses);
    const int h = model.windowWidth / 6;
    for (auto& frame : classes) {
        if (static_cast<int>(frame.size()) <= h) continue;
        for (int i = 0; i < h; ++i) frame[i] = frame[h];
    }
    return classes;
}

// Transitions along the annotated coding path (begin, then the CDS's codon
// positions up to its stop codon) and along all paths, where any position
// may begin a path: the steps within each frame, or with latticeSteps every
// step the frame DP can take, from each of the three frames at one codon
// position to each at the next.
void CountTransitions(const Model& model, const AnnotatedSequence& seq, const std::vector<short>& codes,
                      bool latticeSteps, TransitionCounts& coding, TransitionCounts& all) {
    const auto classes = WindowClasses(model, codes);
    constexpr int kBegin = 2;
    const auto classAt = [&](int f, std::size_t j) {
        return j < classes[f].size() ? ClassIndex(classes[f][j]) : -1;
    };
    for (int f = 0; f < 3; ++f) {
        for (std::size_t j = 0; j < classes[f].size(); ++j) {
            const int c = classAt(f, j);
            if (c < 0) continue;
            ++all[kBegin][c];
            if (j == 0) continue;
            for (int k = latticeSteps ? 0 : f; k <= (latticeSteps ? 2 : f); ++k) {
                const int p = classAt(k, j - 1);
                if (p >= 0) ++all[p][c];
            }
        }
    }
    const auto& frame = classes[seq.cdsFirst % 3];
    const int first = seq.cdsFirst / 3;
    const int last = std::min((seq.cdsLast - 2) / 3, static_cast<int>(frame.size()) - 1);
    int previous = kBegin;
    for (int j = first; j <= last; ++j) {
        const int c = ClassIndex(frame[j]);
        if (c < 0) break;
        ++coding[previous][c];
        previous = c;
    }
}

// The windows a class learns from: the sampled windows of the annotated
// set, labelled by their centre codon, and the windows across planted
// errors (labelled windows first), then the placement windows whose ranked
// pairs index them.
struct TrainingWindows {
    std::vector<smplTestData> samples;
    std::vector<int8_t> label;  // one per labelled window: +1 coding, -1 non-coding
    std::vector<RankedPair> pairs;
    bool bothLabels = false;    // the annotated set gave windows of both labels
};

TrainingWindows GatherWindows(const ClassKey& key, const std::vector<AnnotatedSequence>& set,
                              const std::vector<std::vector<short>>& codes, const std::vector<int>& pool,
                              const TrainOptions& options, int threads, Random& rng, ClassReport& report) {
    const int width = key.WindowWidth();
    std::vector<WindowRef> coding;
    std::vector<WindowRef> other;
    CandidateWindows(set, codes, pool, width, options, rng, coding, other, report);
    coding = SampleInOrder(std::move(coding), options.maxCoding, rng);
    other = SampleInOrder(std::move(other), options.maxNonCoding, rng);
    report.sampledCoding = static_cast<int>(coding.size());
    report.sampledNonCoding = static_cast<int>(other.size());
    if (options.progress) {
        std::cerr << "talvo-train: " << key.Name() << ": " << report.sequences << " sequences, "
                  << report.sampledCoding << " coding and " << report.sampledNonCoding
                  << " non-coding windows\n";
    }
    TrainingWindows result;
    result.bothLabels = !coding.empty() && !other.empty();
    std::vector<WindowRef> windows = coding;
    windows.insert(windows.end(), other.begin(), other.end());
    result.label.assign(windows.size(), -1);
    std::fill(result.label.begin(), result.label.begin() + static_cast<long>(coding.size()), int8_t{1});
    result.samples.resize(windows.size());
    ParallelFor(static_cast<int>(windows.size()), threads, [&](int i) {
        bool centreStop = false;
        const auto& seqCodes = codes[windows[i].seq];
        ScanWindow(result.samples[i], seqCodes.data(), static_cast<int>(seqCodes.size()), windows[i].start, width,
                   centreStop);
    });
    // Windows read across planted errors, labelled by their centre codon, so
    // that the classes of both frames turn where the error lies and the frame
    // DP changes frame there.
    StraddlingWindows straddling = MakeStraddlingWindows(set, codes, pool, width, options.straddlingErrors,
                                                         options.straddlingWindows, options.seed, threads);
    result.samples.insert(result.samples.end(), straddling.samples.begin(), straddling.samples.end());
    result.label.insert(result.label.end(), straddling.label.begin(), straddling.label.end());
    report.straddlingWindows = static_cast<int>(straddling.label.size());

    PlacementWindows placement =
        MakePlacementWindows(set, codes, pool, width, {options.placementErrors, options.placementSplits, options.seed},
                             threads);
    report.placementPairs = static_cast<int>(placement.pairs.size());
    const int labelled = static_cast<int>(result.samples.size());
    result.samples.insert(result.samples.end(), placement.samples.begin(), placement.samples.end());
    for (const RankedPair& pair : placement.pairs) {
        result.pairs.push_back({labelled + pair.better, labelled + pair.worse});
    }
    return result;
}

// The model's rules, boosted on the windows (which it consumes).
void LearnRules(const ClassKey& key, TrainingWindows windows, const TrainOptions& options, int threads,
                Model& model, ClassReport& report) {
    QuantisedWindows data = Quantise(model, windows.samples, windows.label, options.thresholds, threads);
    windows.samples.clear();
    windows.samples.shrink_to_fit();
    data.pairs = std::move(windows.pairs);
    const BoostOptions boost{options.rounds, options.shrinkage, options.features, options.placementWeight,
                             options.placementFrom};
    const std::vector<Stump> stumps = Boost(data, boost, threads, [&](int round) {
        if (options.progress && (round % 100 == 0)) {
            std::cerr << "talvo-train: " << key.Name() << ": round " << round << "/" << options.rounds << "\n";
        }
    });
    for (int i = 0; i < static_cast<int>(stumps.size()) && i < kMaxRules; ++i) SetRule(model, i, stumps[i]);
    report.rules = static_cast<int>(std::min<std::size_t>(stumps.size(), kMaxRules));
}

// The model's transition scores, from the window classes it gives a sample
// of the pool's sequences.
void LearnTransitions(const std::vector<AnnotatedSequence>& set, const std::vector<std::vector<short>>& codes,
                      const std::vector<int>& pool, const TrainOptions& options, int threads, Random& rng,
                      Model& model, ClassReport& report) {
    std::vector<int> scored = SampleInOrder(pool, options.transitionSequences, rng);
    report.transitionSequences = static_cast<int>(scored.size());
    std::vector<TransitionCounts> codingCounts(scored.size(), TransitionCounts{});
    std::vector<TransitionCounts> allCounts(scored.size(), TransitionCounts{});
    ParallelFor(static_cast<int>(scored.size()), threads, [&](int i) {
        CountTransitions(model, set[scored[i]], codes[scored[i]], options.latticeSteps, codingCounts[i], allCounts[i]);
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
    SetTransitions(codingSum, allSum, options, model);
}

// One class's model: pseudo-counts from the pool's coding regions, rules
// boosted on its windows, transition scores measured with those rules.
TrainedClass TrainClass(const ClassKey& key, const std::vector<AnnotatedSequence>& set,
                        const std::vector<std::vector<short>>& codes, const std::vector<int>& pool,
                        const ClassReport& pooling, const TrainOptions& options) {
    const int threads = ThreadCount(options.threads);
    TrainedClass result{key, EmptyClassModel(key.WindowWidth()), pooling, pool};
    Random rng(options.seed);
    TrainingWindows windows = GatherWindows(key, set, codes, pool, options, threads, rng, result.report);
    SetPriors(set, codes, pool, key.WindowWidth() / 2.0, result.model);
    if (windows.bothLabels) LearnRules(key, std::move(windows), options, threads, result.model, result.report);
    LearnTransitions(set, codes, pool, options, threads, rng, result.model, result.report);
    return result;
}

}  // namespace

// Base-10 log-odds of each step between window classes on the annotated
// coding paths against the background steps: all steps of all frames, or
// with nonCodingBackground only those off the coding paths. Pair odds: for
// steps from a coding, non-coding or stop window, of the pair of classes
// among all such steps; for the path's first step, of the class it begins
// with against the class of any position. Conditional odds: of the current
// class given the previous one (a Markov chain's log-likelihood ratio per
// step). A step no coding path takes scores -1000.
void SetTransitions(const TransitionCounts& coding, const TransitionCounts& all, const TrainOptions& options,
                    Model& model) {
    constexpr int kBegin = 2;
    TransitionCounts background = all;
    if (options.nonCodingBackground) {
        for (int p = 0; p < 4; ++p) {
            for (int c = 0; c < 4; ++c) background[p][c] -= coding[p][c];
        }
    }
    // Row totals, and totals of the steps from a coding, non-coding or stop window.
    double codingRow[4] = {};
    double backgroundRow[4] = {};
    for (int p = 0; p < 4; ++p) {
        for (int c = 0; c < 4; ++c) {
            codingRow[p] += coding[p][c];
            backgroundRow[p] += background[p][c];
        }
    }
    const double codingSteps = codingRow[0] + codingRow[1] + codingRow[3];
    const double backgroundSteps = backgroundRow[0] + backgroundRow[1] + backgroundRow[3];
    for (int p = 0; p < 4; ++p) {
        const bool byRow = options.conditionalOdds || p == kBegin;
        const double codingTotal = byRow ? codingRow[p] : codingSteps;
        const double backgroundTotal = byRow ? backgroundRow[p] : backgroundSteps;
        for (int c = 0; c < 4; ++c) {
            if (coding[p][c] == 0 || background[p][c] <= 0) {
                model.malkovChain[c][p] = kNever;
            } else {
                model.malkovChain[c][p] = options.transitionScale *
                    SameBitsLog10((coding[p][c] / codingTotal) / (background[p][c] / backgroundTotal));
            }
        }
    }
    constexpr int kCoding = 0;
    constexpr int kNonCoding = 1;
    if (model.malkovChain[kCoding][kCoding] != kNever) model.malkovChain[kCoding][kCoding] += options.codingReward;
    if (model.malkovChain[kNonCoding][kNonCoding] != kNever) {
        model.malkovChain[kNonCoding][kNonCoding] -= options.nonCodingPrice;
    }
}

std::string ClassKey::SubDirectory() const {
    const std::string withSlashes = Class().subDirectory;  // "/paramater/"
    return withSlashes.substr(1, withSlashes.size() - 2);
}

std::string ClassKey::Label() const {
    char label[32];
    std::snprintf(label, sizeof label, "L%dG%d", lengthGroup == 0 ? 0 : lengthGroup - 1, gc);
    return label;
}

SequenceClass ClassKey::Class() const {
    for (const SequenceClass& cls : AllSequenceClasses()) {
        if (cls.windowWidth == WindowWidth() && cls.gcId == gc && cls.lengthId == std::max(lengthGroup - 1, 0)) return cls;
    }
    throw std::logic_error("no sequence class " + Label());
}

std::string ClassKey::FileName(const std::string& kind) const { return Class().FileName(kind); }

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
    const SequenceClass cls = ClassifySequence(length, GcPressure(BaseCodes(seq.bases)));
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
        const std::vector<int> pool = PoolFor(key, keyOf, options.poolAll, options.minSequences, pooling);
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
            << r.transitionSequences << " sequences";
        if (r.straddlingWindows > 0) out << "; " << r.straddlingWindows << " windows across planted errors";
        if (r.placementPairs > 0) out << "; " << r.placementPairs << " ranked placement pairs";
        out << "\n";
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
         << " rounds, shrinkage " << options.shrinkage << ", "
         << (options.features > 0 ? std::to_string(options.features) : std::string("all")) << " features, up to "
         << options.maxCoding << " coding and " << options.maxNonCoding << " non-coding windows per model";
    if (options.perSequence > 0) note << " (at most " << options.perSequence << " of each per sequence)";
    note << ", " << options.thresholds << " thresholds per feature, "
         << (options.poolAll ? std::string("one model per window width")
                             : "pooling below " + std::to_string(options.minSequences) + " sequences")
         << ", " << (options.conditionalOdds ? "conditional" : "pair") << " odds of transitions against "
         << (options.nonCodingBackground ? "the steps off the coding paths" : "all steps") << " "
         << (options.latticeSteps ? "between any two frames" : "within each frame");
    if (options.transitionScale != 1.0) note << " times " << options.transitionScale;
    if (options.codingReward != 0.0) note << ", coding steps " << options.codingReward << " more";
    if (options.nonCodingPrice != 0.0) note << ", non-coding steps " << options.nonCodingPrice << " less";
    if (options.straddlingErrors > 0) {
        note << ", " << options.straddlingWindows << " windows across each of " << options.straddlingErrors
             << " planted errors";
    }
    if (options.placementErrors > 0) {
        note << ", placement windows of " << options.placementErrors << " errors (" << options.placementSplits
             << " wrong splits each) ranked with " << options.placementWeight << " of the weight from round "
             << options.placementFrom;
    }
    note << ".\n";
    PrintReport(classes, note);
    note.close();
    if (!note) throw std::runtime_error(notePath + ": write failed");
}

}  // namespace talvo::tools
