// Fuzz target: the batch program. The first byte chooses how the rest is
// fed: bit 0 gzip-compresses it in memory, bit 1 then cuts the compressed
// stream short, bits 2-3 choose the strand setting, bit 4 two threads, and
// the high bits the reads per batch. The rest goes through the batch reader
// alone, then through a whole run with every output, with the shipped human
// model.
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>

#include "FuzzSupport.h"
#include "ScanRun.h"
#include "SequenceInput.h"

namespace {

using talvo::fuzz::Require;

std::string Gzip(const std::string& text) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, text.size()) + 32, '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    stream.avail_in = static_cast<uInt>(text.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const uint8_t control = data[0];
    std::string content(reinterpret_cast<const char*>(data + 1), size - 1);
    if (control & 1) {
        content = Gzip(content);
        if (control & 2) content.resize(content.size() - content.size() / 3);
    }
    const std::string& path =
        talvo::fuzz::WriteScratchFile(reinterpret_cast<const uint8_t*>(content.data()), content.size());
    const std::size_t perBatch = 1 + (control >> 5);

    // The reader alone: reads carry an ID and base codes -1..3.
    talvo::scan::ReadBatches batches({path});
    std::vector<talvo::scan::Read> batch;
    while (batches.Next(batch, 1000, perBatch)) {
        Require(batch.size() <= perBatch, "batch size");
        for (const auto& read : batch) {
            Require(!read.id.empty(), "read ID");
            for (short code : read.bases) Require(code >= -1 && code <= 3, "base code");
        }
    }

    // A whole run with every output, by the window model or the gene model.
    static const talvo::ModelSet windows(TALVO_SOURCE_DIR "/param-human");
    static const talvo::CodonModel codonModel = talvo::ReadCodonModel(TALVO_SOURCE_DIR "/param-human/codon-model");
    static const talvo::GenePredictor gene(codonModel, talvo::ReadGeneModel(TALVO_SOURCE_DIR "/param-human/gene-model"),
                                           "est", talvo::GeneOptions{});
    const std::string dir = path.substr(0, path.rfind('/') + 1);
    talvo::scan::ScanOptions options;
    options.inputs = {path};
    options.modelDirectory = TALVO_SOURCE_DIR "/param-human";
    const int strand = (control >> 2) & 3;
    options.strand = strand == 1   ? talvo::scan::StrandMode::Plus
                     : strand == 2 ? talvo::scan::StrandMode::Minus
                                   : talvo::scan::StrandMode::Both;
    options.table = dir + "table.tsv";
    options.gff3 = dir + "models.gff3";
    options.bed = dir + "regions.bed";
    options.protein = dir + "proteins.faa";
    options.cds = dir + "cds.fna";
    options.threads = (control & 16) ? 2 : 1;
    options.use = (control & 32) ? talvo::scan::ScanUse::Gene : talvo::scan::ScanUse::Window;
    options.errorSetting = "est";
    options.quiet = true;
    NullBuffer discard;
    std::ostream err(&discard);
    const int status = talvo::scan::ScanReads(options, {windows, nullptr, &gene}, err, {perBatch, 1000});
    Require(status == 0 || status == 1, "exit status");
    Require((status == 1) == !batches.Error().empty(), "failure exactly on a malformed input");
    return 0;
}
