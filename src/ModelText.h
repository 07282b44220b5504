// Reading and writing the text files of the codon and gene models: lines of
// whitespace-separated fields, numbers checked strictly, every error naming
// the file and the line.
#pragma once

#include <charconv>
#include <cmath>
#include <iosfwd>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace talvo {

class ModelTextReader {
public:
    ModelTextReader(const std::string& path, std::istream& in) : path_(path), in_(in) {}

    // Throws EngineError (a bad value): "PATH line N: reason" (no line
    // before the first).
    [[noreturn]] void Fail(const std::string& reason) const;

    // The next line's fields; false at the end of the file.
    bool Next(std::vector<std::string>& fields);
    // The last line read, without its line end.
    const std::string& Text() const { return text_; }

    // A finite number in [low, high], or a failure naming `what`.
    double Real(const std::string& text, double low, double high, const std::string& what) const;

    template <typename T>
    T Whole(const std::string& text, T low, T high, const std::string& what) const {
        T value = 0;
        const char* end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, value);
        if (ec != std::errc() || ptr != end) Fail("bad number '" + text + "' for " + what);
        if (value < low || value > high) Fail(what + " " + text + " out of range");
        return value;
    }

    // Reads the first line; fails unless it is `versionLine`, naming the
    // model's `kind` ("codon", "gene").
    void ExpectVersion(const std::string& versionLine, const std::string& kind);

    // Fails unless only blank lines follow.
    void ExpectEnd(const std::string& after);

private:
    const std::string& path_;
    std::istream& in_;
    int line_ = 0;
    std::string text_;
};

// Opens a model's text file, or throws EngineError (cannot open) with the
// system's reason.
void OpenModelText(std::ifstream& file, const std::string& path);

// A real with 6 significant digits, as the model files hold them.
void PutModelReal(std::ostream& out, double value);

// The name of a context of `length` bases by its index (base codes A 0,
// T 1, G 2, C 3 as base-4 digits, first base most significant).
std::string ContextName(int context, int length);

}  // namespace talvo
