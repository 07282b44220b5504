#include "CodonTraining.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <stdexcept>

#include "ErrorSimulation.h"
#include "GeneticCode.h"

namespace talvo::tools {

namespace {

constexpr int kWordLength = CodonModel::kOrder + 1;
constexpr double kMaxProbability = 0.25;

// The profile's counts of indel events by the homopolymer run length they
// touch ("..._0" .. "..._6+"), as shares over the run lengths of the read
// (index 1..6). `shift` moves the profile's length to the read's: +1 for an
// insertion, which lengthens the run it joins, -1 for a deletion, which
// shortens it; the profile's last bin (6 or more) goes to the read's run
// of 6 or more, or of 5 or more for deletions.
std::array<double, kLongestRun + 1> EventShares(const ProfileMetrics& metrics, const std::string& prefix, int shift,
                                                 const std::string& path) {
    const std::array<double, kLongestRun + 1> events = RunEventCounts(metrics, prefix, path);
    std::array<double, kLongestRun + 1> count{};
    double all = 0.0;
    for (int L = 0; L <= kLongestRun; ++L) {
        count[std::clamp(L + shift, 1, kLongestRun)] += events[L];
        all += events[L];
    }
    if (all > 0.0) {
        for (double& c : count) c /= all;
    }
    return count;
}

}  // namespace

std::array<double, kLongestRun + 1> RunLengthShares(const std::vector<AnnotatedSequence>& set) {
    std::array<long long, kLongestRun + 1> bases{};
    long long all = 0;
    for (const AnnotatedSequence& seq : set) {
        const std::vector<short> codes = BaseCodes(seq.bases);
        const std::vector<std::uint8_t> runs = HomopolymerRuns(codes);
        for (std::size_t i = 0; i < codes.size(); ++i) {
            if (!IsBase(codes[i])) continue;
            ++bases[runs[i]];
            ++all;
        }
    }
    std::array<double, kLongestRun + 1> share{};
    for (int L = 1; L <= kLongestRun && all > 0; ++L) share[L] = static_cast<double>(bases[L]) / static_cast<double>(all);
    return share;
}

bool IsSettingName(const std::string& name) {
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
    });
}

std::vector<ProfileOption> ReadProfileOptions(const std::vector<std::string>& values) {
    std::vector<ProfileOption> profiles;
    for (const std::string& value : values) {
        const std::size_t eq = value.find('=');
        if (eq == std::string::npos || eq + 1 == value.size() || !IsSettingName(value.substr(0, eq))) {
            throw std::invalid_argument("option --error-profile: '" + value +
                                        "' is not NAME=FILE with a name of lower-case letters, digits and '-'");
        }
        ProfileOption p{value.substr(0, eq), value.substr(eq + 1)};
        for (const ProfileOption& q : profiles) {
            if (q.name == p.name) throw std::invalid_argument("option --error-profile: name '" + p.name + "' given twice");
        }
        profiles.push_back(p);
    }
    return profiles;
}

namespace {

// Calls f(from, last, word) for every word of kWordLength bases A, C, G, T
// of the codes, from its first to its last base.
template <typename F>
void ForEachWord(const std::vector<short>& codes, F&& f) {
    int word = 0;
    int clean = 0;  // bases up to i since the last unknown one
    for (int i = 0; i < static_cast<int>(codes.size()); ++i) {
        if (!IsBase(codes[i])) {
            clean = 0;
            continue;
        }
        word = ((word << 2) | codes[i]) & (CodonModel::kWords - 1);
        if (++clean >= kWordLength) f(i - kWordLength + 1, i, word);
    }
}

// Adds the pairs (base before, base) at the positions from..to of a site
// whose position 0 is base `at` of the codes; pairs that reach outside the
// sequence or hold another code are left out.
void CountSite(const std::vector<short>& codes, int at, int from, std::vector<SitePairCounts>& site) {
    const int n = static_cast<int>(codes.size());
    for (int k = 0; k < static_cast<int>(site.size()); ++k) {
        const int i = at + from + k;
        if (i < 1 || i >= n || !IsBase(codes[i - 1]) || !IsBase(codes[i])) continue;
        ++site[k][4 * codes[i - 1] + codes[i]];
    }
}

}  // namespace

