#include "ReadPrediction.h"

#include <algorithm>

namespace talvo::scan {

ReadPrediction OnRead(const Prediction& prediction, bool minus, int length) {
    ReadPrediction read;
    read.minus = minus;
    read.pathScore = prediction.pathScore;
    if (!prediction.HasCodingRegion()) {
        read.status = ReadStatus::NoCds;
        return read;
    }
    read.status = ReadStatus::Cds;
    const int start = prediction.seqLayout.startBase;
    int stop = std::min(prediction.seqLayout.stopBase, length - 1);
    std::vector<SequencingError> errors = prediction.errors;
    // A change of frame at the last codon makes its last base an extra base,
    // which lies outside the region.
    if (!errors.empty() && errors.back().kind == ErrorKind::Insertion && errors.back().pos == stop) {
        stop = errors.back().pos - 1;
        errors.pop_back();
    }
    if (!minus) {
        read.first = start;
        read.last = stop;
        read.errors = std::move(errors);
        return read;
    }
    read.first = length - 1 - stop;
    read.last = length - 1 - start;
    read.errors = ErrorsOnRead(errors, length);
    return read;
}

std::vector<SequencingError> ErrorsOnRead(const std::vector<SequencingError>& onReverse, int length) {
    // Base i of the reverse complement is base length-1-i of the read. An
    // extra base keeps its base; a base missing between bases i-1 and i of
    // the reverse complement is missing between bases length-i and
    // length-1-i of the read, that is just before base length-i.
    std::vector<SequencingError> errors;
    errors.reserve(onReverse.size());
    for (auto error = onReverse.rbegin(); error != onReverse.rend(); ++error) {
        const int pos = error->kind == ErrorKind::Insertion ? length - 1 - error->pos : length - error->pos;
        errors.push_back({pos, error->kind});
    }
    return errors;
}

bool MinusWins(const ReadPrediction& minus, const ReadPrediction& plus) {
    const bool minusHas = minus.status == ReadStatus::Cds;
    if (minusHas != (plus.status == ReadStatus::Cds)) return minusHas;
    return minus.pathScore > plus.pathScore;
}

ReadPrediction PredictRead(const ModelSet& models, const PredictionOptions& options, const std::vector<short>& bases,
                           StrandMode mode) {
    const int length = static_cast<int>(bases.size());
    return OnChosenStrand(bases, mode, [&](const std::vector<short>& strand, bool minus) {
        return OnRead(Predict(models, strand, options), minus, length);
    });
}

}  // namespace talvo::scan
