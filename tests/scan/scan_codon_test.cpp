// The codon and gene models in talvo-scan: their calls mapped onto the read
// with their confidences, in the table and the GFF3; and, with the shipped
// human model, every use writes the same bytes with one thread and with
// three, refinement keeping the window model's strand and coding region,
// the gene model giving each region's confidences on both strands.
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
        AppendTableLine(table, c.read, region, TableColumns::ErrorConfidence);
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
    AppendTableLine(table, plusRead, region(CodonCall{0, 20, 0, {}, 3.5}, false), TableColumns::ErrorConfidence);
    AppendTableLine(table, plusRead, region(CodonCall{-1, -1, 0, {}, -2}, true), TableColumns::ErrorConfidence);
    AppendTableLine(table, Read{"s", BaseCodes("ACGT"), 3}, CodingRegion{}, TableColumns::ErrorConfidence);
    EXPECT_EQ(table,
              "r1\t24\t+\t1\t21\t0\t-\t3.5\tcds\t-\tcomplete\tcomplete\n"
              "r1\t24\t.\t-\t-\t0\t-\t-\tno_cds\t-\t-\t-\n"
              "s\t4\t.\t-\t-\t0\t-\t-\ttoo_short\t-\t-\t-\n");
    EXPECT_EQ(TableStart("p", TableColumns::ErrorConfidence),
              "# p\nread\tlength\tstrand\tcds_first\tcds_last\terrors\terror_list\tpath_score\tstatus\t"
              "error_confidence\tcds_5prime\tcds_3prime\n");
}

// The gene model's columns: the errors' confidences, then the start's and
// the stop's; the GFF3 scores the gene and its mRNA with the lower; a region
// below the confidence asked for is listed as such and left out of the GFF3.
TEST(ScanCodon, GeneModelColumnsAndRegionsBelowTheConfidence) {
    const Read read{"r1", BaseCodes(kRead), 1};
    ReadPrediction p = OnRead(kCall, false, 24);
    p.startConfidence = 0.974;
    p.stopConfidence = 0.881;
    std::string table, gff;
    AppendTableLine(table, read, MakeCodingRegion(read.bases, p), TableColumns::GeneConfidence);
    AppendTableLine(table, read, MakeCodingRegion(read.bases, OnRead(CodonCall{-1, -1, 0, {}, -2}, false, 24)),
                    TableColumns::GeneConfidence);
    AppendGff3(gff, read, MakeCodingRegion(read.bases, p));
    p.status = ReadStatus::LowConfidence;
    AppendTableLine(table, read, MakeCodingRegion(read.bases, p), TableColumns::GeneConfidence);
    EXPECT_EQ(table,
              "r1\t24\t+\t1\t21\t2\tI7,D16\t7.25\tcds\t0.93,0.50\t0.97\t0.88\tcomplete\tcomplete\n"
              "r1\t24\t.\t-\t-\t0\t-\t-\tno_cds\t-\t-\t-\t-\t-\n"
              "r1\t24\t+\t1\t21\t2\tI7,D16\t7.25\tlow_confidence\t0.93,0.50\t0.97\t0.88\tcomplete\tcomplete\n");
    EXPECT_NE(gff.find("\tgene\t1\t24\t0.88\t+\t.\tID=gene1"), std::string::npos) << gff;
    EXPECT_NE(gff.find("\tmRNA\t1\t24\t0.88\t+\t.\tID=mRNA1"), std::string::npos) << gff;
    std::string left;
    AppendGff3(left, read, MakeCodingRegion(read.bases, p));
    EXPECT_EQ(left, "##sequence-region r1 1 24\n###\n");
    EXPECT_EQ(TableStart("p", TableColumns::GeneConfidence),
              "# p\nread\tlength\tstrand\tcds_first\tcds_last\terrors\terror_list\tpath_score\tstatus\t"
              "error_confidence\tstart_confidence\tstop_confidence\tcds_5prime\tcds_3prime\n");
}

