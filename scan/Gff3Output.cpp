#include <cstdio>

#include "Format.h"
#include "Outputs.h"

namespace talvo::scan {

namespace {

// Escapes as %XX every byte outside `keep` and every control byte.
void AppendEscaped(std::string& out, const std::string& text, bool (*keep)(unsigned char)) {
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (keep(c)) {
            out += ch;
        } else {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02X", c);
            out += code;
        }
    }
}

// Sequence IDs keep letters, digits and .:^*$@!+_?-| unescaped.
bool SeqIdKeeps(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view(".:^*$@!+_?-|").find(static_cast<char>(c)) != std::string_view::npos;
}

// Attribute values escape ; = & , % and control bytes.
bool ValueKeeps(unsigned char c) {
    return c >= 0x20 && c != 0x7f && std::string_view(";=&,%").find(static_cast<char>(c)) == std::string_view::npos;
}

void AppendFeature(std::string& out, const std::string& seqId, const char* type, int first, int last,
                   const std::string& score, char strand, char phase, const std::string& attributes) {
    out += seqId;
    out += "\ttalvo-scan\t";
    out += type;
    out += '\t';
    out += std::to_string(first + 1);
    out += '\t';
    out += std::to_string(last + 1);
    out += '\t';
    out += score;
    out += '\t';
    out += strand;
    out += '\t';
    out += phase;
    out += '\t';
    out += attributes;
    out += '\n';
}

}  // namespace

std::string Gff3Start(const std::string& provenance) { return "##gff-version 3\n# " + provenance + "\n"; }

void AppendGff3(std::string& out, const Read& read, const CodingRegion& region) {
    const ReadPrediction& prediction = region.prediction;
    if (read.bases.empty()) return;
    std::string seqId;
    AppendEscaped(seqId, read.id, SeqIdKeeps);
    out += "##sequence-region ";
    out += seqId;
    out += " 1 ";
    out += std::to_string(read.bases.size());
    out += '\n';
    if (prediction.status == ReadStatus::Cds) {
        const std::string n = std::to_string(read.ordinal);
        const char strand = prediction.minus ? '-' : '+';
        std::string name;
        AppendEscaped(name, read.id, ValueKeeps);
        // The read is the transcript: the gene and the mRNA span it, the
        // UTRs and the start and stop codons lie beside and on the CDS lines;
        // the gene model's confidence of the region scores the gene and its mRNA.
        const int lastBase = static_cast<int>(read.bases.size()) - 1;
        const std::string score =
            prediction.startConfidence >= 0.0 ? FormatConfidence(prediction.RegionConfidence()) : ".";
        AppendFeature(out, seqId, "gene", 0, lastBase, score, strand, '.', "ID=gene" + n + ";Name=" + name);
        std::string mrna = "ID=mRNA" + n + ";Parent=gene" + n + ";Name=" + name +
                           ";path_score=" + FormatG(prediction.pathScore, 6);
        if (!prediction.errors.empty()) mrna += ";sequencing_errors=" + ErrorList(prediction.errors);
        if (!prediction.confidence.empty()) mrna += ";error_confidence=" + ConfidenceList(prediction.confidence);
        const RegionEnds& ends = region.ends;
        if (!ends.fivePrimeComplete) mrna += ";five_prime_partial=true";
        if (!ends.threePrimeComplete) mrna += ";three_prime_partial=true";
        AppendFeature(out, seqId, "mRNA", 0, lastBase, score, strand, '.', mrna);
        const std::string parent = "Parent=mRNA" + n;
        struct Part {
            const char* type;
            ReadSpan span;
        };
        const bool minus = prediction.minus;
        const Part below[] = {{minus ? "three_prime_UTR" : "five_prime_UTR", minus ? ends.threePrimeUtr : ends.fivePrimeUtr},
                              {minus ? "stop_codon" : "start_codon", minus ? ends.stopCodon : ends.startCodon}};
        const Part above[] = {{minus ? "start_codon" : "stop_codon", minus ? ends.startCodon : ends.stopCodon},
                              {minus ? "five_prime_UTR" : "three_prime_UTR", minus ? ends.fivePrimeUtr : ends.threePrimeUtr}};
        const auto appendParts = [&](const Part (&parts)[2]) {
            for (const Part& part : parts) {
                if (part.span.Empty()) continue;
                AppendFeature(out, seqId, part.type, part.span.first, part.span.last, ".", strand, '.', parent);
            }
        };
        appendParts(below);
        const std::string cds = "ID=cds" + n + ";" + parent;
        for (const CodingStretch& stretch : region.stretches) {
            AppendFeature(out, seqId, "CDS", stretch.first, stretch.last, ".", strand,
                          static_cast<char>('0' + stretch.phase), cds);
        }
        appendParts(above);
    }
    out += "###\n";
}

}  // namespace talvo::scan
