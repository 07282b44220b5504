// Loading of the parameter file (rules, thresholds, pseudo-counts) and of
// the frame-transition file.
#include <cmath>

#include "EngineError.h"
#include "LenientNumber.h"
#include "Model.h"
#include "ModelFile.h"

namespace talvo {

namespace {

constexpr int kParameterLines = 3 * kMaxRules + kMaxRules + 4 * kAminoAcids * kAminoAcids + kAminoAcids;
constexpr int kTransitionLines = 4;

// Rejects a rule field that the scorer would use to index its count tables
// outside their bounds. Only the fields that the rule's kind reads count.
void CheckRule(const ModelFile& file, const fnlHypo& rule) {
    auto check = [&](const char* field, int value, int limit, const char* what) {
        if (value >= 0 && value < limit) return;
        throw EngineError(EngineError::Kind::BadValue, file.Path(), file.LineNumber(),
                          std::string("field ") + field + " is " + std::to_string(value) + ", not " + what);
    };
    switch (rule.kind) {
        case 0:
            check("first", rule.first, 4, "a base code 0..3");
            check("second", rule.second, 4, "a base code 0..3");
            check("third", rule.third, 4, "a base code 0..3");
            break;
        case 2:
            check("first", rule.first, kAminoAcids, "an amino-acid index 0..20");
            break;
        case 3:
            check("first", rule.first, kAminoAcids, "an amino-acid index 0..20");
            check("second", rule.second, kAminoAcids, "an amino-acid index 0..20");
            check("gap", rule.gap, 4, "a gap class 0..3");
            break;
        default:
            break;
    }
}

// A real field of the line last read; read strictly, one that is not a
// finite number (nan, inf) throws EngineError.
double Real(const ModelFile& file, const std::string& field, ModelReading reading) {
    const double value = LenientReal(field.c_str());
    if (reading == ModelReading::Strict && !std::isfinite(value)) {
        throw EngineError(EngineError::Kind::BadValue, file.Path(), file.LineNumber(),
                          "value '" + field + "' is not a finite number");
    }
    return value;
}

void ReadThresholds(ModelFile& file, trsldData (&table)[kMaxRules], bool integer, ModelReading reading) {
    for (trsldData& entry : table) {
        const auto f = SplitFields(file.NextLine(), 2, false);
        entry.dir = LenientInt(f[0].c_str());
        if (integer) {
            entry.intTrsld = LenientInt(f[1].c_str());
        } else {
            entry.realTrsld = Real(file, f[1], reading);
        }
    }
}

void ReadPseudoCounts(ModelFile& file, double (&pair)[2], ModelReading reading) {
    const auto f = SplitFields(file.NextLine(), 2, false);
    pair[0] = Real(file, f[0], reading);
    pair[1] = Real(file, f[1], reading);
}

void CheckComplete(const ModelFile& file, int expected, std::vector<std::string>& warnings, ModelReading reading) {
    if (reading == ModelReading::Strict) {
        file.RequireComplete(expected);
    } else {
        file.CheckComplete(expected, warnings);
    }
}

}  // namespace

void ReadParameterFile(const std::string& path, int rules, Model& model, std::vector<std::string>& warnings,
                       ModelReading reading) {
    ModelFile file(path);
    const std::size_t first = model.rules.size();
    model.rules.resize(first + rules);
    for (int i = 0; i < rules; ++i) {
        const auto f = SplitFields(file.NextLine(), 6, false);
        fnlHypo& rule = model.rules[first + i];
        rule.kind = LenientInt(f[0].c_str());
        rule.first = LenientInt(f[1].c_str());
        rule.second = LenientInt(f[2].c_str());
        rule.third = LenientInt(f[3].c_str());
        rule.gap = LenientInt(f[4].c_str());
        rule.weight = Real(file, f[5], reading);
        CheckRule(file, rule);
    }
    for (int i = rules; i < kMaxRules; ++i) file.NextLine();
    ReadThresholds(file, model.codonTrsld, false, reading);
    ReadThresholds(file, model.pairAcidTrsld, false, reading);
    ReadThresholds(file, model.snglAcidTrsld, true, reading);
    for (auto& byGap : model.pairAcidPriproTable) {
        for (auto& byFirst : byGap) {
            for (auto& pair : byFirst) ReadPseudoCounts(file, pair, reading);
        }
    }
    for (auto& pair : model.snglAcidPriproTable) ReadPseudoCounts(file, pair, reading);
    CheckComplete(file, kParameterLines, warnings, reading);
}

void ReadTransitionFile(const std::string& path, Model& model, std::vector<std::string>& warnings,
                        ModelReading reading) {
    ModelFile file(path);
    for (int p = 0; p < 4; ++p) {
        const auto f = SplitFields(file.NextLine(), 4, true);
        for (int c = 0; c < 4; ++c) model.malkovChain[c][p] = Real(file, f[c], reading);
    }
    CheckComplete(file, kTransitionLines, warnings, reading);
}

Model LoadModel(const std::string& paramPath, const std::string& matrixPath, int windowWidth) {
    Model model;
    model.windowWidth = windowWidth;
    std::vector<std::string> none;
    ReadParameterFile(paramPath, kMaxRules, model, none, ModelReading::Strict);
    ReadTransitionFile(matrixPath, model, none, ModelReading::Strict);
    return model;
}

}  // namespace talvo
