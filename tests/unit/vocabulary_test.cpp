// The run object's vocabulary: genetic code, codon rates, printed bases and
// class indices.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "CodonTable.h"
#include "Test.h"

namespace talvo {
namespace {

enum : int { A = 0, T = 1, G = 2, C = 3 };

TEST(CodonTable, StartStopAndTryptophan) {
    ReadData rd;
    EXPECT_EQ(rd.CodonTable(A, T, G), 10);
    EXPECT_EQ(rd.CodonTable(T, A, A), 20);
    EXPECT_EQ(rd.CodonTable(T, A, G), 20);
    EXPECT_EQ(rd.CodonTable(T, G, A), 20);
    EXPECT_EQ(rd.CodonTable(T, G, G), 18);
    EXPECT_EQ(rd.CodonTable(C, C, C), 12);
    EXPECT_EQ(rd.CodonTable(A, A, A), 8);
}

TEST(CodonTable, CodonsPerAminoAcidFollowTheStandardCode) {
    // Number of codons per class, Ala .. Tyr, stop.
    const std::array<int, 21> expected = {4, 2, 2, 2, 2, 4, 2, 3, 2, 6, 1,
                                          2, 4, 2, 6, 6, 4, 4, 1, 2, 3};
    std::array<int, 21> counted{};
    ReadData rd;
    for (int b1 = 0; b1 < 4; ++b1)
        for (int b2 = 0; b2 < 4; ++b2)
            for (int b3 = 0; b3 < 4; ++b3) {
                const int aa = rd.CodonTable(b1, b2, b3);
                ASSERT_GE(aa, 0);
                ASSERT_LE(aa, 20);
                ++counted[aa];
                EXPECT_DOUBLE_EQ(rd.BasicCodonRate(b1, b2, b3), 1.0 / expected[aa]);
            }
    EXPECT_EQ(counted, expected);
}

TEST(CodonTable, UnknownOrOutOfRangeBases) {
    ReadData rd;
    for (auto [b1, b2, b3] : std::array<std::array<int, 3>, 6>{
             {{-1, T, G}, {A, -1, G}, {A, T, -1}, {4, T, G}, {A, 4, G}, {A, T, 4}}}) {
        EXPECT_EQ(rd.CodonTable(b1, b2, b3), -1);
        EXPECT_EQ(rd.BasicCodonRate(b1, b2, b3), -1.0);
    }
}

TEST(CodonTable, BasicCodonRates) {
    ReadData rd;
    EXPECT_EQ(rd.BasicCodonRate(T, G, A), 1.0 / 3);
    EXPECT_EQ(rd.BasicCodonRate(A, T, G), 1.0);
    EXPECT_EQ(rd.BasicCodonRate(C, T, G), 1.0 / 6);
    EXPECT_EQ(rd.BasicCodonRate(G, C, A), 0.25);
    EXPECT_EQ(rd.BasicCodonRate(A, T, A), 1.0 / 3);  // Ile
}

TEST(CodonTable, PrintedBases) {
    ReadData rd;
    EXPECT_EQ(rd.outPutBase(0), 'A');
    EXPECT_EQ(rd.outPutBase(1), 'T');
    EXPECT_EQ(rd.outPutBase(2), 'G');
    EXPECT_EQ(rd.outPutBase(3), 'C');
    EXPECT_EQ(rd.outPutBase(-1), 'n');
    EXPECT_EQ(rd.outPutBase(4), 'n');
    EXPECT_EQ(rd.outPutBase(-32768), 'n');
}

TEST(ChkState, ClassIndices) {
    talvo::Test t;
    EXPECT_EQ(t.ChkState(-10), 0);
    EXPECT_EQ(t.ChkState(-1), 1);
    EXPECT_EQ(t.ChkState(-22), 2);
    EXPECT_EQ(t.ChkState(-100), 3);
    for (int other : {-1000, -20, -21, -14, 0, 1, 10, 3}) EXPECT_EQ(t.ChkState(other), -1) << other;
}

}  // namespace
}  // namespace talvo
