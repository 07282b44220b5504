// talvo: predicts the protein-coding region of one error-prone cDNA and the
// single-base insertions and deletions inside it.
#include <exception>
#include <iostream>

#include "CommandLine.h"
#include "Fatal.h"
#include "ProgramModel.h"
#include "ReportFile.h"
#include "WebPredict.h"

using namespace talvo;

namespace {

// Refuses a report path that names the input file: the report would replace
// the sequence it describes.
void CheckReportPath(const char* option, const char* report, const char* input) {
    if (report != nullptr && SameFile(report, input)) {
        throw FatalError(Stream::Err, std::string("talvo: option ") + option + ": '" + report +
                                          "' is the input file; choose another report file\n");
    }
}

bool WriteReport(const char* path, const std::function<void(std::ostream&)>& write) {
    std::string reason;
    if (WriteReportFile(path, write, reason)) return true;
    std::cerr << "talvo: cannot write " << path << ": " << reason << '\n';
    return false;
}

int Run(int argc, char** argv) {
    const Options options = ParseOptions(argc, argv);
    if (options.help) {
        std::cout << kHelpText;
        return 1;
    }
    CheckReportPath("-h", options.htmlFile, options.inputFile);
    CheckReportPath("-s", options.scoreFile, options.inputFile);

    GCID = 0;
    LENGTHID = 0;
    READ_ROUND = 0;
    WebPredict run;
    run.inputFile = options.inputFile;
    run.paramDir = options.paramDir;
    run.GetResult();
    run.OutNormLayout(options.width, std::cout);
    // A report to standard output follows the text report.
    std::cout.flush();
    bool written = true;
    if (options.htmlFile != nullptr) {
        written &= WriteReport(options.htmlFile,
                               [&](std::ostream& out) { run.OutHtmlLayout(options.width, out); });
    }
    if (options.scoreFile != nullptr) {
        written &= WriteReport(options.scoreFile,
                               [&](std::ostream& out) { run.OutValLayout(options.width, out); });
    }
    return written ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    int status;
    try {
        status = Run(argc, argv);
    } catch (...) {
        std::cout.flush();
        ReportFailure(std::current_exception(), std::cout, std::cerr);
        status = 1;
    }
    std::cout.flush();
    if (!std::cout) {
        std::cerr << "talvo: error writing to standard output\n";
        return 1;
    }
    return status;
}
