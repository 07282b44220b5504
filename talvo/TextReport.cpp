// The text report on standard output: statistics, coding region, one line
// per sequencing error and the sequence with the region and errors marked.
#include <ostream>

#include "CodonTable.h"
#include "ErrorRule.h"
#include "Format.h"
#include "Reports.h"
#include "Variant.h"

namespace talvo {

void WriteTextReport(const std::string& header, const std::vector<short>& bases, const Prediction& prediction,
                     int width, std::ostream& out) {
    const int arrayLen = static_cast<int>(bases.size());
    const int start = prediction.seqLayout.startBase;
    const int stop = prediction.seqLayout.stopBase;
    out << "FASTA HEADER: " << header << "\n";
    out << "SEQ LENGTH: " << arrayLen << "\n";
    out << "GC PRESSURE: " << FormatG(prediction.gcPressure, 3) << "%\n";
    if constexpr (!kVariantB) out << "DP SCORE: " << FormatG(prediction.pathScore, 5) << "\n";
    out << "START: " << start + 1 << " STOP: " << stop + 1 << "\n";
    if (start == -1 && stop == -1) {
        out << "\nNO CODING REGION WAS FOUND IN THIS SEQUENCE.\n";
        return;
    }
    ErrorCursor errors(prediction.errors);
    std::string marked;
    marked.reserve(arrayLen + arrayLen / 16 + 8);
    for (int p = 0; p < arrayLen; ++p) {
        if (p == start) marked += '{';
        const ErrorKind error = errors.At(p);
        const char base = ReadData().outPutBase(bases[p]);
        if (error == ErrorKind::Insertion) {
            marked += '(';
            out << "INSERTION_ERR: " << base << "@" << p + 1 << "\n";
        } else if (error == ErrorKind::Deletion) {
            marked += 'X';
            out << "DELETION_ERR: " << p + 1 << "\n";
        }
        marked += base;
        if (error == ErrorKind::Insertion) marked += ')';
        if (p == stop) marked += '}';
    }
    out << "\n";
    std::size_t pos = 0;
    const std::size_t w = static_cast<std::size_t>(width);
    while (marked.size() - pos > w) {
        out.write(marked.data() + pos, static_cast<std::streamsize>(w));
        out << "\n";
        pos += w;
    }
    out.write(marked.data() + pos, static_cast<std::streamsize>(marked.size() - pos));
    out << "\n";
}

}  // namespace talvo
