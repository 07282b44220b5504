// The codon model in talvo-scan: its calls mapped onto the read with their
// confidences, in the table and the GFF3; and, with the shipped human model,
// both uses write the same bytes with one thread and with three, refinement
// keeping the window model's strand and coding region.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "CodingSequence.h"
#include "CodonPrediction.h"
#include "Outputs.h"
#include "PlantedReads.h"
#include "ScanRun.h"

namespace talvo::scan {
namespace {

// ATG AAA (extra C) GGG TTT CC(missing) TGG TAA, then CCC.
const std::string kRead = "ATGAAACGGGTTTCCTGGTAACCC";
const CodonCall kCall{0, 20, 0, {{6, ErrorKind::Insertion, 0.934}, {15, ErrorKind::Deletion, 0.5}}, 7.25};

TEST(ScanCodon, CallsAndConfidencesOnBothStrands) {
    const Read plusRead{"r1", BaseCodes(kRead), 1};
    const Read minusRead{"r2", ReverseComplement(plusRead.bases), 2};
    struct Case {
        const Read& read;
        bool minus;
        std::string table;
        std::string mrnaAttributes;
    };
    const Case cases[] = {
        {plusRead, false, "r1\t24\t+\t1\t21\t2\tI7,D16\t7.25\tcds\t0.93,0.50\tcomplete\tcomplete\n",
         "path_score=7.25;sequencing_errors=I7,D16;error_confidence=0.93,0.50\n"},
        {minusRead, true, "r2\t24\t-\t4\t24\t2\tD10,I18\t7.25\tcds\t0.50,0.93\tcomplete\tcomplete\n",
         "path_score=7.25;sequencing_errors=D10,I18;error_confidence=0.50,0.93\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.read.id);
        const CodingRegion region = MakeCodingRegion(c.read.bases, OnRead(kCall, c.minus, 24));
        std::string table, gff;
        AppendTableLine(table, c.read, region, true);
        AppendGff3(gff, c.read, region);
        EXPECT_EQ(table, c.table);
        EXPECT_NE(gff.find(c.mrnaAttributes), std::string::npos) << gff;
        EXPECT_EQ(region.protein, "MKGFXW*");
    }

    // A coding region without errors, none, a short read: "-" for the
    // confidences; the header names them.
    std::string table;
    const auto region = [&](const CodonCall& call, bool minus) {
        return MakeCodingRegion(plusRead.bases, OnRead(call, minus, 24));
    };
    AppendTableLine(table, plusRead, region(CodonCall{0, 20, 0, {}, 3.5}, false), true);
    AppendTableLine(table, plusRead, region(CodonCall{-1, -1, 0, {}, -2}, true), true);
    AppendTableLine(table, Read{"s", BaseCodes("ACGT"), 3}, CodingRegion{}, true);
    EXPECT_EQ(table,
              "r1\t24\t+\t1\t21\t0\t-\t3.5\tcds\t-\tcomplete\tcomplete\n"
              "r1\t24\t.\t-\t-\t0\t-\t-\tno_cds\t-\t-\t-\n"
              "s\t4\t.\t-\t-\t0\t-\t-\ttoo_short\t-\t-\t-\n");
    EXPECT_EQ(TableStart("p", true),
              "# p\nread\tlength\tstrand\tcds_first\tcds_last\terrors\terror_list\tpath_score\tstatus\t"
              "error_confidence\tcds_5prime\tcds_3prime\n");
}

// Both uses in process with batches of two reads (ThreadSanitizer watches
// the shared decoder in its build).
TEST(ScanCodonRun, OneAndThreeThreadsWriteTheSameBytes) {
    const std::string dir = (std::filesystem::temp_directory_path() /
                             ("talvo-scan-codon-" + std::to_string(getpid()))).string();
    const std::string reads = testing::WritePlantedReads(TALVO_SOURCE_DIR "/sample.txt", dir);
    const std::string model = TALVO_SOURCE_DIR "/param-human";
    const ModelSet windows(model);
    const CodonModel codonModel = ReadCodonModel(CodonModelPath(model));
    // The table, GFF3 and proteins of a run.
    const auto run = [&](CodonUse use, const std::string& setting, int threads) {
        ScanOptions options;
        options.inputs = {reads};
        options.modelDirectory = "param-human";
        options.codon = use;
        options.errorSetting = setting;
        const std::string prefix = dir + "/run";
        options.table = prefix + ".tsv";
        options.gff3 = prefix + ".gff3";
        options.protein = prefix + ".faa";
        options.threads = threads;
        options.quiet = true;
        std::ostringstream err;
        const std::optional<CodonDecoder> decoder =
            use == CodonUse::None ? std::nullopt : std::optional<CodonDecoder>(std::in_place, codonModel, setting);
        EXPECT_EQ(ScanReads(options, {windows, decoder ? &*decoder : nullptr}, err, {2, 100000}), 0) << err.str();
        std::string outputs[3];
        for (int o = 0; o < 3; ++o) {
            std::ifstream in(prefix + (o == 0 ? ".tsv" : o == 1 ? ".gff3" : ".faa"));
            outputs[o] = std::string(std::istreambuf_iterator<char>(in), {});
        }
        return std::vector<std::string>(std::begin(outputs), std::end(outputs));
    };
    const std::vector<std::string> window = run(CodonUse::None, "", 1);
    for (const auto& [use, setting] : {std::pair{CodonUse::Refine, "est"}, std::pair{CodonUse::LongRead, "ont"}}) {
        SCOPED_TRACE(setting);
        const std::vector<std::string> one = run(use, setting, 1);
        EXPECT_EQ(one, run(use, setting, 3));
        EXPECT_NE(one[0].find("\tcds\t"), std::string::npos);
        if (use != CodonUse::Refine) continue;
        // Refinement keeps the window model's reads, strands and coding
        // regions: the first five columns of the table, below its first line.
        std::istringstream windowTable(window[0]);
        std::istringstream refinedTable(one[0]);
        std::string a, b;
        std::getline(windowTable, a), std::getline(refinedTable, b);
        const auto firstColumns = [](const std::string& line) {
            std::size_t end = 0;
            for (int column = 0; column < 5 && end != std::string::npos; ++column) end = line.find('\t', end + 1);
            return line.substr(0, end);
        };
        int lines = 0;
        while (std::getline(windowTable, a) && std::getline(refinedTable, b)) {
            EXPECT_EQ(firstColumns(a), firstColumns(b));
            ++lines;
        }
        EXPECT_EQ(lines, 10);
    }
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace talvo::scan
