#include "WindowScorer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "WindowScoring.h"

namespace talvo {

namespace {

// Values whose logarithm enters a log-sum lie within this range; any other
// value (zero, negative, infinite, NaN, or extreme) gets the poison term,
// which lifts the sum above kPoisonLimit and leaves the vote to the exact
// divisions. Four terms of at most 2^47.1 each stay below the limit; four
// poisons stay far below 2^63.
constexpr double kSafeLow = 0x1p-200;
constexpr double kSafeHigh = 0x1p200;
constexpr double kLogScale = 0x1p40;  // fixed point: 2^40 units per unit of log
constexpr int64_t kPoison = int64_t{1} << 57;
constexpr int64_t kPoisonLimit = int64_t{1} << 56;
// Each tabled logarithm is within one unit of the true one (the logarithm
// is good to an ulp, the rounding to half a unit); the computed value lies
// within 3 ulp (4e-4 units) of the true quotient. A margin of 1024 units
// (a relative 1e-9) leaves every vote it decides beyond doubt.
constexpr int64_t kLogMargin = 1024;

bool Safe(double x) { return x >= kSafeLow && x <= kSafeHigh; }

int64_t FixedLog(double x) { return Safe(x) ? std::llround(std::log(x) * kLogScale) : kPoison; }
int64_t FixedLogInverse(double x) { return Safe(x) ? -std::llround(std::log(x) * kLogScale) : kPoison; }

// Full window: the codons at offsets 0, 3, ... while offset + 2 < width;
// its span runs from its first base to the last base of its last codon.
int FullWindowSpan(int windowWidth) { return 3 * ((windowWidth - 3) / 3 + 1) - 1; }

bool InTable(int count) { return count >= 0 && count <= WindowScorer::kMaxCount; }

int Row(int aa, int count) { return aa * (WindowScorer::kMaxCount + 1) + count; }

}  // namespace

WindowScorer::WindowScorer(const Model& model) : width_(model.windowWidth) {
    std::memcpy(acidPseudo_, model.snglAcidPriproTable, sizeof acidPseudo_);
    std::vector<std::vector<int>> byAcid(kAminoAcids);
    std::vector<std::vector<int>> byMargin(kMargins);
    std::vector<std::vector<int>> byCell(kCells);
    const int count = static_cast<int>(model.rules.size());
    for (int i = 0; i < count; ++i) {
        const fnlHypo& source = model.rules[i];
        Rule rule{};
        Bounds bounds{-kPoisonLimit, kPoisonLimit};
        rule.kind = source.kind;
        rule.first = source.first;
        rule.second = source.second;
        rule.third = source.third;
        rule.gap = source.gap;
        const trsldData* threshold = nullptr;
        const int r = static_cast<int>(rules_.size());
        switch (source.kind) {
            case 0:
                threshold = &model.codonTrsld[i];
                rule.threshold = threshold->realTrsld;
                rule.acid = AminoAcidOf(source.first, source.second, source.third);
                rule.basicRate = BasicCodonRate(source.first, source.second, source.third);
                byAcid[rule.acid].push_back(r);
                break;
            case 2:
                threshold = &model.snglAcidTrsld[i];
                rule.intThreshold = threshold->intTrsld;
                byAcid[source.first].push_back(r);
                break;
            case 3: {
                threshold = &model.pairAcidTrsld[i];
                rule.threshold = threshold->realTrsld;
                const double* pseudo = model.pairAcidPriproTable[source.gap][source.first][source.second];
                rule.pairCount = pseudo[0];
                rule.pairSpan = pseudo[1];
                rule.pairCell = (source.gap * kAminoAcids + source.first) * kAminoAcids + source.second;
                rule.firstMargin = (source.gap * 2 + 0) * kAminoAcids + source.first;
                rule.secondMargin = (source.gap * 2 + 1) * kAminoAcids + source.second;
                rule.firstRow = Row(source.first, 0);
                rule.secondRow = Row(source.second, 0);
                rule.logEmptyNumerator = FixedLog(rule.pairCount);
                const double t = rule.threshold;
                const bool decidable = t >= 0x1p-900 && t <= 0x1p900;
                const int64_t logThreshold = decidable ? std::llround(std::log(t) * kLogScale) : 0;
                bounds.lower = decidable ? logThreshold - kLogMargin : -kPoisonLimit;
                bounds.upper = decidable ? logThreshold + kLogMargin : kPoisonLimit;
                byMargin[rule.firstMargin].push_back(r);
                byMargin[rule.secondMargin].push_back(r);
                byCell[rule.pairCell].push_back(r);
                break;
            }
            default:
                continue;  // no rule: adds nothing to the score
        }
        rules_.push_back(rule);
        bounds_.push_back(bounds);
        terms_.push_back(VoteTerm(false, threshold->dir, source.weight));
        terms_.push_back(VoteTerm(true, threshold->dir, source.weight));
    }
    byAcid_.Build(byAcid);
    byMargin_.Build(byMargin);
    byCell_.Build(byCell);
    full_ = MakeSpanTables(FullWindowSpan(width_));
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
    tables.logInverseRate.resize(tables.rate.size());
    for (int aa = 0; aa < kAminoAcids; ++aa) {
        for (int c = 0; c <= kMaxCount; ++c) {
            const double rate = (3.0 * c + acidPseudo_[aa][0]) / (spanValue + acidPseudo_[aa][1]);
            tables.rate[Row(aa, c)] = rate;
            tables.logInverseRate[Row(aa, c)] = FixedLogInverse(rate);
        }
    }
    tables.pairDenominator.resize(rules_.size());
    tables.logInversePairDenominator.resize(rules_.size());
    for (std::size_t r = 0; r < rules_.size(); ++r) {
        const double denominator = spanValue + rules_[r].pairSpan;
        tables.pairDenominator[r] = denominator;
        tables.logInversePairDenominator[r] = FixedLogInverse(denominator);
    }
    return tables;
}

int64_t WindowScorer::LogNumerator(const Rule& rule, int cp) const {
    return cp == 0 ? rule.logEmptyNumerator : FixedLog(3.0 * cp + rule.pairCount);
}

int64_t WindowScorer::PairLog(int r, int cp, int m0, int m1, const SpanTables& tables) const {
    const Rule& rule = rules_[r];
    return LogNumerator(rule, cp) + tables.logInversePairDenominator[r] +
           tables.logInverseRate[rule.firstRow + m0] + tables.logInverseRate[rule.secondRow + m1];
}

int WindowScorer::Decide(int r, int64_t log) const {
    const Bounds bounds = bounds_[r];
    if (log >= kPoisonLimit) return -1;
    if (log > bounds.upper) return 1;
    if (log < bounds.lower) return 0;
    return -1;
}

bool WindowScorer::ExactPairAbove(int r, int cp, int m0, int m1, int span,
                                  const SpanTables* tables) const {
    const Rule& rule = rules_[r];
    const double numerator = 3.0 * cp + rule.pairCount;
    double x;
    if (tables != nullptr && InTable(m0) && InTable(m1)) {
        x = numerator / tables->pairDenominator[r] / tables->rate[rule.firstRow + m0] /
            tables->rate[rule.secondRow + m1];
    } else {
        const double spanValue = span;
        const double* first = acidPseudo_[rule.first];
        const double* second = acidPseudo_[rule.second];
        const double p = numerator / (spanValue + rule.pairSpan);
        const double f = (3.0 * m0 + first[0]) / (spanValue + first[1]);
        const double s = (3.0 * m1 + second[0]) / (spanValue + second[1]);
        x = p / f / s;
    }
    return x > rule.threshold;
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
        default: {
            const int cp = (&sample.pairAcidCnt[0][0][0])[rule.pairCell];
            const int m0 = (&sample.pairAcidMarg[0][0][0])[rule.firstMargin];
            const int m1 = (&sample.pairAcidMarg[0][0][0])[rule.secondMargin];
            if (InTable(cp) && InTable(m0) && InTable(m1)) {
                const int vote = Decide(r, PairLog(r, cp, m0, m1, tables));
                if (vote >= 0) return vote == 1;
            }
            return ExactPairAbove(r, cp, m0, m1, tables.span, &tables);
        }
    }
}

