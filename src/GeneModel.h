// The gene model of a read: the codon model's coding states and error
// settings, with the structure gene finders for transcripts use around
// them: 5' and 3' untranslated regions with Markov chains of their own, a
// weight array over the bases around the start codon, one over the bases
// after the stop codon, and how often an ATG of a 5' UTR is not the start,
// apart for the first ATG of an open reading frame and the later ones.
// Stored as one more file of a parameter directory ("gene-model") beside
// the codon model's, which it needs; the window model ignores both.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "CodonModel.h"

namespace talvo {

// Counts of base pairs (the base before, the base) at each position of a
// signal's span: index 4 * previous + base, base codes A 0, T 1, G 2, C 3.
using SitePairCounts = std::array<std::uint32_t, 16>;

struct GeneModel {
    // Counted spans: around the first base of the start codon (0..2 the
    // ATG), and around the first base after the stop codon (-3..-1 the stop).
    static constexpr int kStartFrom = -20;
    static constexpr int kStartTo = 14;
    static constexpr int kStopFrom = -3;
    static constexpr int kStopTo = 20;

    // Counts of six-base words wholly inside the 5' and the 3' untranslated
    // regions, indexed as CodonModel's.
    std::vector<std::uint32_t> utr5;
    std::vector<std::uint32_t> utr3;
    // Start codons, and ATGs in the 5' untranslated regions before them:
    // [0] those that are the first ATG of their open reading frame (no ATG
    // before them in their frame since the last stop codon or the beginning
    // of the cDNA), [1] the others.
    std::array<std::uint64_t, 2> starts{};
    std::array<std::uint64_t, 2> upstreamAtgs{};
    // Pair counts by position of the start and stop sites' spans.
    std::vector<SitePairCounts> startSite;  // kStartTo - kStartFrom + 1 positions
    std::vector<SitePairCounts> stopSite;   // kStopTo - kStopFrom + 1 positions
};

// For each base of a read (base codes): 1 where an ATG begins that is not
// the first of its open reading frame (an ATG lies before it in its frame
// since the last stop codon or the read's first base), else 0.
std::vector<std::uint8_t> LaterAtgs(const std::vector<short>& bases);

// Reads a gene-model file. Throws std::runtime_error with a one-line
// message naming the file (and the line, for a bad line) on a missing file,
// a wrong version line, a malformed or out-of-range value, or a missing part.
GeneModel ReadGeneModel(const std::string& path);

// Writes the model in the text format ReadGeneModel reads, byte for byte
// the same for the same model on every build.
void WriteGeneModel(const GeneModel& model, std::ostream& out);

inline constexpr const char* kGeneModelFile = "gene-model";
inline std::string GeneModelPath(const std::string& directory) { return directory + "/" + kGeneModelFile; }

}  // namespace talvo
