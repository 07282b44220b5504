// The window scorer compiled for speed. Built once per model, it gives every
// window the same score, to the bit, as the rule-by-rule scorer (the sum of
// the votes in rule order), and the same class.
//
// What makes it fast:
// - a pair rule's value x = P / F / S is compared with its threshold in
//   logarithms: log P - log F - log S, each term tabled per window span and
//   count as a fixed-point integer, against log t. Integers add exactly, so
//   a window moved by a codon updates the sum by the terms that changed.
//   Where the sum lies within a small margin of log t (or a term is not a
//   finite positive number), the exact divisions decide;
// - a window moved by one codon re-evaluates only the rules that read a
//   count whose value changed (VoteTracker);
// - the ordered sums of sixteen windows run side by side, two to a vector
//   register (VoteBatch): each sum is still one add after the other, in
//   rule order, and IEEE addition is the same in every lane.
//
// A dyadic model (every weight a multiple of 2^-40, their magnitudes
// summing below 2^13) is scored faster still: each of its sums is exact in
// any order of addition, so the rules that read one feature merge into one
// step function of that feature, and a window keeps its score as an integer
// count of 2^-40 that a change adds to (SumTracker). No rule order is kept
// and no batch is needed; the score is the same double.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Model.h"
#include "Records.h"

namespace talvo {

class WindowScorer {
public:
    // Compiles the model's rules and tables for windows of its width. Reads
    // the model once and keeps no reference to it; immutable afterwards, so
    // threads may share it.
    explicit WindowScorer(const Model& model);

    int Width() const { return width_; }

    // Highest count the tables cover: more than any window can hold (66).
    static constexpr int kMaxCount = 66;

    // What a pair vote needs besides the counts, for one window span.
    struct SpanTables {
        int span = 0;
        // [aa * (kMaxCount + 1) + count]: the rate (3 count + c) / (span + n)
        // with the amino acid's pseudo-counts, as the scorer computes it, and
        // the fixed-point logarithm of its reciprocal.
        std::vector<double> rate;
        std::vector<int64_t> logInverseRate;
        // Per compiled rule (pair rules only): span + n of the pair's
        // pseudo-counts, and the fixed-point logarithm of its reciprocal.
        std::vector<double> pairDenominator;
        std::vector<int64_t> logInversePairDenominator;
    };
    SpanTables MakeSpanTables(int span) const;
    // Tables of a full window's span, built with the scorer.
    const SpanTables& FullSpan() const { return full_; }

    // Scores one sample of any span; the same score and class as the
    // rule-by-rule scorer.
    int Score(const smplTestData& sample, double& score) const;

    // Number of compiled rules (the rules of kinds 0, 2 and 3, in order).
    int Rules() const { return static_cast<int>(rules_.size()); }

    // Whether the model is dyadic: every compiled rule's weight a multiple
    // of 2^-40 and the sum of their magnitudes below 2^13, so that every
    // partial sum of votes is a double without rounding. Its windows are
    // scored with a SumTracker.
    bool Dyadic() const { return dyadic_; }
    // A dyadic model's weights are multiples of kUnit whose magnitudes sum
    // below kExactRange.
    static constexpr double kUnit = 0x1p-40;
    static constexpr double kExactRange = 0x1p13;

private:
    friend class VoteTracker;
    friend class VoteBatch;
    friend class SumTracker;

    struct Rule {
        int kind;  // 0 codon, 2 amino acid, 3 pair
        int first;  // codon: base codes; amino-acid rule: aa; pair: a1
        int second;
        int third;
        int gap;
        int acid;  // codon rule: the codon's amino acid
        double basicRate;  // codon rule: its share under uniform codon use
        int intThreshold;
        double threshold;
        // Pair rules: pseudo-counts of the pair; where the counts lie in the
        // sample's pair and marginal tables; the rows of the two amino acids
        // in the rate tables; the fixed-point logarithm of the numerator
        // without pairs.
        double pairCount;
        double pairSpan;
        int pairCell;
        int firstMargin;
        int secondMargin;
        int firstRow;
        int secondRow;
        int64_t logEmptyNumerator;
    };
    // Pair rules: a log-sum above `upper` proves the value above the
    // threshold, one below `lower` proves it not above.
    struct Bounds {
        int64_t lower;
        int64_t upper;
    };

