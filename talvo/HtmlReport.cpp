// The HTML page of a prediction: the text report's statistics and error
// lines, the sequence coloured by region (red coding, blue error marks) and
// a diagram of the frames under each block of bases.
#include <algorithm>
#include <ostream>

#include "CodonTable.h"
#include "ErrorRule.h"
#include "Format.h"
#include "Markup.h"
#include "Reports.h"
#include "Variant.h"

namespace talvo {

namespace {

// '*' where the path is coding in frame f at base p. A run in frame f is
// drawn from its first base 3c + f on; where it ends by leaving the coding
// region (or near the sequence end) its last codon is drawn on into the
// next three-base block; where it changes into another frame it is not.
char DiagramSymbol(const std::vector<int>& framePath, int arrayLen, int f, int p) {
    const int c = p / 3;
    const int r = p % 3;
    const int cur = FrameAt(framePath, c);
    const int prev = p >= 3 ? FrameAt(framePath, c - 1) : -1;
    if (cur == f) {
        if (p >= 3 && prev == f) return '*';
        return r >= f ? '*' : '-';
    }
    if (p >= 3 && prev == f && (cur == -1 || p > arrayLen - 3)) {
        return r < f ? '*' : '-';
    }
    return '-';
}

}  // namespace

void WriteHtmlReport(const std::string& header, const std::vector<short>& bases, const Prediction& prediction,
                     int width, std::ostream& out) {
    const int arrayLen = static_cast<int>(bases.size());
    const std::vector<int>& framePath = prediction.framePath;
    const int start = prediction.seqLayout.startBase;
    const int stop = prediction.seqLayout.stopBase;
    out << "<html>\n<body>" << "<font face=\"Courier\">" << "<HR>";
    out << "FASTA HEADER: " << EscapeMarkup(header) << "<BR>\n";
    out << "SEQ LENGTH: " << arrayLen << "<BR>\n";
    out << "GC PRESSURE: " << FormatG(prediction.gcPressure, 6) << "%<BR>\n";
    if constexpr (!kVariantB) out << "DP SCORE: " << FormatG(prediction.pathScore, 6) << "<BR>\n";
    out << "START: " << start + 1 << " STOP: " << stop + 1 << "<BR>\n";
    out << "<HR>";
    if (start == -1 && stop == -1) {
        out << "\nNO CODING REGION WAS FOUND IN THIS SEQUENCE.\n";
        return;
    }
    ErrorCursor errors(prediction.errors);
    const ReadData vocabulary;
    std::string coloured;
    long long visible = 0;  // bases and deletion marks shown so far
    for (int p = 0; p < arrayLen; ++p) {
        if (visible % width == 0) coloured += "<BR>";
        if (p == start) coloured += "<font color=\"red\">";
        const ErrorKind error = errors.At(p);
        const char base = vocabulary.outPutBase(bases[p]);
        if (error == ErrorKind::Insertion) {
            coloured += "</font><font color=\"blue\"><S>";
            out << "INSERTION_ERR: " << base << "@" << p + 1 << "<BR>\n";
        } else if (error == ErrorKind::Deletion) {
            coloured += "</font><font color=blue>X</font><font color=red>";
            out << "DELETION_ERR: " << p + 1 << "<BR>\n";
            ++visible;
        }
        coloured += base;
        ++visible;
        if (error == ErrorKind::Insertion) coloured += "</S></font><font color=red>";
        if (p == stop) coloured += "</font><font color=\"black\">";
    }
    out << "<BR>\n<BR>\n" << coloured << "<BR>\n<BR>\n" << "<HR>";

    for (int b = 0; b <= arrayLen / width; ++b) {
        const int from = b * width;
        const int to = std::min(from + width, arrayLen);
        out << from + 1 << "<BR>\n";
        for (int p = from; p < to; ++p) out << vocabulary.outPutBase(bases[p]);
        out << "<BR>\n";
        for (int f = 0; f < 3; ++f) {
            for (int p = from; p < to; ++p) out << DiagramSymbol(framePath, arrayLen, f, p);
            out << "<BR>\n";
        }
    }
    out << "<BR>\n";
}

}  // namespace talvo
