#include "ModelFile.h"

#include <system_error>

#include "EngineError.h"
#include "FileOpen.h"

namespace talvo {

namespace {
constexpr int kLineBuffer = 256;
}

ModelFile::ModelFile(const std::string& path) : path_(path) {
    if (!OpenForReading(in_, path)) {
        throw EngineError(EngineError::Kind::CannotOpen, path, 0, std::generic_category().message(errno));
    }
}

std::string ModelFile::NextLine() {
    ++lineNumber_;
    std::string line;
    if (failed_) return line;
    std::streambuf* buf = in_.rdbuf();
    using Traits = std::char_traits<char>;
    int c = buf->sgetc();
    while (static_cast<int>(line.size()) + 1 < kLineBuffer && c != Traits::eof() && c != '\n') {
        line.push_back(Traits::to_char_type(c));
        c = buf->snextc();
    }
    if (c == '\n') {
        buf->sbumpc();
    } else if (c == Traits::eof()) {
        // The next read finds nothing; an empty read here is a failed one.
        failed_ = true;
        if (line.empty()) return line;
    } else {
        failed_ = true;
        longLine_ = lineNumber_;
    }
    ++linesRead_;
    return line;
}

void ModelFile::CheckComplete(int expected, std::vector<std::string>& warnings) const {
    if (longLine_ != 0) {
        warnings.push_back(Located(path_, longLine_,
                                   "line of 256 characters or more; only its first 255 characters were read"
                                   " and the lines after it read as empty (values 0)"));
    } else if (linesRead_ < expected) {
        warnings.push_back(Located(path_, 0,
                                   "file ends after " + std::to_string(linesRead_) + " of " +
                                       std::to_string(expected) + " lines; the missing values read as 0"));
    }
}

void ModelFile::RequireComplete(int expected) const {
    if (longLine_ != 0) {
        throw EngineError(EngineError::Kind::BadValue, path_, longLine_, "line of 256 characters or more");
    }
    if (linesRead_ < expected) {
        throw EngineError(EngineError::Kind::BadValue, path_, linesRead_ + 1,
                          "the file ends here, after " + std::to_string(linesRead_) + " of its " +
                              std::to_string(expected) + " lines");
    }
}

std::vector<std::string> SplitFields(const std::string& line, int count, bool cutLast) {
    std::vector<std::string> fields;
    fields.reserve(count);
    std::size_t rest = 0;  // the remaining text starts here
    for (int i = 0; i < count; ++i) {
        const bool last = i + 1 == count;
        const std::size_t comma = line.find(',', rest);
        if (comma == std::string::npos || (last && !cutLast)) {
            fields.push_back(line.substr(rest));
        } else {
            fields.push_back(line.substr(rest, comma - rest));
            rest = comma + 1;
        }
    }
    return fields;
}

}  // namespace talvo
