// The command line: options are scanned, then checked, then the run starts.
#pragma once

#include <exception>
#include <iosfwd>
#include <string>

namespace talvo {

struct Options {
    bool help = false;  // the sole argument was --help
    const char* inputFile = "sample.txt";
    const char* paramDir = "./param-human";
    int width = 60;
    const char* htmlFile = nullptr;  // -h
    const char* scoreFile = nullptr;  // -s
};

// Scans the arguments (argv[1] .. argv[argc-1]). An argument that does not
// start with '-' is skipped; otherwise its second character alone decides:
// d, h, i, s and w take the next argument as their value, anything else is
// skipped. A later option overrides an earlier one. An option left without
// a value, or a width below 1, throws FatalError with a one-line message.
Options ParseOptions(int argc, const char* const* argv);

// Writes the one message of a run ended by an exception: a FatalError's on
// its stream; an engine's failure to open a model file as "ioerr:can not
// open " + path and its failure to allocate the frame DP as "exit" on out;
// any other as one line on err.
void ReportFailure(const std::exception_ptr& failure, std::ostream& out, std::ostream& err);

// The help text, printed for a sole --help.
extern const char* const kHelpText;

}  // namespace talvo
