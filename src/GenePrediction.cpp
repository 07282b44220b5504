#include "GenePrediction.h"

#include <cstddef>

#include "SameBitsMath.h"

namespace talvo {

std::vector<short> ReverseComplement(const std::vector<short>& bases) {
    std::vector<short> reverse(bases.size());
    const std::size_t n = bases.size();
    for (std::size_t i = 0; i < n; ++i) {
        const short code = bases[n - 1 - i];
        reverse[i] = code >= 0 && code <= 3 ? static_cast<short>(code ^ 1) : static_cast<short>(-1);
    }
    return reverse;
}

namespace {

// The posterior of a strand whose bases have log likelihood `own` against
// the other's `other` (equal priors).
double StrandPosterior(double own, double other) {
    const double d = other - own;
    if (d > 700.0) return 0.0;
    if (d < -700.0) return 1.0;
    return 1.0 / (1.0 + SameBitsExp(d));
}

}  // namespace

GenePrediction PredictGene(const CodonDecoder& decoder, const std::vector<short>& bases, Strands strands,
                           CodonScratch& scratch, const CodonDecoder* clean, double cleanPrior) {
    GenePrediction chosen = PredictGene(decoder, bases, strands, scratch);
    if (clean == nullptr || chosen.call.first < 0) return chosen;
    GenePrediction low = PredictGene(*clean, bases, chosen.minus ? Strands::Minus : Strands::Plus, scratch);
    low.call.startConfidence = chosen.call.startConfidence;  // strand posterior kept
    low.call.stopConfidence = chosen.call.stopConfidence;
    const double lowLog = SameBitsLog(cleanPrior) + low.call.logLikelihood + low.call.cleanLog;
    const double highLog = SameBitsLog(1.0 - cleanPrior) + chosen.call.logLikelihood + chosen.call.cleanLog;
    return lowLog > highLog ? low : chosen;
}

GenePrediction PredictGene(const CodonDecoder& decoder, const std::vector<short>& bases, Strands strands,
                           CodonScratch& scratch) {
    GenePrediction plus;
    GenePrediction minus;
    minus.minus = true;
    if (strands != Strands::Minus) plus.call = decoder.Decode(bases, scratch);
    if (strands != Strands::Plus) minus.call = decoder.Decode(ReverseComplement(bases), scratch);
    // The read as given is the reference of both scores, when it is decoded.
    const double reference = strands == Strands::Minus ? minus.call.background : plus.call.background;
    plus.pathScore = plus.call.score;
    minus.pathScore = minus.call.score + minus.call.background - reference;
    if (strands == Strands::Plus) return plus;
    if (strands == Strands::Minus) return minus;
    const bool plusHas = plus.call.first >= 0;
    const bool minusWins = (minus.call.first >= 0) != plusHas ? !plusHas : minus.pathScore > plus.pathScore;
    GenePrediction& chosen = minusWins ? minus : plus;
    const GenePrediction& other = minusWins ? plus : minus;
    const double posterior = StrandPosterior(chosen.call.logLikelihood, other.call.logLikelihood);
    chosen.call.startConfidence *= posterior;
    chosen.call.stopConfidence *= posterior;
    return std::move(chosen);
}

}  // namespace talvo
