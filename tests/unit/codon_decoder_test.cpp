// The codon-level model on tiny hand-made cases (HandModels.h).
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "CodonDecoder.h"
#include "CodonModel.h"
#include "HandModels.h"
#include "TestSupport.h"

namespace talvo {
namespace {

using testing_support::Cds;
using testing_support::Codes;
using testing_support::Edit;
using testing_support::ExpectRefused;
using testing_support::HandModel;
using testing_support::kUtr3;
using testing_support::kUtr5;
using testing_support::ReplaceLine;
using testing_support::TempDir;

struct Case {
    const char* name;
    std::string read;
    int first;
    int last;
    std::vector<SequencingError> errors;  // expected, each within `slack` bases
    int slack;
    int phase = 0;
};

TEST(CodonDecoder, DecodesHandMadeReads) {
    const CodonDecoder decoder(HandModel(), "test");
    CodonScratch scratch;  // one for every case: nothing carries over
    const std::string cds = Cds();
    const int a = static_cast<int>(kUtr5.size());
    const int z = a + static_cast<int>(cds.size()) - 1;
    const std::string read = kUtr5 + cds + kUtr3;
    const int run = a + 3 + 21 * 3;  // first A of the run of five
    const Case cases[] = {
        {"clean CDS", read, a, z, {}, 0},
        {"insertion", Edit(read, a + 31, "T", 0), a, z + 1, {{a + 31, ErrorKind::Insertion}}, 0},
        {"deletion", Edit(read, a + 40, "", 1), a, z - 1, {{a + 40, ErrorKind::Deletion}}, 2},
        {"deletion in a homopolymer", Edit(read, run + 2, "", 1), a, z - 1, {{run + 2, ErrorKind::Deletion}}, 3},
        // GCA GAA -> GCA TGA A: the stop made by the insertion must not end the CDS.
        {"stop made by an insertion", Edit(read, a + 9, "T", 0), a, z + 1, {{a + 9, ErrorKind::Insertion}}, 1},
        {"read begins inside the CDS", read.substr(a + 30), 0, z - a - 30, {}, 0},
        {"read begins with the last two bases of a codon", read.substr(a + 31), 0, z - a - 31, {}, 0, 2},
        {"read begins with the last base of a codon", read.substr(a + 32), 0, z - a - 32, {}, 0, 1},
        {"insertion next to the stop codon", Edit(read, z - 3, "C", 0), a, z + 1, {{z - 3, ErrorKind::Insertion}}, 2},
        {"deletion next to the start codon", Edit(read, a + 4, "", 1), a, z - 1, {{a + 4, ErrorKind::Deletion}}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CodonCall call = decoder.Decode(Codes(c.read), scratch);
        EXPECT_EQ(call.first, c.first);
        EXPECT_EQ(call.last, c.last);
        EXPECT_EQ(call.phase, c.phase);
        ASSERT_EQ(call.errors.size(), c.errors.size());
        for (std::size_t k = 0; k < c.errors.size(); ++k) {
            EXPECT_EQ(call.errors[k].kind, c.errors[k].kind);
            EXPECT_NEAR(call.errors[k].pos, c.errors[k].pos, c.slack);
            EXPECT_GT(call.errors[k].confidence, 0.5);
            EXPECT_LE(call.errors[k].confidence, 1.0);
        }
        EXPECT_GT(call.score, 0.0);
    }
}

TEST(CodonDecoder, RefineKeepsTheEndsAndPlacesTheError) {
    const CodonDecoder decoder(HandModel(), "test");
    CodonScratch scratch;
    const std::string cds = Cds();
    const int a = static_cast<int>(kUtr5.size());
    const std::string read = Edit(kUtr5 + cds + kUtr3, a + 40, "", 1);
    const int z = a + static_cast<int>(cds.size()) - 2;
    struct Ends {
        int first;
        int last;
        bool startFixed;
        bool stopFixed;
    };
    // The last region reaches into the untranslated regions, which it must
    // then read as coding, with errors of their own.
    for (const Ends e : {Ends{a, z, true, true}, Ends{a + 4, z - 7, false, false}, Ends{a - 10, z + 10, false, false}}) {
        const CodonCall call = decoder.Refine(Codes(read), e.first, e.last, e.startFixed, e.stopFixed, scratch);
        EXPECT_EQ(call.first, e.first);
        EXPECT_EQ(call.last, e.last);
        int inside = 0;
        for (const CodonErrorCall& error : call.errors) {
            if (error.pos > a + 3 && error.pos < z - 3) {
                ++inside;
                EXPECT_EQ(error.kind, ErrorKind::Deletion);
                EXPECT_NEAR(error.pos, a + 40, 2);
            }
        }
        EXPECT_EQ(inside, 1);
    }
    EXPECT_THROW(decoder.Refine(Codes(read), 5, static_cast<int>(read.size()), false, false, scratch),
                 std::invalid_argument);
}

TEST(CodonDecoder, UnknownOrImpossibleSettingAndEmptyRead) {
    EXPECT_THROW(CodonDecoder(HandModel(), "ont"), std::runtime_error);
    CodonModel impossible = HandModel();
    impossible.settings[0].insertion[4] = impossible.settings[0].deletion[4] = 0.5;
    EXPECT_THROW(CodonDecoder(impossible, "test"), std::runtime_error);
    CodonScratch scratch;
    const CodonCall call = CodonDecoder(HandModel(), "test").Decode({}, scratch);
    EXPECT_EQ(call.first, -1);
    EXPECT_TRUE(call.errors.empty());
}

// The confidence as the reports print it is the same on every build.
TEST(CodonDecoder, ConfidencePrintsTheSameOnEveryBuild) {
    const CodonDecoder decoder(HandModel(), "test");
    const int a = static_cast<int>(kUtr5.size());
    CodonScratch scratch;
    const CodonCall call = decoder.Decode(Codes(Edit(kUtr5 + Cds() + kUtr3, a + 40, "", 1)), scratch);
    ASSERT_EQ(call.errors.size(), 1u);
    char text[16];
    std::snprintf(text, sizeof text, "%.2f", call.errors[0].confidence);
    EXPECT_STREQ(text, "0.78");
}

TEST(CodonModelFile, WritesWhatItReads) {
    const CodonModel model = HandModel();
    std::ostringstream out;
    WriteCodonModel(model, out);
    TempDir dir;
    const CodonModel back = ReadCodonModel(dir.Write("codon-model", out.str()));
    std::ostringstream again;
    WriteCodonModel(back, again);
    EXPECT_EQ(again.str(), out.str());
    EXPECT_EQ(back.coding[1], model.coding[1]);
    ASSERT_NE(back.Setting("test"), nullptr);
    EXPECT_EQ(back.Setting("test")->order, 2);
}

TEST(CodonModelFile, NamesFileAndLineOfABadPart) {
    std::ostringstream out;
    WriteCodonModel(HandModel(), out);
    const std::string good = out.str();
    const auto replaceLine = [&](int line, const std::string& text) { return ReplaceLine(good, line, text); };
    ExpectRefused("codon-model", {
        {replaceLine(1, "talvo codon model 2"), " line 1: not a codon model of this version"},
        {replaceLine(2, "lengths 100 x 300"), " line 2: bad number 'x' for mean CDS length"},
        {replaceLine(3, "setting Test 2 insertion 0 0 0 0 0 0 deletion 0 0 0 0 0 0"), " line 3: bad setting name"},
        {replaceLine(3, "setting test 6 insertion 0 0 0 0 0 0 deletion 0 0 0 0 0 0"), " line 3: order 6 out of range"},
        {replaceLine(3, "setting test 2 insertion 0 0 0 0 0 0 deletion 0 0 0 0 0 0.7"), " line 3: deletion probability"},
        {replaceLine(5, "AAAAT 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 -1"), " line 5: bad number '-1' for count"},
        {replaceLine(5, "AAAAG 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16"), " line 5: count line needs: AAAAT"},
        {good.substr(0, good.find("\nCCCCC")) + "\n", " line 1027: missing the counts of context CCCCC"},
        {good.substr(0, good.find("\nAAAAA")) + "\n", " line 4: missing the counts of context AAAAA"},
        {"talvo codon model 1\nlengths 1 300 3\n", " line 3: missing the setting lines"},
        {good + "AAAAA 0\n", " line 1028: text after the last count line"},
    }, ReadCodonModel);
}

}  // namespace
}  // namespace talvo
