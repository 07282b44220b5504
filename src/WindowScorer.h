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

private:
    friend class VoteTracker;
    friend class VoteBatch;

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
    // The pair vote by the exact divisions, from the tables when they are
    // given and cover the counts.
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
};

// The votes of one window whose counts change a codon at a time. A change
// notes the counts it touched; Refresh evaluates again only the rules that
// read a count whose value differs from the last refresh (all rules the
// first time, and whenever a count leaves the tables).
class VoteTracker {
public:
    VoteTracker(const WindowScorer& scorer, const WindowScorer::SpanTables& tables);

    // Counts the codon at p into the sample (delta +1) or takes it out (-1),
    // as smplTestData::CountCodon does, and notes the counts it touched.
    void Count(const short* bases, int length, int p, int delta);
    // Brings the votes up to date with the sample.
    void Refresh();
    // Starts over from an empty sample with the given bounds.
    void Reset(int start, int end);

    smplTestData sample;

private:
    friend class VoteBatch;

    void RefreshAll();

    const WindowScorer& scorer_;
    const WindowScorer::SpanTables& tables_;
    std::vector<uint8_t> votes_;  // 1 when the rule votes above its threshold
    std::vector<int64_t> logs_;   // pair rules: the log-sum of their value
    bool all_ = true;
    uint32_t touchedAcids_ = 0;
    uint64_t touchedMargins_[(WindowScorer::kMargins + 63) / 64]{};
    std::vector<int> touchedCells_;
    std::vector<int> changedMargins_;
    std::vector<int> changedCells_;
    // The counts at the last refresh.
    int16_t seenMargins_[WindowScorer::kMargins]{};
    int16_t seenCells_[WindowScorer::kCells]{};
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

}  // namespace talvo
