// The gene-model file, line by line:
//
//   talvo gene model 1
//   starts S1 S2 upstream-atgs U1 U2         start codons, and ATGs in the 5' UTRs before
//                                            them: the first of their open reading
//                                            frame, and the later ones
//   AAAAA a5 t5 g5 c5 a3 t3 g3 c3            1024 count lines: the bases after each
//                                            5-base context in 5' and in 3' UTRs
//   start POS nAA nAT .. nCC                 one line per position -20..14 around the
//                                            start codon's first base
//   stop POS nAA nAT .. nCC                  one line per position -3..20 around the
//                                            first base after the stop codon
//
// A site line gives the counts of each pair of bases (the base before the
// position, then the base at it; A, T, G, C) on the training cDNAs.
#include "GeneModel.h"

#include <fstream>
#include <ostream>
#include <stdexcept>

#include "EngineError.h"
#include "GeneticCode.h"
#include "ModelText.h"

namespace talvo {

namespace {

constexpr const char* kVersionLine = "talvo gene model 1";
constexpr int kContexts = CodonModel::kWords / 4;

void ReadSite(ModelTextReader& r, std::vector<std::string>& f, const char* name, int from, int to,
              std::vector<SitePairCounts>& site) {
    site.assign(to - from + 1, SitePairCounts{});
    for (int pos = from; pos <= to; ++pos) {
        const std::string position = std::to_string(pos);
        if (!r.Next(f)) r.Fail(std::string("missing the ") + name + " line of position " + position);
        if (f.size() != 18 || f[0] != name || f[1] != position) {
            r.Fail(std::string(name) + " line needs: " + name + " " + position + " and 16 counts");
        }
        for (int k = 0; k < 16; ++k) site[pos - from][k] = r.Whole<std::uint32_t>(f[2 + k], 0, UINT32_MAX, "count");
    }
}

void WriteSite(std::ostream& out, const char* name, int from, const std::vector<SitePairCounts>& site) {
    for (std::size_t k = 0; k < site.size(); ++k) {
        out << name << ' ' << from + static_cast<int>(k);
        for (std::uint32_t count : site[k]) out << ' ' << count;
        out << '\n';
    }
}

}  // namespace

std::vector<std::uint8_t> LaterAtgs(const std::vector<short>& bases) {
    const int n = static_cast<int>(bases.size());
    std::vector<std::uint8_t> later(bases.size(), 0);
    std::array<bool, 3> open{};  // an ATG since the last stop codon, by frame
    for (int i = 0; i + 2 < n; ++i) {
        const int acid = AminoAcidOf(bases[i], bases[i + 1], bases[i + 2]);
        if (acid == kMet) {
            later[i] = open[i % 3];
            open[i % 3] = true;
        } else if (acid == kStop) {
            open[i % 3] = false;
        }
    }
    return later;
}

void CheckGeneOptions(const GeneOptions& options) {
    const auto probability = [](double p, const std::string& what) {
        if (!(p > 0.0 && p < 1.0)) throw EngineError(EngineError::Kind::BadValue, "", 0, what + " must lie between 0 and 1 (both excluded)");
    };
    probability(options.beginInside, "the probability that a read begins inside the CDS");
    probability(options.endInside, "the probability that a read ends inside the CDS");
    if (options.startFrom < GeneModel::kStartFrom || options.startTo > GeneModel::kStartTo ||
        options.startFrom > options.startTo || options.stopFrom < GeneModel::kStopFrom ||
        options.stopTo > GeneModel::kStopTo || options.stopFrom > options.stopTo) {
        throw EngineError(EngineError::Kind::BadValue, "", 0, "the start and stop sites' positions must lie within " +
                                    std::to_string(GeneModel::kStartFrom) + ".." + std::to_string(GeneModel::kStartTo) +
                                    " and " + std::to_string(GeneModel::kStopFrom) + ".." +
                                    std::to_string(GeneModel::kStopTo));
    }
    for (double w : options.utrWeight) {
        if (!(w >= 0.0 && w <= 1.0)) throw EngineError(EngineError::Kind::BadValue, "", 0, "a UTR model's weight must lie between 0 and 1");
    }
    if (!(options.errorScale > 0.0 && options.cleanScale > 0.0)) {
        throw EngineError(EngineError::Kind::BadValue, "", 0, "error scales must be above 0");
    }
    if (!(options.cleanShare >= 0.0 && options.cleanShare < 1.0)) {
        throw EngineError(EngineError::Kind::BadValue, "", 0, "the share of error-free reads must lie from 0 up to 1 (excluded)");
    }
}

GeneModel ReadGeneModel(const std::string& path) {
    std::ifstream file;
    OpenModelText(file, path);
    ModelTextReader r(path, file);
    r.ExpectVersion(kVersionLine, "gene");
    std::vector<std::string> f;
    GeneModel model;
    if (!r.Next(f) || f.size() != 6 || f[0] != "starts" || f[3] != "upstream-atgs") {
        r.Fail("starts line needs: starts S1 S2 upstream-atgs U1 U2");
    }
    for (int k = 0; k < 2; ++k) {
        model.starts[k] = r.Whole<std::uint64_t>(f[1 + k], 0, UINT64_MAX, "start count");
        model.upstreamAtgs[k] = r.Whole<std::uint64_t>(f[4 + k], 0, UINT64_MAX, "upstream ATG count");
    }
    model.utr5.assign(CodonModel::kWords, 0);
    model.utr3.assign(CodonModel::kWords, 0);
    for (int context = 0; context < kContexts; ++context) {
        const std::string name = ContextName(context, CodonModel::kOrder);
        if (!r.Next(f)) r.Fail("missing the counts of context " + name);
        if (f.size() != 9 || f[0] != name) r.Fail("count line needs: " + name + " and 8 counts");
        for (int b = 0; b < 4; ++b) {
            model.utr5[4 * context + b] = r.Whole<std::uint32_t>(f[1 + b], 0, UINT32_MAX, "count");
            model.utr3[4 * context + b] = r.Whole<std::uint32_t>(f[5 + b], 0, UINT32_MAX, "count");
        }
    }
    ReadSite(r, f, "start", GeneModel::kStartFrom, GeneModel::kStartTo, model.startSite);
    ReadSite(r, f, "stop", GeneModel::kStopFrom, GeneModel::kStopTo, model.stopSite);
    r.ExpectEnd("the last stop line");
    return model;
}

void WriteGeneModel(const GeneModel& model, std::ostream& out) {
    out << kVersionLine << "\nstarts " << model.starts[0] << ' ' << model.starts[1] << " upstream-atgs "
        << model.upstreamAtgs[0] << ' ' << model.upstreamAtgs[1] << '\n';
    auto count = [](const std::vector<std::uint32_t>& counts, int word) {
        return word < static_cast<int>(counts.size()) ? counts[word] : 0u;
    };
    for (int context = 0; context < kContexts; ++context) {
        out << ContextName(context, CodonModel::kOrder);
        for (const auto* counts : {&model.utr5, &model.utr3}) {
            for (int b = 0; b < 4; ++b) out << ' ' << count(*counts, 4 * context + b);
        }
        out << '\n';
    }
    WriteSite(out, "start", GeneModel::kStartFrom, model.startSite);
    WriteSite(out, "stop", GeneModel::kStopFrom, model.stopSite);
}

}  // namespace talvo
