#include "CodingSequence.h"
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
    out += '\n';
}

void AppendWrapped(std::string& out, const std::string& text) {
    for (std::size_t pos = 0; pos < text.size(); pos += kLineWidth) {
        out.append(text, pos, kLineWidth);
        out += '\n';
    }
}

}  // namespace

void AppendCdsFasta(std::string& out, const Read& read, const ReadPrediction& prediction,
                    const std::vector<short>& cds) {
    if (prediction.status != ReadStatus::Cds) return;
    AppendHeader(out, read, prediction);
    std::string letters(cds.size(), 'N');
    for (std::size_t i = 0; i < cds.size(); ++i) letters[i] = BaseLetter(cds[i]);
    AppendWrapped(out, letters);
}

void AppendCorrectedRead(std::string& out, const Read& read, const ReadPrediction& prediction) {
    out += '>';
    out += read.id;
    out += " errors=";
    out += ErrorList(prediction.errors);
    out += '\n';
    std::string letters;
    letters.reserve(read.bases.size() + prediction.errors.size());
    auto error = prediction.errors.begin();
    const auto end = prediction.errors.end();
    for (std::size_t p = 0; p <= read.bases.size(); ++p) {
        bool extra = false;
        for (; error != end && static_cast<std::size_t>(error->pos) == p; ++error) {
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

void AppendProteinFasta(std::string& out, const Read& read, const ReadPrediction& prediction,
                        const std::vector<short>& cds) {
    if (prediction.status != ReadStatus::Cds) return;
    AppendHeader(out, read, prediction);
    AppendWrapped(out, Translate(cds));
}

}  // namespace talvo::scan
