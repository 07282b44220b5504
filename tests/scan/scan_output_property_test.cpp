// The edge rule of talvo-scan's outputs (README, "Outputs"), checked on
// reads cut from the annotated human cDNAs of data/ with the shipped human
// model, for every use, on both strands: reads that begin or end inside the
// CDS, errors planted at random and at the CDS's first and last base, now and
// then an unknown base, every other read reverse-complemented. Each output is
// written by its writer and read back as text; a new use adds a row to
// kUses.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <sstream>

#include "CodingSequence.h"
#include "CodonPrediction.h"
#include "Outputs.h"
#include "PlantedReads.h"
#include "ReadBases.h"

namespace talvo::scan {
namespace {

using testing::Lcg;

struct Cdna {
    std::string bases;
    int cdsFirst;  // 0-based, the stop codon included
    int cdsLast;
};

std::string Gunzip(const std::string& path) {
    gzFile in = gzopen(path.c_str(), "rb");
    std::string text;
    char buffer[1 << 16];
    for (int got; in != nullptr && (got = gzread(in, buffer, sizeof buffer)) > 0;) text.append(buffer, got);
    if (in != nullptr) gzclose(in);
    return text;
}

std::vector<Cdna> HumanCdnas() {
    std::map<std::string, std::pair<int, int>> cds;
    std::istringstream table(Gunzip(TALVO_SOURCE_DIR "/data/human/cds.tsv.gz"));
    std::string id;
    int first = 0, last = 0;
    table.ignore(1 << 20, '\n');
    while (table >> id >> first >> last) {
        cds[id] = {first - 1, last - 1};
        table.ignore(1 << 20, '\n');
    }
    std::vector<Cdna> cdnas;
    std::istringstream fasta(Gunzip(TALVO_SOURCE_DIR "/data/human/transcripts.fa.gz"));
    for (std::string line; std::getline(fasta, line);) {
        if (line[0] == '>') {
            id = line.substr(1, line.find(' ') - 1);
            const auto found = cds.find(id);
            cdnas.push_back({"", found->second.first, found->second.second});
        } else {
            cdnas.back().bases += line;
        }
    }
    return cdnas;
}

// count reads: a whole cDNA, or a piece of one that begins inside its CDS,
// ends inside it, or both; about one indel per 100 bases, and now and then
// an error on the CDS's first or last base and an unknown base.
std::vector<Read> GeneratedReads(const std::vector<Cdna>& cdnas, int count, std::uint64_t seed) {
    Lcg random(seed);
    std::vector<Read> reads;
    for (int r = 0; r < count; ++r) {
        const Cdna& cdna = cdnas[random.Below(static_cast<int>(cdnas.size()))];
        const int length = static_cast<int>(cdna.bases.size());
        const int span = cdna.cdsLast - cdna.cdsFirst + 1;
        int first = random.Below(cdna.cdsFirst + 1);
        int last = length - 1 - random.Below(length - cdna.cdsLast);
        if (r % 4 == 1 || r % 4 == 3) first = cdna.cdsFirst + random.Below(span / 2);
        if (r % 4 == 2 || r % 4 == 3) last = cdna.cdsLast - random.Below(span / 2);
        std::string bases = cdna.bases.substr(first, last - first + 1);
        std::vector<int> at;  // where errors are planted
        for (int p = static_cast<int>(bases.size()) - 1; p >= 0; --p) {
            if (random.Below(100) == 0) at.push_back(p);
        }
        if (random.Below(8) == 0 && cdna.cdsLast <= last) at.insert(at.begin(), cdna.cdsLast - first);
        if (random.Below(8) == 0 && cdna.cdsFirst >= first) at.push_back(cdna.cdsFirst - first);
        std::sort(at.rbegin(), at.rend());
        for (const int p : at) {
            if (random.Below(2) == 0) {
                bases.insert(bases.begin() + p, "ACGT"[random.Below(4)]);
            } else {
                bases.erase(bases.begin() + p);
            }
        }
        if (random.Below(10) == 0) bases[random.Below(static_cast<int>(bases.size()))] = 'N';
        if (r % 2 == 1) bases = testing::ReverseComplementText(bases);
        reads.push_back({"read" + std::to_string(r), BaseCodes(bases), static_cast<std::uint64_t>(r + 1)});
    }
    return reads;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> fields;
    std::istringstream in(text);
    for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
    return fields;
}

// One FASTA record of an output: the header's words after the ID, and the
// sequence.
struct Record {
    std::map<std::string, std::string> header;
    std::string sequence;
};

Record ParseFasta(const std::string& text) {
    Record record;
    const std::vector<std::string> lines = Split(text, '\n');
    if (lines.empty()) return record;
    for (const std::string& word : Split(lines[0], ' ')) {
        const auto equals = word.find('=');
        if (equals != std::string::npos) record.header[word.substr(0, equals)] = word.substr(equals + 1);
    }
    for (std::size_t i = 1; i < lines.size(); ++i) record.sequence += lines[i];
    return record;
}

char AminoAcid(const std::string& codon) {
    // The standard code, codons in the order T C A G of each position.
    static const std::string kCode = "FFLLSSSSYY**CC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG";
    int index = 0;
    for (const char base : codon) {
        const auto at = std::string("TCAG").find(base);
        if (at == std::string::npos) return 'X';
        index = 4 * index + static_cast<int>(at);
    }
    return kCode[index];
}

struct Use {
    const char* name;
    std::function<ReadPrediction(const std::vector<short>&)> predict;
    // Whether the use's own path may run across a stop codon read whole
    // (the window model where its windows let it, the gene model where it
    // takes it for one made by a substitution).
    bool readsThroughStops;
};

// Breaks of the edge rule by the outputs of one read, each as a line.
std::vector<std::string> Violations(const Read& read, const CodingRegion& region, bool readsThroughStops) {
    std::string tableText, gff, bed, cdsText, proteinText, correctedText;
    AppendTableLine(tableText, read, region);
    AppendCorrectedRead(correctedText, read, region);
    AppendGff3(gff, read, region);
    AppendBed12(bed, read, region);
    AppendCdsFasta(cdsText, read, region);
    AppendProteinFasta(proteinText, read, region);
    std::vector<std::string> wrong;
    const auto check = [&](bool good, const std::string& what) {
        if (!good) wrong.push_back(what);
    };
    const std::vector<std::string> table = Split(tableText.substr(0, tableText.size() - 1), '\t');
    if (table[8] != "cds") {
        check(bed.empty() && cdsText.empty() && proteinText.empty() && gff.find("\tgene\t") == std::string::npos,
              "outputs of a read without a coding region");
        return wrong;
    }
    const bool minus = table[2] == "-";
    const int first = std::stoi(table[3]);
    const int last = std::stoi(table[4]);
    const int length = static_cast<int>(read.bases.size());
    check(first >= 1 && first <= last && last <= length, "region outside the read");
    std::map<int, char> errors;
    int previous = 0;
    for (const std::string& error : table[6] == "-" ? std::vector<std::string>{} : Split(table[6], ',')) {
        const int pos = std::stoi(error.substr(1));
        errors[pos] = error[0];
        check(pos > previous, "errors not one per base in ascending order: " + table[6]);
        previous = pos;
        check(pos > first && (error[0] == 'D' ? pos <= last : pos < last), "error outside the region: " + error);
    }
    check(std::to_string(errors.size()) == table[5], "error count");

    // The corrected CDS is the read with its errors undone.
    std::string expected;
    std::vector<int> position;  // on the read, 1-based, of each base of it; 0 for a missing base
    const auto add = [&](int p) {
        const char base = BaseLetter(read.bases[p - 1]);
        expected += minus ? testing::ReverseComplementText(std::string(1, base))[0] : base;
        position.push_back(p);
    };
    for (int i = 0; i <= last - first; ++i) {
        const int p = minus ? last - i : first + i;
        const char error = errors.count(p) ? errors[p] : ' ';
        if (error == 'D' && !minus) expected += 'N', position.push_back(0);
        if (error != 'I') add(p);
        if (error == 'D' && minus) expected += 'N', position.push_back(0);
    }
    Record cds = ParseFasta(cdsText);
    const Record protein = ParseFasta(proteinText);
    check(cds.sequence == expected, "CDS is not the read with its errors undone");
    // ... and the part of the corrected read (--corrected) that the region is.
    std::string letters;
    for (const short base : read.bases) letters += BaseLetter(base);
    const std::string inRead = minus ? testing::ReverseComplementText(expected) : expected;
    check(ParseFasta(correctedText).sequence == letters.substr(0, first - 1) + inRead + letters.substr(last),
          "corrected read is not the read with the CDS's errors undone");
    check(cds.header == protein.header, "CDS and protein headers differ");
    check(cds.header["cds"] == table[3] + ".." + table[4] && cds.header["strand"] == table[2] &&
              cds.header["errors"] == table[6],
          "FASTA header and table differ");
    const int start = cds.header.count("codon_start") ? std::stoi(cds.header["codon_start"]) - 1 : 0;
    check(start >= 0 && start <= 2, "codon_start");

    // The protein is the translation of the whole codons of the CDS; a stop
    // inside it is read across an error, or read through by the use.
    const int step = minus ? -1 : 1;
    const auto onRead = [&](int from, int to) {  // CDS bases [from, to) in a row on the read
        for (int j = from; j < to; ++j) {
            if (position[j] == 0 || (j > from && position[j] != position[j - 1] + step)) return false;
        }
        return true;
    };
    std::string translation;
    for (std::size_t j = start; j + 3 <= expected.size(); j += 3) translation += AminoAcid(expected.substr(j, 3));
    check(protein.sequence == translation, "protein is not the translation of the CDS");
    for (std::size_t k = 0; k + 1 < translation.size(); ++k) {
        if (translation[k] != '*') continue;
        const int j = start + 3 * static_cast<int>(k);
        check(readsThroughStops || !onRead(j, j + 3), "stop codon read whole inside the protein at CDS base " +
                                                          std::to_string(j + 1));
    }

    // GFF3 CDS lines and BED blocks: the codons read whole on the read, and
    // the part on the read of a codon cut by the region's ends; phases count
    // from codon_start.
    std::set<int> coding;
    for (int j = 0; j < static_cast<int>(expected.size());) {
        const int end = std::min(j == 0 && start > 0 ? start : j + 3, static_cast<int>(expected.size()));
        if (onRead(j, end)) {
            for (int i = j; i < end; ++i) coding.insert(position[i]);
        }
        j = end;
    }
    std::set<int> lineBases;
    std::vector<std::pair<int, int>> lines;
    for (const std::string& line : Split(gff, '\n')) {
        const std::vector<std::string> f = Split(line, '\t');
        if (f.size() < 9) continue;
        const int from = std::stoi(f[3]);
        const int to = std::stoi(f[4]);
        check(f[6] == table[2], "GFF3 strand");
        if (f[2] == "gene" || f[2] == "mRNA") check(from == 1 && to == length, "GFF3 " + f[2] + " is not the read");
        // The UTRs are the read beside the region; a start or stop codon
        // lies at the region's end that the table marks complete.
        const bool fivePrimeSide = f[2] == "five_prime_UTR" || f[2] == "start_codon";
        if (fivePrimeSide || f[2] == "three_prime_UTR" || f[2] == "stop_codon") {
            const bool low = fivePrimeSide != minus;  // at the read's lower end
            if (f[2].find("UTR") != std::string::npos) {
                check(low ? from == 1 && to == first - 1 : from == last + 1 && to == length, "GFF3 " + f[2]);
            } else {
                check(table[fivePrimeSide ? 9 : 10] == "complete" && to - from == 2 &&
                          (low ? from == first : to == last),
                      "GFF3 " + f[2]);
            }
        }
        if (f[2] == "mRNA") {
            const auto at = f[8].find("sequencing_errors=");
            check((at == std::string::npos ? "-" : f[8].substr(at + 18, f[8].find(';', at) - at - 18)) == table[6],
                  "GFF3 errors differ from the table's");
        }
        if (f[2] != "CDS") continue;
        check(lines.empty() || from > lines.back().second + 1, "GFF3 CDS lines not apart and ascending");
        lines.push_back({from, to});
        for (int p = from; p <= to; ++p) lineBases.insert(p);
        const int fivePrime = minus ? to : from;
        const auto at = std::find(position.begin(), position.end(), fivePrime) - position.begin();
        check(std::to_string((3 - ((at - start) % 3 + 3) % 3) % 3) == f[7], "GFF3 phase of the line at " + f[3]);
    }
    check(lineBases == coding, "GFF3 CDS lines are not the codons read whole on the read");
    // 5' complete: the corrected CDS begins with ATG as its first codon; 3'
    // complete: it ends with a stop codon in its frame.
    const std::size_t n = expected.size();
    const std::string lastCodon = n >= 3 ? expected.substr(n - 3) : "";
    check((table[9] == "complete") == (start == 0 && expected.compare(0, 3, "ATG") == 0), "5' mark " + table[9]);
    check((table[10] == "complete") == (n >= static_cast<std::size_t>(start) + 3 && (n - start) % 3 == 0 &&
                                        (lastCodon == "TAA" || lastCodon == "TAG" || lastCodon == "TGA")),
          "3' mark " + table[10]);
    const std::vector<std::string> b = Split(bed.substr(0, bed.size() - (bed.empty() ? 0 : 1)), '\t');
    std::string sizes, starts;
    for (const auto& [from, to] : lines) {
        sizes += std::to_string(to - from + 1) + ",";
        starts += std::to_string(from - lines.front().first) + ",";
    }
    check(!lines.empty() && b.size() == 12 && b[0] == read.id && b[5] == table[2] &&
              b[1] == std::to_string(lines.front().first - 1) && b[2] == std::to_string(lines.back().second) &&
              b[6] == b[1] && b[7] == b[2] && b[9] == std::to_string(lines.size()) && b[10] == sizes &&
              b[11] == starts,
          "BED line is not the GFF3 CDS lines: " + bed);
    return wrong;
}

TEST(ScanOutputProperty, EveryUseOnBothStrandsFollowsTheEdgeRule) {
    const std::string model = TALVO_SOURCE_DIR "/param-human";
    const ModelSet windows(model);
    const CodonModel codonModel = ReadCodonModel(CodonModelPath(model));
    const CodonDecoder est(codonModel, "est");
    const CodonDecoder ont(codonModel, "ont");
    const GenePredictor gene(codonModel, ReadGeneModel(GeneModelPath(model)), "est", GeneOptions{});
    const PredictionOptions options;
    CodonScratch scratch;
    const Use kUses[] = {
        {"window", [&](const std::vector<short>& b) { return PredictRead(windows, options, b, StrandMode::Both); },
         true},
        {"refine",
         [&](const std::vector<short>& b) { return RefineRead(windows, options, est, b, StrandMode::Both, scratch); },
         false},
        {"long-read", [&](const std::vector<short>& b) { return DecodeRead(ont, b, StrandMode::Both, scratch); },
         false},
        {"gene", [&](const std::vector<short>& b) { return GeneRead(gene, b, StrandMode::Both, 0.0, scratch); },
         true},
    };
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    const int count = 250;  // the sanitizers watch the memory, not the rule: fewer reads
#else
    const int count = 1000;
#endif
    const std::vector<Read> reads = GeneratedReads(HumanCdnas(), count, 23);
    for (const Use& use : kUses) {
        SCOPED_TRACE(use.name);
        int broken = 0;
        std::map<std::string, int> seen;  // what the reads exercised
        for (const Read& read : reads) {
            const CodingRegion region = MakeCodingRegion(read.bases, use.predict(read.bases));
            const ReadPrediction& p = region.prediction;
            if (region.HasCds()) {
                ++seen[p.minus ? "minus" : "plus"];
                if (p.phase != 0) ++seen["codon cut by the first base"];
                if (p.minus ? p.first == 0 : p.last == static_cast<int>(read.bases.size()) - 1) ++seen["ends at the read's end"];
                if (!p.errors.empty()) ++seen["errors"];
            }
            const std::vector<std::string> wrong = Violations(read, region, use.readsThroughStops);
            if (!wrong.empty() && ++broken <= 5) {
                std::string table;
                AppendTableLine(table, read, region);
                ADD_FAILURE() << table << "  " << wrong.front() << (wrong.size() > 1 ? " (and more)" : "");
            }
        }
        EXPECT_EQ(broken, 0);
        EXPECT_GE(seen["plus"], count * 3 / 10);
        EXPECT_GE(seen["minus"], count * 3 / 10);
        EXPECT_GE(seen["errors"], count * 3 / 10);
        if (std::string(use.name) == "long-read" || std::string(use.name) == "gene") {
            // a few in a hundred reads: enough to exercise the phase, whatever the model's training
            EXPECT_GE(seen["codon cut by the first base"], count / 40);
        }
    }
}

}  // namespace
}  // namespace talvo::scan
