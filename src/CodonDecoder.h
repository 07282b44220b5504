// Decoding a read with the codon-level model, or with the gene model built
// on it: the most probable path (Viterbi) for the coding region and its
// errors, and posterior probabilities (forward-backward) as the confidence
// of each error call and, with the gene model, of the region's ends.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "CodonModel.h"
#include "GeneModel.h"
#include "ErrorRule.h"

namespace talvo {

// One inferred sequencing error in the text report's convention: an
// insertion is the extra base at pos, a deletion a base missing just before
// base pos (0-based); confidence in [0, 1] is the posterior probability that
// the read holds an error of that kind within a few bases of pos.
struct CodonErrorCall {
    int pos = 0;
    ErrorKind kind = ErrorKind::None;
    double confidence = 0.0;
};

// A coding region and its errors. The region's first and last bases are
// read as coding (neither is an extra base); every error lies inside it (an
// extra base after first and before last, a missing base just before a base
// after first), at most one per base. Reading the region with its errors
// undone, counted from `phase`, never meets a stop codon before its last
// codon unless that codon spans an extra base.
struct CodonCall {
    int first = -1;  // the coding region's first and last base (0-based), -1 when none
    int last = -1;
    // Bases of the region before its first whole codon: 1 or 2 when the read
    // begins inside a codon, else 0.
    int phase = 0;
    std::vector<CodonErrorCall> errors;  // in base order, inside [first, last]
    double score = 0.0;  // natural-log odds of the path against background alone (strand choice)
    // The posterior probability that the coding region begins where it does
    // (at its start codon, or before the read in the same codon position),
    // and that it ends where it does (its stop codon, or after the read).
    double startConfidence = 0.0;
    double stopConfidence = 0.0;
    // With the gene model: the natural log of the probability of the bases
    // under the model over all paths, and under the background alone (the
    // reference of score), so that two strands can be weighed.
    double logLikelihood = 0.0;
    double background = 0.0;
    // The log probability that the coding region's bases hold no error:
    // with logLikelihood, it weighs error settings.
    double cleanLog = 0.0;
};

// What the lattice needs of one base. Log values are quantized, and each
// has its exponential beside it.
struct CodonSite {
    double logOdds[3];  // coding emission against background, by codon position
    double odds[3];
    double utrLog[2];   // 5' and 3' UTR emissions against background
    double utrOdds[2];
    double startLog;    // at an ATG: the CDS begins here (from the 5' UTR)
    double startOdds;
    double skipLog;     // at an ATG: the 5' UTR goes on
    double skipOdds;
    double stopLog;     // after a stop codon: the 3' UTR begins here
    double stopOdds;
    std::int8_t base;     // the base's code (kept with the small fields: the sites stay 136 bytes)
    std::uint8_t run;     // homopolymer run length of the base (1..6)
    std::uint8_t delRun;  // the longer of its run and the previous base's
    bool atg;             // an ATG begins here
    bool stop;            // a stop codon ends here
};

// The arrays of one decoding, owned by the caller and passed to every
// decoding so that reads of any length reuse the same memory. One scratch
// per worker at a time: a decoding writes all of it, and a call's result
// never points into it.
class CodonScratch {
    friend class CodonDecoder;
    std::vector<CodonSite> sites;
    std::vector<std::uint8_t> back;  // the best predecessor of each state at each base
    std::vector<std::uint8_t> path;
    std::vector<double> forward;     // scaled forward probabilities, base by state
    std::vector<double> scale;
    std::vector<double> insertion;   // posterior of an insertion step at each base
    std::vector<double> deletion;
    std::vector<double> start;       // posterior of the CDS beginning at each base (from the 5' UTR)
    std::vector<double> stop;        // posterior of the 3' UTR beginning at each base (after a stop)
    std::array<double, 5> begin{};   // posterior of beginning, and of ending, in each state
    std::array<double, 5> end{};
    std::vector<double> background;  // log probability of each base under the background model
};

// Log-probability tables of one model under one error setting, built once
// and shared read-only by any number of threads (each with its own
// CodonScratch).
class CodonDecoder {
public:
    // Throws std::runtime_error when the model has no setting of that name,
    // or when its insertion and deletion probabilities at a run length are
    // negative or sum to 1 or more.
    CodonDecoder(const CodonModel& model, const std::string& setting);
    // The gene model: the codon model's coding states and setting with the
    // gene model's untranslated regions and sites, read as the options say.
    // Throws std::invalid_argument when an option is out of its range
    // (CheckGeneOptions), or when the scaled error probabilities sum to 1 or
    // more.
    CodonDecoder(const CodonModel& model, const std::string& setting, const GeneModel& gene,
                 const GeneOptions& options);

