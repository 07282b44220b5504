// Number formatting of the reports: a double in general notation with a
// given number of significant digits, as an output stream prints it.
#pragma once

#include <cstdio>
#include <string>

namespace talvo {

inline std::string FormatG(double value, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

}  // namespace talvo