    // Whether compiled rule r votes above its threshold on the sample.
    bool Above(int r, const smplTestData& sample, const SpanTables& tables) const;
    // The fixed-point log of a pair rule's value from counts in the tables.
    int64_t PairLog(int r, int cp, int m0, int m1, const SpanTables& tables) const;
    int64_t LogNumerator(const Rule& rule, int cp) const;
    // The vote the log-sum proves: 1 above, 0 not above, -1 undecided.
    int Decide(int r, int64_t log) const;
    // The pair vote by the exact divisions.
    bool ExactPairAbove(int r, int cp, int m0, int m1, int span, const SpanTables* tables) const;

    int width_;
    std::vector<Rule> rules_;
    std::vector<Bounds> bounds_;
    std::vector<double> terms_;  // per rule: the vote's term when not above, when above
    double acidPseudo_[kAminoAcids][2];

    // Rules by the counts they read, each list as [start, next start) of
    // its rule numbers: codon and amino-acid rules by amino acid; pair rules
    // by marginal ([gap][side][aa], as in the sample) and by pair cell.
    struct Lists {
        std::vector<int> start;
        std::vector<int> rules;
        void Build(const std::vector<std::vector<int>>& lists);
        const int* Begin(int list) const { return rules.data() + start[list]; }
        const int* End(int list) const { return rules.data() + start[list + 1]; }
    };
    static constexpr int kMargins = 4 * 2 * kAminoAcids;
    static constexpr int kCells = 4 * kAminoAcids * kAminoAcids;
    Lists byAcid_;
    Lists byMargin_;
    Lists byCell_;
    SpanTables full_;

    // Dyadic models: the rules that read one feature (a codon's share, an
    // amino acid's count, a pair's association) merged. Its share of the
    // score is its rules' terms summed, in units of kUnit: levels_[levels +
    // k] when k of its thresholds lie below the feature's value. Ordered
    // features have their thresholds ascending with their bounds in
    // featureBounds_, so that a log-sum finds k; the others (a threshold
    // NaN, or one no log-sum decides) are evaluated exactly every time.
    struct Feature {
        int kind;     // 0, 2 or 3, as the rules
        int rule;     // one of its rules: its fields and tables
        int begin;    // its thresholds: [begin, end) of the threshold arrays
        int end;
        int levels;   // kind 2: the share by count, 0..kMaxCount; others: by k
        int bounds;   // ordered pair features: their bounds in pairBounds_
        int cuts;     // codon features: their cuts in codonCuts_
        bool ordered;
    };
    void CompileRule(const Model& model, int i);
    static void CompilePairRule(const double* pseudo, Rule& rule, Bounds& bounds);
    void BuildRuleLists();
    bool DyadicUnits(std::vector<int64_t>& units) const;
    void CompileFeatures(const std::vector<int64_t>& units);
    std::vector<std::vector<int>> RulesByFeature() const;
    void AddFeature(std::vector<int>& members, const std::vector<int64_t>& units);
    void BuildFeatureLists();
    // A codon feature's cut for the given count of its amino acid.
    static uint8_t CodonCut(const Rule& rule, int acid, double threshold);
    // The share of feature f at its exact value on the sample.
    int64_t ExactShare(int f, const smplTestData& sample, const SpanTables& tables) const;
    // The number of ordered feature f's thresholds below the exact value.
    int ExactLevel(int f, const smplTestData& sample, const SpanTables& tables) const;
    // The exact value of rule r's feature (codon share or pair association).
    double ExactValue(int r, const smplTestData& sample, const SpanTables& tables) const;
    // A pair rule's value by the divisions, from the tables when they are
    // given and cover the counts.
    double ExactPairValue(int r, int cp, int m0, int m1, int span, const SpanTables* tables) const;

    // Whether any rule reads the pair marginal or the pair cell.
    std::vector<uint8_t> watchedMargins_;
    std::vector<uint8_t> watchedCells_;
    // The row of each pair marginal's amino acid in the rate tables.
    std::vector<int> marginRows_;

