// Loading the parameter file and the frame-transition file.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "EngineError.h"
#include "LenientNumber.h"
#include "Model.h"
#include "TestSupport.h"

namespace talvo {
namespace {

using testing_support::TempDir;

// A complete parameter file of skipped rules and zero thresholds, whose lines
// the tests replace by section and index.
class ParamFile {
public:
    ParamFile() : lines_(3785, "0,0") {
        std::fill(lines_.begin(), lines_.begin() + 500, "1,0,0,0,0,0");
    }
    std::string& Rule(int i) { return lines_[i]; }
    std::string& CodonThreshold(int i) { return lines_[500 + i]; }
    std::string& PairThreshold(int i) { return lines_[1000 + i]; }
    std::string& AcidThreshold(int i) { return lines_[1500 + i]; }
    std::string& PairPseudo(int g, int a1, int a2) { return lines_[2000 + 441 * g + 21 * a1 + a2]; }
    std::string& AcidPseudo(int a) { return lines_[3764 + a]; }
    // The first `count` lines, each ended by a line feed.
    std::string Text(std::size_t count = 3785) const {
        std::string text;
        for (std::size_t i = 0; i < count && i < lines_.size(); ++i) text += lines_[i] + "\n";
        return text;
    }

private:
    std::vector<std::string> lines_;
};

class ModelLoader : public ::testing::Test {
protected:
    // Loads the text as a parameter file of `rules` rules into a fresh
    // model; returns the warnings.
    std::vector<std::string> LoadParameters(const std::string& text, int rules = kMaxRules) {
        path_ = dir_.Write("paramL0G0-ex0.txt", text);
        model = Model{};
        std::vector<std::string> warnings;
        ReadParameterFile(path_, rules, model, warnings);
        return warnings;
    }
    std::vector<std::string> LoadMatrix(const std::string& text) {
        path_ = dir_.Write("matrixL0G0-ex0.txt", text);
        model = Model{};
        std::vector<std::string> warnings;
        ReadTransitionFile(path_, model, warnings);
        return warnings;
    }
    // The failure that loading the text throws.
    EngineError Rejection(const std::string& text) {
        try {
            LoadParameters(text);
        } catch (const EngineError& e) {
            return e;
        }
        return EngineError(EngineError::Kind::BadValue, "", 0, "accepted");
    }

