#include "WindowScorer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Model.h"

namespace talvo {

namespace {

// Factors of the reciprocal product are kept within this range, so that the
// product neither overflows nor leaves the normal range and its relative
// error stays below 9 units in the last place.
constexpr double kSafeLow = 0x1p-200;
constexpr double kSafeHigh = 0x1p200;
// Relative distance from the threshold beyond which the reciprocal product
// decides a vote: 2^-48 is 32 units in the last place, well above the
// product's error plus that of the exact value (3 units).
constexpr double kMargin = 0x1p-48;

bool Safe(double x) { return x >= kSafeLow && x <= kSafeHigh; }

double SafeInverse(double x) { return Safe(x) ? 1.0 / x : std::nan(""); }

// Full window: the codons at offsets 0, 3, ... while offset + 2 < width;
// its span runs from its first base to the last base of its last codon.
int FullWindowSpan(int windowWidth) { return 3 * ((windowWidth - 3) / 3 + 1) - 1; }

bool InTable(int count) { return count >= 0 && count <= WindowScorer::kMaxCount; }

}  // namespace

WindowScorer::WindowScorer(int windowWidth) {
    std::memcpy(acidPseudo_, snglAcidPriproTable, sizeof acidPseudo_);
    std::vector<std::vector<int>> byAcid(kAminoAcids);
    std::vector<std::vector<int>> byMargin(kMargins);
    std::vector<std::vector<int>> byCell(kCells);
    const int count = static_cast<int>(fh.size());
    for (int i = 0; i < count; ++i) {
        const fnlHypo& source = fh[i];
        Rule rule{};
        rule.kind = source.kind;
        rule.first = source.first;
        rule.second = source.second;
        rule.third = source.third;
        rule.gap = source.gap;
        const trsldData* threshold = nullptr;
        const int r = static_cast<int>(rules_.size());
        switch (source.kind) {
            case 0:
                threshold = &codonTrsld[i];
                rule.threshold = threshold->realTrsld;
                rule.acid = AminoAcidOf(source.first, source.second, source.third);
                rule.basicRate = ReadData().BasicCodonRate(source.first, source.second, source.third);
                byAcid[rule.acid].push_back(r);
                break;
            case 2:
                threshold = &snglAcidTrsld[i];
                rule.intThreshold = threshold->intTrsld;
                byAcid[source.first].push_back(r);
                break;
            case 3: {
                threshold = &pairAcidTrsld[i];
                rule.threshold = threshold->realTrsld;
                const double* pseudo = pairAcidPriproTable[source.gap][source.first][source.second];
                rule.pairCount = pseudo[0];
                rule.pairSpan = pseudo[1];
                // The numerator grows with the count: both ends in range
                // keep every count's numerator in range.
                const double t = rule.threshold;
                const bool safe = Safe(rule.pairCount) && Safe(3.0 * kMaxCount + rule.pairCount) &&
                                  t >= 0x1p-900 && t <= 0x1p900;
                rule.lower = safe ? t * (1.0 - kMargin) : std::nan("");
                rule.upper = safe ? t * (1.0 + kMargin) : std::nan("");
                rule.pairCell = (source.gap * kAminoAcids + source.first) * kAminoAcids + source.second;
                rule.firstMargin = (source.gap * 2 + 0) * kAminoAcids + source.first;
                rule.secondMargin = (source.gap * 2 + 1) * kAminoAcids + source.second;
                rule.firstRow = source.first * (kMaxCount + 1);
                rule.secondRow = source.second * (kMaxCount + 1);
                byMargin[rule.firstMargin].push_back(r);
                byMargin[rule.secondMargin].push_back(r);
                byCell[rule.pairCell].push_back(r);
                break;
            }
            default:
                continue;  // no rule: adds nothing to the score
        }
        rules_.push_back(rule);
        terms_.push_back(VoteTerm(false, threshold->dir, source.weight));
        terms_.push_back(VoteTerm(true, threshold->dir, source.weight));
    }
    byAcid_.Build(byAcid);
    byMargin_.Build(byMargin);
    byCell_.Build(byCell);
    full_ = MakeSpanTables(FullWindowSpan(windowWidth));
}

void WindowScorer::Lists::Build(const std::vector<std::vector<int>>& lists) {
    start.assign(1, 0);
    for (const auto& list : lists) {
        rules.insert(rules.end(), list.begin(), list.end());
        start.push_back(static_cast<int>(rules.size()));
    }
}

WindowScorer::SpanTables WindowScorer::MakeSpanTables(int span) const {
    SpanTables tables;
    tables.span = span;
    const double spanValue = span;
    tables.rate.resize(kAminoAcids * (kMaxCount + 1));
    tables.inverseRate.resize(tables.rate.size());
    for (int aa = 0; aa < kAminoAcids; ++aa) {
        for (int c = 0; c <= kMaxCount; ++c) {
            const double rate = (3.0 * c + acidPseudo_[aa][0]) / (spanValue + acidPseudo_[aa][1]);
            tables.rate[aa * (kMaxCount + 1) + c] = rate;
            tables.inverseRate[aa * (kMaxCount + 1) + c] = SafeInverse(rate);
        }
    }
    tables.pairDenominator.resize(rules_.size());
    tables.inversePairDenominator.resize(rules_.size());
    for (std::size_t r = 0; r < rules_.size(); ++r) {
        const double denominator = spanValue + rules_[r].pairSpan;
        tables.pairDenominator[r] = denominator;
        tables.inversePairDenominator[r] = SafeInverse(denominator);
    }
    return tables;
}

double WindowScorer::PairValue(int r, int cp, int m0, int m1, int span,
                               const SpanTables* tables) const {
    const Rule& rule = rules_[r];
    const double numerator = 3.0 * cp + rule.pairCount;
    if (tables != nullptr && InTable(m0) && InTable(m1)) {
        const double* rate = tables->rate.data();
        const double f = rate[rule.first * (kMaxCount + 1) + m0];
        const double s = rate[rule.second * (kMaxCount + 1) + m1];
        return numerator / tables->pairDenominator[r] / f / s;
    }
    const double spanValue = span;
    const double* first = acidPseudo_[rule.first];
    const double* second = acidPseudo_[rule.second];
    const double p = numerator / (spanValue + rule.pairSpan);
    const double f = (3.0 * m0 + first[0]) / (spanValue + first[1]);
    const double s = (3.0 * m1 + second[0]) / (spanValue + second[1]);
    return p / f / s;
}

namespace {

// The pair-rule vote with everything it reads held in plain pointers, so
// that a loop of votes keeps them in registers.
struct PairJudge {
    template <class Rule, class Exact>
    bool operator()(const Rule& rule, int r, Exact&& exact) const {
        const int cp = pairCounts[rule.pairCell];
        const int m0 = margins[rule.firstMargin];
        const int m1 = margins[rule.secondMargin];
        if (static_cast<unsigned>(cp | m0 | m1) <= static_cast<unsigned>(WindowScorer::kMaxCount)) {
            const double y = ((3.0 * cp + rule.pairCount) * inverseDenominator[r]) *
                             (inverseRate[rule.firstRow + m0] * inverseRate[rule.secondRow + m1]);
            const bool above = y > rule.upper;
            const bool below = y < rule.lower;
            if (above | below) [[likely]] return above;
        }
        return exact(r, cp, m0, m1);
    }

