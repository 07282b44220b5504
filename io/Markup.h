// Text written into HTML or SVG as text, never as markup: &, <, > and "
// written as references, so that a read's name or a FASTA header cannot open
// a tag (or a script) in the reader's browser.
#pragma once

#include <string>

namespace talvo {

inline std::string EscapeMarkup(const std::string& text) {
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
