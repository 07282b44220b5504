#include "CodonDecoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <stdexcept>

#include "EngineError.h"
#include "GeneticCode.h"
#include "SameBitsMath.h"

namespace talvo {

namespace {

// Log values are rounded to multiples of 2^-20 so that sums along a path are
// exact and every build finds the same path and score. The logs and exps
// are SameBitsMath's: the C library's differ between builds in the last bit,
// which could cross a step of that grid.
constexpr double kGrain = 0x1p20;
double Quantize(double x) { return std::round(x * kGrain) / kGrain; }

constexpr double kNever = -std::numeric_limits<double>::infinity();
// Scaled probabilities below this count as 0: they cannot matter, and
// numbers near the bottom of the double range are slow.
constexpr double kNegligible = 1e-200;

// The pull of a context's estimate toward the next shorter context's, in
// counts: contexts seen fewer times than this lean mostly on the shorter one.
// A strong pull keeps the longest contexts from learning a few hundred
// cDNAs (and their isoforms) by heart.
constexpr double kPseudoCount = 256.0;
constexpr double kLn2 = 0.6931471805599453;
// Bases on either side of an error call whose posterior counts toward its
// confidence.
constexpr int kConfidenceReach = 3;
// Bases on either side of a change of frame on the path over which the
// posterior places its error.
constexpr int kPlacementReach = 20;

// States of a base: 5' background, codon positions 0..2, 3' background.
enum State : int { kB5 = 0, kC0 = 1, kC1 = 2, kC2 = 3, kB3 = 4, kStates = 5 };

constexpr int kWordsUpTo(int order) { return order < 0 ? 0 : (4 << (2 * order)) + kWordsUpTo(order - 1); }

// Conditional probabilities P(last base | the bases before it) of every
// word of order+1 bases, order 0..kOrder, interpolated toward the next
// lower order; words of order o start at kWordsUpTo(o - 1).
std::vector<double> Estimate(const std::vector<std::uint32_t>& counts) {
    std::vector<double> p(kWordsUpTo(CodonModel::kOrder));
    std::vector<double> level(counts.begin(), counts.end());
    if (level.size() != static_cast<std::size_t>(CodonModel::kWords)) level.assign(CodonModel::kWords, 0.0);
    std::vector<std::vector<double>> byOrder(CodonModel::kOrder + 1);
    byOrder[CodonModel::kOrder] = level;
    for (int o = CodonModel::kOrder - 1; o >= 0; --o) {
        const int words = 4 << (2 * o);
        std::vector<double> lower(words, 0.0);
        const auto& upper = byOrder[o + 1];
        for (std::size_t w = 0; w < upper.size(); ++w) lower[w % words] += upper[w];
        byOrder[o] = std::move(lower);
    }
    for (int o = 0; o <= CodonModel::kOrder; ++o) {
        const int base = kWordsUpTo(o - 1);
        const int words = 4 << (2 * o);
        const auto& c = byOrder[o];
        for (int ctx = 0; ctx < words / 4; ++ctx) {
            const double total = c[4 * ctx] + c[4 * ctx + 1] + c[4 * ctx + 2] + c[4 * ctx + 3];
            for (int b = 0; b < 4; ++b) {
                const int w = 4 * ctx + b;
                const double prior = o == 0 ? 0.25 : p[kWordsUpTo(o - 2) + w % (words / 4)];
                p[base + w] = (c[w] + kPseudoCount * prior) / (total + kPseudoCount);
            }
        }
    }
    return p;
}

bool IsStop(int a, int b, int c) { return AminoAcidOf(a, b, c) == kStop; }

// What a step between states stands for.
enum class Step { Plain, Insertion, Deletion, Start, Stop };

double EmitLog(const CodonSite& s, int state) {
    if (state == kB5) return s.utrLog[0];
    if (state == kB3) return s.utrLog[1];
    return s.logOdds[state - kC0];
}
double EmitOdds(const CodonSite& s, int state) {
    if (state == kB5) return s.utrOdds[0];
    if (state == kB3) return s.utrOdds[1];
    return s.odds[state - kC0];
}

// The median of the posterior mass of errors of a kind over the bases
// [from, to], which lies closer to the true place than the path's change of
// frame; `otherwise` when there is no mass.
int Median(const std::vector<double>& post, int a, int from, int to, int otherwise) {
    double near = 0.0;
    for (int k = from; k <= to; ++k) near += post[k - a];
    double sum = 0.0;
    for (int k = from; k <= to && near > 0.0; ++k) {
        sum += post[k - a];
        if (sum >= near / 2) return k;
    }
    return otherwise;
}

// The confidence of an error call at pos: the posterior of errors of its
// kind within a few bases or in the same homopolymer run.
double Confidence(const std::vector<CodonSite>& sites, const std::vector<double>& post, int a, int b, int pos,
                  ErrorKind kind) {
    int lo = pos - kConfidenceReach;
    int hi = pos + kConfidenceReach;
    const int runFrom = kind == ErrorKind::Deletion && pos > a ? pos - 1 : pos;
    for (int k = runFrom; k > a && sites[k - 1].run > 1 && sites[k - 1].run == sites[k].run; --k) lo = std::min(lo, k - 1);
    for (int k = pos; k < b && sites[k + 1].run > 1 && sites[k + 1].run == sites[k].run; ++k) hi = std::max(hi, k + 1);
    if (kind == ErrorKind::Deletion) hi = std::max(hi, pos + 1);
    double mass = 0.0;
    for (int k = std::max(lo, a); k <= std::min(hi, b); ++k) mass += post[k - a];
    return std::min(mass, 1.0);
}

// The reading of a coding region [first, last] with its errors undone: the
// codon position of each base, whether it is an extra base, and the moves
// of one error.
class Reading {
public:
    // From the path's states of the bases a, a + 1, ...
    Reading(const std::vector<std::uint8_t>& path, int a, int first, int last) : first_(first), last_(last) {
        for (int x = first; x <= last; ++x) {
            codonPos_.push_back(static_cast<std::uint8_t>(path[x - a] - kC0));
            extra_.push_back(x > first && path[x - a] == path[x - 1 - a]);
        }
    }
    // The error at x: an extra base, a base missing just before x, or none.
    ErrorKind ErrorAt(int x) const {
        if (x <= first_) return ErrorKind::None;
        if (Extra(x)) return ErrorKind::Insertion;
        return CodonPos(x) == (CodonPos(x - 1) + 2) % 3 ? ErrorKind::Deletion : ErrorKind::None;
    }
    // Moves the error of that kind at `from` to `to`, no other error lying
    // between them; the bases after both read as before.
    void Move(int from, int to, ErrorKind kind) {
        for (int x = std::min(from, to); x <= std::max(from, to); ++x) {
            const bool here = x == to;
            extra_[x - first_] = here && kind == ErrorKind::Insertion;
            const int step = !here ? 1 : (kind == ErrorKind::Insertion ? 0 : 2);
            codonPos_[x - first_] = static_cast<std::uint8_t>((CodonPos(x - 1) + step) % 3);
        }
    }
    // f(end, whole) for each stop codon of the reading that ends in
    // [from, to], before the region's last base: three bases read in a row
    // with extra bases left out (a codon missing a base is none); whole when
    // none lies between them on the read.
    template <typename F>
    void Stops(const std::vector<CodonSite>& sites, int from, int to, F&& f) const {
        for (int x = std::max(from, first_ + 2); x <= std::min(to, last_ - 1); ++x) {
            if (Extra(x) || CodonPos(x) != 2) continue;
            int y = x - 1;
            while (y > first_ && Extra(y)) --y;
            int z = y - 1;
            while (z > first_ && Extra(z)) --z;
            if (z < first_ || CodonPos(y) != 1 || CodonPos(z) != 0) continue;
            if (IsStop(sites[z].base, sites[y].base, sites[x].base)) f(x, z == x - 2);
        }
    }

private:
    int CodonPos(int x) const { return codonPos_[x - first_]; }
    bool Extra(int x) const { return extra_[x - first_]; }