    Model model;
    TempDir dir_;
    std::string path_;
};

TEST_F(ModelLoader, RuleLinesParsedLeniently) {
    ParamFile file;
    file.Rule(0) = "3,14,9,0,2,0.42";
    file.Rule(1) = "0,1";  // missing fields repeat the last field present
    file.Rule(2) = "2, 7,0,0,0, 1.5";
    file.Rule(3) = "2,0x10,0,0,0,1e-3";
    file.Rule(4) = "2,5,0,0,0,2.5\r";
    file.Rule(5) = "0,1,2,3";
    file.Rule(6) = "2,,0,0,0,-4,extra,9";  // the last field is the rest: -4
    file.Rule(499) = "3,20,20,0,3,1";
    EXPECT_TRUE(LoadParameters(file.Text()).empty());
    ASSERT_EQ(model.rules.size(), 500u);
    EXPECT_EQ(model.rules[0].kind, 3);
    EXPECT_EQ(model.rules[0].first, 14);
    EXPECT_EQ(model.rules[0].second, 9);
    EXPECT_EQ(model.rules[0].third, 0);
    EXPECT_EQ(model.rules[0].gap, 2);
    EXPECT_EQ(model.rules[0].weight, 0.42);
    EXPECT_EQ(model.rules[1].kind, 0);
    EXPECT_EQ(model.rules[1].first, 1);
    EXPECT_EQ(model.rules[1].second, 1);
    EXPECT_EQ(model.rules[1].third, 1);
    EXPECT_EQ(model.rules[1].gap, 1);
    EXPECT_EQ(model.rules[1].weight, 1.0);
    EXPECT_EQ(model.rules[2].first, 7);
    EXPECT_EQ(model.rules[2].weight, 1.5);
    EXPECT_EQ(model.rules[3].first, 0);
    EXPECT_EQ(model.rules[3].weight, 0.001);
    EXPECT_EQ(model.rules[4].weight, 2.5);
    EXPECT_EQ(model.rules[5].third, 3);
    EXPECT_EQ(model.rules[5].gap, 3);
    EXPECT_EQ(model.rules[5].weight, 3.0);
    EXPECT_EQ(model.rules[6].first, 0);
    EXPECT_EQ(model.rules[6].weight, -4.0);
    EXPECT_EQ(model.rules[499].gap, 3);
    EXPECT_EQ(model.rules[100].kind, 1);
}

TEST_F(ModelLoader, ThresholdAndPseudoCountSections) {
    ParamFile file;
    file.CodonThreshold(0) = "1,0.25,9";
    file.CodonThreshold(499) = "0,-1.5";
    file.PairThreshold(7) = " 1 , 3e2 \r";
    file.AcidThreshold(0) = "1,9\r";
    file.AcidThreshold(1) = "0, -4";
    file.AcidThreshold(2) = "5";
    file.PairPseudo(0, 0, 0) = "0.5,1.5";
    file.PairPseudo(1, 2, 3) = "7.5,8.5";
    file.PairPseudo(3, 20, 20) = "1,2";
    file.AcidPseudo(0) = "3";
    file.AcidPseudo(20) = "0.2,1";
    LoadParameters(file.Text());
    EXPECT_EQ(model.codonTrsld[0].dir, 1);
    EXPECT_EQ(model.codonTrsld[0].realTrsld, 0.25);
    EXPECT_EQ(model.codonTrsld[0].intTrsld, 0);  // not a field of this section
    EXPECT_EQ(model.codonTrsld[499].dir, 0);
    EXPECT_EQ(model.codonTrsld[499].realTrsld, -1.5);
    EXPECT_EQ(model.pairAcidTrsld[7].dir, 1);
    EXPECT_EQ(model.pairAcidTrsld[7].realTrsld, 300.0);
    EXPECT_EQ(model.snglAcidTrsld[0].intTrsld, 9);
    EXPECT_EQ(model.snglAcidTrsld[0].realTrsld, 0.0);
    EXPECT_EQ(model.snglAcidTrsld[1].intTrsld, -4);
    EXPECT_EQ(model.snglAcidTrsld[2].dir, 5);
    EXPECT_EQ(model.snglAcidTrsld[2].intTrsld, 5);
    EXPECT_EQ(model.pairAcidPriproTable[0][0][0][0], 0.5);
    EXPECT_EQ(model.pairAcidPriproTable[0][0][0][1], 1.5);
    EXPECT_EQ(model.pairAcidPriproTable[1][2][3][0], 7.5);
    EXPECT_EQ(model.pairAcidPriproTable[1][2][3][1], 8.5);
    EXPECT_EQ(model.pairAcidPriproTable[1][3][2][0], 0.0);
    EXPECT_EQ(model.pairAcidPriproTable[3][20][20][1], 2.0);
    EXPECT_EQ(model.snglAcidPriproTable[0][0], 3.0);
    EXPECT_EQ(model.snglAcidPriproTable[0][1], 3.0);
    EXPECT_EQ(model.snglAcidPriproTable[20][0], 0.2);
    EXPECT_EQ(model.snglAcidPriproTable[20][1], 1.0);
}

TEST_F(ModelLoader, ZeroRulesSkipsTheRuleLines) {
    ParamFile file;
    file.Rule(0) = "7,0.75";
    file.CodonThreshold(0) = "1,0.5";
    file.AcidPseudo(20) = "4,5";
    LoadParameters(file.Text(), 0);
    EXPECT_TRUE(model.rules.empty());
    EXPECT_EQ(model.codonTrsld[0].dir, 1);
    EXPECT_EQ(model.codonTrsld[0].realTrsld, 0.5);
    EXPECT_EQ(model.snglAcidPriproTable[20][1], 5.0);
}

TEST_F(ModelLoader, MissingFiles) {
    const std::string path = dir_.Path("paramater/paramL0G0-ex0.txt");
    for (bool matrix : {false, true}) {
        std::vector<std::string> warnings;
        try {
            matrix ? ReadTransitionFile(path, model, warnings) : ReadParameterFile(path, kMaxRules, model, warnings);
            ADD_FAILURE() << "no error";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.kind, EngineError::Kind::CannotOpen);
            EXPECT_EQ(e.file, path);
        }
    }
    EXPECT_TRUE(model.rules.empty());
}

TEST_F(ModelLoader, OutOfRangeRuleFieldsRejectedByKind) {
    struct Case {
        const char* line;
        const char* field;  // nullptr: accepted
    };
    const Case cases[] = {
        {"0,4,0,0,0,1", "first"},  {"0,0,-1,0,0,1", "second"}, {"0,0,0,4,0,1", "third"},
        {"2,21,0,0,0,1", "first"}, {"2,-1,0,0,0,1", "first"},  {"3,0,21,0,0,1", "second"},
        {"3,21,0,0,0,1", "first"}, {"3,0,0,0,4,1", "gap"},     {"3,0,0,0,-1,1", "gap"},
        // Fields that the rule's kind does not use are not checked.
        {"0,3,3,3,99,1", nullptr}, {"2,20,99,-5,7,1", nullptr}, {"3,20,20,99,3,1", nullptr},
        {"1,99,99,99,99,1", nullptr}, {"5,-9,-9,-9,-9,1", nullptr},
    };
    for (const Case& c : cases) {
            ParamFile file;
        file.Rule(2) = c.line;
        const EngineError e = Rejection(file.Text());
        if (c.field == nullptr) {
            EXPECT_EQ(e.problem, "accepted") << c.line;
            continue;
        }
        EXPECT_EQ(e.file, path_) << c.line;
        EXPECT_EQ(e.line, 3) << c.line;
        EXPECT_EQ(e.problem.rfind(std::string("field ") + c.field + " is ", 0), 0u) << e.problem;
    }
}

TEST_F(ModelLoader, TruncatedFileLoadsWithOneWarning) {
    ParamFile file;
    file.Rule(0) = "2,3,0,0,0,0.5";
    const std::vector<std::string> warnings = LoadParameters(file.Text(100));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind(path_ + ": ", 0), 0u) << warnings[0];
    ASSERT_EQ(model.rules.size(), 500u);
    EXPECT_EQ(model.rules[0].weight, 0.5);
    // Complete files warn about nothing, with or without a final line feed
    // and with anything after the last line read.
    std::string text = file.Text();
    EXPECT_TRUE(LoadParameters(text.substr(0, text.size() - 1)).empty());
    EXPECT_TRUE(LoadParameters(text + "9,9\nextra\n").empty());
}

