// Evaluation: simulated errors keep their truth in the report's convention,
// isoforms share a fold, and the scoring counts what it should.
#include <gtest/gtest.h>

#include <sstream>

#include "ErrorSimulation.h"
#include "Evaluation.h"
#include "Grouping.h"
#include "SyntheticSet.h"

namespace talvo::tools {
namespace {

// Undoes the recorded insertions and deletions (deleted bases come back as
// 'N'): with substitutions off this gives the original length and every
// base that was not deleted.
std::string Undo(const SimulatedRead& read) {
    std::string out;
    std::size_t e = 0;
    for (int p = 0; p <= static_cast<int>(read.bases.size()); ++p) {
        bool skip = false;
        while (e < read.errors.size() && read.errors[e].pos == p) {
            if (read.errors[e].kind == ErrorKind::Deletion) out.push_back('N');
            if (read.errors[e].kind == ErrorKind::Insertion) skip = true;
            ++e;
        }
        if (p < static_cast<int>(read.bases.size()) && !skip) out.push_back(read.bases[p]);
    }
    return out;
}

bool SameExceptLost(const std::string& restored, const std::string& original) {
    if (restored.size() != original.size()) return false;
    for (std::size_t i = 0; i < original.size(); ++i) {
        if (restored[i] != 'N' && restored[i] != original[i]) return false;
    }
    return true;
}

TEST(ErrorSimulation, PlantedErrorsLieInsideTheCdsAndUndoToTheOriginal) {
    Random seqRng(1);
    const AnnotatedSequence seq = synthetic::SyntheticSequence("s", 120, 300, 200, seqRng);
    for (uint64_t seed = 1; seed <= 30; ++seed) {
        Random rng(seed);
        ErrorModel model;
        model.planted = 3;
        const SimulatedRead read = SimulateErrors(seq, model, rng);
        ASSERT_EQ(read.errors.size(), 3u);
        int net = 0;
        for (const TrueError& e : read.errors) {
            EXPECT_GT(e.pos, read.cdsFirst + 2);
            EXPECT_LT(e.pos, read.cdsLast - 2);
            net += e.kind == ErrorKind::Insertion ? 1 : -1;
        }
        EXPECT_EQ(read.cdsFirst, seq.cdsFirst);
        EXPECT_EQ(read.cdsLast, seq.cdsLast + net);
        EXPECT_EQ(read.bases.substr(read.cdsFirst, 3), "ATG");
        EXPECT_EQ(read.bases.substr(read.cdsLast - 2, 3), "TAA");
        EXPECT_TRUE(SameExceptLost(Undo(read), seq.bases)) << seed;
    }
}

TEST(ErrorSimulation, RateErrorsAreAllRecorded) {
    Random seqRng(2);
    const AnnotatedSequence seq = synthetic::SyntheticSequence("s", 100, 400, 100, seqRng);
    Random rng(3);
    const SimulatedRead read = SimulateErrors(seq, ErrorModel{0.0, 0.01, 0.01, 0}, rng);
    EXPECT_GT(read.errors.size(), 5u);
    EXPECT_TRUE(SameExceptLost(Undo(read), seq.bases));
    // Intact codons keep their bases.
    for (int q : read.codonStarts) EXPECT_NE(read.bases.substr(q, 3).find_first_not_of("ACGT"), 0u);
}

TEST(ErrorSimulation, NoErrorsLeaveTheSequenceAlone) {
    Random seqRng(4);
    const AnnotatedSequence seq = synthetic::SyntheticSequence("s", 50, 100, 50, seqRng);
    Random rng(5);
    const SimulatedRead read = SimulateErrors(seq, ErrorModel{}, rng);
    EXPECT_EQ(read.bases, seq.bases);
    EXPECT_TRUE(read.errors.empty());
    EXPECT_EQ(read.codonStarts.size(), 102u);
}

TEST(ErrorSimulation, ErrorsByRunFallInRunsOfTheirLength) {
    // Deletions only in runs of 3, insertions only as copies in runs of 2.
    AnnotatedSequence seq;
    seq.bases = "ATG";
    for (int i = 0; i < 200; ++i) seq.bases += "CCAGGGT";
    seq.bases += "TAA";
    seq.cdsFirst = 0;
    seq.cdsLast = static_cast<int>(seq.bases.size()) - 1;
    ErrorModel model;
    model.byRun = true;
    model.deletionInRun[3] = 0.05;
    model.insertionInRun[2] = 0.05;
    Random rng(7);
    const SimulatedRead read = SimulateErrors(seq, model, rng);
    int insertions = 0;
    int deletions = 0;
    for (const TrueError& e : read.errors) {
        if (e.kind == ErrorKind::Insertion) {
            ++insertions;
            EXPECT_EQ(read.bases[e.pos], 'C') << e.pos;  // a copy in the run of two Cs
        } else {
            ++deletions;
            const char before = read.bases[e.pos - 1];
            EXPECT_TRUE(before == 'G' || read.bases[e.pos] == 'G') << e.pos;  // a G lost from GGG
        }
    }
    EXPECT_GT(insertions, 8);  // about 20 of 400 Cs
    EXPECT_GT(deletions, 15);  // about 30 of 600 Gs
    EXPECT_TRUE(SameExceptLost(Undo(read), seq.bases));
}

TEST(Scoring, FrameChangeAtTheInsertedBaseIsAnExactHit) {
    // CDS in frame 0 from base 30; an extra base at 90 moves the rest into frame 1.
    SimulatedRead read;
    read.bases = std::string(301, 'A');
    read.cdsFirst = 30;
    read.cdsLast = 269;
    read.errors = {{90, ErrorKind::Insertion}};
    for (int q = 30; q < 90; q += 3) read.codonStarts.push_back(q);
    for (int q = 91; q + 2 <= 269; q += 3) read.codonStarts.push_back(q);
    Prediction p;
    p.seqLayout.startBase = 30;
    p.seqLayout.stopBase = 269;
    p.framePath.assign(100, -1);
    for (int c = 10; c < 30; ++c) p.framePath[c] = 0;
    for (int c = 30; c < 89; ++c) p.framePath[c] = 1;
    p.errors = ErrorsOnPath(p.framePath, 301);
    Tally t;
    Score(read, p, t);
    EXPECT_EQ(t.startExact, 1);
    EXPECT_EQ(t.stopExact, 1);
    EXPECT_EQ(t.codingMissed, 0);
    EXPECT_EQ(t.codingFalse, 0);
    EXPECT_EQ(t.trueErrors, 1);
    EXPECT_EQ(t.predictedErrors, 1);
    EXPECT_EQ(t.recalled3, 1);
    EXPECT_EQ(t.correct3, 1);
    EXPECT_EQ(t.codonsInFrame, t.codons);
}

TEST(Scoring, WrongKindOrFarErrorsDoNotCount) {
    SimulatedRead read;
    read.bases = std::string(301, 'A');
    read.cdsFirst = 30;
    read.cdsLast = 269;
    read.errors = {{90, ErrorKind::Deletion}, {200, ErrorKind::Insertion}};
    Prediction p;
    p.seqLayout.startBase = 30;
    p.seqLayout.stopBase = 269;
    p.framePath.assign(100, -1);
    for (int c = 10; c < 30; ++c) p.framePath[c] = 0;  // insertion at 90: wrong kind
    for (int c = 30; c < 50; ++c) p.framePath[c] = 1;
    for (int c = 50; c < 89; ++c) p.framePath[c] = 2;  // insertion at 151: too far
    p.errors = ErrorsOnPath(p.framePath, 301);
    Tally t;
    Score(read, p, t);
    EXPECT_EQ(t.predictedErrors, 2);
    EXPECT_EQ(t.recalled10, 0);
    EXPECT_EQ(t.correct10, 0);
}

TEST(Scoring, TrueErrorsAreBinnedByTheDistanceToTheNearestCallOfTheirKind) {
    SimulatedRead read;
    read.bases = std::string(301, 'A');
    read.cdsFirst = 30;
    read.cdsLast = 269;
    // An insertion called 2 bases early (frame 0 -> 1 at codon 29: base 87),
    // a deletion called 39 bases late, and an insertion whose nearest
    // insertion call lies 143 bases before it.
    read.errors = {{89, ErrorKind::Insertion}, {150, ErrorKind::Deletion}, {230, ErrorKind::Insertion}};
    Prediction p;
    p.seqLayout.startBase = 30;
    p.seqLayout.stopBase = 269;
    p.framePath.assign(100, -1);
    for (int c = 10; c < 29; ++c) p.framePath[c] = 0;
    for (int c = 29; c < 63; ++c) p.framePath[c] = 1;
    for (int c = 63; c < 89; ++c) p.framePath[c] = 0;  // 1 -> 0: a deletion at base 189
    p.errors = ErrorsOnPath(p.framePath, 301);
    Tally t;
    Score(read, p, t);
    ASSERT_EQ(t.predictedErrors, 2);
    const std::array<long, 8> expected = {0, 1, 0, 0, 1, 0, 1, 0};  // 0, 1-3, 4-10, 11-30, 31-60, 61-100, >100, none
    EXPECT_EQ(t.nearest, expected);
    EXPECT_EQ(t.callBefore, 2);
}

TEST(Scoring, CallsWithoutAFramePathReadCodonsAcrossTheirErrorsAndSplitConfidence) {
    // CDS from base 30: an extra base at 90 (codons from 91 on), a base
    // missing before 150 (the codon at 148 broken, codons from 150 on).
    SimulatedRead read;
    read.bases = std::string(301, 'A');
    read.cdsFirst = 30;
    read.cdsLast = 269;
    read.errors = {{90, ErrorKind::Insertion}, {150, ErrorKind::Deletion}};
    for (int q = 30; q < 90; q += 3) read.codonStarts.push_back(q);
    for (int q = 91; q < 148; q += 3) read.codonStarts.push_back(q);
    for (int q = 150; q + 2 <= 269; q += 3) read.codonStarts.push_back(q);
    Call call;
    call.first = 30;
    call.last = 269;
    call.errors = {{92, ErrorKind::Insertion}, {150, ErrorKind::Deletion}, {200, ErrorKind::Deletion}};
    call.confident = true;
    call.confidence = {0.5, 0.9, 0.25};
    Tally t;
    Score(read, call, t);
    EXPECT_EQ(t.correct10, 2);
    EXPECT_EQ(t.recalled3, 2);
    // Codon 91 lies before the insertion as called; past the false deletion
    // at 200 every codon is read out of frame.
    long expected = 0;
    for (int q : read.codonStarts) expected += q != 91 && q < 200;
    EXPECT_EQ(t.codonsInFrame, expected);
    EXPECT_DOUBLE_EQ(t.confidenceRight, 1.4);
    EXPECT_DOUBLE_EQ(t.confidenceWrong, 0.25);
}

TEST(Scoring, RegionConfidenceBinsCountReadsAndTheirExactEnds) {
    // Each bin holds its lower end; 1.0 falls in the last; a read without a
    // region, or a call without a region confidence, is in no bin.
    SimulatedRead read;
    read.bases = std::string(200, 'A');
    read.cdsFirst = 10;
    read.cdsLast = 99;
    struct Case {
        double confidence;
        int first;
        std::size_t bin;  // kConfidenceBins.size() + 1: none
    };
    const Case cases[] = {{0.0, 10, 0}, {0.4999, 10, 0}, {0.5, 10, 1}, {0.8999, 13, 3}, {0.9, 10, 4},
                          {0.95, 13, 5}, {0.99, 10, 6}, {1.0, 10, 6}, {-1.0, 10, 7}, {0.99, -1, 7}};
    Tally t;
    std::array<long, 7> reads{};
    std::array<long, 7> exact{};
    for (const Case& c : cases) {
        Call call;
        call.first = c.first;
        call.last = c.first < 0 ? -1 : 99;
        call.regionConfidence = c.confidence;
        Score(read, call, t);
        if (c.bin < reads.size()) {
            ++reads[c.bin];
            exact[c.bin] += c.first == 10;
        }
    }
    EXPECT_TRUE(t.regions);
    EXPECT_EQ(t.regionReads, reads);
    EXPECT_EQ(t.regionExact, exact);
    std::ostringstream out;
    PrintTsv({"s"}, {t}, out);
    // Of the ten reads two lie at 0.99 and above; of the four at 0.9 and
    // above (0.9, 0.95 with its start wrong, 0.99, 1.0) three are exact.
    EXPECT_NE(out.str().find("s\tregion confidence 0.99-1.00\t20.00\t2\t10\n"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("s\tregion confidence >= 0.9, exact\t75.00\t3\t4\n"), std::string::npos) << out.str();
}

TEST(Scoring, NoPredictionMissesEveryCodingBase) {
    SimulatedRead read;
    read.bases = std::string(200, 'A');
    read.cdsFirst = 10;
    read.cdsLast = 99;
    Tally t;
    Score(read, Prediction{}, t);
    EXPECT_EQ(t.noPrediction, 1);
    EXPECT_EQ(t.startExact, 0);
    EXPECT_EQ(t.codingMissed, 90);
}

TEST(Grouping, IsoformsOfOneGeneOrSharingCodingSequenceStayTogether) {
    Random rng(8);
    const std::string exon1 = synthetic::RandomBases(150, rng);
    const std::string exon2 = synthetic::RandomBases(150, rng);
    const std::string exon3 = synthetic::RandomBases(150, rng);
    const std::string exon4 = synthetic::RandomBases(150, rng);
    auto make = [](const std::string& id, const std::string& cds, const std::string& gene = "") {
        AnnotatedSequence s;
        s.id = id;
        s.bases = "CCC" + cds + "GGG";
        s.cdsFirst = 3;
        s.cdsLast = 2 + static_cast<int>(cds.size());
        s.gene = gene;
        return s;
    };
    std::vector<AnnotatedSequence> set = {
        make("a1", exon1 + exon2),                        // 0
        make("other", synthetic::RandomBases(300, rng)),    // 1
        make("a2", exon1 + exon3),                        // 2: shares exon1 with a1
        make("a3", exon3),                                // 3: shares exon3 with a2
        make("lone", synthetic::RandomBases(300, rng)),     // 4
        make("b1", synthetic::RandomBases(300, rng), "7"),  // 5
        make("b2", exon4, "7"),                           // 6: same gene as b1, no shared sequence
        make("b3", exon4 + exon4),                        // 7: no gene id, shares exon4 with b2
        make("c1", synthetic::RandomBases(300, rng), "8"),  // 8
    };
    const std::vector<int> group = GroupIsoforms(set);
    EXPECT_EQ(group, (std::vector<int>{0, 1, 0, 0, 4, 5, 5, 5, 8}));
    const std::vector<int> fold = AssignFolds(group, 2);
    EXPECT_EQ(fold[0], fold[2]);
    EXPECT_EQ(fold[0], fold[3]);
    EXPECT_NE(fold[5], fold[0]);
    EXPECT_EQ(fold[5], fold[7]);
}

}  // namespace
}  // namespace talvo::tools
