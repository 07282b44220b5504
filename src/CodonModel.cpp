// The codon-model file, line by line:
//
//   talvo codon model 1
//   lengths UTR5 CDS UTR3                     mean lengths in bases
//   setting NAME ORDER insertion I1..I6 deletion D1..D6 [substitution S]
//                                             one line per setting
//   AAAAA n0A n0T n0G n0C n1A .. n2C nA nT nG nC          1024 count lines
//
// A count line names a context of five bases and gives the counts of the
// four bases (A, T, G, C) that follow it at codon position 0, 1 and 2 of a
// CDS and in the untranslated regions; the contexts come in the order of
// their index (base codes as base-4 digits, first base most significant).
#include "CodonModel.h"

#include <algorithm>
#include <fstream>
#include <ostream>

#include "EngineError.h"
#include "GeneticCode.h"
#include "ModelText.h"

namespace talvo {

std::vector<std::uint8_t> HomopolymerRuns(const std::vector<short>& codes) {
    const int n = static_cast<int>(codes.size());
    std::vector<std::uint8_t> runs(codes.size());
    for (int i = 0; i < n;) {
        int j = i + 1;
        while (j < n && IsBase(codes[i]) && codes[j] == codes[i]) ++j;
        const auto run = static_cast<std::uint8_t>(std::min(j - i, kLongestRun));
        for (int k = i; k < j; ++k) runs[k] = run;
        i = j;
    }
    return runs;
}

namespace {

constexpr const char* kVersionLine = "talvo codon model 1";
constexpr int kContexts = CodonModel::kWords / 4;
constexpr double kMaxErrorProbability = 0.5;

bool ValidName(const std::string& name) {
    if (name.empty()) return false;
    for (char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return false;
    }
    return true;
}

ErrorSetting ReadSetting(const ModelTextReader& r, const std::vector<std::string>& f) {
    // setting NAME ORDER insertion I1..I6 deletion D1..D6 [substitution S]
    const bool substitution = f.size() == 19 && f[17] == "substitution";
    if ((f.size() != 17 && !substitution) || f[3] != "insertion" || f[10] != "deletion") {
        r.Fail("setting line needs: setting NAME ORDER insertion I1..I6 deletion D1..D6 [substitution S]");
    }
    ErrorSetting s;
    s.name = f[1];
    if (!ValidName(s.name)) r.Fail("bad setting name '" + s.name + "' (lower-case letters, digits, '-')");
    s.order = r.Whole<int>(f[2], 0, CodonModel::kOrder, "order");
    for (int L = 1; L <= 6; ++L) {
        s.insertion[L] = r.Real(f[3 + L], 0.0, kMaxErrorProbability, "insertion probability");
        s.deletion[L] = r.Real(f[10 + L], 0.0, kMaxErrorProbability, "deletion probability");
    }
    if (substitution) s.substitution = r.Real(f[18], 0.0, kMaxErrorProbability, "substitution probability");
    return s;
}

}  // namespace

const ErrorSetting* CodonModel::Setting(const std::string& name) const {
    for (const ErrorSetting& s : settings) {
        if (s.name == name) return &s;
    }
    return nullptr;
}

CodonModel ReadCodonModel(const std::string& path) {
    std::ifstream file;
    OpenModelText(file, path);
    ModelTextReader r(path, file);
    r.ExpectVersion(kVersionLine, "codon");
    std::vector<std::string> f;
    CodonModel model;
    if (!r.Next(f)) r.Fail("missing the lengths line");
    if (f.size() != 4 || f[0] != "lengths") r.Fail("lengths line needs: lengths UTR5 CDS UTR3");
    model.meanUtr5 = r.Real(f[1], 0.0, 1e9, "mean 5' UTR length");
    model.meanCds = r.Real(f[2], 3.0, 1e9, "mean CDS length");
    model.meanUtr3 = r.Real(f[3], 0.0, 1e9, "mean 3' UTR length");

    bool more = r.Next(f);
    while (more && !f.empty() && f[0] == "setting") {
        ErrorSetting s = ReadSetting(r, f);
        if (model.Setting(s.name) != nullptr) r.Fail("setting '" + s.name + "' given twice");
        model.settings.push_back(std::move(s));
        more = r.Next(f);
    }
    if (model.settings.empty()) r.Fail("missing the setting lines");

    for (auto& counts : model.coding) counts.assign(CodonModel::kWords, 0);
    model.noncoding.assign(CodonModel::kWords, 0);
    for (int context = 0; context < kContexts; ++context) {
        const std::string name = ContextName(context, CodonModel::kOrder);
        if (context > 0) more = r.Next(f);
        if (!more) r.Fail("missing the counts of context " + name);
        if (f.size() != 17 || f[0] != name) r.Fail("count line needs: " + name + " and 16 counts");
        for (int b = 0; b < 4; ++b) {
            for (int p = 0; p < 3; ++p) {
                model.coding[p][4 * context + b] =
                    r.Whole<std::uint32_t>(f[1 + 4 * p + b], 0, UINT32_MAX, "count");
            }
            model.noncoding[4 * context + b] = r.Whole<std::uint32_t>(f[13 + b], 0, UINT32_MAX, "count");
        }
    }
    r.ExpectEnd("the last count line");
    return model;
}

void WriteCodonModel(const CodonModel& model, std::ostream& out) {
    out << kVersionLine << "\nlengths ";
    PutModelReal(out, model.meanUtr5);
    out << ' ';
    PutModelReal(out, model.meanCds);
    out << ' ';
    PutModelReal(out, model.meanUtr3);
    out << '\n';
    for (const ErrorSetting& s : model.settings) {
        out << "setting " << s.name << ' ' << s.order << " insertion";
        for (int L = 1; L <= 6; ++L) {
            out << ' ';
            PutModelReal(out, s.insertion[L]);
        }
        out << " deletion";
        for (int L = 1; L <= 6; ++L) {
            out << ' ';
            PutModelReal(out, s.deletion[L]);
        }
        if (s.substitution > 0.0) {
            out << " substitution ";
            PutModelReal(out, s.substitution);
        }
        out << '\n';
    }
    auto count = [](const std::vector<std::uint32_t>& counts, int word) {
        return word < static_cast<int>(counts.size()) ? counts[word] : 0u;
    };
    for (int context = 0; context < kContexts; ++context) {
        out << ContextName(context, CodonModel::kOrder);
        for (int p = 0; p < 3; ++p) {
            for (int b = 0; b < 4; ++b) out << ' ' << count(model.coding[p], 4 * context + b);
        }
        for (int b = 0; b < 4; ++b) out << ' ' << count(model.noncoding, 4 * context + b);
        out << '\n';
    }
}

}  // namespace talvo
