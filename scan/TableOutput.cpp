#include "Outputs.h"

#include <cstdio>

#include "Format.h"

namespace talvo::scan {

std::string Provenance(const ScanOptions& options) {
    const StrandMode mode = options.strand;
    const char* strand = mode == StrandMode::Both ? "both" : (mode == StrandMode::Plus ? "plus" : "minus");
    std::string provenance =
        std::string("talvo-scan " TALVO_VERSION "; model ") + options.modelDirectory + "; strand " + strand;
    switch (options.use) {
        case ScanUse::Window: return provenance;
        case ScanUse::Gene: provenance += "; gene model"; break;
        case ScanUse::Refine: provenance += "; codon refine"; break;
        case ScanUse::LongRead: provenance += "; codon long-read"; break;
    }
    provenance += ", error setting " + options.errorSetting;
    if (options.use != ScanUse::Gene) return provenance;
    const auto number = [](double value) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", value);
        return std::string(text);
    };
    if (options.gene.beginInside != GeneOptions{}.beginInside) provenance += ", inside-cds " + number(options.gene.beginInside);
    if (options.minConfidence > 0.0) provenance += ", min-confidence " + number(options.minConfidence);
    return provenance;
}

TableColumns ColumnsOf(ScanUse use) {
    switch (use) {
        case ScanUse::Window: return TableColumns::Plain;
        case ScanUse::Gene: return TableColumns::GeneConfidence;
        case ScanUse::Refine:
        case ScanUse::LongRead: break;
    }
    return TableColumns::ErrorConfidence;
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

std::string FormatConfidence(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string ConfidenceList(const std::vector<double>& confidence) {
    if (confidence.empty()) return "-";
    std::string list;
    for (const double value : confidence) {
        if (!list.empty()) list += ',';
        list += FormatConfidence(value);
    }
    return list;
}

std::string TableStart(const std::string& provenance, TableColumns columns) {
    std::string header = "# " + provenance + "\nread\tlength\tstrand\tcds_first\tcds_last\terrors\terror_list\tpath_score\tstatus";
    if (columns != TableColumns::Plain) header += "\terror_confidence";
    if (columns == TableColumns::GeneConfidence) header += "\tstart_confidence\tstop_confidence";
    // The marks of the region's ends come last, 5' before 3' as the start's
    // confidence before the stop's.
    return header + "\tcds_5prime\tcds_3prime\n";
}

void AppendTableLine(std::string& out, const Read& read, const CodingRegion& region, TableColumns columns) {
    const ReadPrediction& prediction = region.prediction;
    out += read.id;
    out += '\t';
    out += std::to_string(read.bases.size());
    // The columns after status of a read without a region.
    const char* const end = columns == TableColumns::Plain             ? "\t-\t-\n"
                            : columns == TableColumns::ErrorConfidence ? "\t-\t-\t-\n"
                                                                       : "\t-\t-\t-\t-\t-\n";
    // A read without a coding region has no path score worth printing
    // (the window model's is a floor of -10 for a path too short to count).
    if (!prediction.HasRegion()) {
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
    out += prediction.status == ReadStatus::Cds ? "\tcds" : "\tlow_confidence";
    if (columns != TableColumns::Plain) {
        out += '\t';
        out += ConfidenceList(prediction.confidence);
    }
    if (columns == TableColumns::GeneConfidence) {
        out += '\t';
        out += FormatConfidence(prediction.startConfidence);
        out += '\t';
        out += FormatConfidence(prediction.stopConfidence);
    }
    out += region.ends.fivePrimeComplete ? "\tcomplete" : "\tpartial";
    out += region.ends.threePrimeComplete ? "\tcomplete\n" : "\tpartial\n";
}

}  // namespace talvo::scan
