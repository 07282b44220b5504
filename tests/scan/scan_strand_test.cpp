// With the shipped human model: a read and its reverse complement get the
// same coding region and errors, mirrored, and the same protein.
#include <gtest/gtest.h>

#include "CodingSequence.h"
#include "PlantedReads.h"
#include "ReadBases.h"

namespace talvo::scan {
namespace {

std::vector<short> Codes(const std::string& text) {
    std::vector<short> codes;
    for (unsigned char c : text) codes.push_back(kReadBaseCode[c]);
    return codes;
}

TEST(ScanStrandWithModel, ReadAndReverseComplementMirrorEachOther) {
    const ModelSet models(TALVO_SOURCE_DIR "/param-human");
    const std::string cdna = testing::ReadCdna(TALVO_SOURCE_DIR "/sample.txt");
    int predicted = 0;
    for (const auto& planted : testing::PlantedReads(cdna, 24, 11)) {
        SCOPED_TRACE(planted.id);
        const std::vector<short> read = Codes(planted.bases);
        const std::vector<short> reverse = ReverseComplement(read);
        const int length = static_cast<int>(read.size());
        const ReadPrediction a = PredictRead(models, read, StrandMode::Both);
        const ReadPrediction b = PredictRead(models, reverse, StrandMode::Both);
        ASSERT_EQ(a.status, b.status);
        if (a.status != ReadStatus::Cds) continue;
        ++predicted;
        EXPECT_NE(a.minus, b.minus);
        EXPECT_EQ(a.first, length - 1 - b.last);
        EXPECT_EQ(a.last, length - 1 - b.first);
        ASSERT_EQ(a.errors.size(), b.errors.size());
        for (std::size_t i = 0; i < a.errors.size(); ++i) {
            const SequencingError& mirrored = b.errors[b.errors.size() - 1 - i];
            EXPECT_EQ(a.errors[i].kind, mirrored.kind);
            const int expected = a.errors[i].kind == ErrorKind::Insertion ? length - 1 - mirrored.pos
                                                                          : length - mirrored.pos;
            EXPECT_EQ(a.errors[i].pos, expected);
        }
        EXPECT_EQ(Translate(CorrectedCds(read, a)), Translate(CorrectedCds(reverse, b)));
    }
    EXPECT_GE(predicted, 20);
}

}  // namespace
}  // namespace talvo::scan
