#include "AnnotatedSet.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <sstream>
#include <stdexcept>

#include "GeneticCode.h"
#include "InputFile.h"

namespace talvo::tools {

namespace {

[[noreturn]] void Fail(const std::string& path, int line, const std::string& reason) {
    throw std::runtime_error(path + (line > 0 ? " line " + std::to_string(line) : "") + ": " + reason);
}

bool ParseInt(const std::string& text, int& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

struct Region {
    int first;
    int last;
    int line;
    std::string gene;
};

std::map<std::string, Region> ReadCdsTable(const std::string& path) {
    std::istringstream in(ReadInputFile(path, "the CDS table"));
    std::map<std::string, Region> regions;
    std::string line;
    int number = 0;
    std::size_t geneColumn = 0;  // 0: none
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        std::vector<std::string> fields;
        std::stringstream split(line);
        for (std::string field; std::getline(split, field, '\t');) fields.push_back(field);
        if (number == 1 && fields[0] == "id") {  // header line
            const auto gene = std::find(fields.begin(), fields.end(), "gene_id");
            if (gene != fields.end()) geneColumn = static_cast<std::size_t>(gene - fields.begin());
            continue;
        }
        int first = 0;
        int last = 0;
        if (fields.size() < 3 || !ParseInt(fields[1], first) || !ParseInt(fields[2], last)) {
            Fail(path, number, "expected id, first and last base of the CDS separated by tabs");
        }
        if (first < 1 || last < first || (last - first + 1) % 3 != 0) {
            Fail(path, number, "CDS " + fields[1] + ".." + fields[2] + " is not a whole number of codons");
        }
        const std::string gene = geneColumn > 0 && geneColumn < fields.size() ? fields[geneColumn] : "";
        if (!regions.emplace(fields[0], Region{first - 1, last - 1, number, gene}).second) {
            Fail(path, number, "sequence " + fields[0] + " is listed twice");
        }
    }
    return regions;
}

}  // namespace

std::vector<AnnotatedSequence> ReadAnnotatedSet(const std::string& fastaPath,
                                                const std::string& cdsPath) {
    std::map<std::string, Region> regions = ReadCdsTable(cdsPath);
    std::istringstream in(ReadInputFile(fastaPath, "the FASTA file"));
    std::vector<AnnotatedSequence> set;
    std::string line;
    AnnotatedSequence* current = nullptr;
    std::vector<AnnotatedSequence> records;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '>') {
            AnnotatedSequence record;
            const std::size_t end = line.find_first_of(" \t", 1);
            record.id = line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
            records.push_back(std::move(record));
            current = &records.back();
        } else if (current != nullptr) {
            current->bases += line;
        }
    }
    for (AnnotatedSequence& record : records) {
        const auto it = regions.find(record.id);
        if (it == regions.end()) continue;
        const Region& region = it->second;
        if (region.last >= static_cast<int>(record.bases.size())) {
            Fail(cdsPath, region.line, "CDS ends after the last base of " + record.id);
        }
        record.cdsFirst = region.first;
        record.cdsLast = region.last;
        record.gene = region.gene;
        set.push_back(std::move(record));
        regions.erase(it);
    }
    if (!regions.empty()) {
        const auto& [id, region] = *regions.begin();
        Fail(cdsPath, region.line, "sequence " + id + " is not in " + fastaPath);
    }
    return set;
}

std::vector<AnnotatedSequence> ReadAnnotatedSets(const std::vector<std::string>& fastaPaths,
                                                 const std::vector<std::string>& cdsPaths) {
    if (fastaPaths.size() != cdsPaths.size()) {
        throw std::invalid_argument("options --fasta and --cds come in pairs: " + std::to_string(fastaPaths.size()) +
                                    " --fasta and " + std::to_string(cdsPaths.size()) + " --cds given");
    }
    std::vector<AnnotatedSequence> pooled;
    std::map<std::string, std::size_t> setOf;  // id -> the set it came from
    for (std::size_t i = 0; i < fastaPaths.size(); ++i) {
        for (AnnotatedSequence& seq : ReadAnnotatedSet(fastaPaths[i], cdsPaths[i])) {
            const auto [it, fresh] = setOf.emplace(seq.id, i);
            if (!fresh) Fail(cdsPaths[i], 0, "sequence " + seq.id + " is also annotated in " + cdsPaths[it->second]);
            seq.source = static_cast<int>(i);
            pooled.push_back(std::move(seq));
        }
    }
    return pooled;
}

}  // namespace talvo::tools
