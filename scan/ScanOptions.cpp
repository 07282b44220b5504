#include "ScanOptions.h"

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <thread>

#include "SequenceInput.h"

namespace talvo::scan {

std::string DefaultModelDirectory() {
    const char* fromEnvironment = std::getenv("TALVO_MODEL_DIR");
    if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
#ifdef TALVO_DATADIR
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path besideProgram =
            (program.parent_path() / TALVO_MODEL_FROM_BINDIR).lexically_normal();
        if (std::filesystem::is_directory(besideProgram, ec)) return besideProgram.string();
    }
    if (std::filesystem::is_directory(TALVO_DATADIR, ec)) return TALVO_DATADIR;
#endif
    return "./param-human";
}

std::string SampleName(const std::string& input) {
    if (input == "-") return "stdin";
    std::string name = std::filesystem::path(input).filename().string();
    for (const std::vector<std::string>& endings :
         {std::vector<std::string>{".gz", ".bgz"}, {".fa", ".fasta", ".fna", ".fq", ".fastq", ".txt"}}) {
        for (const std::string& ending : endings) {
            if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0) {
                name.resize(name.size() - ending.size());
                break;
            }
        }
    }
    return name;
}

namespace {

// The command line as a shell would take it back: words with other than
// letters, digits and -_./=:,+@% in single quotes.
std::string CommandLine(int argc, const char* const* argv) {
    std::string line;
    for (int i = 0; i < argc; ++i) {
        const std::string word = argv[i];
        if (i > 0) line += ' ';
        const bool plain = !word.empty() && word.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                                                   "0123456789-_./=:,+@%") == std::string::npos;
        if (plain) {
            line += word;
            continue;
        }
        line += '\'';
        for (const char c : word) line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        line += '\'';
    }
    return line;
}

}  // namespace

int AvailableCores() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return CPU_COUNT(&set);
    const unsigned cores = std::thread::hardware_concurrency();
    return cores > 0 ? static_cast<int>(cores) : 1;
}

