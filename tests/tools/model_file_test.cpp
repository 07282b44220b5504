// Parameter and transition files written by the trainer load back, through
// the engine's loaders that every program uses, to exactly the tables that
// were written.
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "ClassModel.h"
#include "EngineError.h"
#include "Model.h"
#include "Random.h"
#include "StagedDirectory.h"

namespace talvo::tools {
namespace {

namespace fs = std::filesystem;

// Values that need all 17 digits to come back unchanged.
double Awkward(Random& rng) { return (rng.Uniform() - 0.5) * std::pow(10.0, static_cast<int>(rng.Below(9)) - 4); }

Model RandomModel(uint64_t seed) {
    Random rng(seed);
    Model m = EmptyClassModel(196);
    for (int i = 0; i < kMaxRules; ++i) {
        const int kind = static_cast<int>(rng.Below(4));
        fnlHypo& r = m.rules[i];
        r.kind = kind;
        r.weight = Awkward(rng);
        r.first = static_cast<int>(rng.Below(kind == 0 ? 4 : kAminoAcids));
        r.second = static_cast<int>(rng.Below(kind == 0 ? 4 : kAminoAcids));
        r.third = kind == 0 ? static_cast<int>(rng.Below(4)) : 0;
        r.gap = kind == 3 ? static_cast<int>(rng.Below(4)) : 0;
        m.codonTrsld[i] = {static_cast<int>(rng.Below(2)), 0, Awkward(rng)};
        m.pairAcidTrsld[i] = {static_cast<int>(rng.Below(2)), 0, Awkward(rng)};
        m.snglAcidTrsld[i] = {static_cast<int>(rng.Below(2)), static_cast<int>(rng.Below(70)) - 3, 0.0};
    }
    for (auto& g : m.pairAcidPriproTable)
        for (auto& a : g)
            for (auto& p : a) p[0] = Awkward(rng), p[1] = Awkward(rng);
    for (auto& p : m.snglAcidPriproTable) p[0] = Awkward(rng), p[1] = Awkward(rng);
    for (auto& row : m.malkovChain)
        for (double& v : row) v = rng.Below(5) == 0 ? -1000.0 : Awkward(rng);
    return m;
}

class ModelFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("talvo-model-file-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(ModelFileTest, WrittenFilesLoadBackToTheSameTables) {
    const Model model = RandomModel(7);
    WriteParameterFile(model, (dir_ / "param.txt").string());
    WriteTransitionFile(model, (dir_ / "matrix.txt").string());

    const Model back = LoadModel((dir_ / "param.txt").string(), (dir_ / "matrix.txt").string(), 196);

    ASSERT_EQ(back.rules.size(), static_cast<std::size_t>(kMaxRules));
    for (int i = 0; i < kMaxRules; ++i) {
        EXPECT_EQ(back.rules[i].kind, model.rules[i].kind) << i;
        EXPECT_EQ(back.rules[i].first, model.rules[i].first) << i;
        EXPECT_EQ(back.rules[i].second, model.rules[i].second) << i;
        EXPECT_EQ(back.rules[i].third, model.rules[i].third) << i;
        EXPECT_EQ(back.rules[i].gap, model.rules[i].gap) << i;
        EXPECT_EQ(back.rules[i].weight, model.rules[i].weight) << i;
        EXPECT_EQ(back.codonTrsld[i].dir, model.codonTrsld[i].dir);
        EXPECT_EQ(back.codonTrsld[i].realTrsld, model.codonTrsld[i].realTrsld);
        EXPECT_EQ(back.pairAcidTrsld[i].realTrsld, model.pairAcidTrsld[i].realTrsld);
        EXPECT_EQ(back.snglAcidTrsld[i].intTrsld, model.snglAcidTrsld[i].intTrsld);
    }
    EXPECT_EQ(std::memcmp(back.pairAcidPriproTable, model.pairAcidPriproTable, sizeof model.pairAcidPriproTable), 0);
    EXPECT_EQ(std::memcmp(back.snglAcidPriproTable, model.snglAcidPriproTable, sizeof model.snglAcidPriproTable), 0);
    EXPECT_EQ(std::memcmp(back.malkovChain, model.malkovChain, sizeof model.malkovChain), 0);
}

TEST_F(ModelFileTest, UnwritableFileIsReported) {
    EXPECT_THROW(WriteParameterFile(EmptyClassModel(96), (dir_ / "missing" / "param.txt").string()), std::runtime_error);
}

// A model that the single-read program loads with a warning (or silently,
// a value nan or inf) is refused by the strict reading that talvo-scan,
// talvo-train and talvo-eval use, with its file and line.
TEST_F(ModelFileTest, StrictReadingRefusesWhatLenientReadingTakes) {
    const Model model = RandomModel(3);
    WriteParameterFile(model, (dir_ / "param.txt").string());
    WriteTransitionFile(model, (dir_ / "matrix.txt").string());
    const auto lines = [](const fs::path& path) {
        std::ifstream in(path);
        std::vector<std::string> all;
        for (std::string line; std::getline(in, line);) all.push_back(line);
        return all;
    };
    const std::vector<std::string> param = lines(dir_ / "param.txt");
    const std::vector<std::string> matrix = lines(dir_ / "matrix.txt");
    const struct {
        const char* name;
        bool inParam;
        int line;         // replaced (1-based), or 0
        std::string text;
        std::size_t keep;  // lines kept
        int errorLine;
        std::string problem;
    } cases[] = {
        {"nan weight", true, 3, "0,1,2,3,0,nan", 3785, 3, "value 'nan' is not a finite number"},
        {"inf threshold", true, 600, "1,inf", 3785, 600, "value 'inf' is not a finite number"},
        {"-inf pseudo-count", true, 3785, "0.5,-inf", 3785, 3785, "value '-inf' is not a finite number"},
        {"nan transition", false, 2, "1,2,NaN,4", 4, 2, "value 'NaN' is not a finite number"},
        {"half the parameter file", true, 0, "", 1892, 1893, "the file ends here, after 1892 of its 3785 lines"},
        {"half the transition file", false, 0, "", 2, 3, "the file ends here, after 2 of its 4 lines"},
        {"overlong line", true, 11, "2,5,0,0,0,1.25" + std::string(250, ' '), 3785, 11,
         "line of 256 characters or more"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> text = c.inParam ? param : matrix;
        if (c.line > 0) text[c.line - 1] = c.text;
        text.resize(c.keep);
        const fs::path path = dir_ / (c.inParam ? "bad-param.txt" : "bad-matrix.txt");
        std::ofstream out(path);
        for (const std::string& line : text) out << line << '\n';
        out.close();
        const std::string paramPath = (c.inParam ? path : dir_ / "param.txt").string();
        const std::string matrixPath = (c.inParam ? dir_ / "matrix.txt" : path).string();
        try {
            LoadModel(paramPath, matrixPath, 196);
            ADD_FAILURE() << "loaded";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.file, path.string());
            EXPECT_EQ(e.line, c.errorLine);
            EXPECT_EQ(e.problem, c.problem);
        }
        Model lenient;
        std::vector<std::string> warnings;
        EXPECT_NO_THROW(ReadParameterFile(paramPath, kMaxRules, lenient, warnings));
        EXPECT_NO_THROW(ReadTransitionFile(matrixPath, lenient, warnings));
    }
}

// A model directory is written beside its place and moved there whole.
TEST_F(ModelFileTest, StagedDirectoryReplacesTheEarlierOneWholeOrNotAtAll) {
    const fs::path target = dir_ / "param-mine";
    fs::create_directories(target / "paramater");
    std::ofstream(target / "paramater" / "old.txt") << "old\n";
    {
        StagedDirectory staged(target.string());
        std::ofstream(fs::path(staged.Path()) / "half.txt") << "half\n";
        EXPECT_EQ(staged.AsTarget(staged.Path() + "/half.txt line 2: bad"), target.string() + "/half.txt line 2: bad");
    }  // failed before Commit
    EXPECT_TRUE(fs::exists(target / "paramater" / "old.txt"));
    EXPECT_FALSE(fs::exists(target / "half.txt"));
    for (const fs::path& place : {target, dir_ / "new-dir"}) {
        {
            StagedDirectory staged(place.string());
            std::ofstream(fs::path(staged.Path()) / "new.txt") << "new\n";
            staged.Commit();
        }
        EXPECT_TRUE(fs::exists(place / "new.txt"));
        EXPECT_FALSE(fs::exists(place / "paramater"));
    }
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) ++entries;
    EXPECT_EQ(entries, 2u);  // no staged directory left beside
}

}  // namespace
}  // namespace talvo::tools
