// Unit tests of talvo-scan's parts: the strand mapping, the coding sequence
// read across errors, the outputs, the reader, the output file and the
// ordered pipeline.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "CodingSequence.h"
#include "CodonPrediction.h"
#include "OrderedPipeline.h"
#include "OutputFile.h"
#include "Outputs.h"
#include "ReadBases.h"
#include "SequenceInput.h"

namespace talvo::scan {
namespace {

std::string Letters(const std::vector<short>& codes) {
    std::string text;
    for (short code : codes) text += BaseLetter(code);
    return text;
}

Prediction Made(int start, int stop, std::vector<SequencingError> errors, double score = 12.5) {
    Prediction p;
    p.seqLayout.startBase = start;
    p.seqLayout.stopBase = stop;
    p.errors = std::move(errors);
    p.pathScore = score;
    return p;
}

// ATG AAA (extra C) GGG TTT CC(missing) TGG TAA, then CCC: the extra base
// at 6, a base missing just before 15.
const std::string kRead = "ATGAAACGGGTTTCCTGGTAACCC";
const Prediction kPlus = Made(0, 20, {{6, ErrorKind::Insertion}, {15, ErrorKind::Deletion}});

TEST(ScanCodingSequence, ReadAcrossAnInsertionAndADeletion) {
    const CodingRegion r = MakeCodingRegion(BaseCodes(kRead), OnRead(kPlus, false, 24));
    EXPECT_EQ(r.positions, (std::vector<int>{0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, -1, 15, 16, 17, 18, 19, 20}));
    EXPECT_EQ(Letters(r.cds), "ATGAAAGGGTTTCCNTGGTAA");
    EXPECT_EQ(r.protein, "MKGFXW*");
    // The codon with the missing base belongs to no stretch.
    ASSERT_EQ(r.stretches.size(), 3u);
    EXPECT_EQ(r.stretches[0].first, 0);
    EXPECT_EQ(r.stretches[0].last, 5);
    EXPECT_EQ(r.stretches[1].first, 7);
    EXPECT_EQ(r.stretches[1].last, 12);
    EXPECT_EQ(r.stretches[2].first, 15);
    EXPECT_EQ(r.stretches[2].last, 20);
}

// A prediction made on the reverse complement and mapped onto the read
// gives the same corrected coding sequence as on the strand it was made on.
TEST(ScanStrand, MinusStrandMappingKeepsTheCodingSequence) {
    struct Case {
        const char* name;
        std::string bases;
        Prediction prediction;  // on the reverse complement of bases
    };
    const std::string rc = Letters(ReverseComplement(BaseCodes(kRead)));
    const Case cases[] = {
        {"insertion and deletion", rc, kPlus},
        {"no error", rc, Made(3, 17, {})},
        {"neighbouring errors", rc + "GATTACA", Made(0, 26, {{5, ErrorKind::Insertion}, {6, ErrorKind::Deletion}, {10, ErrorKind::Deletion}})},
        {"last codon past the end", rc, Made(1, 24, {{9, ErrorKind::Deletion}})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<short> read = BaseCodes(c.bases);
        const int length = static_cast<int>(read.size());
        const ReadPrediction onRc = OnRead(c.prediction, false, length);
        const ReadPrediction onRead = OnRead(c.prediction, true, length);
        const CodingRegion rcRegion = MakeCodingRegion(ReverseComplement(read), onRc);
        const CodingRegion readRegion = MakeCodingRegion(read, onRead);
        EXPECT_EQ(Letters(readRegion.cds), Letters(rcRegion.cds));
        EXPECT_EQ(onRead.first, length - 1 - onRc.last);
        EXPECT_EQ(onRead.last, length - 1 - onRc.first);
        ASSERT_EQ(onRead.errors.size(), onRc.errors.size());
        for (std::size_t i = 1; i < onRead.errors.size(); ++i) EXPECT_LE(onRead.errors[i - 1].pos, onRead.errors[i].pos);
        // Stretches mirror each other.
        const auto& plus = rcRegion.stretches;
        const auto& minus = readRegion.stretches;
        ASSERT_EQ(plus.size(), minus.size());
        for (std::size_t i = 0; i < plus.size(); ++i) {
            EXPECT_EQ(minus[minus.size() - 1 - i].first, length - 1 - plus[i].last);
            EXPECT_EQ(minus[minus.size() - 1 - i].last, length - 1 - plus[i].first);
        }
    }
}

TEST(ScanStrand, ErrorPositionsMirrorOnTheRead) {
    // 20 bases: an extra base at 8 of the reverse complement is base 11 of the
    // read; a base missing before 12 of it is missing before 8 of the read.
    const ReadPrediction p = OnRead(Made(3, 17, {{8, ErrorKind::Insertion}, {12, ErrorKind::Deletion}}), true, 20);
    EXPECT_EQ(p.first, 2);
    EXPECT_EQ(p.last, 16);
    EXPECT_EQ(ErrorList(p.errors), "D9,I12");
}

TEST(ScanOutputs, EveryFormatOnBothStrands) {
    Read read{"r1", BaseCodes(kRead), 7};
    const CodingRegion plus = MakeCodingRegion(read.bases, OnRead(kPlus, false, 24));
    std::string table, gff, bed, protein, cds;
    AppendTableLine(table, read, plus);
    AppendGff3(gff, read, plus);
    AppendBed12(bed, read, plus);
    AppendProteinFasta(protein, read, plus);
    AppendCdsFasta(cds, read, plus);
    EXPECT_EQ(table, "r1\t24\t+\t1\t21\t2\tI7,D16\t12.5\tcds\tcomplete\tcomplete\n");
    EXPECT_EQ(gff,
              "##sequence-region r1 1 24\n"
              "r1\ttalvo-scan\tgene\t1\t24\t.\t+\t.\tID=gene7;Name=r1\n"
              "r1\ttalvo-scan\tmRNA\t1\t24\t.\t+\t.\tID=mRNA7;Parent=gene7;Name=r1;path_score=12.5;sequencing_errors=I7,D16\n"
              "r1\ttalvo-scan\tstart_codon\t1\t3\t.\t+\t.\tParent=mRNA7\n"
              "r1\ttalvo-scan\tCDS\t1\t6\t.\t+\t0\tID=cds7;Parent=mRNA7\n"
              "r1\ttalvo-scan\tCDS\t8\t13\t.\t+\t0\tID=cds7;Parent=mRNA7\n"
              "r1\ttalvo-scan\tCDS\t16\t21\t.\t+\t0\tID=cds7;Parent=mRNA7\n"
              "r1\ttalvo-scan\tstop_codon\t19\t21\t.\t+\t.\tParent=mRNA7\n"
              "r1\ttalvo-scan\tthree_prime_UTR\t22\t24\t.\t+\t.\tParent=mRNA7\n"
              "###\n");
    EXPECT_EQ(bed, "r1\t0\t21\tr1\t0\t+\t0\t21\t0\t3\t6,6,6,\t0,7,15,\n");
    EXPECT_EQ(protein, ">r1 cds=1..21 strand=+ errors=I7,D16\nMKGFXW*\n");
    EXPECT_EQ(cds, ">r1 cds=1..21 strand=+ errors=I7,D16\nATGAAAGGGTTTCCNTGGTAA\n");

    // The same read reverse-complemented, predicted on its minus strand.
    Read reverse{"r/2;x", ReverseComplement(read.bases), 8};
    const CodingRegion minus = MakeCodingRegion(reverse.bases, OnRead(kPlus, true, 24));
    table.clear(), gff.clear(), bed.clear(), protein.clear();
    AppendTableLine(table, reverse, minus);
    AppendGff3(gff, reverse, minus);
    AppendBed12(bed, reverse, minus);
    AppendProteinFasta(protein, reverse, minus);
    EXPECT_EQ(table, "r/2;x\t24\t-\t4\t24\t2\tD10,I18\t12.5\tcds\tcomplete\tcomplete\n");
    EXPECT_EQ(gff,
              "##sequence-region r%2F2%3Bx 1 24\n"
              "r%2F2%3Bx\ttalvo-scan\tgene\t1\t24\t.\t-\t.\tID=gene8;Name=r/2%3Bx\n"
              "r%2F2%3Bx\ttalvo-scan\tmRNA\t1\t24\t.\t-\t.\tID=mRNA8;Parent=gene8;Name=r/2%3Bx;path_score=12.5;sequencing_errors=D10,I18\n"
              "r%2F2%3Bx\ttalvo-scan\tthree_prime_UTR\t1\t3\t.\t-\t.\tParent=mRNA8\n"
              "r%2F2%3Bx\ttalvo-scan\tstop_codon\t4\t6\t.\t-\t.\tParent=mRNA8\n"
              "r%2F2%3Bx\ttalvo-scan\tCDS\t4\t9\t.\t-\t0\tID=cds8;Parent=mRNA8\n"
              "r%2F2%3Bx\ttalvo-scan\tCDS\t12\t17\t.\t-\t0\tID=cds8;Parent=mRNA8\n"
              "r%2F2%3Bx\ttalvo-scan\tCDS\t19\t24\t.\t-\t0\tID=cds8;Parent=mRNA8\n"
              "r%2F2%3Bx\ttalvo-scan\tstart_codon\t22\t24\t.\t-\t.\tParent=mRNA8\n"
              "###\n");
    EXPECT_EQ(bed, "r/2;x\t3\t24\tr/2;x\t0\t-\t3\t24\t0\t3\t6,6,6,\t0,8,15,\n");
    EXPECT_EQ(protein, ">r/2;x cds=4..24 strand=- errors=D10,I18\nMKGFXW*\n");

    // No coding region and too short: a table line only.
    table.clear(), gff.clear(), bed.clear();
    ReadPrediction none;
    none.status = ReadStatus::NoCds;
    none.pathScore = -10;
    AppendTableLine(table, read, MakeCodingRegion(read.bases, none));
    AppendBed12(bed, read, MakeCodingRegion(read.bases, none));
    AppendTableLine(table, Read{"s", BaseCodes("ACGT"), 9}, CodingRegion{});
    AppendGff3(gff, Read{"e", {}, 10}, CodingRegion{});
    EXPECT_EQ(table, "r1\t24\t.\t-\t-\t0\t-\t-\tno_cds\t-\t-\ns\t4\t.\t-\t-\t0\t-\t-\ttoo_short\t-\t-\n");
    EXPECT_EQ(bed, "");
    EXPECT_EQ(gff, "");
}

// A read that begins inside a codon (the codon model's calls): the codon
// cut by the first base is neither translated nor drawn out of frame.
TEST(ScanOutputs, RegionBeginningInsideACodonKeepsItsFrame) {
    // kRead without its first base: TG AAA (extra C) GGG TTT CC(missing) TGG TAA CCC.
    CodonCall call{0, 19, 2, {{5, ErrorKind::Insertion, 0.9}, {14, ErrorKind::Deletion, 0.8}}, 3.0};
    const Read plus{"p", BaseCodes(kRead.substr(1)), 1};
    const Read minus{"m", ReverseComplement(plus.bases), 2};
    const struct {
        const Read& read;
        bool minus;
        std::string cdsLines;
        std::string bed;
    } cases[] = {
        {plus, false, "1\t5\t.\t+\t2|7\t12\t.\t+\t0|15\t20\t.\t+\t0|", "p\t0\t20\tp\t0\t+\t0\t20\t0\t3\t5,6,6,\t0,6,14,\n"},
        {minus, true, "4\t9\t.\t-\t0|12\t17\t.\t-\t0|19\t23\t.\t-\t2|", "m\t3\t23\tm\t0\t-\t3\t23\t0\t3\t6,6,5,\t0,8,15,\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.read.id);
        const CodingRegion region = MakeCodingRegion(c.read.bases, OnRead(call, c.minus, 23));
        std::string gff, bed, protein, cds;
        AppendGff3(gff, c.read, region);
        AppendBed12(bed, c.read, region);
        AppendProteinFasta(protein, c.read, region);
        AppendCdsFasta(cds, c.read, region);
        std::string lines;
        for (std::size_t at = gff.find("\tCDS\t"); at != std::string::npos; at = gff.find("\tCDS\t", at + 1)) {
            lines += gff.substr(at + 5, gff.find("\tID=", at) - at - 5) + "|";
        }
        EXPECT_EQ(lines, c.cdsLines);
        EXPECT_EQ(bed, c.bed);
        EXPECT_EQ(cds.substr(cds.find('\n') + 1), "TGAAAGGGTTTCCNTGGTAA\n");
        EXPECT_EQ(protein.substr(protein.find(" codon_start=")), " codon_start=3\nKGFXW*\n");
    }
}

// talvo calls the last base of a region whose last codon follows a change of
// frame an extra base: talvo-scan ends the region before it.
TEST(ScanStrand, ExtraBaseOnTheRegionsLastBaseLiesOutsideIt) {
    const Prediction window = Made(0, 20, {{6, ErrorKind::Insertion}, {20, ErrorKind::Insertion}});
    const ReadPrediction plus = OnRead(window, false, 24);
    const ReadPrediction minus = OnRead(window, true, 24);
    EXPECT_EQ(plus.last, 19);
    EXPECT_EQ(ErrorList(plus.errors), "I7");
    EXPECT_EQ(minus.first, 4);
    EXPECT_EQ(ErrorList(minus.errors), "I18");
}

// Inputs written to a scratch file, plain or gzip-compressed.
class ScanInput : public ::testing::Test {
protected:
    void TearDown() override { std::filesystem::remove(path_); }
    const std::string& Write(const std::string& content, bool gzip = false) {
        if (gzip) {
            gzFile out = gzopen(path_.c_str(), "wb");
            gzwrite(out, content.data(), static_cast<unsigned>(content.size()));
            gzclose(out);
        } else {
            std::ofstream(path_, std::ios::binary) << content;
        }
        return path_;
    }
    std::string path_ = (std::filesystem::temp_directory_path() /
                         ("talvo-scan-input-" + std::to_string(getpid()))).string();
};

// Every read of an input as "id:BASES" (N for unknown), and the error.
std::string ReadAll(const std::string& path, std::string& error) {
    ReadBatches batches({path});
    std::vector<Read> batch;
    std::string text;
    while (batches.Next(batch, 1000, 2)) {
        for (const Read& read : batch) text += read.id + ":" + Letters(read.bases) + " ";
    }
    error = batches.Error();
    return text;
}

TEST_F(ScanInput, RecordsOfEveryForm) {
    const struct {
        const char* name;
        std::string content;
        std::string reads;
    } cases[] = {
        {"FASTA, mixed case, U, line breaks", ">a desc\nACGU\nacgt\n>b\n\n>c x\nNNRY\n", "a:ACGTACGT b: c:NNNN "},
        {"FASTQ", "@r1 x\nACGT\n+\nIIII\n@r2\nAC\n+r2\nII\n", "r1:ACGT r2:AC "},
        {"CR LF line ends", ">a\r\nAC\r\nGT\r\n", "a:ACGT "},
        {"empty input", "", ""},
        {"empty ID", ">\nACGT\n", "unnamed_1:ACGT "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (bool gzip : {false, true}) {
            std::string error;
            EXPECT_EQ(ReadAll(Write(c.content, gzip), error), c.reads);
            EXPECT_EQ(error, "");
        }
    }
}

TEST_F(ScanInput, MalformedInputEndsTheReadsBeforeIt) {
    std::string compressed;
    {
        Write(">a\nACGT\n>b\nGGGGCCCCAAAATTTT\n", true);
        std::ifstream in(path_, std::ios::binary);
        compressed.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::string corrupt = compressed;
    corrupt[corrupt.size() / 2] ^= 0x55;
    const struct {
        const char* name;
        std::string content;
        std::string reads;
        std::string error;
    } cases[] = {
        {"quality of the wrong length", "@a\nAC\n+\nII\n@b\nACGT\n+\nIII\n@c\nA\n+\nI\n", "a:AC ",
         "record 2: quality of a different length than the sequence"},
        {"no quality at the end", "@a\nAC\n+\nII\n@b\nACGT\n", "a:AC ", "record 2: no quality line"},
        {"header alone at the end", "@a\nAC\n+\nII\n@b\n", "a:AC ", "record 2: no quality line"},
        {"header without a line end", "@a\nAC\n+\nII\n@b", "a:AC ", "record 2: no quality line"},
        {"empty read, then a header alone", "@a\n\n+\n\n@b\n", "a: ", "record 2: no quality line"},
        {"binary data", std::string("\x1f\x00\x01\x02\xff", 5), "", "record 1: binary data"},
        {"binary in a sequence", std::string(">a\nAC\n>b\nA\x01GT\n"), "a:AC ", "record 2: binary data"},
        {"not FASTA or FASTQ", "ACGT\n", "", "record 1: not FASTA or FASTQ (no '>' or '@' at the start)"},
        {"truncated gzip", compressed.substr(0, compressed.size() - 12), "a:ACGT ", "record 2: truncated gzip stream"},
        {"corrupt gzip", corrupt, "", "record 1: corrupt gzip stream ("},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string error;
        EXPECT_EQ(ReadAll(Write(c.content), error), c.reads);
        EXPECT_NE(error.find(path_ + ": " + c.error), std::string::npos) << error;
        EXPECT_EQ(error.find("<fd:"), std::string::npos) << error;
    }
}

// Every read gets a name of its own, so that GFF3 declares each read once.
TEST_F(ScanInput, RepeatedNamesAreMadeTheReadsOwn) {
    ReadBatches batches({Write(">a\nAC\n>b\nAC\n>a x\nAC\n>a_3\nAC\n>\nAC\n>b\nAC\n")});
    std::vector<Read> batch;
    std::string names;
    while (batches.Next(batch, 1000, 4)) {
        for (const Read& read : batch) names += read.id + " ";
    }
    EXPECT_EQ(names, "a b a_3 a_3_4 unnamed_5 b_6 ");
    EXPECT_EQ(batches.FirstRepeatedName(), "'a' (read 3)");
}

TEST(ScanOutputFile, ReplacesItsFileOnlyWhenCommitted) {
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("talvo-scan-out-" + std::to_string(getpid()))).string();
    std::ofstream(path) << "earlier\n";
    const auto contents = [&] {
        std::ifstream in(path);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    {
        OutputFile file(path);
        file.Write("new\n");
    }
    EXPECT_EQ(contents(), "earlier\n");
    std::filesystem::permissions(path, std::filesystem::perms(0640));
    {
        OutputFile file(path);
        file.Write("new\n");
        file.Commit();
    }
    EXPECT_EQ(contents(), "new\n");
    // The replaced file keeps the mode of the earlier one.
    EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms(0640));
    std::filesystem::remove(path);
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path())) {
        EXPECT_NE(entry.path().string().rfind(path + ".tmp", 0), 0u) << "left behind: " << entry.path();
    }
}

TEST(ScanPipeline, WritesInReadingOrderWithAnyNumberOfThreads) {
    for (int threads : {1, 2, 5}) {
        int next = 0;
        std::vector<int> written;
        RunOrdered<int>(
            threads, 4, [&](int& batch) { batch = next++; return batch < 60; },
            [](int& batch) { std::this_thread::sleep_for(std::chrono::microseconds((batch * 7919) % 500)); },
            [&](int& batch) { written.push_back(batch); });
        std::vector<int> expected(60);
        for (int i = 0; i < 60; ++i) expected[i] = i;
        EXPECT_EQ(written, expected) << threads << " threads";
    }
}

TEST(ScanPipeline, AFailureStopsEveryStageAndIsRethrown) {
    for (int threads : {1, 3}) {
        int next = 0;
        std::atomic<int> written{0};
        EXPECT_THROW(RunOrdered<int>(
                         threads, 4, [&](int& batch) { batch = next++; return true; },
                         [](int& batch) {
                             if (batch == 20) throw std::runtime_error("work");
                         },
                         [&](int&) { ++written; }),
                     std::runtime_error);
        EXPECT_LE(written, 20);
    }
}

}  // namespace
}  // namespace talvo::scan