    bool dyadic_ = false;
    std::vector<Feature> features_;
    std::vector<double> featureThresholds_;  // kinds 0 and 3; kind 2 its integer thresholds
    std::vector<int> featureIntThresholds_;
    // Per threshold: the rule's term when the value lies above it (its
    // negative otherwise), in units.
    std::vector<int64_t> featureUnits_;
    std::vector<int64_t> levels_;
    Lists featuresByCell_;
    // Pair features by the amino acid of their first member, as 4 x feature
    // + gap.
    Lists firstSideByAcid_;
    // Pair features by the marginals they read: the marginal's row in the
    // rate tables, the first two features inline (a feature index past the
    // last when there are fewer: a spare state that never moves; first is
    // the spare when none reads it), the others in marginMore_ (at most two
    // entries per rule).
    struct MarginFeatures {
        int row;
        int first;
        int second;
        uint16_t moreBegin;
        uint16_t moreEnd;
    };
    // Per feature, what a move of an ordered pair feature reads: its bounds
    // in pairBounds_ (-1: not an ordered pair feature) and its levels.
    struct PairFeature {
        int bounds;
        int levels;
    };
    std::vector<PairFeature> pairFeatures_;
    // Pair features: the fixed-point log of the numerator 3 x count + c,
    // [f * kTabledPairs + count] for the counts below kTabledPairs (a cell
    // seldom holds more; larger counts are computed).
    static constexpr int kTabledPairs = 16;
    std::vector<int64_t> featureNumerators_;
    // Pair feature f's log-sum, as PairLog gives it.
    int64_t FeatureLog(int f, int cp, int m0, int m1, const SpanTables& tables) const;
    // Per amino acid: its count feature (-1: none) and its codon features.
    std::vector<int> countFeature_;
    Lists codonFeaturesByAcid_;
    std::vector<MarginFeatures> marginFeatures_;
    std::vector<int> marginMore_;
    // Notes a SumTracker may take between refreshes, and at most per codon
    // counted (four pairs, each two marginals and a cell).
    int maxNotes_ = 0;
    int notesPerCodon_ = 0;
    // Codon features: for each count of the codon's amino acid (0..kMaxCount)
    // and each threshold, the least codon count whose share lies above it
    // (kNeverAbove: none), so that no share is divided out.
    static constexpr uint8_t kNeverAbove = 127;
    std::vector<uint8_t> codonCuts_;
    // Ordered pair features' bounds, ascending, each run between sentinels:
    // one below (upper -kPoisonLimit) and one above (both kPoisonLimit).
    std::vector<Bounds> pairBounds_;
};

// The codon that begins at a base, as a window's counts read it: its amino
// acid (-1 when a base is unknown or the codon runs past the sequence's
// end) and its index 16 x first + 4 x second + third.
struct CodonAt {
    int8_t aa;
    int8_t index;
};
// The codons of a sequence, one per base, and twelve unknown ones after
// its end (the farthest pair partner of its last codon).
std::vector<CodonAt> CodonsOf(const short* bases, int length);

// The votes of one window whose counts change a codon at a time: a change
// notes the counts it touched that some rule reads, and Refresh evaluates
// again only the rules that read a count whose value differs from the last
// refresh (all rules the first time, and whenever a count leaves the
// tables).
class VoteTracker {
public:
    VoteTracker(const WindowScorer& scorer, const WindowScorer::SpanTables& tables);

    // Starts over from an empty sample with the given bounds.
    void Reset(int start, int end);
    // Counts the codon at base p of the sequence whose codons are given into
    // the sample (delta +1) or takes it out (-1), as smplTestData::CountCodon
    // does.
    void Count(const CodonAt* codons, int p, int delta);
    // Brings the votes up to date with the sample.
    void Refresh();

    smplTestData sample;

private:
    friend class VoteBatch;

    // The changes since the last call, each pair marginal and pair cell that
    // changed to onMargin(margin, before, now) and onCell(cell, before, now).
    // Returns false when everything is to be evaluated afresh instead (a new
    // window, a count beyond the tables now or at the last call, or a long
    // run of changes). The acids touched (their counts may be back where
    // they were) are left in changedAcids_.
    template <class OnMargin, class OnCell>
    bool TakeChanges(OnMargin&& onMargin, OnCell&& onCell);
    void RefreshAll();
    void RefreshAcids();
    // Pair rule r's vote on its log-sum, noting a flip.
    void VotePair(int r, int64_t log);

