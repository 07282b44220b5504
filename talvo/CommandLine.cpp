#include "CommandLine.h"

#include <cstring>
#include <new>
#include <ostream>

#include "EngineError.h"
#include "Fatal.h"
#include "LenientNumber.h"

namespace talvo {

const char* const kHelpText =
    "Usage: TALVO.exe [OPTION]\n\n"
    "OPTIONS:\n"
    "\t--help: Show this help.\n"
    "\t-i: Input filename (default name is sample.txt.)\n"
    "\t-d: Paramater directory (default directory is ./param-human)\n"
    "\t-w: Display width (default width is 60 bases.)\n"
    "\t-h: Output frame layout to a html file.\n"
    "\t-s: Output score of each base to a file.\n"
    "\n----\n"
    "ex) TALVO.exe -w 70 -h out.html -s score.cvs -i inputFasta.txt\n\n"
    "REFERENCE:\n"
    "TALVO " TALVO_VERSION ": frame-shift tolerant prediction of coding regions in error-prone cDNA.\n";

Options ParseOptions(int argc, const char* const* argv) {
    Options options;
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        options.help = true;
        return options;
    }
    const char* widthText = nullptr;
    const char* widthOption = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-') continue;
        const char letter = arg[1];
        if (std::strchr("dhisw", letter) == nullptr || letter == '\0') continue;
        if (i + 1 >= argc) {
            throw FatalError(Stream::Err, std::string("talvo: option ") + arg + " needs a value\n");
        }
        const char* value = argv[++i];
        switch (letter) {
            case 'd': options.paramDir = value; break;
            case 'h': options.htmlFile = value; break;
            case 'i': options.inputFile = value; break;
            case 's': options.scoreFile = value; break;
            case 'w':
                widthText = value;
                widthOption = arg;
                break;
        }
    }
    if (widthText != nullptr) {
        options.width = LenientInt(widthText);
        if (options.width < 1) {
            throw FatalError(Stream::Err, std::string("talvo: option ") + widthOption +
                                              ": display width '" + widthText +
                                              "' is not a whole number of at least 1\n");
        }
    }
    return options;
}

void ReportFailure(const std::exception_ptr& failure, std::ostream& out, std::ostream& err) {
    try {
        std::rethrow_exception(failure);
    } catch (const FatalError& e) {
        (e.stream == Stream::Out ? out : err) << e.what() << std::flush;
    } catch (const EngineError& e) {
        switch (e.kind) {
            case EngineError::Kind::CannotOpen: out << "ioerr:can not open " << e.file << '\n' << std::flush; break;
            case EngineError::Kind::NoMemory: out << "exit\n" << std::flush; break;
            case EngineError::Kind::BadValue: err << "talvo: " << e.what() << '\n'; break;
        }
    } catch (const std::bad_alloc&) {
        err << "talvo: out of memory\n";
    } catch (const std::exception& e) {
        err << "talvo: " << e.what() << '\n';
    } catch (...) {
        err << "talvo: stopped by an unexpected error\n";
    }
}

}  // namespace talvo