CodonModel CountCodonWords(const std::vector<AnnotatedSequence>& set) {
    CodonModel model;
    for (auto& counts : model.coding) counts.assign(CodonModel::kWords, 0);
    model.noncoding.assign(CodonModel::kWords, 0);
    long long utr5 = 0;
    long long cds = 0;
    long long utr3 = 0;
    for (const AnnotatedSequence& seq : set) {
        const std::vector<short> codes = BaseCodes(seq.bases);
        const int n = static_cast<int>(codes.size());
        utr5 += seq.cdsFirst;
        cds += seq.cdsLast - seq.cdsFirst + 1;
        utr3 += n - 1 - seq.cdsLast;
        ForEachWord(codes, [&](int from, int i, int word) {
            if (from >= seq.cdsFirst && i <= seq.cdsLast) {
                ++model.coding[(i - seq.cdsFirst) % 3][word];
            } else if (i < seq.cdsFirst || from > seq.cdsLast) {
                ++model.noncoding[word];
            }
        });
    }
    if (!set.empty()) {
        const double count = static_cast<double>(set.size());
        model.meanUtr5 = static_cast<double>(utr5) / count;
        model.meanCds = static_cast<double>(cds) / count;
        model.meanUtr3 = static_cast<double>(utr3) / count;
    }
    return model;
}

GeneModel CountGeneModel(const std::vector<AnnotatedSequence>& set) {
    GeneModel model;
    model.utr5.assign(CodonModel::kWords, 0);
    model.utr3.assign(CodonModel::kWords, 0);
    model.startSite.assign(GeneModel::kStartTo - GeneModel::kStartFrom + 1, SitePairCounts{});
    model.stopSite.assign(GeneModel::kStopTo - GeneModel::kStopFrom + 1, SitePairCounts{});
    for (const AnnotatedSequence& seq : set) {
        const std::vector<short> codes = BaseCodes(seq.bases);
        ForEachWord(codes, [&](int from, int i, int word) {
            if (i < seq.cdsFirst) ++model.utr5[word];
            if (from > seq.cdsLast) ++model.utr3[word];
        });
        const std::vector<std::uint8_t> later = LaterAtgs(codes);
        ++model.starts[later[seq.cdsFirst]];
        for (int i = 0; i + 2 < seq.cdsFirst; ++i) {
            if (codes[i] == 0 && codes[i + 1] == 1 && codes[i + 2] == 2) ++model.upstreamAtgs[later[i]];
        }
        CountSite(codes, seq.cdsFirst, GeneModel::kStartFrom, model.startSite);
        CountSite(codes, seq.cdsLast + 1, GeneModel::kStopFrom, model.stopSite);
    }
    return model;
}

ErrorSetting ReadErrorSetting(const std::string& name, const std::string& profilePath,
                              const std::vector<AnnotatedSequence>& set) {
    const ProfileMetrics metrics = ReadProfileMetrics(profilePath);
    const ErrorModel rates = ErrorRates(metrics, profilePath);
    const auto insertions = EventShares(metrics, "ins_in_homopolymer_run_len_", +1, profilePath);
    const auto deletions = EventShares(metrics, "del_in_homopolymer_run_len_", -1, profilePath);
    const auto bases = RunLengthShares(set);
    ErrorSetting setting;
    setting.name = name;
    // The longest contexts served best even on long noisy reads.
    setting.order = CodonModel::kOrder;
    auto perBase = [&](double rate, double share, double baseShare) {
        const double p = baseShare > 0.0 ? rate * share / baseShare : rate;
        return std::min(p, kMaxProbability);
    };
    setting.substitution = std::min(rates.substitution, kMaxProbability);
    for (int L = 1; L <= kLongestRun; ++L) {
        setting.insertion[L] = perBase(rates.insertion, insertions[L], bases[L]);
        setting.deletion[L] = perBase(rates.deletion, deletions[L], bases[L]);
    }
    // Deletions from runs of 6 or more leave runs of 5 or more: one rate for both.
    const int last = kLongestRun;
    setting.deletion[last] = setting.deletion[last - 1] =
        perBase(rates.deletion, deletions[last - 1], bases[last - 1] + bases[last]);
    return setting;
}

}  // namespace talvo::tools