    const int16_t* pairCounts;
    const int16_t* margins;
    const double* inverseRate;
    const double* inverseDenominator;
};

PairJudge MakeJudge(const smplTestData& sample, const WindowScorer::SpanTables& tables) {
    return {&sample.pairAcidCnt[0][0][0], &sample.pairAcidMarg[0][0][0], tables.inverseRate.data(),
            tables.inversePairDenominator.data()};
}

}  // namespace

bool WindowScorer::ExactPairAbove(int r, int cp, int m0, int m1, const SpanTables& tables) const {
    return PairValue(r, cp, m0, m1, tables.span, &tables) > rules_[r].threshold;
}

bool WindowScorer::Above(int r, const smplTestData& sample, const SpanTables& tables) const {
    const Rule& rule = rules_[r];
    switch (rule.kind) {
        case 0: {
            const int acid = sample.snglAcidCnt[rule.acid];
            const double x =
                acid != 0
                    ? static_cast<double>(sample.codonCnt[rule.first][rule.second][rule.third]) / acid
                    : rule.basicRate;
            return x > rule.threshold;
        }
        case 2:
            return sample.snglAcidCnt[rule.first] > rule.intThreshold;
        default:
            return MakeJudge(sample, tables)(rule, r, [&](int q, int cp, int m0, int m1) {
                return ExactPairAbove(q, cp, m0, m1, tables);
            });
    }
}

int WindowScorer::Score(const smplTestData& sample, double& score) const {
    const int span = sample.smplEnd - sample.smplStart;
    const SpanTables* tables = span == full_.span ? &full_ : nullptr;
    double sum = 0.0;
    for (int r = 0; r < Rules(); ++r) {
        const Rule& rule = rules_[r];
        bool above;
        if (tables != nullptr || rule.kind != 3) {
            above = Above(r, sample, full_);
        } else {
            // Another span: no tables.
            above = PairValue(r, sample.pairAcidCnt[rule.gap][rule.first][rule.second],
                              sample.pairAcidMarg[rule.gap][0][rule.first],
                              sample.pairAcidMarg[rule.gap][1][rule.second], span, nullptr) >
                    rule.threshold;
        }
        sum += terms_[2 * r + above];
    }
    score = sum;
    return score > 0.0 ? kCoding : kNonCoding;
}

void WindowScorer::SumVotes(const uint8_t* votes, std::size_t stride, int windows,
                            double* scores) const {
    const int rules = Rules();
    const double* terms = terms_.data();
    int w = 0;
    // Eight sums side by side: each is still added in rule order.
    for (; w + 8 <= windows; w += 8) {
        const uint8_t* v = votes + w * stride;
        double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0, s5 = 0.0, s6 = 0.0, s7 = 0.0;
        for (int r = 0; r < rules; ++r) {
            const double* t = terms + 2 * r;
            s0 += t[v[r]];
            s1 += t[v[stride + r]];
            s2 += t[v[2 * stride + r]];
            s3 += t[v[3 * stride + r]];
            s4 += t[v[4 * stride + r]];
            s5 += t[v[5 * stride + r]];
            s6 += t[v[6 * stride + r]];
            s7 += t[v[7 * stride + r]];
        }
        double* out = scores + w;
        out[0] = s0, out[1] = s1, out[2] = s2, out[3] = s3;
        out[4] = s4, out[5] = s5, out[6] = s6, out[7] = s7;
    }
    for (; w < windows; ++w) {
        const uint8_t* v = votes + w * stride;
        double sum = 0.0;
        for (int r = 0; r < rules; ++r) sum += terms[2 * r + v[r]];
        scores[w] = sum;
    }
}

VoteTracker::VoteTracker(const WindowScorer& scorer, const WindowScorer::SpanTables& tables)
    : scorer_(scorer), tables_(tables), votes_(scorer.Rules()), stamp_(scorer.Rules()) {
    touchedCells_.reserve(64);
}

void VoteTracker::Reset(int start, int end) {
    sample.Reset(start, end);
    all_ = true;
}

void VoteTracker::Count(const short* bases, int length, int p, int delta) {
    sample.CountCodon(bases, length, p, delta, [this](int g, int aa, int aa2) {
        if (g < 0) {
            touchedAcids_ |= uint32_t{1} << aa;
            return;
        }
        const int first = (g * 2 + 0) * kAminoAcids + aa;
        const int second = (g * 2 + 1) * kAminoAcids + aa2;
        touchedMargins_[first >> 6] |= uint64_t{1} << (first & 63);
        touchedMargins_[second >> 6] |= uint64_t{1} << (second & 63);
        touchedCells_.push_back((g * kAminoAcids + aa) * kAminoAcids + aa2);
    });
}

// Pair rules of [begin, end) not yet evaluated in this refresh.
void VoteTracker::Evaluate(const int* begin, const int* end) {
    const WindowScorer::Rule* const rules = scorer_.rules_.data();
    uint8_t* const votes = votes_.data();
    uint32_t* const stamp = stamp_.data();
    const uint32_t generation = generation_;
    const PairJudge judge = MakeJudge(sample, tables_);
    auto exact = [this](int r, int cp, int m0, int m1) {
        return scorer_.ExactPairAbove(r, cp, m0, m1, tables_);
    };
    for (const int* r = begin; r != end; ++r) {
        if (stamp[*r] == generation) continue;
        stamp[*r] = generation;
        votes[*r] = judge(rules[*r], *r, exact);
    }
}

const uint8_t* VoteTracker::Refresh() {
    const int16_t* const margins = &sample.pairAcidMarg[0][0][0];
    const int16_t* const cells = &sample.pairAcidCnt[0][0][0];
    if (all_) {
        for (int r = 0; r < scorer_.Rules(); ++r) votes_[r] = scorer_.Above(r, sample, tables_);
        std::copy_n(margins, WindowScorer::kMargins, seenMargins_);
        std::copy_n(cells, WindowScorer::kCells, seenCells_);
        all_ = false;
    } else {
        if (++generation_ == 0) {  // wrapped: forget the old stamps
            std::fill(stamp_.begin(), stamp_.end(), 0u);
            generation_ = 1;
        }
        for (uint32_t bits = touchedAcids_; bits != 0; bits &= bits - 1) {
            const int aa = __builtin_ctz(bits);
            const int* const end = scorer_.byAcid_.End(aa);
            for (const int* r = scorer_.byAcid_.Begin(aa); r != end; ++r) {
                votes_[*r] = scorer_.Above(*r, sample, tables_);
            }
        }
        // A pair rule reads its cell and two marginals: it needs a new vote
        // only when one of them holds another value than at the last refresh.
        for (int word = 0; word < static_cast<int>(std::size(touchedMargins_)); ++word) {
            for (uint64_t bits = touchedMargins_[word]; bits != 0; bits &= bits - 1) {
                const int margin = word * 64 + __builtin_ctzll(bits);
                if (margins[margin] == seenMargins_[margin]) continue;
                seenMargins_[margin] = margins[margin];
                Evaluate(scorer_.byMargin_.Begin(margin), scorer_.byMargin_.End(margin));
            }
        }
        for (const int cell : touchedCells_) {
            if (cells[cell] == seenCells_[cell]) continue;
            seenCells_[cell] = cells[cell];
            Evaluate(scorer_.byCell_.Begin(cell), scorer_.byCell_.End(cell));
        }
    }
    touchedAcids_ = 0;
    std::fill(std::begin(touchedMargins_), std::end(touchedMargins_), 0);
    touchedCells_.clear();
    return votes_.data();
}

}  // namespace talvo
