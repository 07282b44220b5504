// Line-by-line reading of a model file (parameter or transition file).
//
// Lines are read into a buffer of 256 characters: a line holds at most 255.
// Once a read fails (end of file, or a longer line, whose first 255
// characters are still returned) every later line reads as empty, so that
// its fields read as 0; the loader still completes.
#pragma once

#include <fstream>
#include <string>
#include <vector>

namespace talvo {

class ModelFile {
public:
    // Opens the file; one that cannot be opened throws EngineError
    // (CannotOpen).
    explicit ModelFile(const std::string& path);

    // The next line, without its line feed.
    std::string NextLine();
    // Number of the line last returned, counted from 1.
    int LineNumber() const { return lineNumber_; }
    const std::string& Path() const { return path_; }
    // The warning for a file that ended before `expected` lines or held an
    // overlong line, appended to warnings; nothing when it was complete.
    void CheckComplete(int expected, std::vector<std::string>& warnings) const;
    // The same refused: such a file throws EngineError (BadValue) at the
    // overlong line or at the line where it ends.
    void RequireComplete(int expected) const;

private:
    std::ifstream in_;
    std::string path_;
    int lineNumber_ = 0;
    int linesRead_ = 0;
    bool failed_ = false;
    int longLine_ = 0;  // number of the overlong line, 0 if none
};

// Splits a line into `count` fields at ','. Every field but the last is the
// text before the first ',' of the remaining text; the last is the whole
// remaining text, or, with cutLast, also only the text before a ','. When no
// ',' is left a field is the whole remaining text, which then stays as it
// is: missing fields repeat the last field present.
std::vector<std::string> SplitFields(const std::string& line, int count, bool cutLast);

}  // namespace talvo
