// Writing a report or an output file.
//
// A regular file, or a new one, is written to a temporary file beside it,
// which is renamed over it once complete: a failed or interrupted run never
// leaves a half-written file in place of an earlier one, and the new file
// keeps the permission bits of the one it replaces. A symbolic link is
// followed to its final target, which receives the file (and is created
// when missing); the link stays. Written in place, without a temporary file:
// anything that exists and is not a regular file (a terminal, a FIFO, a
// device, a socket), and a regular file beside which no temporary file can
// be made (a directory without write permission, a name at the length
// limit). A file that standard output or standard error is open on (such as
// /dev/stdout) is written through that stream's descriptor, after what the
// stream holds: the caller flushes its standard streams first. An existing
// file without write permission is refused, not replaced.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <string_view>

namespace talvo {

// One file being written by the rules above. Every failure throws
// std::system_error carrying the system's error code.
class ReplacingFile {
public:
    explicit ReplacingFile(const std::string& path);
    // Standard output itself, written in place and never closed.
    static ReplacingFile StandardOutput();
    ReplacingFile(ReplacingFile&& other) noexcept;
    ReplacingFile& operator=(ReplacingFile&&) = delete;
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    // Closes the file; a temporary file not yet renamed is removed, so the
    // earlier file stays as it was.
    ~ReplacingFile();

    void Write(std::string_view bytes);
    // Closes the file (a failure to store what was written shows here, as
    // on some file systems a full disk does); nothing more is written.
    void Close();
    // Closes the file and renames the temporary file into place.
    void Commit();
    // The temporary file, empty when the file is written in place.
    const std::string& TemporaryPath() const { return temporary_; }

private:
    ReplacingFile() = default;

    int fd_ = -1;
    bool owned_ = true;       // false for standard output
    std::string target_;      // the file the temporary one replaces
    std::string temporary_;
};

// Writes a whole report; on failure returns false and sets reason to a
// short description (the system's error text). An exception thrown by
// write also leaves no temporary file behind.
bool WriteReportFile(const std::string& path, const std::function<void(std::ostream&)>& write,
                     std::string& reason);

// True when both paths name the same existing regular file.
bool SameFile(const char* a, const char* b);

}  // namespace talvo
