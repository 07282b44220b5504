#include "CodonPrediction.h"

#include <algorithm>
#include <stdexcept>

#include "CodonRefinement.h"

namespace talvo::scan {

void CheckErrorSetting(const CodonModel& model, const std::string& setting, const std::string& path) {
    if (model.Setting(setting) != nullptr) return;
    std::string names;
    for (const ErrorSetting& known : model.settings) names += (names.empty() ? "" : ", ") + known.name;
    throw std::runtime_error(path + ": no error setting '" + setting + "' (it holds " + names + ")");
}

namespace {

// Sets the errors of a read's prediction from the codon model's calls on
// the strand predicted.
void SetErrors(ReadPrediction& read, const std::vector<CodonErrorCall>& calls, int length) {
    std::vector<SequencingError> errors;
    errors.reserve(calls.size());
    read.confidence.clear();
    read.confidence.reserve(calls.size());
    for (const CodonErrorCall& call : calls) {
        errors.push_back({call.pos, call.kind});
        read.confidence.push_back(call.confidence);
    }
    if (read.minus) {
        read.errors = ErrorsOnRead(errors, length);
        std::reverse(read.confidence.begin(), read.confidence.end());
    } else {
        read.errors = std::move(errors);
    }
}

// The window model's prediction on one strand, with what refinement needs.
struct WindowOnStrand {
    ReadPrediction read;
    std::vector<short> strand;  // the bases of the strand predicted
    int stopBase = -1;          // the coding region's last base on it, perhaps past the read's end
};

}  // namespace

ReadPrediction OnRead(const CodonCall& call, bool minus, int length) {
    ReadPrediction read;
    read.minus = minus;
    read.pathScore = call.score;
    if (call.first < 0) {
        read.status = ReadStatus::NoCds;
        return read;
    }
    read.status = ReadStatus::Cds;
    read.first = minus ? length - 1 - call.last : call.first;
    read.last = minus ? length - 1 - call.first : call.last;
    read.phase = call.phase;
    SetErrors(read, call.errors, length);
    return read;
}

ReadPrediction RefineRead(const ModelSet& models, const PredictionOptions& options, const CodonDecoder& decoder,
                          const std::vector<short>& bases, StrandMode mode, CodonScratch& scratch) {
    const int length = static_cast<int>(bases.size());
    WindowOnStrand chosen = OnChosenStrand(bases, mode, [&](const std::vector<short>& strand, bool minus) {
        const Prediction window = Predict(models, strand, options);
        return WindowOnStrand{OnRead(window, minus, length), strand, window.seqLayout.stopBase};
    });
    ReadPrediction& read = chosen.read;
    if (read.status != ReadStatus::Cds) return read;
    const int first = read.minus ? length - 1 - read.last : read.first;
    const int last = read.minus ? length - 1 - read.first : read.last;
    // The window model's stop, also past the read's end, unless the region
    // ends before it.
    const int stop = last == std::min(chosen.stopBase, length - 1) ? chosen.stopBase : last;
    const CodonCall refined = RefineRegion(decoder, chosen.strand, first, stop, scratch);
    read.phase = refined.phase;
    SetErrors(read, refined.errors, length);
    return read;
}

ReadPrediction DecodeRead(const CodonDecoder& decoder, const std::vector<short>& bases, StrandMode mode,
                          CodonScratch& scratch) {
    const int length = static_cast<int>(bases.size());
    return OnChosenStrand(bases, mode, [&](const std::vector<short>& strand, bool minus) {
        return OnRead(decoder.Decode(strand, scratch), minus, length);
    });
}

ReadPrediction GeneRead(const GenePredictor& predictor, const std::vector<short>& bases, StrandMode mode,
                        double minConfidence, CodonScratch& scratch) {
    const int length = static_cast<int>(bases.size());
    if (length < kMinSequenceLength) return ReadPrediction{};
    const Strands strands = mode == StrandMode::Both ? Strands::Both : (mode == StrandMode::Plus ? Strands::Plus : Strands::Minus);
    const GenePrediction gene = predictor.Predict(bases, strands, scratch);
    ReadPrediction read = OnRead(gene.call, gene.minus, length);
    read.pathScore = gene.pathScore;
    if (read.status != ReadStatus::Cds) return read;
    read.startConfidence = gene.call.startConfidence;
    read.stopConfidence = gene.call.stopConfidence;
    if (read.RegionConfidence() < minConfidence) read.status = ReadStatus::LowConfidence;
    return read;
}

}  // namespace talvo::scan
