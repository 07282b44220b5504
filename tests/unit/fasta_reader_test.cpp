// Reading the one FASTA record of a run into base codes, length and G+C.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <sstream>
#include <string>

#include "Fatal.h"
#include "TestSupport.h"
#include "Variant.h"
#include "WebPredict.h"

namespace talvo {
namespace {

using testing_support::Codes;
using testing_support::Repeat;
using testing_support::TempDir;

const std::string kTooShort = "TALVO DOES NOT SUPPORT SEQUENCES SHORTER THAN 30 BASES.\n";

WebPredict Read(const std::string& text) {
    WebPredict run;
    std::istringstream in(text);
    run.ReadFasta(in);
    return run;
}

// The message of a refused input, which goes to standard output.
std::string Refusal(const std::string& text) {
    try {
        Read(text);
    } catch (const FatalError& e) {
        EXPECT_EQ(e.stream, Stream::Out);
        return e.what();
    }
    return "accepted";
}

TEST(FastaReader, HeaderAndSequence) {
    const std::string seq = Repeat("ATGC", 10);
    const WebPredict run = Read(">seq one\n" + seq.substr(0, 20) + "\n" + seq.substr(20) + "\n");
    EXPECT_EQ(run.fastaHeader, "seq one");
    EXPECT_EQ(run.arrayLen, 40);
    EXPECT_EQ(run.seqLen, 40);
    EXPECT_EQ(run.baseArray, Codes(seq));
    EXPECT_EQ(run.gcPressure, 50.0);
}

TEST(FastaReader, NoHeaderLine) {
    const WebPredict run = Read(Repeat("A", 30) + "\n");
    EXPECT_EQ(run.fastaHeader, "");
    EXPECT_EQ(run.arrayLen, 30);
    EXPECT_EQ(run.baseArray, Codes(Repeat("A", 30)));
}

TEST(FastaReader, FirstCharacterIsSequenceWhateverItIs) {
    // A leading line feed is the first character of the sequence.
    const WebPredict run = Read("\n" + Repeat("G", 29));
    EXPECT_EQ(run.arrayLen, 30);
    EXPECT_EQ(run.baseArray[0], -1);
    EXPECT_EQ(run.baseArray[1], 2);
}

TEST(FastaReader, TooShortInputsAreRefused) {
    EXPECT_EQ(Refusal(">only a header\n"), kTooShort);
    EXPECT_EQ(Refusal(""), kTooShort);
    EXPECT_EQ(Refusal(">h\n" + Repeat("A", 29) + "\n"), kTooShort);
    EXPECT_EQ(Refusal(">h\n" + Repeat("A", 30) + "\n"), "accepted");
    // The header ends at the end of the file when no line feed follows it.
    EXPECT_EQ(Refusal(">" + Repeat("ACGT", 20)), kTooShort);
}

TEST(FastaReader, OtherCharactersStayAsUnknownBases) {
    const WebPredict lower = Read(">h\n" + Repeat("acgt", 8));
    EXPECT_EQ(lower.arrayLen, 32);
    EXPECT_EQ(lower.gcPressure, 0.0);
    for (short code : lower.baseArray) EXPECT_EQ(code, -1);
    // Non-bases count in the denominator: 15 G of 30 characters.
    const WebPredict mixed = Read(Repeat("G", 15) + Repeat("N", 10) + "U 1>x");
    EXPECT_EQ(mixed.gcPressure, 50.0);
}

TEST(FastaReader, GcPercentage) {
    const WebPredict run = Read(">h\n" + Repeat("G", 26) + Repeat("C", 26) + Repeat("A", 48) + "\n");
    EXPECT_EQ(run.arrayLen, 100);
    EXPECT_EQ(run.gcPressure, 52.0);
}

TEST(FastaReader, SecondRecordIsAppended) {
    const WebPredict run = Read(">a\n" + Repeat("T", 30) + "\n>GC x\nAA\n");
    EXPECT_EQ(run.fastaHeader, "a");
    EXPECT_EQ(run.arrayLen, 37);
    EXPECT_EQ(run.baseArray[30], -1);  // '>'
    EXPECT_EQ(run.baseArray[31], 2);   // G
    EXPECT_EQ(run.baseArray[32], 3);   // C
    EXPECT_EQ(run.baseArray[33], -1);  // blank
    EXPECT_EQ(run.baseArray[34], -1);  // x
    EXPECT_EQ(run.baseArray[36], 0);
}

TEST(FastaReader, CarriageReturns) {
    const std::string line = Repeat("ACGT", 5);  // 20 bases per line
    const WebPredict run = Read(">h\r\n" + line + "\r\n" + line + "\r\n");
    EXPECT_EQ(run.fastaHeader, "h\r");
    if constexpr (kVariantB) {
        // Lines are read whole: each carriage return stays as an unknown base.
        EXPECT_EQ(run.arrayLen, 42);
        EXPECT_EQ(run.baseArray, Codes(line + "\r" + line + "\r"));
        EXPECT_EQ(run.gcPressure, 100.0 * 20 / 42);
    } else {
        EXPECT_EQ(run.arrayLen, 40);
        EXPECT_EQ(run.baseArray, Codes(line + line));
    }
    // Variant A drops a carriage return anywhere; variant B keeps one inside
    // a line as a character, so these 29 bases make 30 characters there.
    const std::string inner = Repeat("A", 15) + "\r" + Repeat("A", 14) + "\n";
    EXPECT_EQ(Refusal(inner), kVariantB ? "accepted" : kTooShort);
}

TEST(FastaReader, EmptyLinesAddNothing) {
    const WebPredict run = Read(">h\n\n" + Repeat("C", 15) + "\n\n\n" + Repeat("C", 15) + "\n\n");
    EXPECT_EQ(run.arrayLen, 30);
    EXPECT_EQ(run.gcPressure, 100.0);
}

TEST(FastaReader, LongSequenceLineIsKeptWhole) {
    const std::string line = Repeat("ACGTTGCA", 250);  // 2000 bases on one line
    const WebPredict run = Read(">long\n" + line + "\n" + "GGG\n");
    EXPECT_EQ(run.arrayLen, 2003);
    EXPECT_EQ(run.baseArray, Codes(line + "GGG"));
}

// Lengths are ints: a longer sequence is refused rather than counted short
// or wrapped around.
TEST(FastaReader, LengthBeyondTheLargestIntIsRefused) {
    EXPECT_EQ(SequenceLength(30, "in.fa"), 30);
    EXPECT_EQ(SequenceLength(INT_MAX, "in.fa"), INT_MAX);
    for (const std::size_t characters : {std::size_t{INT_MAX} + 1, SIZE_MAX}) {
        try {
            SequenceLength(characters, "in.fa");
            ADD_FAILURE() << characters << " accepted";
        } catch (const FatalError& e) {
            EXPECT_EQ(e.stream, Stream::Err);
            EXPECT_EQ(std::string(e.what()), "talvo: in.fa: the sequence has " + std::to_string(characters) +
                                                 " characters; the longest supported is 2147483647\n");
        }
    }
}

// Compressed input would read as a long sequence of unknown bases.
TEST(FastaReader, GzipInputIsRefused) {
    try {
        WebPredict run;
        std::istringstream in(std::string("\x1f\x8b\x08\x00", 4) + Repeat("A", 40));
        run.ReadFasta(in, "reads.fastq.gz");
        FAIL() << "accepted";
    } catch (const FatalError& e) {
        EXPECT_EQ(e.stream, Stream::Err);
        EXPECT_EQ(std::string(e.what()),
                  "talvo: reads.fastq.gz: gzip-compressed; talvo reads one plain FASTA record (decompress it, or use "
                  "talvo-scan, which reads gzip-compressed FASTA and FASTQ)\n");
    }
    // A 0x1f not followed by 0x8b is a character of the sequence.
    EXPECT_EQ(Read("\x1f" + Repeat("A", 29)).arrayLen, 30);
}

TEST(FastaReader, MissingFile) {
    TempDir dir;
    const std::string path = dir.Path("absent.fa");
    WebPredict run;
    try {
        run.GetArrayFromFile(path.c_str());
        FAIL() << "no error";
    } catch (const FatalError& e) {
        EXPECT_EQ(e.stream, Stream::Err);
        EXPECT_EQ(std::string(e.what()), "CAN NOT FIND FILE: " + path + "\n");
    }
    // A directory is not a readable input file either.
    EXPECT_THROW(run.GetArrayFromFile(dir.Path("").c_str()), FatalError);
}

TEST(FastaReader, FileOnDisk) {
    TempDir dir;
    const std::string path = dir.Write("in.fa", ">disk\r\n" + Repeat("GATC", 9) + "\r\n");
    WebPredict run;
    run.GetArrayFromFile(path.c_str());
    EXPECT_EQ(run.fastaHeader, "disk\r");
    EXPECT_EQ(run.arrayLen, kVariantB ? 37 : 36);
}

}  // namespace
}  // namespace talvo
