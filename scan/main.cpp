// talvo-scan: predicts the coding region and the single-base insertions and
// deletions of every read of FASTA or FASTQ files, with threads, writing a
// table and, on request, GFF3, BED12, protein and CDS files.
#include <iostream>
#include <stdexcept>

#include "ScanOptions.h"
#include "ScanRun.h"

int main(int argc, char** argv) {
    using namespace talvo::scan;
    ScanOptions options;
    const int handled = ParseScanOptions(argc, argv, options);
    if (handled >= 0) {
        std::cout.flush();
        return std::cout ? handled : 1;
    }
    try {
        CheckScanOptions(options);
    } catch (const std::runtime_error& e) {
        std::cerr << "talvo-scan: " << e.what() << '\n';
        return 1;
    }
    return RunScan(options, std::cerr);
}
