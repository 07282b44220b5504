// The codon-level model of a read: a hidden Markov model without windows
// whose coding states emit each base from a Markov chain of the codon
// position, whose background state emits the untranslated parts, and whose
// insertion and deletion steps inside the coding states stand for single-base
// sequencing errors, more likely in longer homopolymer runs. Stored as one
// file of a parameter directory ("codon-model"); the window model ignores it.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

namespace talvo {

// Homopolymer runs of this many bases or more share the last run length of
// an error setting.
inline constexpr int kLongestRun = 6;

// The length of the homopolymer run each base lies in, 1..kLongestRun, for
// base codes; a code other than A, C, G, T stands alone (1).
std::vector<std::uint8_t> HomopolymerRuns(const std::vector<short>& codes);

// Sequencing-error probabilities of one kind of read (an error profile):
// per base, a single-base insertion or deletion at a base that lies in a
// homopolymer run of length L (index L = 1..6, 6 standing for 6 or longer;
// index 0 unused).
struct ErrorSetting {
    std::string name;  // "est", "ont": lower-case letters, digits, '-'
    int order = 5;     // Markov order of the emissions used with this setting (0..CodonModel::kOrder)
    std::array<double, kLongestRun + 1> insertion{};
    std::array<double, kLongestRun + 1> deletion{};
    // A substitution, per base: the gene model reads on through a stop codon
    // in frame with this probability (one a substitution made).
    double substitution = 0.0;
};

struct CodonModel {
    static constexpr int kOrder = 5;                      // longest context, in bases
    static constexpr int kWords = 1 << (2 * (kOrder + 1));  // (kOrder+1)-mers: 4096

    // Counts of (kOrder+1)-base words on annotated cDNAs. A word's index reads
    // its bases as base-4 digits, first base most significant, with the base
    // codes of the program (A 0, T 1, G 2, C 3). coding[p] counts the words
    // inside a CDS whose last base is at codon position p (0, 1, 2);
    // noncoding the words wholly inside the untranslated regions. Lower
    // orders are sums of these.
    std::array<std::vector<std::uint32_t>, 3> coding;
    std::vector<std::uint32_t> noncoding;

    // Mean lengths (bases) of the 5' untranslated region, the CDS and the 3'
    // untranslated region on the training cDNAs: they set the probabilities
    // of leaving each region.
    double meanUtr5 = 0.0;
    double meanCds = 0.0;
    double meanUtr3 = 0.0;

    std::vector<ErrorSetting> settings;  // at least one; names distinct

    // The setting of that name, or nullptr.
    const ErrorSetting* Setting(const std::string& name) const;
};

// Reads a codon-model file. Throws EngineError naming the file (and the
// line, for a bad line) on a missing file, a wrong version line, a malformed
// or out-of-range value, or a missing part.
CodonModel ReadCodonModel(const std::string& path);

// Writes the model in the text format ReadCodonModel reads, byte for byte
// the same for the same model on every build.
void WriteCodonModel(const CodonModel& model, std::ostream& out);

// The name of the file in a parameter directory.
inline constexpr const char* kCodonModelFile = "codon-model";

// The codon model file of a parameter directory.
inline std::string CodonModelPath(const std::string& directory) { return directory + "/" + kCodonModelFile; }

}  // namespace talvo
