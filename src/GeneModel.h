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

// How the gene model reads a read. The defaults were chosen by
// cross-validation on full-length cDNAs.
struct GeneOptions {
    // The probability that a read begins inside the CDS (after the first
    // base of its start codon), and that it ends inside it (before the last
    // base of its stop codon): small for full-length cDNAs, large for
    // fragments such as ESTs.
    double beginInside = 0.01;
    double endInside = 0.01;
    // The positions of the start-site weight array used, around the first
    // base of the start codon, and of the stop-site array, around the first
    // base after the stop codon; within GeneModel's counted spans.
    int startFrom = -3;
    int startTo = 3;
    int stopFrom = 0;
    int stopTo = 5;
    // The weight of the 5' and the 3' UTR models' log odds against
    // background (0: the UTR is read as background). At full weight both
    // cost exact ends: coding regions rich in G and C read as 5' UTR, and
    // the 3' UTR's model, counted mostly far from the stop codon, sends the
    // region on through the stop.
    std::array<double, 2> utrWeight{0.3, 0.0};
    // The error setting's insertion and deletion probabilities times this.
    double errorScale = 1.0;
    // A read is taken to be as good as error-free (its error probabilities
    // times cleanScale) with the prior probability cleanShare; each read is
    // decoded under the likelier of the two (0: never).
    double cleanShare = 0.998;
    double cleanScale = 0.01;
};

// Throws EngineError (a bad value, no file) naming the first option out of
// its range.
void CheckGeneOptions(const GeneOptions& options);

// Reads a gene-model file. Throws EngineError naming the file (and the
// line, for a bad line) on a file that cannot be read, a wrong version line,
// a malformed or out-of-range value, or a missing part.
GeneModel ReadGeneModel(const std::string& path);

// Writes the model in the text format ReadGeneModel reads, byte for byte
// the same for the same model on every build.
void WriteGeneModel(const GeneModel& model, std::ostream& out);

inline constexpr const char* kGeneModelFile = "gene-model";
inline std::string GeneModelPath(const std::string& directory) { return directory + "/" + kGeneModelFile; }

}  // namespace talvo