int ParseScanOptions(int argc, const char* const* argv, ScanOptions& options) {
    CLI::App app(
        "talvo-scan: predicts the coding region and the single-base insertions and deletions of\n"
        "every read of FASTA or FASTQ files (plain or gzip-compressed), on both strands, with\n"
        "threads. Writes a table of the reads, and GFF3, BED12, protein and CDS files on request.",
        "talvo-scan");
    app.set_version_flag("--version", "talvo-scan " TALVO_VERSION);
    app.get_formatter()->column_width(28);

    options.modelDirectory = DefaultModelDirectory();
    options.threads = AvailableCores();
    std::string strand = "both";

    app.add_option("inputs", options.inputs, "FASTA or FASTQ files, plain or gzip; - for standard input")
        ->required()
        ->type_name("FILE");
    app.add_option("-d,--model", options.modelDirectory,
                   "model directory ($TALVO_MODEL_DIR overrides the default)")
        ->group("Prediction")
        ->type_name("DIR")
        ->capture_default_str();
    app.add_option("--strand", strand,
                   "strands to predict; with both, the higher path score wins, plus on a tie")
        ->group("Prediction")
        ->check(CLI::IsMember({"both", "plus", "minus"}))
        ->type_name("STRAND")
        ->capture_default_str();
    std::string use = "gene";
    CLI::Option* useOption =
        app.add_option("--use", use,
                       "gene: the gene model; window: the window model alone, as talvo predicts; refine: "
                       "the window model's coding region, its errors placed anew by the codon model; "
                       "long-read: the codon model alone (reads with many errors)")
            ->group("Prediction")
            ->check(CLI::IsMember({"gene", "window", "refine", "long-read"}))
            ->type_name("USE")
            ->capture_default_str();
    std::string codon;
    app.add_option("--codon", codon, "the same as --use refine or --use long-read")
        ->group("Prediction")
        ->check(CLI::IsMember({"refine", "long-read"}))
        ->excludes(useOption)
        ->type_name("USE");
    app.add_option("--error-setting", options.errorSetting,
                   "error setting of the codon and gene models (default: ont with long-read, else est)")
        ->group("Prediction")
        ->type_name("NAME");
    double inside = -1.0;
    app.add_option("--inside-cds", inside,
                   "gene model: the probability that a read begins, and that it ends, inside its coding "
                   "region (default 0.01, for full-length cDNAs; 0.9 for ESTs and other fragments)")
        ->group("Prediction")
        ->check(CLI::Range(0.0001, 0.9))
        ->type_name("P");
    app.add_option("--min-confidence", options.minConfidence,
                   "gene model: list a coding region whose start or stop has a lower confidence as "
                   "low_confidence and leave it out of the GFF3, BED, protein and CDS files")
        ->group("Prediction")
        ->check(CLI::Range(0.0, 1.0))
        ->type_name("X");
    app.add_option("-o,--output", options.table, "the table of the reads; - for standard output")
        ->group("Outputs")
        ->type_name("FILE")
        ->capture_default_str();
    app.add_option("--gff3", options.gff3, "GFF3 gene models")->group("Outputs")->type_name("FILE");
    app.add_option("--bed", options.bed, "BED12 coding regions")->group("Outputs")->type_name("FILE");
    app.add_option("--protein", options.protein, "FASTA of the proteins, translated across the errors")
        ->group("Outputs")
        ->type_name("FILE");
    app.add_option("--cds", options.cds, "FASTA of the coding sequences, corrected")
        ->group("Outputs")
        ->type_name("FILE");
    app.add_option("--corrected", options.corrected,
                   "FASTA of every read with its errors undone (an extra base left out, a missing one as N)")
        ->group("Outputs")
        ->type_name("FILE");
    app.add_option("--stats", options.stats,
                   "the run's figures as JSON (MultiQC custom content when named *_mqc.json)")
        ->group("Summary")
        ->type_name("FILE");
    app.add_option("--summary", options.summary, "the run's figures as an HTML page with charts")
        ->group("Summary")
        ->type_name("FILE");
    app.add_option("--sample", options.sample,
                   "the run's name in the stats and the summary (default: the first input's file name)")
        ->group("Summary")
        ->type_name("NAME");
    app.add_flag("--merge-stats", options.mergeStats,
                 "the inputs are stats files of runs over parts of one input: add up their figures into --stats "
                 "and --summary")
        ->group("Summary");
    app.add_option("-t,--threads", options.threads, "threads (default: the cores available)")
        ->group("Run")
        ->check(CLI::Range(1, 1024))
        ->type_name("N");
    app.add_option("--first-read", options.firstRead,
                   "number of the first read, for a shard of a larger input (GFF3 IDs, unnamed reads)")
        ->group("Run")
        ->check(CLI::Range(std::uint64_t{1}, std::uint64_t{1} << 62))
        ->type_name("N")
        ->capture_default_str();
    app.add_flag("--quiet", options.quiet, "no progress line and no summary on standard error")
        ->group("Run");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::CallForVersion&) {
        std::cout << app.version() << '\n';
        return 0;
    } catch (const CLI::ParseError& e) {
        std::cerr << "talvo-scan: " << e.what() << " (see talvo-scan --help)\n";
        return 1;
    }
    options.commandLine = CommandLine(argc, argv);
    if (options.sample.empty() && !options.mergeStats) options.sample = SampleName(options.inputs.front());
    if (options.mergeStats) {
        for (const char* name : {"-o", "--gff3", "--bed", "--protein", "--cds", "--corrected"}) {
            if (app.count(name) > 0) {
                std::cerr << "talvo-scan: " << name << " cannot be given with --merge-stats (see talvo-scan --help)\n";
                return 1;
            }
        }
        if (options.stats.empty() && options.summary.empty()) {
            std::cerr << "talvo-scan: --merge-stats needs --stats or --summary (see talvo-scan --help)\n";
            return 1;
        }
        options.table.clear();
    }
    if (!codon.empty()) use = codon;
    options.use = use == "gene"     ? ScanUse::Gene
                  : use == "window" ? ScanUse::Window
                  : use == "refine" ? ScanUse::Refine
                                    : ScanUse::LongRead;
    const auto refuse = [](const std::string& message) {
        std::cerr << "talvo-scan: " << message << " (see talvo-scan --help)\n";
        return 1;
    };
    if (options.use == ScanUse::Window && !options.errorSetting.empty()) {
        return refuse("--error-setting: the window model has no error setting");
    }
    if (options.use != ScanUse::Gene && (inside >= 0.0 || options.minConfidence > 0.0)) {
        return refuse("--inside-cds and --min-confidence are the gene model's (--use gene)");
    }
    if (options.errorSetting.empty() && options.use != ScanUse::Window) {
        options.errorSetting = options.use == ScanUse::LongRead ? "ont" : "est";
    }
    if (inside >= 0.0) options.gene.beginInside = options.gene.endInside = inside;
    options.strand = strand == "plus" ? StrandMode::Plus : (strand == "minus" ? StrandMode::Minus : StrandMode::Both);
    return -1;
}