// Every use in process with batches of two reads (ThreadSanitizer watches
// the shared decoder in its build).
TEST(ScanCodonRun, OneAndThreeThreadsWriteTheSameBytes) {
    const std::string dir = (std::filesystem::temp_directory_path() /
                             ("talvo-scan-codon-" + std::to_string(getpid()))).string();
    const std::string reads = testing::WritePlantedReads(TALVO_SOURCE_DIR "/sample.txt", dir);
    const std::string model = TALVO_SOURCE_DIR "/param-human";
    const ModelSet windows(model);
    const CodonModel codonModel = ReadCodonModel(CodonModelPath(model));
    const GeneModel geneModel = ReadGeneModel(GeneModelPath(model));
    // The table, GFF3 and proteins of a run.
    const auto run = [&](ScanUse use, const std::string& setting, int threads) {
        ScanOptions options;
        options.inputs = {reads};
        options.modelDirectory = "param-human";
        options.use = use;
        options.errorSetting = setting;
        const std::string prefix = dir + "/run";
        options.table = prefix + ".tsv";
        options.gff3 = prefix + ".gff3";
        options.protein = prefix + ".faa";
        options.threads = threads;
        options.quiet = true;
        std::ostringstream err;
        const bool codon = use == ScanUse::Refine || use == ScanUse::LongRead;
        const std::optional<CodonDecoder> decoder =
            codon ? std::optional<CodonDecoder>(std::in_place, codonModel, setting) : std::nullopt;
        const std::optional<GenePredictor> gene =
            use == ScanUse::Gene ? std::optional<GenePredictor>(std::in_place, codonModel, geneModel, setting, GeneOptions{})
                                 : std::nullopt;
        EXPECT_EQ(ScanReads(options, {windows, decoder ? &*decoder : nullptr, gene ? &*gene : nullptr}, err, {2, 100000}),
                  0)
            << err.str();
        std::string outputs[3];
        for (int o = 0; o < 3; ++o) {
            std::ifstream in(prefix + (o == 0 ? ".tsv" : o == 1 ? ".gff3" : ".faa"));
            outputs[o] = std::string(std::istreambuf_iterator<char>(in), {});
        }
        return std::vector<std::string>(std::begin(outputs), std::end(outputs));
    };
    const std::vector<std::string> window = run(ScanUse::Window, "", 1);
    for (const auto& [use, setting] : {std::pair{ScanUse::Refine, "est"}, std::pair{ScanUse::LongRead, "ont"},
                                       std::pair{ScanUse::Gene, "est"}}) {
        SCOPED_TRACE(setting);
        const std::vector<std::string> one = run(use, setting, 1);
        EXPECT_EQ(one, run(use, setting, 3));
        EXPECT_NE(one[0].find("\tcds\t"), std::string::npos);
        if (use == ScanUse::Gene) {
            // Each region's start and stop confidence (0 to 1), on both
            // strands; the GFF3 scores genes with the lower of the two.
            std::istringstream table(one[0]);
            std::string line;
            int strands[2] = {0, 0};
            while (std::getline(table, line)) {
                std::istringstream fields(line);
                std::vector<std::string> f;
                for (std::string field; std::getline(fields, field, '\t');) f.push_back(field);
                if (f.size() != 14 || f[8] != "cds") continue;
                ++strands[f[2] == "-"];
                const double start = std::stod(f[10]);
                const double stop = std::stod(f[11]);
                EXPECT_TRUE(start >= 0.0 && start <= 1.0 && stop >= 0.0 && stop <= 1.0) << line;
                char score[64];
                std::snprintf(score, sizeof score, "\t%.2f\t%s\t.\tID=gene", std::min(start, stop), f[2].c_str());
                EXPECT_NE(one[1].find(score), std::string::npos) << line;
            }
            EXPECT_GT(strands[0], 0);
            EXPECT_GT(strands[1], 0);
            continue;
        }
        if (use != ScanUse::Refine) continue;
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
