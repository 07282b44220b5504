#include "CodonUse.h"

#include <stdexcept>

#include "CodonRefinement.h"

namespace talvo::tools {

Use ParseUse(const std::string& name) {
    if (name == "window") return Use::Window;
    if (name == "refine") return Use::Refine;
    if (name == "long-read") return Use::LongRead;
    throw std::invalid_argument("option --use: '" + name + "' is not window, refine or long-read");
}

const char* UseName(Use use) {
    switch (use) {
    case Use::Window:
        return "window";
    case Use::Refine:
        return "refine";
    case Use::LongRead:
        return "long-read";
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

}  // namespace talvo::tools
