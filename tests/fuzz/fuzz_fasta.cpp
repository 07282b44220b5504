// Fuzz target: the FASTA reader on an in-memory file. Built once per variant
// (character-wise reading in A, line-wise in B). A short sequence is refused
// with FatalError; an accepted one must be consistent.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "Fatal.h"
#include "FuzzSupport.h"
#include "WebPredict.h"

using talvo::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    talvo::WebPredict run;
    try {
        run.ReadFasta(in);
    } catch (const talvo::FatalError&) {
        Require(run.arrayLen < 30, "only a sequence shorter than 30 characters is refused");
        return 0;
    }
    Require(run.arrayLen >= 30 && run.seqLen == run.arrayLen, "accepted length");
    Require(static_cast<std::size_t>(run.arrayLen) == run.baseArray.size(), "one code per character");
    Require(static_cast<std::size_t>(run.arrayLen) + run.fastaHeader.size() <= size,
            "no more characters than the file holds");
    int gc = 0;
    for (short code : run.baseArray) {
        Require(code >= -1 && code <= 3, "base code range");
        if (code == 2 || code == 3) ++gc;
    }
    Require(run.gcPressure == 100.0 * gc / run.arrayLen, "G+C content of the codes");
    return 0;
}