    int first_;
    int last_;
    std::vector<std::uint8_t> codonPos_;
    std::vector<bool> extra_;
};

}  // namespace

CodonDecoder::CodonDecoder(const CodonModel& model, const std::string& setting) {
    const ErrorSetting* s = model.Setting(setting);
    if (s == nullptr) throw std::runtime_error("the codon model has no error setting '" + setting + "'");
    order_ = std::clamp(s->order, 0, CodonModel::kOrder);
    const std::vector<double> background = Estimate(model.noncoding);
    const int words = kWordsUpTo(order_);
    logOdds_.assign(3 * words, 0.0);
    odds_.assign(3 * words, 1.0);
    for (int p = 0; p < 3; ++p) {
        const std::vector<double> coding = Estimate(model.coding[p]);
        for (int w = 0; w < words; ++w) {
            logOdds_[3 * w + p] = Quantize(SameBitsLog(coding[w] / background[w]));
            odds_[3 * w + p] = SameBitsExp(logOdds_[3 * w + p]);
        }
    }
    for (int L = 1; L <= kLongestRun; ++L) {
        const double ins = s->insertion[L];
        const double del = s->deletion[L];
        if (!(ins >= 0.0 && del >= 0.0 && ins + del < 1.0)) {
            throw std::runtime_error("error setting '" + setting + "': insertion and deletion probabilities at run length " +
                                     std::to_string(L) + " are not two numbers from 0 that sum to less than 1");
        }
        // Errors are priced by their odds against a clean step: the
        // background, where errors go unseen, pays no price for clean bases
        // either, and a clean coding base must not pay one it does not.
        const double clean = 1.0 - ins - del;
        step_[L] = {0.0, Quantize(SameBitsLog(ins / clean)), Quantize(SameBitsLog(del / clean))};
        stepOdds_[L] = {SameBitsExp(step_[L][0]), SameBitsExp(step_[L][1]), SameBitsExp(step_[L][2])};
    }
    // A start at each ATG of the 5' region is as likely as the 5' region
    // holds ATGs; a read begins inside the CDS, or ends inside it, about as
    // often as a uniform cut of the transcript would fall there.
    const double utr5 = std::max(model.meanUtr5, 1.0);
    const double cds = std::max(model.meanCds, 3.0);
    const double utr3 = std::max(model.meanUtr3, 1.0);
    startPrice_ = Quantize(SameBitsLog(1.0 / (1.0 + utr5 / 64.0)));
    beginInside_ = Quantize(SameBitsLog(cds / (cds + utr5) / 3.0));
    endInside_ = Quantize(SameBitsLog(cds / (cds + utr3)));
    startOdds_ = SameBitsExp(startPrice_);
    beginInsideOdds_ = SameBitsExp(beginInside_);
}

CodonDecoder::CodonDecoder(const CodonModel& model, const std::string& setting, const GeneModel& gene,
                           const GeneOptions& options)
    : CodonDecoder(model, setting) {
    CheckGeneOptions(options);
    gene_ = true;
    options_ = options;
    GeneTables(model, gene);
    const ErrorSetting& s = *model.Setting(setting);
    if (s.substitution > 0.0) {
        throughLog_ = Quantize(SameBitsLog(s.substitution));
        throughOdds_ = SameBitsExp(throughLog_);
    }
    for (int L = 1; L <= kLongestRun; ++L) {
        const double ins = s.insertion[L] * options.errorScale;
        const double del = s.deletion[L] * options.errorScale;
        if (!(ins + del < 1.0)) {
            throw EngineError(EngineError::Kind::BadValue, "", 0, "error scale " + std::to_string(options.errorScale) +
                                                                      " makes the errors of setting '" + setting +
                                                                      "' certain");
        }
        const double clean = 1.0 - ins - del;
        step_[L] = {0.0, Quantize(SameBitsLog(ins / clean)), Quantize(SameBitsLog(del / clean))};
        stepOdds_[L] = {SameBitsExp(step_[L][0]), SameBitsExp(step_[L][1]), SameBitsExp(step_[L][2])};
        cleanLog_[L] = Quantize(SameBitsLog(clean));
    }
}

namespace {

// The weight array of a site: for each position, log P(base | the base
// before) at 4 * before + base and log P(base) at 16 + base, each pair's
// estimate pulled toward the position's base frequencies by kSitePull
// counts, and those toward uniform by as many.
constexpr double kSitePull = 8.0;

std::vector<std::array<double, 20>> SiteTable(const std::vector<SitePairCounts>& counts) {
    std::vector<std::array<double, 20>> table(counts.size());
    for (std::size_t k = 0; k < counts.size(); ++k) {
        std::array<double, 4> base{};
        double all = 0.0;
        for (int pair = 0; pair < 16; ++pair) {
            base[pair % 4] += counts[k][pair];
            all += counts[k][pair];
        }
        std::array<double, 4> p{};
        for (int b = 0; b < 4; ++b) {
            p[b] = (base[b] + kSitePull * 0.25) / (all + kSitePull);
            table[k][16 + b] = Quantize(SameBitsLog(p[b]));
        }
        for (int before = 0; before < 4; ++before) {
            double row = 0.0;
            for (int b = 0; b < 4; ++b) row += counts[k][4 * before + b];
            for (int b = 0; b < 4; ++b) {
                table[k][4 * before + b] =
                    Quantize(SameBitsLog((counts[k][4 * before + b] + kSitePull * p[b]) / (row + kSitePull)));
            }
        }
    }
    return table;
}

}  // namespace

void CodonDecoder::GeneTables(const CodonModel& model, const GeneModel& gene) {
    const std::vector<double> background = Estimate(model.noncoding);
    const std::vector<double> utr[2] = {Estimate(gene.utr5), Estimate(gene.utr3)};
    const int words = kWordsUpTo(order_);
    utrLogOdds_.assign(2 * words, 0.0);
    utrOdds_.assign(2 * words, 1.0);
    backgroundLog_.assign(words, 0.0);
    for (int w = 0; w < words; ++w) {
        backgroundLog_[w] = Quantize(SameBitsLog(background[w]));
        for (int r = 0; r < 2; ++r) {
            utrLogOdds_[2 * w + r] = Quantize(options_.utrWeight[r] * SameBitsLog(utr[r][w] / background[w]));
            utrOdds_[2 * w + r] = SameBitsExp(utrLogOdds_[2 * w + r]);
        }
    }
    const auto sliced = [](const std::vector<SitePairCounts>& site, int from, int to, int first, int last) {
        if (site.size() != static_cast<std::size_t>(to - from + 1)) {
            throw EngineError(EngineError::Kind::BadValue, "", 0, "the gene model's site counts do not cover their span");
        }
        return std::vector<SitePairCounts>(site.begin() + (first - from), site.begin() + (last - from + 1));
    };
    startSite_ = SiteTable(sliced(gene.startSite, GeneModel::kStartFrom, GeneModel::kStartTo, options_.startFrom, options_.startTo));
    stopSite_ = SiteTable(sliced(gene.stopSite, GeneModel::kStopFrom, GeneModel::kStopTo, options_.stopFrom, options_.stopTo));
    // Each ATG of a 5' UTR is the start or is passed by, in the proportion
    // of the training cDNAs' starts to the ATGs before them, apart for the
    // first ATGs of their open reading frame and the later ones.
    for (int k = 0; k < 2; ++k) {
        const double starts = static_cast<double>(gene.starts[k]) + 1.0;
        const double passed = static_cast<double>(gene.upstreamAtgs[k]) + 1.0;
        startLog_[k] = Quantize(SameBitsLog(starts / (starts + passed)));
        skipLog_[k] = Quantize(SameBitsLog(passed / (starts + passed)));
        skipOdds_[k] = SameBitsExp(skipLog_[k]);
    }
}

void CodonDecoder::Sites(const std::vector<short>& bases, CodonScratch& scratch) const {
    const int n = static_cast<int>(bases.size());
    std::vector<CodonSite>& sites = scratch.sites;
    CodonSite blank{};
    for (int r = 0; r < 2; ++r) blank.utrOdds[r] = 1.0;
    blank.startLog = startPrice_;
    blank.startOdds = startOdds_;
    blank.skipOdds = 1.0;
    blank.stopOdds = 1.0;
    sites.assign(n, blank);
    if (gene_) scratch.background.assign(n, 0.0);
    const std::vector<std::uint8_t> runs = HomopolymerRuns(bases);
    for (int i = 0; i < n; ++i) sites[i].run = runs[i];
    int word = 0;
    int clean = 0;
    for (int i = 0; i < n; ++i) {
        CodonSite& s = sites[i];
        s.base = static_cast<std::int8_t>(bases[i]);
        s.delRun = i > 0 ? std::max(s.run, sites[i - 1].run) : s.run;
        s.atg = i + 2 < n && bases[i] == 0 && bases[i + 1] == 1 && bases[i + 2] == 2;
        s.stop = i >= 2 && IsStop(bases[i - 2], bases[i - 1], bases[i]);
        if (!IsBase(bases[i])) {
            clean = 0;
            for (int p = 0; p < 3; ++p) {
                s.logOdds[p] = 0.0;
                s.odds[p] = 1.0;
            }
            continue;
        }
        word = ((word << 2) | bases[i]) & (CodonModel::kWords - 1);
        clean = std::min(clean + 1, order_ + 1);
        const int order = clean - 1;
        const int at = kWordsUpTo(order - 1) + (word & ((4 << (2 * order)) - 1));
        for (int p = 0; p < 3; ++p) {
            s.logOdds[p] = logOdds_[3 * at + p];
            s.odds[p] = odds_[3 * at + p];
        }
        if (!gene_) continue;
        for (int r = 0; r < 2; ++r) {
            s.utrLog[r] = utrLogOdds_[2 * at + r];
            s.utrOdds[r] = utrOdds_[2 * at + r];
        }
        scratch.background[i] = backgroundLog_[at];
    }
    if (gene_) SiteTerms(bases, scratch);
}

// The log odds of a site's weight array against the states' own emissions
// over the positions from..to around base `at` (position 0) of the read. At
// a start (startSite) the positions before 0 are read by the 5' UTR and
// those from 0 on as coding, codon position k % 3; at a stop the positions
// before 0 as coding (-3..-1 the stop codon) and those from 0 on by the 3'
// UTR. Positions outside the read or on an unknown base add nothing.
double CodonDecoder::SiteScore(const std::vector<short>& bases, const CodonScratch& scratch, int at, bool startSite) const {
    const int from = startSite ? options_.startFrom : options_.stopFrom;
    const int to = startSite ? options_.startTo : options_.stopTo;
    const std::vector<std::array<double, 20>>& table = startSite ? startSite_ : stopSite_;
    const int n = static_cast<int>(bases.size());
    double score = 0.0;
    for (int k = from; k <= to; ++k) {
        const int i = at + k;
        if (i < 0 || i >= n || !IsBase(bases[i])) continue;
        const std::array<double, 20>& weights = table[k - from];
        const double site = i > 0 && IsBase(bases[i - 1]) ? weights[4 * bases[i - 1] + bases[i]] : weights[16 + bases[i]];
        const CodonSite& s = scratch.sites[i];
        const bool utr = startSite == (k < 0);
        const double own = utr ? s.utrLog[startSite ? 0 : 1] : s.logOdds[(k % 3 + 3) % 3];
        score += site - (own + scratch.background[i]);
    }
    return score;
}

void CodonDecoder::SiteTerms(const std::vector<short>& bases, CodonScratch& scratch) const {
    std::vector<CodonSite>& sites = scratch.sites;
    const int n = static_cast<int>(sites.size());
    const std::vector<std::uint8_t> later = LaterAtgs(bases);
    for (int i = 0; i < n; ++i) {
        CodonSite& s = sites[i];
        if (s.atg) {
            s.startLog = startLog_[later[i]] + SiteScore(bases, scratch, i, true);
            s.startOdds = SameBitsExp(s.startLog);
            s.skipLog = skipLog_[later[i]];
            s.skipOdds = skipOdds_[later[i]];
        }
        if (i > 0 && sites[i - 1].stop) {
            s.stopLog = SiteScore(bases, scratch, i, false);
            s.stopOdds = SameBitsExp(s.stopLog);
        }
    }
}

// Every step from a state at the base before `cur` to a state at `cur`:
// f(from, to, kind, log weight, odds weight), the weights including the
// emission of `cur`; insertion false leaves out the steps that make `cur` an
// extra base.
template <typename F>
inline void CodonDecoder::Steps(const CodonSite& prev, const CodonSite& cur, bool background, bool insertion,
                                F&& f) const {
    const auto& run = step_[cur.run];
    const auto& runOdds = stepOdds_[cur.run];
    const double del = step_[cur.delRun][2];
    const double delOdds = stepOdds_[cur.delRun][2];
    f(kB5, kB5, Step::Plain, cur.skipLog + cur.utrLog[0], cur.skipOdds * cur.utrOdds[0]);
    if (cur.atg) f(kB5, kC0, Step::Start, cur.startLog + cur.logOdds[0], cur.startOdds * cur.odds[0]);
    for (int q = 0; q < 3; ++q) {
        // A stop codon ends the CDS, unless a substitution made it.
        double through = 0.0;
        double throughOdds = 1.0;
        if (q == 2 && prev.stop) {
            if (throughOdds_ == 0.0) break;
            through = throughLog_;
            throughOdds = throughOdds_;
        }
        const int next = q == 2 ? 0 : q + 1;
        const int skip = q == 0 ? 2 : q - 1;
        f(kC0 + q, kC0 + next, Step::Plain, run[0] + cur.logOdds[next] + through,
          runOdds[0] * cur.odds[next] * throughOdds);
        if (insertion) f(kC0 + q, kC0 + q, Step::Insertion, run[1] + through, runOdds[1] * throughOdds);
        f(kC0 + q, kC0 + skip, Step::Deletion, del + cur.logOdds[skip] + through, delOdds * cur.odds[skip] * throughOdds);
    }
    if (background && prev.stop) f(kC2, kB3, Step::Stop, cur.stopLog + cur.utrLog[1], cur.stopOdds * cur.utrOdds[1]);
    f(kB3, kB3, Step::Plain, cur.utrLog[1], cur.utrOdds[1]);
}

CodonCall CodonDecoder::Run(int a, int b, const Ends& ends, CodonScratch& scratch) const {
    if (b < a) return CodonCall{};
    const double score = BestPath(a, b, ends, scratch);
    if (score == kNever) return CodonCall{};
    Posteriors(a, b, ends, scratch);
    CodonCall call = Calls(a, b, scratch);
    call.score = score;
    if (gene_) {
        for (int i = a; i <= b; ++i) call.background += scratch.background[i];
        call.logLikelihood = LogLikelihood(a, b, ends, scratch) + call.background;
        for (int i = call.first; i >= 0 && i <= call.last; ++i) call.cleanLog += cleanLog_[scratch.sites[i].run];
    }
    return call;
}

// Viterbi over the quantized logs; the path's states go to scratch.path.
double CodonDecoder::BestPath(int a, int b, const Ends& ends, CodonScratch& scratch) const {
    const std::vector<CodonSite>& sites = scratch.sites;
    const int m = b - a + 1;
    std::vector<std::uint8_t>& back = scratch.back;
    back.assign(static_cast<std::size_t>(m) * kStates, 0);
    std::array<double, kStates> v{};
    for (int s = 0; s < kStates; ++s) v[s] = ends.beginLog[s] + EmitLog(sites[a], s);
    for (int i = a + 1; i <= b; ++i) {
        std::array<double, kStates> next;
        next.fill(kNever);
        std::uint8_t* bp = &back[static_cast<std::size_t>(i - a) * kStates];
        Steps(sites[i - 1], sites[i], ends.background, i < b || ends.extraLast,
              [&](int from, int to, Step, double w, double) {
            const double x = v[from] + w;
            if (x > next[to]) {
                next[to] = x;
                bp[to] = static_cast<std::uint8_t>(from);
            }
        });
        v = next;
    }
    int state = 0;
    double best = kNever;
    for (int s = 0; s < kStates; ++s) {
        if (v[s] + ends.endLog[s] > best) {
            best = v[s] + ends.endLog[s];
            state = s;
        }
    }
    if (best == kNever) return best;
    std::vector<std::uint8_t>& path = scratch.path;
    path.assign(m, 0);
    for (int i = b; i >= a; --i) {
        path[i - a] = static_cast<std::uint8_t>(state);
        state = back[static_cast<std::size_t>(i - a) * kStates + state];
    }
    return best;
}

// Forward (each row scaled to sum 1) and backward, with the posterior of
// each error step into scratch.insertion and scratch.deletion.
void CodonDecoder::Posteriors(int a, int b, const Ends& ends, CodonScratch& scratch) const {
    const std::vector<CodonSite>& sites = scratch.sites;
    const int m = b - a + 1;
    std::vector<double>& f = scratch.forward;
    f.assign(static_cast<std::size_t>(m) * kStates, 0.0);
    std::vector<double>& scale = scratch.scale;
    scale.assign(m, 1.0);
    auto normalise = [&](int r) {
        double sum = 0.0;
        for (int s = 0; s < kStates; ++s) sum += f[r * kStates + s];
        if (sum > 0.0) {
            for (int s = 0; s < kStates; ++s) {
                double& x = f[r * kStates + s];
                x /= sum;
                if (x < kNegligible) x = 0.0;
            }
            scale[r] = sum;
        }
    };
    for (int s = 0; s < kStates; ++s) f[s] = ends.beginOdds[s] * EmitOdds(sites[a], s);
    normalise(0);
    for (int i = a + 1; i <= b; ++i) {
        const double* prev = &f[(i - a - 1) * kStates];
        double* row = &f[(i - a) * kStates];
        Steps(sites[i - 1], sites[i], ends.background, i < b || ends.extraLast,
              [&](int from, int to, Step, double, double w) { row[to] += prev[from] * w; });
        normalise(i - a);
    }
    double total = 0.0;
    for (int s = 0; s < kStates; ++s) total += f[(m - 1) * kStates + s] * ends.endOdds[s];

    std::vector<double>* posterior[] = {&scratch.insertion, &scratch.deletion, &scratch.start, &scratch.stop};
    for (std::vector<double>* p : posterior) p->assign(m, 0.0);
    scratch.begin.fill(0.0);
    scratch.end.fill(0.0);
    if (!(total > 0.0)) return;
    for (int s = 0; s < kStates; ++s) scratch.end[s] = f[(m - 1) * kStates + s] * ends.endOdds[s] / total;
    std::array<double, kStates> bw;
    for (int s = 0; s < kStates; ++s) bw[s] = ends.endOdds[s] / total;
    for (int i = b; i > a; --i) {
        const double* prev = &f[(i - a - 1) * kStates];
        const double c = scale[i - a];
        std::array<double, kStates> earlier{};
        Steps(sites[i - 1], sites[i], ends.background, i < b || ends.extraLast,
              [&](int from, int to, Step step, double, double w) {
            const double x = w * bw[to] / c;
            earlier[from] += x;
            if (step != Step::Plain) (*posterior[static_cast<int>(step) - 1])[i - a] += prev[from] * x;
        });
        for (int s = 0; s < kStates; ++s) bw[s] = earlier[s] < kNegligible ? 0.0 : earlier[s];
    }
    for (int s = 0; s < kStates; ++s) scratch.begin[s] = f[s] * bw[s];
}

// ln of the odds of bases a..b over all paths against background, from the
// forward pass's row sums and total.
double CodonDecoder::LogLikelihood(int a, int b, const Ends& ends, const CodonScratch& scratch) const {
    const int m = b - a + 1;
    double mantissa = 1.0;
    long twos = 0;
    for (int r = 0; r < m; ++r) {
        int e = 0;
        mantissa = std::frexp(mantissa * scratch.scale[r], &e);
        twos += e;
    }
    double total = 0.0;
    for (int s = 0; s < kStates; ++s) total += scratch.forward[(m - 1) * kStates + s] * ends.endOdds[s];
    return SameBitsLog(mantissa * total) + static_cast<double>(twos) * kLn2;
}

// The path's coding region and an error call for each change of frame
// inside it. Each is placed at the median of the posterior mass of errors of
// its kind nearby, but only after the error before it and before the next
// change, inside the region (an extra base before its last base), and where
// no codon read differently by the move, nor one across the error, is a
// stop codon; otherwise at the path's place or the nearest place to it where
// none is.
CodonCall CodonDecoder::Calls(int a, int b, const CodonScratch& scratch) {
    const std::vector<std::uint8_t>& path = scratch.path;
    const auto coding = [&](int i) { return path[i - a] >= kC0 && path[i - a] <= kC2; };
    CodonCall call;
    RegionConfidence(a, b, scratch, call);
    int first = a;
    while (first <= b && !coding(first)) ++first;
    if (first > b) return call;
    int last = first;
    while (last < b && coding(last + 1)) ++last;
    call.first = first;
    call.last = last;
    call.phase = (3 - (path[first - a] - kC0)) % 3;
    Reading reading(path, a, first, last);
    std::vector<int> changes;
    for (int i = first + 1; i <= last; ++i) {
        if (reading.ErrorAt(i) != ErrorKind::None) changes.push_back(i);
    }
    // The stop codons the path reads through whole (the gene model's stops
    // made by a substitution) may stay; any other stop codon a placement
    // would make may not.
    std::vector<int> through;
    reading.Stops(scratch.sites, first, last, [&](int end, bool whole) {
        if (whole) through.push_back(end);
    });
    const auto makesStop = [&](int from, int to) {
        bool made = false;
        reading.Stops(scratch.sites, from, to, [&](int end, bool whole) {
            made = made || !whole || !std::binary_search(through.begin(), through.end(), end);
        });
        return made;
    };
    for (std::size_t k = 0; k < changes.size(); ++k) {
        const int i = changes[k];
        const ErrorKind kind = reading.ErrorAt(i);
        const std::vector<double>& post = kind == ErrorKind::Insertion ? scratch.insertion : scratch.deletion;
        const int from = std::max(call.errors.empty() ? first + 1 : call.errors.back().pos + 1, i - kPlacementReach);
        int to = std::min(i + kPlacementReach, k + 1 < changes.size() ? changes[k + 1] - 1 : last);
        if (kind == ErrorKind::Insertion) to = std::min(to, last - 1);
        const auto placeAt = [&](int c) {
            if (c < from || c > to) return false;
            reading.Move(i, c, kind);
            if (!makesStop(std::min(i, c), std::max(i, c) + 3)) return true;
            reading.Move(c, i, kind);
            return false;
        };
        const int median = Median(post, a, from, to, i);
        int pos = placeAt(median) ? median : -1;
        for (int d = 0; d <= kPlacementReach && pos < 0; ++d) {
            if (placeAt(i + d)) {
                pos = i + d;
            } else if (d > 0 && placeAt(i - d)) {
                pos = i - d;
            }
        }
        if (pos < 0 && i > to) {
            // An extra base at the region's last base that has no place
            // before it: the region ends before it, and before any extra
            // base left just before it.
            call.last = i - 1;
            while (!call.errors.empty() && call.errors.back().kind == ErrorKind::Insertion &&
                   call.errors.back().pos >= call.last) {
                call.last = call.errors.back().pos - 1;
                call.errors.pop_back();
            }
            break;
        }
        if (pos < 0) pos = i;
        call.errors.push_back({pos, kind, Confidence(scratch.sites, post, a, b, pos, kind)});
    }
    return call;
}

// The posterior of the path's start (entering the CDS from the 5' UTR, or
// beginning in its codon position) and of its stop (leaving for the 3' UTR,
// or ending in its codon position).
void CodonDecoder::RegionConfidence(int a, int b, const CodonScratch& scratch, CodonCall& call) {
    const std::vector<std::uint8_t>& path = scratch.path;
    const auto coding = [](int state) { return state >= kC0 && state <= kC2; };
    int first = -1;
    int last = -1;
    for (int i = a; i <= b; ++i) {
        if (!coding(path[i - a])) continue;
        if (first < 0) first = i;
        last = i;
    }
    if (first < 0) return;
    call.startConfidence = std::min(first == a ? scratch.begin[path[0]] : scratch.start[first - a], 1.0);
    call.stopConfidence = std::min(last == b ? scratch.end[path[b - a]] : scratch.stop[last + 1 - a], 1.0);
}

CodonCall CodonDecoder::Decode(const std::vector<short>& bases, CodonScratch& scratch) const {
    const int n = static_cast<int>(bases.size());
    Sites(bases, scratch);
    const std::vector<CodonSite>& sites = scratch.sites;
    if (gene_) return DecodeGene(n, scratch);
    Ends ends;
    ends.background = true;
    ends.beginLog = {0.0, beginInside_, beginInside_, beginInside_, kNever};
    ends.endLog = {0.0, endInside_, endInside_, endInside_, 0.0};
    if (n > 0 && sites[0].atg) ends.beginLog[kC0] = std::max(beginInside_, startPrice_);
    if (n > 0 && sites[n - 1].stop) ends.endLog[kC2] = 0.0;
    for (int s = 0; s < kStates; ++s) {
        ends.beginOdds[s] = SameBitsExp(ends.beginLog[s]);
        ends.endOdds[s] = SameBitsExp(ends.endLog[s]);
    }
    if (n > 0 && sites[0].atg) ends.beginOdds[kC0] = beginInsideOdds_ + startOdds_;
    return Run(0, n - 1, ends, scratch);
}

// The gene model's ends: a read begins in the 5' UTR or, as options_ say,
// inside the CDS in any codon position (or at a start codon on its first
// base); it ends in either UTR (the 3' one also just after a stop codon) or
// inside the CDS.
CodonCall CodonDecoder::DecodeGene(int n, CodonScratch& scratch) const {
    const std::vector<CodonSite>& sites = scratch.sites;
    const double utrBegin = Quantize(SameBitsLog(1.0 - options_.beginInside));
    const double insideBegin = Quantize(SameBitsLog(options_.beginInside / 3.0));
    const double utrEnd = Quantize(SameBitsLog(1.0 - options_.endInside));
    const double insideEnd = Quantize(SameBitsLog(options_.endInside));
    Ends ends;
    ends.background = true;
    ends.beginLog = {utrBegin, insideBegin, insideBegin, insideBegin, kNever};
    ends.endLog = {utrEnd, insideEnd, insideEnd, insideEnd, utrEnd};
    if (n > 0 && sites[n - 1].stop) ends.endLog[kC2] = utrEnd;
    for (int s = 0; s < kStates; ++s) {
        ends.beginOdds[s] = SameBitsExp(ends.beginLog[s]);
        ends.endOdds[s] = SameBitsExp(ends.endLog[s]);
    }
    if (n > 0 && sites[0].atg) {
        const double start = utrBegin + sites[0].startLog;
        ends.beginLog[kC0] = std::max(insideBegin, start);
        ends.beginOdds[kC0] += SameBitsExp(start);
    }
    return Run(0, n - 1, ends, scratch);
}

CodonCall CodonDecoder::Refine(const std::vector<short>& bases, int first, int last, bool startFixed, bool stopFixed,
                               CodonScratch& scratch) const {
    const int n = static_cast<int>(bases.size());
    if (first < 0 || last >= n || last < first) {
        throw std::invalid_argument("codon refinement: coding region " + std::to_string(first) + ".." +
                                    std::to_string(last) + " outside a read of " + std::to_string(n) + " bases");
    }
    Sites(bases, scratch);
    Ends ends;
    ends.background = false;
    ends.extraLast = false;  // the region's last base stays coding
    ends.beginLog = {kNever, 0.0, startFixed ? kNever : 0.0, startFixed ? kNever : 0.0, kNever};
    ends.endLog = {kNever, stopFixed ? kNever : 0.0, stopFixed ? kNever : 0.0, 0.0, kNever};
    for (int s = 0; s < kStates; ++s) {
        ends.beginOdds[s] = SameBitsExp(ends.beginLog[s]);
        ends.endOdds[s] = SameBitsExp(ends.endLog[s]);
    }
    CodonCall call = Run(first, last, ends, scratch);
    call.first = first;
    call.last = last;
    return call;
}

}  // namespace talvo
