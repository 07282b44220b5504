// The text report on standard output: statistics, coding region, one line
// per sequencing error and the sequence with the region and errors marked.
#include <ostream>

#include "ErrorRule.h"
#include "Format.h"
#include "WebPredict.h"

namespace talvo {

int WebPredict::OutNormLayout(int width, std::ostream& out) const {
    const int start = seqLayout.startBase;
    const int stop = seqLayout.stopBase;
    out << "FASTA HEADER: " << fastaHeader << "\n";
    out << "SEQ LENGTH: " << arrayLen << "\n";
    out << "GC PRESSURE: " << FormatG(gcPressure, 3) << "%\n";
#ifndef TALVO_VARIANT_B
    out << "DP SCORE: " << FormatG(dpScore, 5) << "\n";
#endif
    out << "START: " << start + 1 << " STOP: " << stop + 1 << "\n";
    if (start == -1 && stop == -1) {
        out << "\nNO CODING REGION WAS FOUND IN THIS SEQUENCE.\n";
        return 0;
    }
    std::string marked;
    marked.reserve(arrayLen + arrayLen / 16 + 8);
    for (int p = 0; p < arrayLen; ++p) {
        if (p == start) marked += '{';
        const ErrorKind error = ErrorAt(framePath, p);
        const char base = outPutBase(baseArray[p]);
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
    return 0;
}

}  // namespace talvo
