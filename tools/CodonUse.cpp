#include "CodonUse.h"

#include <algorithm>
#include <stdexcept>

#include "ToolOptions.h"

#include "CodonRefinement.h"

namespace talvo::tools {

Use ParseUse(const std::string& name) {
    if (name == "window") return Use::Window;
    if (name == "refine") return Use::Refine;
    if (name == "long-read") return Use::LongRead;
    if (name == "gene") return Use::Gene;
    throw std::invalid_argument("option --use: '" + name + "' is not window, refine, long-read or gene");
}

const char* UseName(Use use) {
    switch (use) {
    case Use::Window:
        return "window";
    case Use::Refine:
        return "refine";
    case Use::LongRead:
        return "long-read";
    case Use::Gene:
        return "gene";
    }
    return "";
}

Call CodonModelCall(const CodonCall& codon) {
    Call call;
    call.first = codon.first;
    call.last = codon.last;
    call.confident = true;
    for (const CodonErrorCall& e : codon.errors) {
        call.errors.push_back({e.pos, e.kind});
        call.confidence.push_back(e.confidence);
    }
    return call;
}

Call RefinedCall(const CodonDecoder& decoder, const std::vector<short>& bases, const Prediction& window,
                 CodonScratch& scratch) {
    Call call = CodonModelCall(
        RefineRegion(decoder, bases, window.seqLayout.startBase, window.seqLayout.stopBase, scratch));
    // The window model's ends, also where it runs past the read's end.
    call.first = window.seqLayout.startBase;
    call.last = window.seqLayout.stopBase;
    return call;
}

Call StrandCall(const GenePrediction& gene, Strands strands) {
    Call call;
    call.strands = strands == Strands::Both;
    if (gene.minus) {
        call.otherStrand = true;
        return call;
    }
    call = CodonModelCall(gene.call);
    call.strands = strands == Strands::Both;
    if (call.first >= 0) call.regionConfidence = std::min(gene.call.startConfidence, gene.call.stopConfidence);
    return call;
}

void SetGeneOption(const std::string& text, GeneOptions& options) {
    const std::size_t eq = text.find('=');
    const std::string key = text.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : text.substr(eq + 1);
    const auto bad = [&] { return std::invalid_argument("option --gene: cannot use '" + text + "'"); };
    double real = 0.0;
    int whole = 0;
    double* reals[] = {&options.beginInside, &options.endInside, &options.utrWeight[0], &options.utrWeight[1],
                       &options.cleanShare, &options.cleanScale};
    const char* realNames[] = {"begin-inside", "end-inside", "utr5-weight", "utr3-weight", "clean-share",
                               "clean-scale"};
    for (int k = 0; k < 6; ++k) {
        if (key != realNames[k]) continue;
        if (!ParseWhole(value, real)) throw bad();
        *reals[k] = real;
        return;
    }
    int GeneOptions::*fields[] = {&GeneOptions::startFrom, &GeneOptions::startTo, &GeneOptions::stopFrom,
                                  &GeneOptions::stopTo};
    const char* names[] = {"start-from", "start-to", "stop-from", "stop-to"};
    for (int k = 0; k < 4; ++k) {
        if (key != names[k]) continue;
        if (!ParseWhole(value, whole)) throw bad();
        options.*fields[k] = whole;
        return;
    }
    throw bad();
}

}  // namespace talvo::tools
