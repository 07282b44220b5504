#include "ErrorSimulation.h"

#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

#include "InputFile.h"

namespace talvo::tools {

namespace {

constexpr char kBases[] = {'A', 'C', 'G', 'T'};

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
    for (int i = 0; i < length; ++i) {
        ErrorKind kind = ErrorKind::None;
        if (const auto it = planted.find(i); it != planted.end()) {
            kind = it->second;
        } else if (model.insertion > 0.0 && rng.Uniform() < model.insertion) {
            kind = ErrorKind::Insertion;
        } else if (model.deletion > 0.0 && rng.Uniform() < model.deletion) {
            kind = ErrorKind::Deletion;
        }
        if (kind == ErrorKind::Insertion) {
            // An extra base before base i.
            read.errors.push_back({static_cast<int>(read.bases.size()), ErrorKind::Insertion});
            read.bases.push_back(kBases[rng.Below(4)]);
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
