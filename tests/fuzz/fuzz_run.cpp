// Fuzz target: a whole run. The front of the input is a small model (rules,
// thresholds, pseudo-counts, transition scores, report width); the rest is
// the FASTA file. The run is classified, predicted and reported as the
// program does it, with the model filled in directly.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>

#include "Fatal.h"
#include "FuzzSupport.h"
#include "ProgramModel.h"
#include "WebPredict.h"

namespace {

using talvo::fuzz::ByteReader;
using talvo::fuzz::Require;

// A real value from one byte: mostly small steps around 0, plus the special
// values that lenient number reading lets into a model file.
double RealFrom(uint8_t b) {
    switch (b) {
        case 0xff: return std::numeric_limits<double>::quiet_NaN();
        case 0xfe: return std::numeric_limits<double>::infinity();
        case 0xfd: return -std::numeric_limits<double>::infinity();
        case 0xfc: return -1000.0;
        case 0xfb: return 1e300;
        default: return (static_cast<int>(b) - 126) / 16.0;
    }
}

// Fills the model tables with in-range rules, as the parameter loader
// accepts them, and fills malkovChain.
void FillModel(ByteReader& in) {
    const int rules = in.Below(16);
    talvo::READ_ROUND = rules;
    talvo::fh.resize(rules);
    for (int i = 0; i < rules; ++i) {
        talvo::fnlHypo& rule = talvo::fh[i];
        rule.kind = in.Below(4);
        const int limit = rule.kind == 0 ? 4 : talvo::kAminoAcids;
        rule.first = in.Below(limit);
        rule.second = in.Below(limit);
        rule.third = in.Below(4);
        rule.gap = in.Below(4);
        rule.weight = RealFrom(in.Next());
        const uint8_t dirs = in.Next();
        talvo::codonTrsld[i] = {dirs & 1, 0, RealFrom(in.Next())};
        talvo::pairAcidTrsld[i] = {(dirs >> 1) & 1, 0, RealFrom(in.Next())};
        talvo::snglAcidTrsld[i] = {(dirs >> 2) & 1, in.Below(24) - 2, 0.0};
    }
    const double pair0 = RealFrom(in.Next());
    const double pair1 = RealFrom(in.Next());
    for (auto& byGap : talvo::pairAcidPriproTable) {
        for (auto& byFirst : byGap) {
            for (auto& pair : byFirst) {
                pair[0] = pair0;
                pair[1] = pair1;
            }
        }
    }
    const double single0 = RealFrom(in.Next());
    const double single1 = RealFrom(in.Next());
    for (auto& pair : talvo::snglAcidPriproTable) {
        pair[0] = single0;
        pair[1] = single1;
    }
    for (auto& row : talvo::malkovChain) {
        for (double& value : row) value = RealFrom(in.Next());
    }
}

void CheckPrediction(const talvo::WebPredict& run) {
    const int start = run.seqLayout.startBase;
    const int stop = run.seqLayout.stopBase;
    if (start == -1 && stop == -1) return;
    Require(start >= 0 && start <= stop, "start before stop");
    Require(stop < run.arrayLen, "coding region inside the sequence");
    for (int frame : run.framePath) Require(frame >= -1 && frame <= 2, "frame path entries");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    talvo::ClearModel();
    ByteReader in(data, size);
    const uint8_t widthByte = in.Next();
    const int width = widthByte == 0xff ? std::numeric_limits<int>::max() : widthByte + 1;
    FillModel(in);

    talvo::WebPredict run;
    std::istringstream fasta(std::string(reinterpret_cast<const char*>(in.Rest()), in.RestSize()));
    try {
        run.ReadFasta(fasta);
    } catch (const talvo::FatalError&) {
        return 0;
    }
    std::string paramPath;
    std::string matrixPath;
    const int rules = talvo::READ_ROUND;
    run.ClassifyRun(paramPath, matrixPath);
    talvo::READ_ROUND = rules;
    run.Predict();
    CheckPrediction(run);

    std::ostringstream text;
    std::ostringstream html;
    std::ostringstream scores;
    run.OutNormLayout(width, text);
    run.OutHtmlLayout(width, html);
    run.OutValLayout(width, scores);
    return 0;
}
