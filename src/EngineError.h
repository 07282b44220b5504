// A failure of the engine on what it was given: which file, which line of
// it, and what is wrong. The engine names no program and writes nothing:
// each program says the failure in its own words.
#pragma once

#include <stdexcept>
#include <string>

namespace talvo {

// "file line N: problem", "file: problem" without a line (0), the problem
// alone without a file: a place in an input, as messages and warnings
// quote it.
inline std::string Located(const std::string& file, int line, const std::string& problem) {
    if (file.empty()) return problem;
    return file + (line > 0 ? " line " + std::to_string(line) : "") + ": " + problem;
}

class EngineError : public std::runtime_error {
public:
    enum class Kind {
        CannotOpen,  // the file cannot be read; problem: the system's reason
        BadValue,    // a value of the file lies outside what the engine can use
        NoMemory,    // a prediction's tables could not be allocated
    };

    // what() is the failure in plain words: "cannot open FILE: REASON", or
    // the problem located in its file.
    EngineError(Kind kind, std::string file, int line, std::string problem)
        : std::runtime_error(kind == Kind::CannotOpen ? "cannot open " + file + ": " + problem
                                                      : Located(file, line, problem)),
          kind(kind), file(std::move(file)), line(line), problem(std::move(problem)) {}

    Kind kind;
    std::string file;     // empty when no file is concerned
    int line;             // counted from 1; 0 when no line is concerned
    std::string problem;  // what is wrong, without the place
};

}  // namespace talvo
