// Writing a report file.
//
// A regular file, or a new one, is written to a temporary file beside it,
// which is renamed over it once complete: a failed or interrupted run never
// leaves a half-written file in place of an earlier one, and the new file
// keeps the permission bits of the one it replaces. A symbolic link is
// followed to its final target, which receives the report (and is created
// when missing); the link stays. Written in place, without a temporary file:
// anything that exists and is not a regular file (a terminal, a FIFO, a
// device), and a regular file beside which no temporary file can be made (a
// directory without write permission, a name at the length limit). A report
// to the file that standard output or standard error is open on (such as
// /dev/stdout) goes through that stream, after what the stream holds: the
// caller flushes its standard streams first.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace talvo {

// Writes the report; on failure returns false and sets reason to a short
// description (the system's error text), removing any temporary file and
// leaving an earlier regular file in place. An exception thrown by write
// also leaves no temporary file behind.
bool WriteReportFile(const std::string& path, const std::function<void(std::ostream&)>& write,
                     std::string& reason);

// True when both paths name the same existing regular file.
bool SameFile(const char* a, const char* b);

}  // namespace talvo