    const WindowScorer& scorer_;
    const WindowScorer::SpanTables& tables_;
    bool all_ = true;
    uint32_t touchedAcids_ = 0;
    uint32_t changedAcids_ = 0;
    uint64_t touchedMargins_[(WindowScorer::kMargins + 63) / 64]{};
    std::vector<int> touchedCells_;
    // The counts at the last refresh.
    int16_t seenMargins_[WindowScorer::kMargins]{};
    int16_t seenCells_[WindowScorer::kCells]{};
    std::vector<uint8_t> votes_;  // 1 when the rule votes above its threshold
    std::vector<int64_t> logs_;   // pair rules: the log-sum of their value
    // Rules whose vote changed since a batch last took the votes (a rule
    // may appear twice: it changed back), or all of them. One refresh adds
    // at most one entry per rule and list it is on (three): the buffer holds
    // a refresh on top of one rule count.
    std::vector<int> flips_;
    std::size_t flipCount_ = 0;
    bool allChanged_ = true;
};

// Up to sixteen windows' votes, summed side by side: each window's score is
// the sum of its rules' terms in rule order, as the rule-by-rule scorer
// adds them.
class VoteBatch {
public:
    static constexpr int kWindows = 16;
    explicit VoteBatch(const WindowScorer& scorer);

    // Takes the tracker's votes, after a refresh, as the next window.
    void Add(VoteTracker& tracker);
    int Size() const { return size_; }
    // Writes the windows' scores in the order they were added and empties
    // the batch.
    void Sum(double* scores);

private:
    typedef double Pair __attribute__((vector_size(16)));

    const WindowScorer& scorer_;
    // Per rule: the terms of two windows by their two votes (index: first
    // window's vote + 2 x second window's vote).
    std::vector<Pair> pairTerms_;
    // Per rule: bit w is the vote of window w; the bits above the last
    // window repeat its vote.
    std::vector<uint16_t> rows_;
    int size_ = 0;
    const VoteTracker* last_ = nullptr;
};

// The score of one window whose counts change a codon at a time, for a
// dyadic scorer: it keeps every feature's share and the sum of the shares
// in units of 2^-40. A change of a pair count adds the change of its tabled
// term to the log-sums of the pair features that read it at once, and notes
// the features whose log-sum left the range in which their share stands;
// Refresh moves those and evaluates the features of the amino acids
// counted. Integers add exactly, so the score is the ordered sum's double.
class SumTracker {
public:
    SumTracker(const WindowScorer& scorer, const WindowScorer::SpanTables& tables);

    // Starts over from an empty sample with the given bounds.
    void Reset(int start, int end);
    // Counts the codon at base p of the sequence whose codons are given into
    // the sample (delta +1) or takes it out (-1), as smplTestData::CountCodon
    // does.
    void Count(const CodonAt* codons, int p, int delta);
    // Brings the score up to date with the sample.
    void Refresh();
    double Score() const { return static_cast<double>(units_) * WindowScorer::kUnit; }

    smplTestData sample;

private:
    // A pair feature's log-sum, and the range of log-sums in which its level
    // stays proven, [base, base + width): a log-sum outside it moves the
    // level, or needs the exact value (width 0: every log-sum is outside).
    struct PairState {
        int64_t log;
        int64_t base;
        uint64_t width;
        bool Outside() const { return static_cast<uint64_t>(log - base) >= width; }
        // The range low < log-sum < high.
        void Between(int64_t low, int64_t high) {
            base = low + 1;
            width = high > low + 1 ? static_cast<uint64_t>(high - low - 1) : 0;
        }
    };

    struct Steps;

    void RefreshAll();
    // Pair feature f after its log-sum left its range: its level, range and
    // share.
    void Move(int f);
    void SetShare(int f, int64_t share) {
        units_ += share - shares_[f];
        shares_[f] = share;
    }

    const WindowScorer& scorer_;
    const WindowScorer::SpanTables& tables_;
    // Every feature is to be evaluated afresh: a new window, a count beyond
    // the tables, or too many notes.
    bool all_ = true;
    uint32_t touchedAcids_ = 0;
    std::vector<int64_t> shares_;  // per feature, in units
    std::vector<PairState> pairs_;  // per feature, and a spare one
    std::vector<int> levels_;      // ordered pair features: thresholds below the value
    std::vector<int> moved_;       // pair features noted for a move (some twice)
    int movedCount_ = 0;
    int64_t units_ = 0;
};

}  // namespace talvo
