#include "WindowScorer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>

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

// Whole numbers of units below this are doubles without rounding.
constexpr double kExactUnits = WindowScorer::kExactRange / WindowScorer::kUnit;

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
    for (int i = 0; i < static_cast<int>(model.rules.size()); ++i) CompileRule(model, i);
    BuildRuleLists();
    full_ = MakeSpanTables(FullWindowSpan(width_));
    std::vector<int64_t> units;
    dyadic_ = DyadicUnits(units);
    if (dyadic_) CompileFeatures(units);
}

void WindowScorer::CompileRule(const Model& model, int i) {
    const fnlHypo& source = model.rules[i];
    Rule rule{};
    Bounds bounds{-kPoisonLimit, kPoisonLimit};
    rule.kind = source.kind;
    rule.first = source.first;
    rule.second = source.second;
    rule.third = source.third;
    rule.gap = source.gap;
    const trsldData* threshold = nullptr;
    switch (source.kind) {
        case 0:
            threshold = &model.codonTrsld[i];
            rule.threshold = threshold->realTrsld;
            rule.acid = AminoAcidOf(source.first, source.second, source.third);
            rule.basicRate = BasicCodonRate(source.first, source.second, source.third);
            break;
        case 2:
            threshold = &model.snglAcidTrsld[i];
            rule.intThreshold = threshold->intTrsld;
            break;
        case 3:
            threshold = &model.pairAcidTrsld[i];
            rule.threshold = threshold->realTrsld;
            CompilePairRule(model.pairAcidPriproTable[source.gap][source.first][source.second], rule, bounds);
            break;
        default:
            return;  // no rule: adds nothing to the score
    }
    rules_.push_back(rule);
    bounds_.push_back(bounds);
    terms_.push_back(VoteTerm(false, threshold->dir, source.weight));
    terms_.push_back(VoteTerm(true, threshold->dir, source.weight));
}

void WindowScorer::CompilePairRule(const double* pseudo, Rule& rule, Bounds& bounds) {
    rule.pairCount = pseudo[0];
    rule.pairSpan = pseudo[1];
    rule.pairCell = (rule.gap * kAminoAcids + rule.first) * kAminoAcids + rule.second;
    rule.firstMargin = (rule.gap * 2 + 0) * kAminoAcids + rule.first;
    rule.secondMargin = (rule.gap * 2 + 1) * kAminoAcids + rule.second;
    rule.firstRow = Row(rule.first, 0);
    rule.secondRow = Row(rule.second, 0);
    rule.logEmptyNumerator = FixedLog(rule.pairCount);
    const double t = rule.threshold;
    if (t >= 0x1p-900 && t <= 0x1p900) {  // else no log-sum decides
        const int64_t logThreshold = std::llround(std::log(t) * kLogScale);
        bounds = {logThreshold - kLogMargin, logThreshold + kLogMargin};
    }
}

void WindowScorer::BuildRuleLists() {
    std::vector<std::vector<int>> byAcid(kAminoAcids);
    std::vector<std::vector<int>> byMargin(kMargins);
    std::vector<std::vector<int>> byCell(kCells);
    for (int r = 0; r < Rules(); ++r) {
        const Rule& rule = rules_[r];
        if (rule.kind == 3) {
            byMargin[rule.firstMargin].push_back(r);
            byMargin[rule.secondMargin].push_back(r);
            byCell[rule.pairCell].push_back(r);
        } else {
            byAcid[rule.kind == 0 ? rule.acid : rule.first].push_back(r);
        }
    }
    byAcid_.Build(byAcid);
    byMargin_.Build(byMargin);
    byCell_.Build(byCell);
    for (const auto& rules : byMargin) watchedMargins_.push_back(!rules.empty());
    for (int margin = 0; margin < kMargins; ++margin) marginRows_.push_back(Row(margin % kAminoAcids, 0));
    for (const auto& rules : byCell) watchedCells_.push_back(!rules.empty());
}

