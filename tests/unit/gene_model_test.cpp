// The gene model on tiny hand-made cases: the hand-made codon model
// (HandModels.h) with a start site that favours an A three bases before
// the ATG, and starts that are nearly always the first ATG of their open
// reading frame.
#include <gtest/gtest.h>

#include <sstream>

#include "EngineError.h"
#include "GeneModel.h"
#include "GenePrediction.h"
#include "HandModels.h"
#include "TestSupport.h"

namespace talvo {
namespace {

using namespace testing_support;

GeneModel HandGeneModel() {
    GeneModel gene;
    gene.utr5.assign(CodonModel::kWords, 50);
    gene.utr3.assign(CodonModel::kWords, 50);
    gene.starts = {100, 2};
    gene.upstreamAtgs = {100, 50};
    gene.startSite.assign(GeneModel::kStartTo - GeneModel::kStartFrom + 1, SitePairCounts{});
    gene.stopSite.assign(GeneModel::kStopTo - GeneModel::kStopFrom + 1, SitePairCounts{});
    for (auto* site : {&gene.startSite, &gene.stopSite}) {
        for (SitePairCounts& pairs : *site) pairs.fill(10);
    }
    // A (code 0) three bases before the ATG; the ATG itself.
    for (int before = 0; before < 4; ++before) gene.startSite[-3 - GeneModel::kStartFrom][4 * before + 0] = 200;
    const int atg[3] = {0, 1, 2};
    for (int k = 0; k < 3; ++k) {
        SitePairCounts& pairs = gene.startSite[k - GeneModel::kStartFrom];
        pairs.fill(0);
        for (int before = 0; before < 4; ++before) pairs[4 * before + atg[k]] = 100;
    }
    return gene;
}

CodonModel WithSubstitutions(double rate) {
    CodonModel model = HandModel();
    model.settings[0].substitution = rate;
    return model;
}

// The prediction's region and its start's confidence, on the read as given.
struct Region {
    int first;
    int last;
    std::size_t errors;
    double startConfidence;
    bool minus;
};

Region PredictRegion(const GenePredictor& predictor, const std::string& read, Strands strands = Strands::Plus) {
    CodonScratch scratch;
    const GenePrediction p = predictor.Predict(Codes(read), strands, scratch);
    const int n = static_cast<int>(read.size());
    const int first = p.minus && p.call.first >= 0 ? n - 1 - p.call.last : p.call.first;
    const int last = p.minus && p.call.first >= 0 ? n - 1 - p.call.first : p.call.last;
    return {first, last, p.call.errors.size(), p.call.startConfidence, p.minus};
}

TEST(GeneModel, StartsStopsAndReadEnds) {
    const GenePredictor predictor(HandModel(), HandGeneModel(), "test", GeneOptions{});
    const GenePredictor substitutions(WithSubstitutions(0.01), HandGeneModel(), "test", GeneOptions{});
    const std::string cds = Cds();
    const int a = static_cast<int>(kUtr5.size());
    const int z = a + static_cast<int>(cds.size()) - 1;
    const std::string read = kUtr5 + cds + kUtr3;
    // GAA or GAG -> TAA or TAG in frame, some way into the CDS.
    int codon = a + 30;
    while (cds.compare(codon - a, 2, "GA") != 0) codon += 3;
    const std::string substituted = Edit(read, codon, "T", 1);
    struct Case {
        const char* name;
        const GenePredictor& predictor;
        std::string read;
        int first;
        int last;
    };
    const Case cases[] = {
        {"full-length read", predictor, read, a, z},
        // An ATG out of frame, its stop soon after: a small upstream ORF.
        {"upstream ATG in the 5' UTR", predictor, Edit(read, 4, "ATGTAA", 0), a + 6, z + 6},
        // Favoured codons from an ATG in frame without a stop: the first ATG
        // of the open reading frame starts it.
        {"ATG earlier in the open reading frame", predictor, Edit(read, a, "ATGGCAGAA", 0), a, z + 9},
        {"the same with a stop between", predictor, Edit(read, a, "ATGGCATAA", 0), a + 9, z + 9},
        {"read begins inside the CDS", predictor, read.substr(a + 31), 0, z - a - 31},
        {"read ends inside the CDS", predictor, read.substr(0, z - 40), a, z - 41},
        // A stop made by a substitution is read on through when the setting
        // has substitutions, and ends the CDS otherwise.
        {"stop made by a substitution", substitutions, substituted, a, z},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Region r = PredictRegion(c.predictor, c.read);
        EXPECT_EQ(r.first, c.first);
        EXPECT_EQ(r.last, c.last);
        EXPECT_EQ(r.errors, 0u);
        EXPECT_GT(r.startConfidence, 0.5);
        EXPECT_LE(r.startConfidence, 1.0);
    }
    const Region stopped = PredictRegion(predictor, substituted);
    EXPECT_TRUE(stopped.last < z || stopped.errors > 0);
}

TEST(GeneModel, StartContextSetsTheStartsConfidence) {
    const GenePredictor predictor(HandModel(), HandGeneModel(), "test", GeneOptions{});
    // A later ATG in frame two codons on competes with the start; an A three
    // bases before the start favours it, a T does not.
    const std::string cds = "ATGGCAATG" + Cds().substr(3);
    const int a = static_cast<int>(kUtr5.size());
    const std::string before = kUtr5.substr(0, a - 3);
    const Region strong = PredictRegion(predictor, before + "ACC" + cds + kUtr3);
    const Region weak = PredictRegion(predictor, before + "TCC" + cds + kUtr3);
    EXPECT_EQ(strong.first, a);
    EXPECT_EQ(weak.first, a);
    EXPECT_GT(strong.startConfidence, weak.startConfidence + 0.01);
}

TEST(GeneModel, BothStrandsFindTheRegionOnTheReverseComplement) {
    const GenePredictor predictor(HandModel(), HandGeneModel(), "test", GeneOptions{});
    const std::string read = kUtr5 + Cds() + kUtr3;
    std::string reverse(read.rbegin(), read.rend());
    for (char& c : reverse) c = c == 'A' ? 'T' : c == 'T' ? 'A' : c == 'G' ? 'C' : 'G';
    const Region plus = PredictRegion(predictor, read, Strands::Both);
    const Region minus = PredictRegion(predictor, reverse, Strands::Both);
    EXPECT_FALSE(plus.minus);
    EXPECT_TRUE(minus.minus);
    EXPECT_EQ(minus.first, static_cast<int>(read.size()) - 1 - plus.last);
    EXPECT_EQ(minus.last, static_cast<int>(read.size()) - 1 - plus.first);
    EXPECT_DOUBLE_EQ(minus.startConfidence, plus.startConfidence);
}

TEST(GeneModel, LaterAtgsOfAnOpenReadingFrame) {
    // ATGs at 0, 12 and 15 in frame 0 and at 4 in frame 1; the stop at 9
    // closes frame 0, so 12 is a first ATG again, 15 a later one.
    const std::vector<std::uint8_t> later = LaterAtgs(Codes("ATGCATGATTAAATGATG"));
    const std::vector<std::uint8_t> expected = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0};
    EXPECT_EQ(later, expected);
}

TEST(GeneModel, OptionsOutOfRangeAreRefused) {
    const auto with = [](auto set) {
        GeneOptions options;
        set(options);
        return options;
    };
    const GeneOptions bad[] = {
        with([](GeneOptions& o) { o.beginInside = 0.0; }),   with([](GeneOptions& o) { o.endInside = 1.0; }),
        with([](GeneOptions& o) { o.startFrom = -21; }),     with([](GeneOptions& o) { o.stopTo = 21; }),
        with([](GeneOptions& o) { o.startFrom = 4; }),       with([](GeneOptions& o) { o.utrWeight[1] = 2.0; }),
        with([](GeneOptions& o) { o.cleanShare = 1.0; }),    with([](GeneOptions& o) { o.cleanScale = 0.0; }),
    };
    for (const GeneOptions& options : bad) EXPECT_THROW(CheckGeneOptions(options), EngineError);
    EXPECT_NO_THROW(CheckGeneOptions(GeneOptions{}));
}

TEST(GeneModelFile, WritesWhatItReadsAndNamesTheLineOfABadPart) {
    std::ostringstream out;
    WriteGeneModel(HandGeneModel(), out);
    const std::string good = out.str();
    TempDir dir;
    std::ostringstream again;
    WriteGeneModel(ReadGeneModel(dir.Write("gene-model", good)), again);
    EXPECT_EQ(again.str(), good);
    const auto replaceLine = [&](int line, const std::string& text) { return ReplaceLine(good, line, text); };
    ExpectRefused("gene-model", {
        {replaceLine(1, "talvo gene model 2"), " line 1: not a gene model of this version"},
        {replaceLine(2, "starts 1 2 upstream-atgs 3"), " line 2: starts line needs"},
        {replaceLine(3, "AAAAA 1 2 3 4 5 6 7 x"), " line 3: bad number 'x' for count"},
        {replaceLine(1027, "start -20 1 2"), " line 1027: start line needs: start -20 and 16 counts"},
        {good.substr(0, good.find("\nstop -3")) + "\n", " line 1062: missing the stop line of position -3"},
        {good + "stop 21\n", " line 1086: text after the last stop line"},
    }, ReadGeneModel);
}

}  // namespace
}  // namespace talvo