int WindowScorer::Score(const smplTestData& sample, double& score) const {
    const int span = sample.smplEnd - sample.smplStart;
    const bool full = span == full_.span;
    double sum = 0.0;
    for (int r = 0; r < Rules(); ++r) {
        const Rule& rule = rules_[r];
        bool above;
        if (full || rule.kind != 3) {
            above = Above(r, sample, full_);
        } else {  // another span: no tables
            above = ExactPairAbove(r, sample.pairAcidCnt[rule.gap][rule.first][rule.second],
                                   sample.pairAcidMarg[rule.gap][0][rule.first],
                                   sample.pairAcidMarg[rule.gap][1][rule.second], span, nullptr);
        }
        sum += terms_[2 * r + above];
    }
    score = sum;
    return score > 0.0 ? kCoding : kNonCoding;
}

VoteTracker::VoteTracker(const WindowScorer& scorer, const WindowScorer::SpanTables& tables)
    : scorer_(scorer), tables_(tables), votes_(scorer.Rules()), logs_(scorer.Rules()) {
    touchedCells_.reserve(64);
    changedMargins_.reserve(64);
    changedCells_.reserve(64);
    flips_.resize(4 * static_cast<std::size_t>(scorer.Rules()));
}

void VoteTracker::Reset(int start, int end) {
    sample.Reset(start, end);
    all_ = true;
}

