#include "Outputs.h"

#include <cstdio>

#include "Format.h"

namespace talvo::scan {

std::string Provenance(const std::string& modelDirectory, StrandMode mode, CodonUse codon,
                       const std::string& errorSetting) {
    const char* strand = mode == StrandMode::Both ? "both" : (mode == StrandMode::Plus ? "plus" : "minus");
    std::string provenance = std::string("talvo-scan " TALVO_VERSION "; model ") + modelDirectory + "; strand " + strand;
    if (codon != CodonUse::None) {
        provenance += codon == CodonUse::Refine ? "; codon refine" : "; codon long-read";
        provenance += ", error setting " + errorSetting;
    }
    return provenance;
}

std::string ErrorList(const std::vector<SequencingError>& errors) {
    if (errors.empty()) return "-";
    std::string list;
    for (const SequencingError& error : errors) {
        if (!list.empty()) list += ',';
        list += error.kind == ErrorKind::Insertion ? 'I' : 'D';
        list += std::to_string(error.pos + 1);
    }
    return list;
}

std::string ConfidenceList(const std::vector<double>& confidence) {
    if (confidence.empty()) return "-";
    std::string list;
    for (const double value : confidence) {
        char text[32];
        std::snprintf(text, sizeof text, "%.2f", value);
        if (!list.empty()) list += ',';
        list += text;
    }
    return list;
}

std::string TableStart(const std::string& provenance, bool confidence) {
    return "# " + provenance + "\nread\tlength\tstrand\tcds_first\tcds_last\terrors\terror_list\tpath_score\tstatus" +
           (confidence ? "\terror_confidence" : "") + "\tcds_5prime\tcds_3prime\n";
}

void AppendTableLine(std::string& out, const Read& read, const CodingRegion& region, bool confidence) {
    const ReadPrediction& prediction = region.prediction;
    out += read.id;
    out += '\t';
    out += std::to_string(read.bases.size());
    const char* const end = confidence ? "\t-\t-\t-\n" : "\t-\t-\n";
    // A read without a coding region has no path score worth printing
    // (the window model's is a floor of -10 for a path too short to count).
    if (prediction.status != ReadStatus::Cds) {
        out += "\t.\t-\t-\t0\t-\t-\t";
        out += prediction.status == ReadStatus::TooShort ? "too_short" : "no_cds";
        out += end;
        return;
    }
    out += prediction.minus ? "\t-\t" : "\t+\t";
    out += std::to_string(prediction.first + 1);
    out += '\t';
    out += std::to_string(prediction.last + 1);
    out += '\t';
    out += std::to_string(prediction.errors.size());
    out += '\t';
    out += ErrorList(prediction.errors);
    out += '\t';
    out += FormatG(prediction.pathScore, 6);
    out += "\tcds";
    if (confidence) {
        out += '\t';
        out += ConfidenceList(prediction.confidence);
    }
    out += region.ends.fivePrimeComplete ? "\tcomplete" : "\tpartial";
    out += region.ends.threePrimeComplete ? "\tcomplete\n" : "\tpartial\n";
}

}  // namespace talvo::scan
