// Writing a report file so that a failed or interrupted run never leaves a
// half-written file in place of an earlier one: the report goes to a
// temporary file beside the target, which is renamed over it once complete.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace talvo {

// Writes the report; on failure returns false and sets reason to a short
// description (the system's error text), leaving any earlier file in place.
bool WriteReportFile(const std::string& path, const std::function<void(std::ostream&)>& write,
                     std::string& reason);

// True when both paths name the same existing file.
bool SameFile(const char* a, const char* b);

}  // namespace talvo
