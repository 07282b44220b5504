// Decoding a read with the codon-level model: the most probable path
// (Viterbi) for the coding region and its errors, and the posterior
// probability of each error call as its confidence.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "CodonModel.h"
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
};

// What the lattice needs of one base.
struct CodonSite {
    double logOdds[3];  // coding emission against background, by codon position
    double odds[3];
    std::int8_t base;     // the base's code
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

    // The long-read use: the whole read decoded with the codon model alone
    // (5' background, a start codon, coding, a stop codon, 3' background; a
    // read may begin or end inside the CDS). Unknown bases (code -1) are
    // allowed anywhere.
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
    void Sites(const std::vector<short>& bases, std::vector<CodonSite>& sites) const;
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
};

}  // namespace talvo
