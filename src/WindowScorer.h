// The window scorer compiled for speed. Built once per model, it gives every
// window the same score, to the bit, as the rule-by-rule scorer (the sum of
// the votes in rule order), and the same class.
//
// What makes it fast:
// - the rates of the pair rules are tabled per window span and count, so a
//   vote costs a few multiplications instead of five divisions; a product of
//   reciprocals decides the vote when it lies clearly off the threshold, and
//   the exact divisions decide it otherwise;
// - a window moved by one codon re-evaluates only the rules that read a count
//   the move changed (VoteTracker);
// - the ordered sums of several windows run side by side (SumVotes), which
//   keeps the adder busy while each sum stays one add after the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "Test.h"

namespace talvo {

class WindowScorer {
public:
    // Compiles the rules and tables of the loaded model for windows of
    // `windowWidth` bases. Reads the model once; keeps no reference to it,
    // and is immutable afterwards, so threads may share it.
    explicit WindowScorer(int windowWidth);

    // Highest count the tables cover: more than any window can hold (66).
    static constexpr int kMaxCount = 127;

    // The rates of one window span: what a vote needs besides the counts.
    struct SpanTables {
        int span = 0;
        // [aa * (kMaxCount + 1) + count]: (3 count + c) / (span + n) with the
        // amino acid's pseudo-counts, as the scorer computes it, and an
        // approximate reciprocal (NaN where it could mislead the bound test).
        std::vector<double> rate;
        std::vector<double> inverseRate;
        // Per compiled rule (pair rules only): span + n of its pair
        // pseudo-counts, and an approximate reciprocal (NaN as above).
        std::vector<double> pairDenominator;
        std::vector<double> inversePairDenominator;
    };
    SpanTables MakeSpanTables(int span) const;
    // Tables of a full window's span, built with the scorer.
    const SpanTables& FullSpan() const { return full_; }

    // Scores one sample of any span; the same score and class as the
    // rule-by-rule scorer.
    int Score(const smplTestData& sample, double& score) const;

    // Number of compiled rules (the rules of kinds 0, 2 and 3, in order).
    int Rules() const { return static_cast<int>(rules_.size()); }
    // Whether compiled rule r votes "above its threshold" on the sample.
    bool Above(int r, const smplTestData& sample, const SpanTables& tables) const;

    // Sums the votes of `windows` windows (Rules() bytes each, 1 = above,
    // `stride` bytes apart), each in rule order, into scores.
    void SumVotes(const uint8_t* votes, std::size_t stride, int windows, double* scores) const;

private:
    friend class VoteTracker;

    struct Rule {
        int kind;      // 0 codon, 2 amino acid, 3 pair
        int first;     // codon: base codes; amino-acid rule: aa; pair: a1
        int second;
        int third;
        int gap;
        int acid;      // codon rule: the codon's amino acid
        double basicRate;  // codon rule: its share under uniform codon use
        int intThreshold;
        double threshold;
        // Pair rules: the product of reciprocals above `upper` proves the
        // value above the threshold, below `lower` proves it not above;
        // NaN when no bound is safe.
        double lower;
        double upper;
        double pairCount;   // pseudo-counts of the pair
        double pairSpan;
        // Pair rules: where the counts lie in the sample's pair and marginal
        // tables, and the rows of the two amino acids in the rate tables.
        int pairCell;
        int firstMargin;
        int secondMargin;
        int firstRow;
        int secondRow;
    };

    // The pair rule's value, exactly as the rule-by-rule scorer computes it;
    // from the tables when they are given and cover the counts.
    double PairValue(int r, int cp, int m0, int m1, int span, const SpanTables* tables) const;
    bool ExactPairAbove(int r, int cp, int m0, int m1, const SpanTables& tables) const;

    std::vector<Rule> rules_;
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
// first time).
class VoteTracker {
public:
    VoteTracker(const WindowScorer& scorer, const WindowScorer::SpanTables& tables);

    // Counts the codon at p into the sample (delta +1) or takes it out (-1),
    // as smplTestData::CountCodon does, and notes the counts it touched.
    void Count(const short* bases, int length, int p, int delta);
    // Brings the votes up to date with the sample: one byte per compiled
    // rule, 1 when it votes above its threshold.
    const uint8_t* Refresh();
    // Starts over from an empty sample with the given bounds.
    void Reset(int start, int end);

    smplTestData sample;

private:
    void Evaluate(const int* begin, const int* end);

    const WindowScorer& scorer_;
    const WindowScorer::SpanTables& tables_;
    std::vector<uint8_t> votes_;
    std::vector<uint32_t> stamp_;  // generation of a rule's last evaluation
    uint32_t generation_ = 0;
    bool all_ = true;
    uint32_t touchedAcids_ = 0;
    uint64_t touchedMargins_[(WindowScorer::kMargins + 63) / 64]{};
    std::vector<int> touchedCells_;
    // The counts at the last refresh.
    int16_t seenMargins_[WindowScorer::kMargins]{};
    int16_t seenCells_[WindowScorer::kCells]{};
};

}  // namespace talvo