void VoteTracker::Count(const short* bases, int length, int p, int delta) {
    if (all_) {  // every vote is evaluated afresh anyway
        sample.CountCodon(bases, length, p, delta);
        return;
    }
    if (touchedCells_.size() >= static_cast<std::size_t>(WindowScorer::kCells)) {
        all_ = true;  // a long run without refresh: cheaper to start afresh
        touchedCells_.clear();
    }
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

void VoteTracker::RefreshAll() {
    const int16_t* const margins = &sample.pairAcidMarg[0][0][0];
    const int16_t* const cells = &sample.pairAcidCnt[0][0][0];
    for (int r = 0; r < scorer_.Rules(); ++r) {
        const WindowScorer::Rule& rule = scorer_.rules_[r];
        if (rule.kind == 3) {
            const int cp = cells[rule.pairCell];
            const int m0 = margins[rule.firstMargin];
            const int m1 = margins[rule.secondMargin];
            logs_[r] = InTable(cp) && InTable(m0) && InTable(m1)
                           ? scorer_.PairLog(r, cp, m0, m1, tables_)
                           : kPoison;
        }
        votes_[r] = scorer_.Above(r, sample, tables_);
    }
    std::copy_n(margins, WindowScorer::kMargins, seenMargins_);
    std::copy_n(cells, WindowScorer::kCells, seenCells_);
    allChanged_ = true;
    flipCount_ = 0;
    // The log-sums can follow the counts only while all lie in the tables.
    auto inTable = [](int16_t count) { return InTable(count); };
    all_ = !std::all_of(margins, margins + WindowScorer::kMargins, inTable) ||
           !std::all_of(cells, cells + WindowScorer::kCells, inTable);
}

void VoteTracker::Refresh() {
    const int16_t* const margins = &sample.pairAcidMarg[0][0][0];
    const int16_t* const cells = &sample.pairAcidCnt[0][0][0];
    // The counts that hold another value than at the last refresh; a count
    // beyond the tables has no tabled term: all votes are evaluated afresh.
    if (all_) {
        RefreshAll();
        return;
    }
    changedMargins_.clear();
    changedCells_.clear();
    bool outside = false;
    for (int word = 0; word < static_cast<int>(std::size(touchedMargins_)); ++word) {
        for (uint64_t bits = touchedMargins_[word]; bits != 0; bits &= bits - 1) {
            const int margin = word * 64 + __builtin_ctzll(bits);
            if (margins[margin] == seenMargins_[margin]) continue;
            outside |= !InTable(margins[margin]);
            changedMargins_.push_back(margin);
        }
    }
    for (const int cell : touchedCells_) {
        if (cells[cell] == seenCells_[cell]) continue;
        outside |= !InTable(cells[cell]);
        changedCells_.push_back(cell);
        seenCells_[cell] = cells[cell];  // also marks a cell touched twice as seen
    }
    touchedCells_.clear();
    std::fill(std::begin(touchedMargins_), std::end(touchedMargins_), 0);
    const uint32_t acids = touchedAcids_;
    touchedAcids_ = 0;
    if (outside) {
        RefreshAll();
        return;
    }

    if (flipCount_ > votes_.size()) {  // no batch took the flips: start over
        allChanged_ = true;
        flipCount_ = 0;
    }
    uint8_t* const votes = votes_.data();
    int* const flips = flips_.data();
    std::size_t flipCount = flipCount_;
    for (uint32_t bits = acids; bits != 0; bits &= bits - 1) {
        const int aa = __builtin_ctz(bits);
        const int* const end = scorer_.byAcid_.End(aa);
        for (const int* r = scorer_.byAcid_.Begin(aa); r != end; ++r) {
            const uint8_t vote = scorer_.Above(*r, sample, tables_);
            flips[flipCount] = *r;
            flipCount += vote != votes[*r];
            votes[*r] = vote;
        }
    }

    // The log-sums take the change of each changed term (integers add
    // exactly, in any order) and the rule votes anew. A rule on two changed
    // lists votes twice; the second vote, on its final sum, stands, and a
    // flip there and back cancels in the batch.
    int64_t* const logs = logs_.data();
    const int64_t* const logInverseRate = tables_.logInverseRate.data();
    const WindowScorer::Rule* const rules = scorer_.rules_.data();
    const WindowScorer::Bounds* const bounds = scorer_.bounds_.data();
    auto vote = [&](int r, int64_t log) {
        const WindowScorer::Bounds b = bounds[r];
        uint8_t decided = log > b.upper;
        if ((log >= kPoisonLimit) | ((log <= b.upper) & (log >= b.lower))) [[unlikely]] {
            const WindowScorer::Rule& rule = rules[r];
            decided = scorer_.ExactPairAbove(r, cells[rule.pairCell], margins[rule.firstMargin],
                                             margins[rule.secondMargin], tables_.span, &tables_);
        }
        flips[flipCount] = r;
        flipCount += decided != votes[r];
        votes[r] = decided;
    };
    for (const int margin : changedMargins_) {
        const int aa = margin % kAminoAcids;
        const int64_t step = logInverseRate[Row(aa, margins[margin])] -
                             logInverseRate[Row(aa, seenMargins_[margin])];
        seenMargins_[margin] = margins[margin];
        const int* const end = scorer_.byMargin_.End(margin);
        for (const int* p = scorer_.byMargin_.Begin(margin); p != end; ++p) {
            const int64_t log = logs[*p] + step;
            logs[*p] = log;
            vote(*p, log);
        }
    }
    // A changed cell's old value is gone: its rules' sums are recomputed.
    for (const int cell : changedCells_) {
        const int* const end = scorer_.byCell_.End(cell);
        for (const int* p = scorer_.byCell_.Begin(cell); p != end; ++p) {
            const WindowScorer::Rule& rule = rules[*p];
            const int64_t log = scorer_.PairLog(*p, cells[cell], margins[rule.firstMargin],
                                                margins[rule.secondMargin], tables_);
            logs[*p] = log;
            vote(*p, log);
        }
    }
    flipCount_ = flipCount;
}

VoteBatch::VoteBatch(const WindowScorer& scorer)
    : scorer_(scorer), pairTerms_(4 * scorer.rules_.size()), rows_(scorer.rules_.size()) {
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        for (int i = 0; i < 4; ++i) {
            pairTerms_[4 * r + i] = Pair{scorer.terms_[2 * r + (i & 1)], scorer.terms_[2 * r + (i >> 1)]};
        }
    }
}

