#include "ErrorSimulation.h"

#include <algorithm>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

#include "InputFile.h"

namespace talvo::tools {

namespace {

constexpr char kBases[] = {'A', 'C', 'G', 'T'};
constexpr double kMaxRunRate = 0.25;  // an error rate by run, per base, at most

// A base unlike both neighbours of the place it is inserted at.
char NewBase(char before, char after, Random& rng) {
    char c = before;
    while (c == before || c == after) c = kBases[rng.Below(4)];
    return c;
}

// The length of the homopolymer run each base lies in, 6 for 6 or longer.
std::vector<int> RunLengths(const std::string& bases) {
    std::vector<int> runs(bases.size());
    for (std::size_t i = 0; i < bases.size();) {
        std::size_t j = i + 1;
        while (j < bases.size() && bases[j] == bases[i]) ++j;
        for (std::size_t k = i; k < j; ++k) runs[k] = static_cast<int>(std::min<std::size_t>(j - i, 6));
        i = j;
    }
    return runs;
}

char OtherBase(char base, Random& rng) {
    char c = base;
    while (c == base) c = kBases[rng.Below(4)];
    return c;
}

}  // namespace

ProfileMetrics ReadProfileMetrics(const std::string& path) {
    std::istringstream in(ReadInputFile(path, "the error profile"));
    ProfileMetrics metric;
    std::string line;
    while (std::getline(in, line)) {
        std::stringstream fields(line);
        std::string name;
        std::string value;
        if (!std::getline(fields, name, '\t') || !std::getline(fields, value, '\t')) continue;
        double v = 0.0;
        std::istringstream number(value);
        number.imbue(std::locale::classic());
        if (number >> v) metric[name] = v;
    }
    return metric;
}

double ProfileMetric(const ProfileMetrics& metrics, const std::string& name, const std::string& path) {
    const auto it = metrics.find(name);
    if (it == metrics.end()) throw std::runtime_error(path + ": no " + name + " line");
    return it->second;
}

ErrorModel ErrorRates(const ProfileMetrics& metrics, const std::string& path) {
    auto singleShare = [&](const std::string& prefix) {
        double all = 0.0;
        for (const auto& [name, v] : metrics) {
            if (name.rfind(prefix, 0) == 0) all += v;
        }
        return all > 0.0 ? ProfileMetric(metrics, prefix + "1", path) / all : 0.0;
    };
    ErrorModel model;
    model.substitution = ProfileMetric(metrics, "mismatch_rate", path);
    model.insertion = ProfileMetric(metrics, "insertion_event_rate", path) * singleShare("ins_len_");
    model.deletion = ProfileMetric(metrics, "deletion_event_rate", path) * singleShare("del_len_");
    return model;
}

ErrorModel ReadErrorProfile(const std::string& path) {
    return ErrorRates(ReadProfileMetrics(path), path);
}

std::array<double, 7> RunEventCounts(const ProfileMetrics& metrics, const std::string& prefix,
                                     const std::string& path) {
    std::array<double, 7> count{};
    for (int L = 0; L <= 6; ++L) {
        const std::string name = prefix + std::to_string(L) + (L == 6 ? "+" : "");
        count[L] = ProfileMetric(metrics, name, path);
        if (count[L] < 0.0) throw std::runtime_error(path + ": negative " + name);
    }
    return count;
}

ErrorModel RunErrorRates(const ProfileMetrics& metrics, const std::string& path,
                         const std::array<double, 7>& runShare) {
    ErrorModel model = ErrorRates(metrics, path);
    model.byRun = true;
    auto shares = [&](const std::string& prefix) {
        std::array<double, 7> share = RunEventCounts(metrics, prefix, path);
        double all = 0.0;
        for (double c : share) all += c;
        for (double& c : share) c = all > 0.0 ? c / all : 0.0;
        return share;
    };
    const std::array<double, 7> insertions = shares("ins_in_homopolymer_run_len_");
    const std::array<double, 7> deletions = shares("del_in_homopolymer_run_len_");
    model.insertionNewBase = model.insertion * insertions[0];
    for (int L = 1; L <= 6; ++L) {
        if (runShare[L] <= 0.0) continue;
        const double deleted = deletions[L] + (L == 1 ? deletions[0] : 0.0);
        model.insertionInRun[L] = std::min(model.insertion * insertions[L] / runShare[L], kMaxRunRate);
        model.deletionInRun[L] = std::min(model.deletion * deleted / runShare[L], kMaxRunRate);
    }
    return model;
}

SimulatedRead SimulateErrors(const AnnotatedSequence& seq, const ErrorModel& model, Random& rng) {
    const int length = static_cast<int>(seq.bases.size());
    // Planted errors: distinct bases strictly between the start and the stop codon.
    std::map<int, ErrorKind> planted;
    const int lo = seq.cdsFirst + 3;
    const int span = seq.cdsLast - 2 - lo;
    for (int k = 0; k < model.planted && span > static_cast<int>(planted.size()); ++k) {
        int pos = 0;
        do {
            pos = lo + static_cast<int>(rng.Below(static_cast<uint64_t>(span)));
        } while (planted.count(pos) != 0);
        planted[pos] = rng.Below(2) == 0 ? ErrorKind::Insertion : ErrorKind::Deletion;
    }

    SimulatedRead read;
    std::vector<int> mapped(length, -1);  // mutated position of each original base
    const std::vector<int> runs = model.byRun ? RunLengths(seq.bases) : std::vector<int>{};
    for (int i = 0; i < length; ++i) {
        ErrorKind kind = ErrorKind::None;
        char extra = 0;  // the inserted base, when chosen by run
        if (const auto it = planted.find(i); it != planted.end()) {
            kind = it->second;
        } else if (model.byRun) {
            const double u = rng.Uniform();
            const double copy = model.insertionInRun[runs[i]];
            const double inserted = copy + model.insertionNewBase;
            if (u < copy) {
                kind = ErrorKind::Insertion;
                extra = seq.bases[i];
            } else if (u < inserted) {
                kind = ErrorKind::Insertion;
                extra = NewBase(read.bases.empty() ? seq.bases[i] : read.bases.back(), seq.bases[i], rng);
            } else if (u < inserted + model.deletionInRun[runs[i]]) {
                kind = ErrorKind::Deletion;
            }
        } else if (model.insertion > 0.0 && rng.Uniform() < model.insertion) {
            kind = ErrorKind::Insertion;
        } else if (model.deletion > 0.0 && rng.Uniform() < model.deletion) {
            kind = ErrorKind::Deletion;
        }
        if (kind == ErrorKind::Insertion) {
            // An extra base before base i.
            read.errors.push_back({static_cast<int>(read.bases.size()), ErrorKind::Insertion});
            read.bases.push_back(extra != 0 ? extra : kBases[rng.Below(4)]);
        } else if (kind == ErrorKind::Deletion) {
            // Base i is lost; the error sits on the base that follows.
            read.errors.push_back({static_cast<int>(read.bases.size()), ErrorKind::Deletion});
            continue;
        }
        char base = seq.bases[i];
        if (model.substitution > 0.0 && rng.Uniform() < model.substitution) base = OtherBase(base, rng);
        mapped[i] = static_cast<int>(read.bases.size());
        read.bases.push_back(base);
    }

    int first = seq.cdsFirst;
    while (first < seq.cdsLast && mapped[first] < 0) ++first;
    int last = seq.cdsLast;
    while (last > seq.cdsFirst && mapped[last] < 0) --last;
    read.cdsFirst = mapped[first];
    read.cdsLast = mapped[last];
    for (int o = seq.cdsFirst; o + 2 <= seq.cdsLast; o += 3) {
        if (mapped[o] >= 0 && mapped[o + 1] == mapped[o] + 1 && mapped[o + 2] == mapped[o] + 2) {
            read.codonStarts.push_back(mapped[o]);
        }
    }
    return read;
}

}  // namespace talvo::tools
