// talvo-scan: predicts the coding region and the single-base insertions and
// deletions of every read of FASTA or FASTQ files, with threads, writing a
// table and, on request, GFF3, BED12, protein and CDS files.
#include <malloc.h>

#include <iostream>
#include <stdexcept>

#include "ScanOptions.h"
#include "ScanRun.h"

int main(int argc, char** argv) {
    using namespace talvo::scan;
    // With one thread the reads are predicted on the main thread, whose heap
    // the C library hands back to the system whenever 128 kB lie free at its
    // top: every read's work tables were then faulted in anew (a third of a
    // long-read run's time). Keep freed memory up to 64 MB, and take blocks
    // below 16 MB from the heap rather than mapping each one.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    mallopt(M_MMAP_THRESHOLD, 16 << 20);
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
