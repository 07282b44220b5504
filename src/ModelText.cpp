#include "ModelText.h"

#include <cerrno>
#include <fstream>
#include <istream>
#include <ostream>
#include <sstream>

#include "EngineError.h"
#include "FileOpen.h"

namespace talvo {

void ModelTextReader::Fail(const std::string& reason) const {
    throw EngineError(EngineError::Kind::BadValue, path_, line_, reason);
}

bool ModelTextReader::Next(std::vector<std::string>& fields) {
    std::string line;
    if (!std::getline(in_, line)) {
        if (in_.bad()) Fail("read failed");
        ++line_;
        return false;
    }
    ++line_;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    text_ = line;
    fields.clear();
    std::istringstream words(line);
    for (std::string f; words >> f;) fields.push_back(f);
    return true;
}

double ModelTextReader::Real(const std::string& text, double low, double high, const std::string& what) const {
    double value = 0.0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value)) Fail("bad number '" + text + "' for " + what);
    if (value < low || value > high) Fail(what + " " + text + " out of range");
    return value;
}

void ModelTextReader::ExpectVersion(const std::string& versionLine, const std::string& kind) {
    std::vector<std::string> fields;
    if (!Next(fields) || Text() != versionLine) {
        Fail("not a " + kind + " model of this version (the first line must be \"" + versionLine + "\")");
    }
}

void OpenModelText(std::ifstream& file, const std::string& path) {
    if (!OpenForReading(file, path)) {
        throw EngineError(EngineError::Kind::CannotOpen, path, 0, std::generic_category().message(errno));
    }
}

void ModelTextReader::ExpectEnd(const std::string& after) {
    std::vector<std::string> f;
    while (Next(f)) {
        if (!f.empty()) Fail("text after " + after);
    }
}

void PutModelReal(std::ostream& out, double value) {
    char buffer[64];
    const auto [ptr, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    out.write(buffer, ec == std::errc() ? ptr - buffer : 0);
}

std::string ContextName(int context, int length) {
    static constexpr char kLetters[] = {'A', 'T', 'G', 'C'};
    std::string name(length, 'A');
    for (int k = length - 1; k >= 0; --k, context >>= 2) name[k] = kLetters[context & 3];
    return name;
}

}  // namespace talvo
