// An output of unbounded size written as it grows, yet replacing its file
// only when complete: a regular file is written to a temporary file beside
// it and renamed over it by Commit(); one that is never committed leaves
// any earlier file in place. Standard output ("-") and a path that names a
// device, a pipe or a socket are written directly. A signal that ends the
// process (interrupt, termination, hangup, closed pipe) removes the
// temporary files first.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

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
    void Commit();

private:
    void Flush();
    [[noreturn]] void Fail(int error);

    std::string path_;
    std::string finalPath_;  // the file replaced (a symbolic link's target)
    std::string tempPath_;   // empty when written directly
    bool direct_ = false;    // a device, pipe or socket
    int slot_ = -1;          // of the temporary file removed on a signal
    int fd_ = -1;
    std::string buffer_;
};

}  // namespace talvo::scan