// Dyadic: every term a whole number of units below 2^53, and so is the sum
// of their magnitudes, which bounds every partial sum. The units of each
// rule's term when it votes above its threshold (the other term is its
// negative).
bool WindowScorer::DyadicUnits(std::vector<int64_t>& units) const {
    int64_t magnitudes = 0;
    for (int r = 0; r < Rules(); ++r) {
        const double term = terms_[2 * r + 1] / kUnit;
        if (!(std::abs(term) < kExactUnits && term == std::trunc(term))) return false;
        units.push_back(static_cast<int64_t>(term));
        magnitudes += std::abs(units.back());
        if (magnitudes >= kExactUnits) return false;
    }
    return true;
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

int64_t WindowScorer::FeatureLog(int f, int cp, int m0, int m1, const SpanTables& tables) const {
    const int r = features_[f].rule;
    const Rule& rule = rules_[r];
    const int64_t numerator = cp < kTabledPairs ? featureNumerators_[static_cast<std::size_t>(f) * kTabledPairs + cp]
                                                : LogNumerator(rule, cp);
    return numerator + tables.logInversePairDenominator[r] + tables.logInverseRate[rule.firstRow + m0] +
           tables.logInverseRate[rule.secondRow + m1];
}

int WindowScorer::Decide(int r, int64_t log) const {
    const Bounds bounds = bounds_[r];
    if (log >= kPoisonLimit) return -1;
    if (log > bounds.upper) return 1;
    if (log < bounds.lower) return 0;
    return -1;
}

double WindowScorer::ExactPairValue(int r, int cp, int m0, int m1, int span, const SpanTables* tables) const {
    const Rule& rule = rules_[r];
    const double numerator = 3.0 * cp + rule.pairCount;
    if (tables != nullptr && InTable(m0) && InTable(m1)) {
        return numerator / tables->pairDenominator[r] / tables->rate[rule.firstRow + m0] /
               tables->rate[rule.secondRow + m1];
    }
    const double spanValue = span;
    const double* first = acidPseudo_[rule.first];
    const double* second = acidPseudo_[rule.second];
    const double p = numerator / (spanValue + rule.pairSpan);
    const double f = (3.0 * m0 + first[0]) / (spanValue + first[1]);
    const double s = (3.0 * m1 + second[0]) / (spanValue + second[1]);
    return p / f / s;
}

bool WindowScorer::ExactPairAbove(int r, int cp, int m0, int m1, int span, const SpanTables* tables) const {
    return ExactPairValue(r, cp, m0, m1, span, tables) > rules_[r].threshold;
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

void WindowScorer::CompileFeatures(const std::vector<int64_t>& units) {
    for (std::vector<int>& members : RulesByFeature()) AddFeature(members, units);
    BuildFeatureLists();
}

std::vector<std::vector<int>> WindowScorer::RulesByFeature() const {
    std::map<std::array<int, 4>, int> featureOf;
    std::vector<std::vector<int>> rulesOf;
    for (int r = 0; r < Rules(); ++r) {
        const Rule& rule = rules_[r];
        const std::array<int, 4> key = rule.kind == 0   ? std::array<int, 4>{0, rule.first, rule.second, rule.third}
                                       : rule.kind == 2 ? std::array<int, 4>{2, rule.first, 0, 0}
                                                        : std::array<int, 4>{3, rule.gap, rule.first, rule.second};
        const auto [it, fresh] = featureOf.emplace(key, static_cast<int>(rulesOf.size()));
        if (fresh) rulesOf.emplace_back();
        rulesOf[it->second].push_back(r);
    }
    return rulesOf;
}

void WindowScorer::AddFeature(std::vector<int>& members, const std::vector<int64_t>& units) {
    const Rule& rule = rules_[members.front()];
    Feature feature{rule.kind, members.front(), static_cast<int>(featureUnits_.size()), 0,
                    static_cast<int>(levels_.size()), 0, 0, true};
    for (int r : members) {
        feature.ordered &= rule.kind == 0 ? !std::isnan(rules_[r].threshold)
                                          : rule.kind == 2 || bounds_[r].upper < kPoisonLimit;
    }
    if (feature.ordered && rule.kind != 2) {
        std::stable_sort(members.begin(), members.end(),
                         [&](int a, int b) { return rules_[a].threshold < rules_[b].threshold; });
    }
    for (int r : members) {
        featureThresholds_.push_back(rules_[r].threshold);
        featureIntThresholds_.push_back(rules_[r].intThreshold);
        featureUnits_.push_back(units[r]);
    }
    feature.end = static_cast<int>(featureUnits_.size());
    // The share of the thresholds below the value, the others above it.
    auto share = [&](auto below) {
        int64_t sum = 0;
        for (int i = feature.begin; i < feature.end; ++i) sum += below(i) ? featureUnits_[i] : -featureUnits_[i];
        return sum;
    };
    if (rule.kind == 0) {
        feature.cuts = static_cast<int>(codonCuts_.size());
        for (int acid = 0; acid <= kMaxCount; ++acid) {
            for (int i = feature.begin; i < feature.end; ++i) {
                codonCuts_.push_back(CodonCut(rule, acid, featureThresholds_[i]));
            }
        }
    } else if (rule.kind == 2) {  // by count
        for (int c = 0; c <= kMaxCount; ++c) {
            levels_.push_back(share([&](int i) { return c > featureIntThresholds_[i]; }));
        }
    } else if (feature.ordered) {  // by the number of thresholds below the value
        pairBounds_.push_back({-kPoisonLimit, -kPoisonLimit});
        feature.bounds = static_cast<int>(pairBounds_.size());
        for (int r : members) pairBounds_.push_back(bounds_[r]);
        pairBounds_.push_back({kPoisonLimit, kPoisonLimit});
        for (int k = 0; k <= feature.end - feature.begin; ++k) {
            levels_.push_back(share([&](int i) { return i - feature.begin < k; }));
        }
    }
    features_.push_back(feature);
}

void WindowScorer::BuildFeatureLists() {
    std::vector<std::vector<int>> codonFeatures(kAminoAcids);
    countFeature_.assign(kAminoAcids, -1);
    std::vector<std::vector<int>> byMargin(kMargins);
    std::vector<std::vector<int>> byCell(kCells);
    std::vector<std::vector<int>> firstSide(kAminoAcids);
    for (int f = 0; f < static_cast<int>(features_.size()); ++f) {
        const Feature& feature = features_[f];
        const Rule& rule = rules_[feature.rule];
        pairFeatures_.push_back({rule.kind == 3 && feature.ordered ? feature.bounds : -1, feature.levels});
        if (rule.kind == 0) codonFeatures[rule.acid].push_back(f);
        if (rule.kind == 2) countFeature_[rule.first] = f;
        for (int cp = 0; cp < kTabledPairs; ++cp) {
            featureNumerators_.push_back(rule.kind == 3 ? LogNumerator(rule, cp) : 0);
        }
        if (rule.kind != 3) continue;
        byMargin[rule.firstMargin].push_back(f);
        byMargin[rule.secondMargin].push_back(f);
        byCell[rule.pairCell].push_back(f);
        firstSide[rule.first].push_back(4 * f + rule.gap);
    }
    codonFeaturesByAcid_.Build(codonFeatures);
    featuresByCell_.Build(byCell);
    firstSideByAcid_.Build(firstSide);
    const int spare = static_cast<int>(features_.size());
    for (int margin = 0; margin < kMargins; ++margin) {
        const std::vector<int>& list = byMargin[margin];
        MarginFeatures entry{Row(margin % kAminoAcids, 0), spare, spare,
                             static_cast<uint16_t>(marginMore_.size()), 0};
        if (!list.empty()) entry.first = list[0];
        if (list.size() > 1) entry.second = list[1];
        for (std::size_t i = 2; i < list.size(); ++i) marginMore_.push_back(list[i]);
        entry.moreEnd = static_cast<uint16_t>(marginMore_.size());
        marginFeatures_.push_back(entry);
    }
    std::size_t longest = 2;
    for (const auto& list : byMargin) longest = std::max(longest, list.size());
    for (const auto& list : byCell) longest = std::max(longest, list.size());
    notesPerCodon_ = static_cast<int>(4 * 3 * longest);
    maxNotes_ = 8 * static_cast<int>(features_.size()) + 2 * notesPerCodon_;
}

uint8_t WindowScorer::CodonCut(const Rule& rule, int acid, double threshold) {
    if (acid == 0) return rule.basicRate > threshold ? 0 : kNeverAbove;  // the share under uniform codon use
    // The share count / acid grows with the count: the least count above.
    int low = 0;
    int high = acid + 1;  // none
    while (low < high) {
        const int mid = (low + high) / 2;
        if (static_cast<double>(mid) / acid > threshold) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    return low <= acid ? static_cast<uint8_t>(low) : kNeverAbove;
}

int64_t WindowScorer::ExactShare(int f, const smplTestData& sample, const SpanTables& tables) const {
    const Feature& feature = features_[f];
    int64_t share = 0;
    if (feature.kind == 0) {
        const Rule& rule = rules_[feature.rule];
        const int acid = sample.snglAcidCnt[rule.acid];
        const int count = sample.codonCnt[rule.first][rule.second][rule.third];
        if (InTable(acid) && count >= 0 && count <= std::max(acid, 0)) {
            const uint8_t* const cuts = &codonCuts_[feature.cuts + acid * (feature.end - feature.begin)];
            for (int i = feature.begin; i < feature.end; ++i) {
                share += count >= cuts[i - feature.begin] ? featureUnits_[i] : -featureUnits_[i];
            }
            return share;
        }
    }
    if (feature.kind == 2) {
        const int count = sample.snglAcidCnt[rules_[feature.rule].first];
        if (InTable(count)) return levels_[feature.levels + count];
        for (int i = feature.begin; i < feature.end; ++i) {
            share += count > featureIntThresholds_[i] ? featureUnits_[i] : -featureUnits_[i];
        }
        return share;
    }
    if (feature.ordered) return levels_[feature.levels + ExactLevel(f, sample, tables)];
    const double x = ExactValue(feature.rule, sample, tables);
    for (int i = feature.begin; i < feature.end; ++i) {
        share += x > featureThresholds_[i] ? featureUnits_[i] : -featureUnits_[i];
    }
    return share;
}

int WindowScorer::ExactLevel(int f, const smplTestData& sample, const SpanTables& tables) const {
    const Feature& feature = features_[f];
    const double x = ExactValue(feature.rule, sample, tables);
    int level = 0;
    for (int i = feature.begin; i < feature.end; ++i) level += x > featureThresholds_[i];
    return level;
}

double WindowScorer::ExactValue(int r, const smplTestData& sample, const SpanTables& tables) const {
    const Rule& rule = rules_[r];
    if (rule.kind == 0) {
        const int acid = sample.snglAcidCnt[rule.acid];
        return acid != 0 ? static_cast<double>(sample.codonCnt[rule.first][rule.second][rule.third]) / acid
                         : rule.basicRate;
    }
    return ExactPairValue(r, (&sample.pairAcidCnt[0][0][0])[rule.pairCell],
                          (&sample.pairAcidMarg[0][0][0])[rule.firstMargin],
                          (&sample.pairAcidMarg[0][0][0])[rule.secondMargin], tables.span, &tables);
}

std::vector<CodonAt> CodonsOf(const short* bases, int length) {
    std::vector<CodonAt> codons(static_cast<std::size_t>(length) + 12, CodonAt{-1, 0});
    for (int p = 0; p + 2 < length; ++p) {
        const int aa = AminoAcidOf(bases[p], bases[p + 1], bases[p + 2]);
        if (aa >= 0) {
            codons[p] = {static_cast<int8_t>(aa), static_cast<int8_t>(16 * bases[p] + 4 * bases[p + 1] + bases[p + 2])};
        }
    }
    return codons;
}

namespace {

// Counts the codon at base p into the sample (delta +1) or takes it out
// (-1), as smplTestData::CountCodon does, reading the sequence's codons;
// tells onPair(g, first margin, second margin, cell) each pair it counts.
// Returns the codon's amino acid (-1 when unknown: nothing counted).
template <class OnPair>
int CountCodonAt(smplTestData& sample, const CodonAt* codons, int p, int delta, OnPair&& onPair) {
    const int aa = codons[p].aa;
    if (aa < 0) return aa;
    sample.snglAcidCnt[aa] = static_cast<int16_t>(sample.snglAcidCnt[aa] + delta);
    int16_t& codon = (&sample.codonCnt[0][0][0])[codons[p].index];
    codon = static_cast<int16_t>(codon + delta);
    int16_t* const margins = &sample.pairAcidMarg[0][0][0];
    int16_t* const cells = &sample.pairAcidCnt[0][0][0];
    for (int g = 0; g < 4; ++g) {
        const int aa2 = codons[p + 3 * (g + 1)].aa;  // unknown past the sequence's end
        if (aa2 < 0) continue;
        const int first = (g * 2 + 0) * kAminoAcids + aa;
        const int second = (g * 2 + 1) * kAminoAcids + aa2;
        const int cell = (g * kAminoAcids + aa) * kAminoAcids + aa2;
        margins[first] = static_cast<int16_t>(margins[first] + delta);
        margins[second] = static_cast<int16_t>(margins[second] + delta);
        cells[cell] = static_cast<int16_t>(cells[cell] + delta);
        onPair(g, first, second, cell);
    }
    return aa;
}

}  // namespace

VoteTracker::VoteTracker(const WindowScorer& scorer, const WindowScorer::SpanTables& tables)
    : scorer_(scorer), tables_(tables), votes_(scorer.Rules()), logs_(scorer.Rules()) {
    flips_.resize(4 * static_cast<std::size_t>(scorer.Rules()));
}

void VoteTracker::Reset(int start, int end) {
    sample.Reset(start, end);
    all_ = true;
}

void VoteTracker::Count(const CodonAt* codons, int p, int delta) {
    if (!all_ && touchedCells_.size() >= static_cast<std::size_t>(WindowScorer::kCells)) {
        all_ = true;  // a long run without a refresh: cheaper to start afresh
        touchedCells_.clear();
    }
    const uint8_t* const watchedMargins = scorer_.watchedMargins_.data();
    const uint8_t* const watchedCells = scorer_.watchedCells_.data();
    const int aa = CountCodonAt(sample, codons, p, delta, [&](int, int first, int second, int cell) {
        if (all_) return;  // every count is looked at afresh anyway
        touchedMargins_[first >> 6] |= uint64_t{watchedMargins[first]} << (first & 63);
        touchedMargins_[second >> 6] |= uint64_t{watchedMargins[second]} << (second & 63);
        if (watchedCells[cell]) touchedCells_.push_back(cell);
    });
    if (aa >= 0) touchedAcids_ |= uint32_t{1} << aa;
}

template <class OnMargin, class OnCell>
bool VoteTracker::TakeChanges(OnMargin&& onMargin, OnCell&& onCell) {
    const int16_t* const margins = &sample.pairAcidMarg[0][0][0];
    const int16_t* const cells = &sample.pairAcidCnt[0][0][0];
    changedAcids_ = touchedAcids_;
    touchedAcids_ = 0;
    bool outside = false;
    if (!all_) {
        // The changed marginals first, without a branch on each.
        struct Change {
            int margin;
            int before;
            int now;
        };
        Change changes[WindowScorer::kMargins];
        int count = 0;
        for (int word = 0; word < static_cast<int>(std::size(touchedMargins_)); ++word) {
            for (uint64_t bits = touchedMargins_[word]; bits != 0; bits &= bits - 1) {
                const int margin = word * 64 + __builtin_ctzll(bits);
                const int now = margins[margin];
                changes[count] = {margin, seenMargins_[margin], now};
                count += now != seenMargins_[margin];
                outside |= !InTable(now);
                seenMargins_[margin] = static_cast<int16_t>(now);
            }
            touchedMargins_[word] = 0;
        }
        for (const int cell : touchedCells_) outside |= !InTable(cells[cell]);
        if (!outside) {
            for (int i = 0; i < count; ++i) onMargin(changes[i].margin, changes[i].before, changes[i].now);
            for (const int cell : touchedCells_) {
                const int now = cells[cell];
                const int before = seenCells_[cell];
                if (now == before) continue;
                seenCells_[cell] = static_cast<int16_t>(now);  // also marks a cell touched twice as seen
                onCell(cell, before, now);
            }
            touchedCells_.clear();
            return true;
        }
    }
    // Everything afresh. The tabled terms can follow the counts only while
    // all of them lie in the tables.
    touchedCells_.clear();
    std::fill(std::begin(touchedMargins_), std::end(touchedMargins_), 0);
    std::copy_n(margins, WindowScorer::kMargins, seenMargins_);
    std::copy_n(cells, WindowScorer::kCells, seenCells_);
    auto inTable = [](int16_t count) { return InTable(count); };
    all_ = !std::all_of(margins, margins + WindowScorer::kMargins, inTable) ||
           !std::all_of(cells, cells + WindowScorer::kCells, inTable);
    return false;
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
    allChanged_ = true;
    flipCount_ = 0;
}

// The log-sums take the change of each changed term (integers add exactly,
// in any order) and the rules vote anew; a changed cell's old value is gone,
// so its rules' sums are recomputed. A rule on two changed lists votes
// twice; the second vote, on its final sum, stands, and a flip there and
// back cancels in the batch.
void VoteTracker::Refresh() {
    if (flipCount_ > votes_.size()) {  // no batch took the flips: start over
        allChanged_ = true;
        flipCount_ = 0;
    }
    const int16_t* const margins = &sample.pairAcidMarg[0][0][0];
    const int64_t* const logInverseRate = tables_.logInverseRate.data();
    const bool incremental = TakeChanges(
        [&](int margin, int before, int now) {
            const int row = scorer_.marginRows_[margin];
            const int64_t step = logInverseRate[row + now] - logInverseRate[row + before];
            const int* const end = scorer_.byMargin_.End(margin);
            for (const int* r = scorer_.byMargin_.Begin(margin); r != end; ++r) {
                logs_[*r] += step;
                VotePair(*r, logs_[*r]);
            }
        },
        [&](int cell, int, int now) {
            const int* const end = scorer_.byCell_.End(cell);
            for (const int* r = scorer_.byCell_.Begin(cell); r != end; ++r) {
                const WindowScorer::Rule& rule = scorer_.rules_[*r];
                logs_[*r] = scorer_.PairLog(*r, now, margins[rule.firstMargin], margins[rule.secondMargin], tables_);
                VotePair(*r, logs_[*r]);
            }
        });
    if (incremental) {
        RefreshAcids();
    } else {
        RefreshAll();
    }
}

void VoteTracker::RefreshAcids() {
    for (uint32_t bits = changedAcids_; bits != 0; bits &= bits - 1) {
        const int aa = __builtin_ctz(bits);
        const int* const end = scorer_.byAcid_.End(aa);
        for (const int* r = scorer_.byAcid_.Begin(aa); r != end; ++r) {
            const uint8_t vote = scorer_.Above(*r, sample, tables_);
            flips_[flipCount_] = *r;
            flipCount_ += vote != votes_[*r];
            votes_[*r] = vote;
        }
    }
}

void VoteTracker::VotePair(int r, int64_t log) {
    const WindowScorer::Bounds b = scorer_.bounds_[r];
    uint8_t decided = log > b.upper;
    if ((log >= kPoisonLimit) | ((log <= b.upper) & (log >= b.lower))) [[unlikely]] {
        const WindowScorer::Rule& rule = scorer_.rules_[r];
        decided = scorer_.ExactPairAbove(r, (&sample.pairAcidCnt[0][0][0])[rule.pairCell],
                                         (&sample.pairAcidMarg[0][0][0])[rule.firstMargin],
                                         (&sample.pairAcidMarg[0][0][0])[rule.secondMargin], tables_.span,
                                         &tables_);
    }
    flips_[flipCount_] = r;
    flipCount_ += decided != votes_[r];
    votes_[r] = decided;
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

SumTracker::SumTracker(const WindowScorer& scorer, const WindowScorer::SpanTables& tables)
    : scorer_(scorer),
      tables_(tables),
      shares_(scorer.features_.size()),
      pairs_(scorer.features_.size() + 1, PairState{0, INT64_MIN / 2, UINT64_MAX}),  // the spare never moves
      levels_(scorer.features_.size()),
      moved_(scorer.maxNotes_ + 1) {}

void SumTracker::Reset(int start, int end) {
    sample.Reset(start, end);
    all_ = true;
}

// The changes one codon makes, applied to the log-sums as it is counted. A
// change of a pair marginal adds the change of its term to the log-sums of
// its features (integers add exactly, in any order); a changed cell's old
// value is gone, so its features' log-sums are summed anew, after the
// marginals' steps. The codon's own marginals (its amino acid first, at the
// four gaps) change together: their features take their steps in one pass.
// A feature whose log-sum leaves its range is noted, without a branch.
struct SumTracker::Steps {
    SumTracker& tracker;
    const int delta;
    int notes;
    PairState* const pairs = tracker.pairs_.data();
    int* const moved = tracker.moved_.data();
    const int64_t* const rates = tracker.tables_.logInverseRate.data();
    const WindowScorer::MarginFeatures* const byMargin = tracker.scorer_.marginFeatures_.data();
    const int* const more = tracker.scorer_.marginMore_.data();
    const uint8_t* const watchedCells = tracker.scorer_.watchedCells_.data();
    const int16_t* const margins = &tracker.sample.pairAcidMarg[0][0][0];
    bool outside = false;
    int64_t firstSteps[4] = {};
    int cells[4] = {};
    int cellCount = 0;

    void Note(int f) {
        moved[notes] = f;
        notes += pairs[f].Outside();
    }
    void Add(int f, int64_t step) {
        pairs[f].log += step;
        Note(f);
    }
    // The step of a marginal's term, its count moved by delta to now.
    int64_t Step(int row, int now) {
        if (!InTable(now) || !InTable(now - delta)) [[unlikely]] {
            outside = true;
            return 0;
        }
        return rates[row + now] - rates[row + now - delta];
    }
    // A pair counted at gap g: the step of its first marginal kept, its
    // second marginal's step taken (the spare takes the step of a marginal
    // no feature reads, without a branch), its cell kept when read.
    void Pair(int g, int first, int second, int cell) {
        firstSteps[g] = Step(byMargin[first].row, margins[first]);
        const WindowScorer::MarginFeatures entry = byMargin[second];
        const int64_t step = Step(entry.row, margins[second]);
        Add(entry.first, step);
        Add(entry.second, step);
        for (int i = entry.moreBegin; i < entry.moreEnd; ++i) Add(more[i], step);
        cells[cellCount] = cell;
        cellCount += watchedCells[cell];
    }
    void FirstSide(int aa) {
        const WindowScorer::Lists& list = tracker.scorer_.firstSideByAcid_;
        for (const int* entry = list.Begin(aa); entry != list.End(aa); ++entry) Add(*entry >> 2, firstSteps[*entry & 3]);
    }
    void Cells() {
        const WindowScorer& scorer = tracker.scorer_;
        for (int i = 0; i < cellCount; ++i) {
            const int cell = cells[i];
            const int now = (&tracker.sample.pairAcidCnt[0][0][0])[cell];
            for (const int* f = scorer.featuresByCell_.Begin(cell); f != scorer.featuresByCell_.End(cell); ++f) {
                const int r = scorer.features_[*f].rule;
                const WindowScorer::Rule& rule = scorer.rules_[r];
                const int m0 = margins[rule.firstMargin];
                const int m1 = margins[rule.secondMargin];
                outside |= !InTable(now) || !InTable(m0) || !InTable(m1);
                if (!outside) pairs[*f].log = scorer.FeatureLog(*f, now, m0, m1, tracker.tables_);
                Note(*f);
            }
        }
    }
};

void SumTracker::Count(const CodonAt* codons, int p, int delta) {
    if (movedCount_ + scorer_.notesPerCodon_ > scorer_.maxNotes_) all_ = true;  // evaluated afresh anyway
    const bool follow = !all_;
    Steps steps{*this, delta, movedCount_};
    const int aa = CountCodonAt(sample, codons, p, delta, [&](int g, int first, int second, int cell) {
        if (follow) steps.Pair(g, first, second, cell);
    });
    if (aa < 0) return;
    touchedAcids_ |= uint32_t{1} << aa;
    if (!follow) return;
    steps.FirstSide(aa);
    steps.Cells();
    pairs_.back().log = 0;  // the spare
    movedCount_ = steps.notes;
    if (steps.outside) all_ = true;
}

void SumTracker::RefreshAll() {
    const int16_t* const margins = &sample.pairAcidMarg[0][0][0];
    const int16_t* const cells = &sample.pairAcidCnt[0][0][0];
    units_ = 0;
    bool outside = false;
    for (int f = 0; f < static_cast<int>(shares_.size()); ++f) {
        const WindowScorer::Feature& feature = scorer_.features_[f];
        shares_[f] = 0;
        if (feature.kind == 3) {
            const WindowScorer::Rule& rule = scorer_.rules_[feature.rule];
            const int cp = cells[rule.pairCell];
            const int m0 = margins[rule.firstMargin];
            const int m1 = margins[rule.secondMargin];
            const bool inTables = InTable(cp) && InTable(m0) && InTable(m1);
            outside |= !inTables;
            pairs_[f].log = inTables ? scorer_.FeatureLog(f, cp, m0, m1, tables_) : kPoison;
            levels_[f] = 0;
            Move(f);
        } else {
            SetShare(f, scorer_.ExactShare(f, sample, tables_));
        }
    }
    // The log-sums can follow the counts only while all of them lie in the tables.
    all_ = outside;
}

void SumTracker::Refresh() {
    if (all_) {
        RefreshAll();
    } else {
        for (int i = 0; i < movedCount_; ++i) {
            const int f = moved_[i];
            if (pairs_[f].Outside()) Move(f);
        }
        for (uint32_t bits = touchedAcids_; bits != 0; bits &= bits - 1) {
            const int aa = __builtin_ctz(bits);
            const int counted = scorer_.countFeature_[aa];
            if (counted >= 0) {
                const int count = sample.snglAcidCnt[aa];
                SetShare(counted, InTable(count) ? scorer_.levels_[scorer_.features_[counted].levels + count]
                                                 : scorer_.ExactShare(counted, sample, tables_));
            }
            const WindowScorer::Lists& codons = scorer_.codonFeaturesByAcid_;
            for (const int* f = codons.Begin(aa); f != codons.End(aa); ++f) {
                SetShare(*f, scorer_.ExactShare(*f, sample, tables_));
            }
        }
    }
    movedCount_ = 0;
    touchedAcids_ = 0;
}

// An ordered feature's level: the number of its thresholds its log-sum
// proves below the value, when the next one is proven above it (the truth
// is monotone in the threshold). A level mostly moves by one step; when the
// next threshold is neither, or a term is not tabled, the exact value
// decides and the range is left empty.
void SumTracker::Move(int f) {
    const WindowScorer::PairFeature feature = scorer_.pairFeatures_[f];
    PairState& pair = pairs_[f];
    if (feature.bounds < 0) {  // unordered
        SetShare(f, scorer_.ExactShare(f, sample, tables_));
        pair.width = 0;
        return;
    }
    const WindowScorer::Bounds* const bounds = scorer_.pairBounds_.data() + feature.bounds;
    const int64_t log = pair.log;
    int level = levels_[f];
    if (log < kPoisonLimit) [[likely]] {
        level += log > bounds[level].upper;
        level -= log <= bounds[level - 1].upper;
        if ((log > bounds[level].upper) | (log <= bounds[level - 1].upper)) [[unlikely]] {
            while (log > bounds[level].upper) ++level;
            while (log <= bounds[level - 1].upper) --level;
        }
        pair.Between(bounds[level - 1].upper, bounds[level].lower);
    }
    if (log >= kPoisonLimit || log >= bounds[level].lower) {
        level = scorer_.ExactLevel(f, sample, tables_);
        pair.width = 0;
    }
    levels_[f] = level;
    SetShare(f, scorer_.levels_[feature.levels + level]);
}

}  // namespace talvo
