#include "Outputs.h"
#include "ReadBases.h"

namespace talvo::scan {

namespace {

constexpr std::size_t kLineWidth = 60;

void AppendHeader(std::string& out, const Read& read, const ReadPrediction& prediction) {
    out += '>';
    out += read.id;
    out += " cds=" + std::to_string(prediction.first + 1) + ".." + std::to_string(prediction.last + 1);
    out += prediction.minus ? " strand=- errors=" : " strand=+ errors=";
    out += ErrorList(prediction.errors);
    if (prediction.phase != 0) out += " codon_start=" + std::to_string(prediction.phase + 1);
    out += '\n';
}

void AppendWrapped(std::string& out, const std::string& text) {
    for (std::size_t pos = 0; pos < text.size(); pos += kLineWidth) {
        out.append(text, pos, kLineWidth);
        out += '\n';
    }
}

}  // namespace

void AppendCdsFasta(std::string& out, const Read& read, const CodingRegion& region) {
    if (!region.HasCds()) return;
    AppendHeader(out, read, region.prediction);
    std::string letters(region.cds.size(), 'N');
    for (std::size_t i = 0; i < region.cds.size(); ++i) letters[i] = BaseLetter(region.cds[i]);
    AppendWrapped(out, letters);
}

void AppendProteinFasta(std::string& out, const Read& read, const CodingRegion& region) {
    if (!region.HasCds()) return;
    AppendHeader(out, read, region.prediction);
    AppendWrapped(out, region.protein);
}

void AppendCorrectedRead(std::string& out, const Read& read, const CodingRegion& region) {
    const std::vector<SequencingError>& errors = region.prediction.errors;
    out += '>';
    out += read.id;
    out += " errors=";
    out += ErrorList(errors);
    out += '\n';
    std::string letters;
    letters.reserve(read.bases.size() + errors.size());
    auto error = errors.begin();
    for (std::size_t p = 0; p <= read.bases.size(); ++p) {
        bool extra = false;
        for (; error != errors.end() && static_cast<std::size_t>(error->pos) == p; ++error) {
            if (error->kind == ErrorKind::Deletion) {
                letters += 'N';  // the missing base, just before base p
            } else {
                extra = true;
            }
        }
        if (p < read.bases.size() && !extra) letters += BaseLetter(read.bases[p]);
    }
    AppendWrapped(out, letters);
}

}  // namespace talvo::scan
