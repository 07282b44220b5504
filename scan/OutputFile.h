// An output of unbounded size written as it grows, yet replacing its file
// only when complete (the rules of ReplacingFile: a regular file is written
// to a temporary file beside it and renamed over it by Commit(); one that is
// never committed leaves any earlier file in place; devices, pipes and
// sockets are written directly). A run finishes all its outputs before it
// commits any, so that they are replaced together or not at all. "-" is standard output. A signal that ends
// the process (interrupt, termination, hangup, closed pipe) removes the
// temporary files first.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "ReportFile.h"

namespace talvo::scan {

// A failed write or commit; the message names the output and the reason.
class OutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class OutputFile {
public:
    explicit OutputFile(std::string path);  // OutputError if the file cannot be created
    ~OutputFile();                          // removes an uncommitted temporary file
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    void Write(std::string_view text);
    // Writes what is held and closes the file: a failure (a full disk)
    // shows here, before any output of a run is renamed into place.
    void Finish();
    // Finish(), then renames the temporary file into place.
    void Commit();
    // Whether the output is written in place (standard output, a device, a
    // pipe) rather than to a temporary file.
    bool InPlace() const { return file_->TemporaryPath().empty(); }

private:
    void Flush();
    [[noreturn]] void Fail(int error) const;

    std::string path_;
    std::optional<ReplacingFile> file_;
    int slot_ = -1;  // of the temporary file removed on a signal
    std::string buffer_;
};

}  // namespace talvo::scan
