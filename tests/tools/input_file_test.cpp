// Input files of the tools: gzip data is read through whatever the file's
// name, and damaged gzip data is an error naming the file, never a shorter
// text.
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>
#include <zlib.h>

#include "AnnotatedSet.h"
#include "InputFile.h"
#include "Random.h"

namespace talvo::tools {
namespace {

namespace fs = std::filesystem;

std::string Gzip(const std::string& text) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string packed(deflateBound(&stream, text.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = static_cast<uInt>(packed.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    return packed;
}

// FASTA text larger than the reader's buffers.
std::string SomeFasta() {
    Random rng(7);
    std::string text = ">s1 first\r\n";
    for (int i = 0; i < 200000; ++i) text += "ACGT"[rng.Below(4)];
    return text + "\n>s2\nACGT\n";
}

class InputFileTest : public ::testing::Test {
protected:
    InputFileTest() : dir_(fs::temp_directory_path() / ("talvo-input-" + std::to_string(::getpid()))) {
        fs::create_directories(dir_);
    }
    ~InputFileTest() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    std::string Write(const std::string& name, const std::string& bytes) const {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }

private:
    fs::path dir_;
};

TEST_F(InputFileTest, PlainAndGzipGiveTheSameText) {
    const std::string text = SomeFasta();
    const std::size_t half = text.size() / 2;
    const struct {
        const char* name;
        std::string bytes;
        std::string text;
    } cases[] = {
        {"plain.fa", text, text},
        {"packed.fa", Gzip(text), text},  // no .gz in the name
        {"members.fa.gz", Gzip(text.substr(0, half)) + Gzip(text.substr(half)), text},
        {"empty.fa", "", ""},
        {"empty.fa.gz", Gzip(""), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReadInputFile(Write(c.name, c.bytes), "the FASTA file"), c.text);
    }
}

TEST_F(InputFileTest, DamagedGzipIsAnErrorNamingTheFile) {
    const std::string packed = Gzip(SomeFasta());
    std::string flipped = packed;
    flipped[packed.size() / 2] ^= 0x55;
    const struct {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"cut-in-data.fa.gz", packed.substr(0, packed.size() / 2)},
        {"cut-in-trailer.fa.gz", packed.substr(0, packed.size() - 3)},
        {"flipped.fa.gz", flipped},
        {"trailing-junk.fa.gz", packed + "junk"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Write(c.name, c.bytes);
        try {
            ReadInputFile(path, "the FASTA file");
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(path + ": ", 0), 0u) << e.what();
            EXPECT_NE(std::string(e.what()).find("the FASTA file"), std::string::npos) << e.what();
        }
    }
}

// Two annotated sets pooled in order; a gene_id column, wherever the header
// puts it, gives each sequence its gene; an id in both sets is an error.
TEST_F(InputFileTest, AnnotatedSetsArePooledWithTheirGenes) {
    const std::string fa1 = Write("a.fa", ">e1 one\nAATGTAAC\n>e2\nATGAAATGA\n");
    const std::string cds1 = Write("a.tsv", "id\tcds_start_1based\tcds_end_1based\n" "e1\t2\t7\ne2\t1\t9\n");
    const std::string fa2 = Write("b.fa.gz", Gzip(">r1\nATGTGA\n"));
    const std::string cds2 = Write("b.tsv", "id\tcds_start_1based\tcds_end_1based\tlength\tgene_id\nr1\t1\t6\t6\t154\n");
    const auto set = ReadAnnotatedSets({fa1, fa2}, {cds1, cds2});
    ASSERT_EQ(set.size(), 3u);
    EXPECT_EQ(set[0].id, "e1");
    EXPECT_EQ(set[0].cdsFirst, 1);
    EXPECT_EQ(set[0].gene, "");
    EXPECT_EQ(set[2].id, "r1");
    EXPECT_EQ(set[2].gene, "154");
    const std::string cds3 = Write("c.tsv", "e2\t1\t9\n");
    try {
        ReadAnnotatedSets({fa1, fa1}, {cds1, cds3});
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), cds3 + ": sequence e2 is also annotated in " + cds1);
    }
    EXPECT_THROW(ReadAnnotatedSets({fa1, fa2}, {cds1}), std::invalid_argument);
}

}  // namespace
}  // namespace talvo::tools