namespace {

// The file a path names, as stat gives it; "-" is standard output (for an
// output) or standard input (for an input). False when there is none yet.
bool Identify(const std::string& path, bool output, struct stat& file) {
    if (path == "-") return fstat(output ? STDOUT_FILENO : STDIN_FILENO, &file) == 0;
    return stat(path.c_str(), &file) == 0;
}

bool SameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Whether two outputs would write into one file: standard output twice, one
// existing file (several may share a character device such as /dev/null or a
// terminal), or one file still to be made.
bool SameOutput(const std::string& a, const std::string& b) {
    if (a == "-" && b == "-") return true;
    struct stat first {};
    struct stat second {};
    const bool firstExists = Identify(a, true, first);
    const bool secondExists = Identify(b, true, second);
    if (firstExists && secondExists) return SameInode(first, second) && !S_ISCHR(first.st_mode);
    if (firstExists || secondExists || a == "-" || b == "-") return false;
    std::error_code ec;
    return std::filesystem::weakly_canonical(a, ec) == std::filesystem::weakly_canonical(b, ec);
}

// Whether an output would write over an input: the same regular file, also
// when the input is standard input or the output standard output.
bool OverwritesInput(const std::string& output, const std::string& input) {
    struct stat out {};
    struct stat in {};
    return Identify(output, true, out) && Identify(input, false, in) && S_ISREG(in.st_mode) && SameInode(out, in);
}

}  // namespace

void CheckScanOptions(const ScanOptions& options) {
    CheckOptions(options.prediction);
    const std::pair<const char*, const std::string*> outputs[] = {
        {"-o", &options.table},     {"--gff3", &options.gff3}, {"--bed", &options.bed},
        {"--protein", &options.protein}, {"--cds", &options.cds}, {"--corrected", &options.corrected},
        {"--stats", &options.stats},
        {"--summary", &options.summary},
    };
    for (std::size_t i = 0; i < std::size(outputs); ++i) {
        const auto& [option, path] = outputs[i];
        if (path->empty()) continue;
        const std::string name = *path == "-" ? "standard output" : "'" + *path + "'";
        for (std::size_t j = 0; j < i; ++j) {
            const auto& [other, otherPath] = outputs[j];
            if (!otherPath->empty() && SameOutput(*path, *otherPath)) {
                throw std::runtime_error(std::string("option ") + option + ": " + name + " is already the output of " +
                                         other);
            }
        }
        for (const std::string& input : options.inputs) {
            if (OverwritesInput(*path, input)) {
                throw std::runtime_error(std::string("option ") + option + ": " + name + " is an input" +
                                         (input == "-" ? " (standard input)" : "") + "; choose another output file");
            }
        }
    }
    for (const std::string& input : options.inputs) CheckReadable(input);
}

}  // namespace talvo::scan
