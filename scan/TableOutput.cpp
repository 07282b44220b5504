#include "Outputs.h"

#include "Format.h"

namespace talvo::scan {

std::string Provenance(const std::string& modelDirectory, StrandMode mode) {
    const char* strand = mode == StrandMode::Both ? "both" : (mode == StrandMode::Plus ? "plus" : "minus");
    return std::string("talvo-scan " TALVO_VERSION "; model ") + modelDirectory + "; strand " + strand;
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

std::string TableStart(const std::string& provenance) {
    return "# " + provenance +
           "\nread\tlength\tstrand\tcds_first\tcds_last\terrors\terror_list\tpath_score\tstatus\n";
}

void AppendTableLine(std::string& out, const Read& read, const ReadPrediction& prediction) {
    out += read.id;
    out += '\t';
    out += std::to_string(read.bases.size());
    if (prediction.status == ReadStatus::TooShort) {
        out += "\t.\t-\t-\t0\t-\t-\ttoo_short\n";
        return;
    }
    if (prediction.status == ReadStatus::NoCds) {
        out += "\t.\t-\t-\t0\t-\t";
    } else {
        out += prediction.minus ? "\t-\t" : "\t+\t";
        out += std::to_string(prediction.first + 1);
        out += '\t';
        out += std::to_string(prediction.last + 1);
        out += '\t';
        out += std::to_string(prediction.errors.size());
        out += '\t';
        out += ErrorList(prediction.errors);
        out += '\t';
    }
    out += FormatG(prediction.pathScore, 6);
    out += prediction.status == ReadStatus::Cds ? "\tcds\n" : "\tno_cds\n";
}

}  // namespace talvo::scan
