// Reads cut from a cDNA, with single-base insertions and deletions planted
// at random places by a fixed-seed generator, and some written as their
// reverse complement: the same reads on every machine.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace talvo::scan::testing {

struct PlantedRead {
    std::string id;
    std::string bases;  // upper-case A, C, G, T
};

class Lcg {
public:
    explicit Lcg(std::uint64_t seed) : state_(seed) {}
    int Below(int n) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<int>((state_ >> 33) % static_cast<std::uint64_t>(n));
    }

private:
    std::uint64_t state_;
};

inline std::string ReverseComplementText(const std::string& bases) {
    std::string reverse(bases.rbegin(), bases.rend());
    for (char& c : reverse) {
        switch (c) {
            case 'A': c = 'T'; break;
            case 'T': c = 'A'; break;
            case 'G': c = 'C'; break;
            case 'C': c = 'G'; break;
            default: break;
        }
    }
    return reverse;
}

// The sequence of the first FASTA record of a file, upper-case letters only.
inline std::string ReadCdna(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::string bases;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        for (char c : line) {
            if (c >= 'A' && c <= 'Z') bases += c;
        }
    }
    return bases;
}

// count reads, each a piece of the cDNA of 150 bases or more with up to
// four errors planted, every third one reverse-complemented. The ID names
// the piece, the planted errors and the strand.
inline std::vector<PlantedRead> PlantedReads(const std::string& cdna, int count, std::uint64_t seed) {
    Lcg random(seed);
    std::vector<PlantedRead> reads;
    const int length = static_cast<int>(cdna.size());
    for (int r = 0; r < count; ++r) {
        const int first = random.Below(length / 3);
        const int last = length - 1 - random.Below(length / 3);
        std::string bases = cdna.substr(first, last - first + 1);
        std::ostringstream id;
        id << "r" << r << "_" << first + 1 << "-" << last + 1;
        const int errors = random.Below(5);
        for (int e = 0; e < errors; ++e) {
            const int at = 3 + random.Below(static_cast<int>(bases.size()) - 6);
            if (random.Below(2) == 0) {
                bases.insert(bases.begin() + at, "ACGT"[random.Below(4)]);
                id << "_i" << at + 1;
            } else {
                bases.erase(bases.begin() + at);
                id << "_d" << at + 1;
            }
        }
        if (r % 3 == 2) {
            bases = ReverseComplementText(bases);
            id << "_rc";
        }
        reads.push_back({id.str(), bases});
    }
    return reads;
}

// Nine planted reads (seed 4) of the cDNA written as dir/reads.fa, one line
// of bases each, the directory made when missing; returns the file's path.
inline std::string WritePlantedReads(const std::string& cdnaPath, const std::string& dir) {
    std::filesystem::create_directories(dir);
    const std::string path = dir + "/reads.fa";
    std::ofstream out(path);
    for (const PlantedRead& read : PlantedReads(ReadCdna(cdnaPath), 9, 4)) {
        out << '>' << read.id << '\n' << read.bases << '\n';
    }
    return path;
}

}  // namespace talvo::scan::testing
