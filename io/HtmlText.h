// Text put into an HTML or SVG page as it is: &, <, > and " written as
// references, so that a read's header or a file name cannot open a tag (or
// a script) in the reader's browser.
#pragma once

#include <string>

namespace talvo {

inline std::string HtmlText(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': escaped += "&amp;"; break;
            case '<': escaped += "&lt;"; break;
            case '>': escaped += "&gt;"; break;
            case '"': escaped += "&quot;"; break;
            default: escaped += c;
        }
    }
    return escaped;
}

}  // namespace talvo
