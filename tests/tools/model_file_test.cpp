// Parameter and transition files written by the trainer load back, through
// the engine's loaders that every program uses, to exactly the tables that
// were written.
#include <cmath>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "ClassModel.h"
#include "Model.h"
#include "Random.h"

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

    const LoadedModel loaded = LoadModel((dir_ / "param.txt").string(), (dir_ / "matrix.txt").string(), 196);
    const Model& back = loaded.model;

    EXPECT_TRUE(loaded.warnings.empty());
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

}  // namespace
}  // namespace talvo::tools
