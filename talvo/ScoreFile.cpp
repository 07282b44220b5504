// The per-base score file: one line per base with the window scores of the
// three frames, for plotting the coding potential along the sequence.
#include <algorithm>
#include <ostream>
#include <string>

#include "CodonTable.h"
#include "Format.h"
#include "Reports.h"

namespace talvo {

void WriteScoreFile(const std::vector<short>& bases, const Prediction& prediction, std::ostream& out) {
    const int length = static_cast<int>(bases.size());
    const int tailStart = 3 * (length / 3) - 3;
    const auto& s0 = prediction.frameScore[0];
    const auto& s1 = prediction.frameScore[1];
    const auto& s2 = prediction.frameScore[2];
    const ReadData vocabulary;
    auto line = [&](int p, const std::string& a, const std::string& b, const std::string& c) {
        out << vocabulary.outPutBase(bases[p]) << ',' << a << ',' << b << ',' << c << '\n';
    };
    auto g = [](double v) { return FormatG(v, 6); };
    // The first three bases: frames 1 and 2 have no codon at base 0, frame 2
    // none at base 1.
    line(0, g(s0[0]), "0", "0");
    line(1, g(s0[0]), g(s1[0]), "0");
    line(2, g(s0[0]), g(s1[0]), g(s2[0]));
    for (int k = 3; k < tailStart; ++k) {
        line(k, g(s0[k / 3]), g(s1[(k - 1) / 3]), g(s2[(k - 2) / 3]));
    }
    // The last 3 + length mod 3 bases repeat entries by fixed offsets.
    for (int j = std::max(tailStart, 3); j < length; ++j) {
        line(j, g(s0[j / 3 - 1]), g(s1[j / 3 - 1]), g(s2[j / 3 - 2]));
    }
}

}  // namespace talvo
