// Writes planted reads as FASTA for the end-to-end tests of talvo-scan:
//
//   make_scan_reads CDNA_FASTA OUT_FASTA COUNT SEED
#include <cstdlib>
#include <fstream>
#include <iostream>

#include "PlantedReads.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: make_scan_reads CDNA_FASTA OUT_FASTA COUNT SEED\n";
        return 2;
    }
    const std::string cdna = talvo::scan::testing::ReadCdna(argv[1]);
    std::ofstream out(argv[2]);
    for (const auto& read :
         talvo::scan::testing::PlantedReads(cdna, std::atoi(argv[3]), std::strtoull(argv[4], nullptr, 10))) {
        out << '>' << read.id << '\n';
        for (std::size_t pos = 0; pos < read.bases.size(); pos += 70) out << read.bases.substr(pos, 70) << '\n';
    }
    return out ? 0 : 1;
}
