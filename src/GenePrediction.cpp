#include "GenePrediction.h"

#include <cstddef>
#include <utility>

#include "GeneticCode.h"
#include "SameBitsMath.h"

namespace talvo {

namespace {

// The posterior of a strand whose bases have log likelihood `own` against
// the other's `other` (equal priors).
double StrandPosterior(double own, double other) {
    const double d = other - own;
    if (d > 700.0) return 0.0;
    if (d < -700.0) return 1.0;
    return 1.0 / (1.0 + SameBitsExp(d));
}

GeneOptions Cleaner(GeneOptions options) {
    options.errorScale *= options.cleanScale;
    return options;
}

}  // namespace

GenePrediction PredictStrands(const CodonDecoder& decoder, const std::vector<short>& bases, Strands strands,
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
    chosen.strandPosterior = StrandPosterior(chosen.call.logLikelihood, other.call.logLikelihood);
    chosen.call.startConfidence *= chosen.strandPosterior;
    chosen.call.stopConfidence *= chosen.strandPosterior;
    return std::move(chosen);
}

GenePredictor::GenePredictor(const CodonModel& codon, const GeneModel& gene, const std::string& setting,
                             const GeneOptions& options)
    : decoder_(codon, setting, gene, options), clean_(codon, setting, gene, Cleaner(options)),
      cleanShare_(options.cleanShare) {}

GenePrediction GenePredictor::Predict(const std::vector<short>& bases, Strands strands, CodonScratch& scratch) const {
    GenePrediction chosen = PredictStrands(decoder_, bases, strands, scratch);
    // A path without errors is the best one of the error-free reading too:
    // its errors only cost more.
    if (cleanShare_ <= 0.0 || chosen.call.first < 0 || chosen.call.errors.empty()) return chosen;
    GenePrediction clean = chosen;
    clean.call = clean_.Decode(chosen.minus ? ReverseComplement(bases) : bases, scratch);
    // The error-free regime is likelier when its path has its odds, what
    // the coding bases hold no error with, and the prior outweigh the
    // setting's.
    const double cleanLog = clean.call.logLikelihood + clean.call.cleanLog;
    const double settingLog = chosen.call.logLikelihood + chosen.call.cleanLog;
    if (!(SameBitsLog(cleanShare_) + cleanLog > SameBitsLog(1.0 - cleanShare_) + settingLog)) return chosen;
    // The strand's posterior, and its score's reference, carry over. Each
    // end's confidence is its posterior under both regimes, weighed by the
    // odds of the read under each (not by the prior, which sets how readily
    // a read is taken as error-free); an end the setting placed elsewhere
    // adds nothing.
    const double w = StrandPosterior(cleanLog, settingLog);
    clean.pathScore = clean.call.score + (chosen.pathScore - chosen.call.score);
    clean.call.startConfidence = clean.strandPosterior * w * clean.call.startConfidence +
                                 (clean.call.first == chosen.call.first ? (1.0 - w) * chosen.call.startConfidence : 0.0);
    clean.call.stopConfidence = clean.strandPosterior * w * clean.call.stopConfidence +
                                (clean.call.last == chosen.call.last ? (1.0 - w) * chosen.call.stopConfidence : 0.0);
    return clean;
}

}  // namespace talvo
