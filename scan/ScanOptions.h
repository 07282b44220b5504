// The command line of talvo-scan.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "GeneModel.h"
#include "PredictionOptions.h"
#include "ReadPrediction.h"

namespace talvo::scan {

struct ScanOptions {
    std::vector<std::string> inputs;  // "-" is standard input
    std::string modelDirectory;
    StrandMode strand = StrandMode::Both;
    ScanUse use = ScanUse::Gene;
    // The codon model's error setting (not used by the window model); after
    // parsing, the use's default (ont for long reads, else est) when none
    // was given.
    std::string errorSetting;
    // How the gene model reads the reads, and the confidence below which
    // its regions are listed as low_confidence and left out of the other
    // outputs.
    GeneOptions gene;
    double minConfidence = 0.0;
    std::string table = "-";  // "-" is standard output
    std::string gff3;         // empty: not written
    std::string bed;
    std::string protein;
    std::string cds;
    std::string corrected;  // every read with its errors undone
    std::string stats;    // the run's figures as JSON
    std::string summary;  // the run's figures as an HTML page
    // The run's name in the stats (MultiQC's sample name); by default the
    // first input's file name without its format endings.
    std::string sample;
    // The inputs are stats files of runs over parts of one input: their
    // figures are added up into the stats and the summary, nothing is read.
    bool mergeStats = false;
    std::string commandLine;  // as given, for the summary
    // Number of the first read: a shard of a larger input gets the GFF3 IDs
    // and the names of unnamed reads that a run over the whole input gives.
    std::uint64_t firstRead = 1;
    int threads = 1;
    bool quiet = false;
    // The window model's settings: the published method's.
    PredictionOptions prediction;
};

// Parses the command line into options. Returns -1 to go on with a run, or
// the exit status when the command line was handled here: 0 after --help or
// --version (printed on standard output), 1 after a usage error (one line
// on standard error naming the option).
int ParseScanOptions(int argc, const char* const* argv, ScanOptions& options);

// Checks what parsing cannot: the prediction settings, every input can be
// opened, at most one output goes to standard output, no output names an
// input or another output. Throws std::runtime_error with the message.
void CheckScanOptions(const ScanOptions& options);

// The model directory used when none is given: $TALVO_MODEL_DIR if set,
// else the installed human model if present (share/talvo/param-human beside
// the program's bin/, then under the configured prefix), else ./param-human.
std::string DefaultModelDirectory();

// An input's name as a sample: its file name without .gz/.bgz and then
// without .fa/.fasta/.fna/.fq/.fastq/.txt; "stdin" for standard input.
std::string SampleName(const std::string& input);

// Cores this process may run on (at least 1).
int AvailableCores();

}  // namespace talvo::scan
