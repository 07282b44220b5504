// With the shipped human model: a read and its reverse complement get the
// same coding region and errors, mirrored, and the same protein; a whole run
// writes the same bytes with one thread and with three.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "CodingSequence.h"
#include "PlantedReads.h"
#include "ReadBases.h"
#include "ScanRun.h"

namespace talvo::scan {
namespace {

TEST(ScanStrandWithModel, ReadAndReverseComplementMirrorEachOther) {
    const ModelSet models(TALVO_SOURCE_DIR "/param-human");
    const std::string cdna = testing::ReadCdna(TALVO_SOURCE_DIR "/sample.txt");
    int predicted = 0;
    for (const auto& planted : testing::PlantedReads(cdna, 24, 11)) {
        SCOPED_TRACE(planted.id);
        const std::vector<short> read = BaseCodes(planted.bases);
        const std::vector<short> reverse = ReverseComplement(read);
        const int length = static_cast<int>(read.size());
        const ReadPrediction a = PredictRead(models, PredictionOptions{}, read, StrandMode::Both);
        const ReadPrediction b = PredictRead(models, PredictionOptions{}, reverse, StrandMode::Both);
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
        EXPECT_EQ(MakeCodingRegion(read, a).protein, MakeCodingRegion(reverse, b).protein);
    }
    EXPECT_GE(predicted, 20);
}

}  // namespace
}  // namespace talvo::scan

namespace talvo::scan {
namespace {

// The whole run in process, with batches of two reads: what ThreadSanitizer
// watches in its build.
TEST(ScanRunWithModel, OneAndThreeThreadsWriteTheSameBytes) {
    const std::string dir = (std::filesystem::temp_directory_path() /
                             ("talvo-scan-run-" + std::to_string(getpid()))).string();
    const std::string reads = testing::WritePlantedReads(TALVO_SOURCE_DIR "/sample.txt", dir);
    const ModelSet models(TALVO_SOURCE_DIR "/param-human");
    std::string outputs[2];
    for (int run = 0; run < 2; ++run) {
        ScanOptions options;
        options.inputs = {reads};
        options.modelDirectory = "param-human";
        options.use = ScanUse::Window;
        const std::string prefix = dir + "/run" + std::to_string(run);
        options.table = prefix + ".tsv";
        options.gff3 = prefix + ".gff3";
        options.protein = prefix + ".faa";
        options.threads = run == 0 ? 1 : 3;
        options.quiet = true;
        std::ostringstream err;
        ASSERT_EQ(ScanReads(options, models, err, {2, 100000}), 0) << err.str();
        for (const char* ext : {".tsv", ".gff3", ".faa"}) {
            std::ifstream in(prefix + ext);
            outputs[run] += std::string(std::istreambuf_iterator<char>(in), {});
        }
    }
    EXPECT_EQ(outputs[0], outputs[1]);
    EXPECT_NE(outputs[0].find("\tcds\t"), std::string::npos);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace talvo::scan