void VoteBatch::Add(VoteTracker& tracker) {
    const uint16_t later = static_cast<uint16_t>(0xFFFF << size_);  // this window and the ones after
    if (size_ == 0 || &tracker != last_ || tracker.allChanged_) {
        const uint8_t* votes = tracker.votes_.data();
        for (std::size_t r = 0; r < rows_.size(); ++r) {
            rows_[r] = static_cast<uint16_t>((rows_[r] & ~later) | (votes[r] ? later : 0));
        }
    } else {
        for (std::size_t i = 0; i < tracker.flipCount_; ++i) rows_[tracker.flips_[i]] ^= later;
    }
    tracker.flipCount_ = 0;
    tracker.allChanged_ = false;
    last_ = &tracker;
    ++size_;
}

void VoteBatch::Sum(double* scores) {
    Pair sums[kWindows / 2] = {};
    const Pair* terms = pairTerms_.data();
    const int rules = static_cast<int>(rows_.size());
    for (int r = 0; r < rules; ++r) {
        const unsigned row = rows_[r];
        const Pair* t = terms + 4 * r;
        sums[0] += t[row & 3];
        sums[1] += t[(row >> 2) & 3];
        sums[2] += t[(row >> 4) & 3];
        sums[3] += t[(row >> 6) & 3];
        sums[4] += t[(row >> 8) & 3];
        sums[5] += t[(row >> 10) & 3];
        sums[6] += t[(row >> 12) & 3];
        sums[7] += t[(row >> 14) & 3];
    }
    for (int w = 0; w < size_; ++w) scores[w] = sums[w / 2][w % 2];
    size_ = 0;
}

}  // namespace talvo