    // The whole read decoded (5' UTR, a start codon, coding, a stop codon,
    // 3' UTR; a read may begin or end inside the CDS): with the codon model
    // alone, the long-read use, whose UTRs are background; with the gene
    // model, its prediction. Unknown bases (code -1) are allowed anywhere.
    CodonCall Decode(const std::vector<short>& bases, CodonScratch& scratch) const;

    // The refinement use: the coding region [first, last] is kept and only
    // its errors are placed anew. startFixed: a codon begins at first (else
    // any codon position: the read may begin inside the CDS, or the region's
    // first bases belong to a codon read in another frame); stopFixed: last
    // is the last base of the stop codon that ends the CDS (else any codon
    // position). The result keeps first and last, and last is never an extra
    // base. Throws std::invalid_argument when [first, last] is not a region
    // of the read.
    CodonCall Refine(const std::vector<short>& bases, int first, int last, bool startFixed, bool stopFixed,
                     CodonScratch& scratch) const;

private:
    // Log prices (and their exponentials) of beginning and ending in each
    // state, whether the background states take part, and whether the last
    // base may be an extra one.
    struct Ends {
        std::array<double, 5> beginLog;
        std::array<double, 5> endLog;
        std::array<double, 5> beginOdds;
        std::array<double, 5> endOdds;
        bool background;
        bool extraLast = true;
    };
    void Sites(const std::vector<short>& bases, CodonScratch& scratch) const;
    // The gene model's site terms of the sites (startLog, stopLog).
    void SiteTerms(const std::vector<short>& bases, CodonScratch& scratch) const;
    double SiteScore(const std::vector<short>& bases, const CodonScratch& scratch, int at, bool startSite) const;
    template <typename F>
    void Steps(const CodonSite& prev, const CodonSite& cur, bool background, bool insertion, F&& f) const;
    // The decoding of bases a..b of the sites in scratch, step by step: the
    // most probable path into scratch.path (its log odds, or -infinity when
    // no path ends), the posterior of an insertion and of a deletion step at
    // each base, and the calls read off the path.
    CodonCall Run(int a, int b, const Ends& ends, CodonScratch& scratch) const;
    double BestPath(int a, int b, const Ends& ends, CodonScratch& scratch) const;
    void Posteriors(int a, int b, const Ends& ends, CodonScratch& scratch) const;
    static CodonCall Calls(int a, int b, const CodonScratch& scratch);
    static void RegionConfidence(int a, int b, const CodonScratch& scratch, CodonCall& call);
    double LogLikelihood(int a, int b, const Ends& ends, const CodonScratch& scratch) const;
    CodonCall DecodeGene(int n, CodonScratch& scratch) const;
    // The gene model's tables, from its counts.
    void GeneTables(const CodonModel& model, const GeneModel& gene);

    int order_ = 0;
    // Coding emissions against background by word (every order up to
    // order_) and codon position, as quantized logs and as odds.
    std::vector<double> logOdds_;
    std::vector<double> odds_;
    // By homopolymer run length: log probabilities of a normal step, an
    // insertion and a deletion, and their exponentials.
    std::array<std::array<double, 3>, 7> step_{};
    std::array<std::array<double, 3>, 7> stepOdds_{};
    double startPrice_ = 0.0;   // a start at an ATG of the 5' region
    double beginInside_ = 0.0;  // a read beginning at one codon position inside the CDS
    double endInside_ = 0.0;    // a read ending inside the CDS
    double startOdds_ = 1.0;
    double beginInsideOdds_ = 1.0;

    // The gene model's parts (gene_ false: the codon model alone).
    bool gene_ = false;
    GeneOptions options_;
    std::vector<double> utrLogOdds_;  // by word: 5' and 3' UTR emissions against background
    std::vector<double> utrOdds_;
    std::vector<double> backgroundLog_;  // by word: the background's log probability
    // Site weight arrays by position: log P(base | base before) at 4 * before
    // + base, then log P(base) at 16 + base.
    std::vector<std::array<double, 20>> startSite_;
    std::vector<std::array<double, 20>> stopSite_;
    // An ATG of the 5' UTR is the start; is not: [0] the first ATG of its
    // open reading frame, [1] a later one.
    std::array<double, 2> startLog_{};
    std::array<double, 2> skipLog_{};
    std::array<double, 2> skipOdds_{};
    // Reading on through a stop codon in frame (one a substitution made; the
    // gene model, from the setting's substitution rate); odds 0: never.
    std::array<double, kLongestRun + 1> cleanLog_{};  // by run length: log P(no error)
    double throughLog_ = 0.0;
    double throughOdds_ = 0.0;
};

}  // namespace talvo