TEST_F(ModelLoader, OverlongLineLoadsWithOneWarning) {
    ParamFile file;
    file.Rule(10) = "2,5,0,0,0,1.25";
    file.Rule(10).resize(255, ' ');  // the longest line that fits
    EXPECT_TRUE(LoadParameters(file.Text()).empty());
    EXPECT_EQ(model.rules[10].weight, 1.25);

    file.Rule(10).resize(256, ' ');
    const std::vector<std::string> warnings = LoadParameters(file.Text());
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind(path_ + " line 11: ", 0), 0u) << warnings[0];
    ASSERT_EQ(model.rules.size(), 500u);
    EXPECT_EQ(model.rules[10].kind, 2);
    EXPECT_EQ(model.rules[10].weight, 1.25);  // its first 255 characters are parsed
}

TEST_F(ModelLoader, TransitionFile) {
    const std::string lines = "0,0,0,0,\n1.5,-0.5,-2,-3,\n -1e3, 2 ,3,4\r\n4,5\n9,9,9,9\n";
    EXPECT_TRUE(LoadMatrix(lines).empty());
    EXPECT_EQ(model.malkovChain[0][1], 1.5);  // non-coding -> coding
    EXPECT_EQ(model.malkovChain[1][1], -0.5);
    EXPECT_EQ(model.malkovChain[2][1], -2.0);
    EXPECT_EQ(model.malkovChain[3][1], -3.0);
    EXPECT_EQ(model.malkovChain[0][2], -1000.0);
    EXPECT_EQ(model.malkovChain[1][2], 2.0);
    EXPECT_EQ(model.malkovChain[3][2], 4.0);
    EXPECT_EQ(model.malkovChain[0][3], 4.0);
    EXPECT_EQ(model.malkovChain[1][3], 5.0);  // missing fields repeat the last one
    EXPECT_EQ(model.malkovChain[3][3], 5.0);
    EXPECT_EQ(model.malkovChain[0][0], 0.0);  // the fifth line is never read

    EXPECT_TRUE(LoadMatrix("0,0,0,0\n1.5,-0.5,-2,-3\n-1000,2,3,4\n4,5\n").empty());
    EXPECT_EQ(model.malkovChain[0][1], 1.5);
    EXPECT_EQ(model.malkovChain[3][1], -3.0);
}

TEST_F(ModelLoader, ShortTransitionFileLoadsWithOneWarning) {
    const std::vector<std::string> warnings = LoadMatrix("1,2,3,4\n5,6,7,8\n");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_EQ(warnings[0].rfind(path_ + ": ", 0), 0u) << warnings[0];
    EXPECT_EQ(model.malkovChain[3][0], 4.0);
    EXPECT_EQ(model.malkovChain[0][1], 5.0);
}

}  // namespace
}  // namespace talvo

namespace talvo {
namespace {

// Numbers read like strtod in the C locale, bit for bit, whichever way the
// reader takes: plain decimals, and everything strtod reads otherwise.
TEST(LenientReal, ReadsLikeStrtod) {
    for (const char* text :
         {"0.24658653885193998", "-0.0052750571226766133", "98", "0", "-0", "1.", "1e5", "2.5E-3",
          "1e308", "1e309", "-1e999", "4e-320", "1e-400", "0x1p3", "-0X10", "+1.5", " 7.25", "inf",
          "-nan", "1.5abc", "1e", ".5", "-", "", "12345678901234567890123", "0.1e-1x"}) {
        const double expected = std::strtod(text, nullptr);
        const double actual = LenientReal(text);
        EXPECT_EQ(std::bit_cast<uint64_t>(actual), std::bit_cast<uint64_t>(expected)) << text;
    }
}

}  // namespace
}  // namespace talvo
