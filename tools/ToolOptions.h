// Option parsing shared by the training and evaluation tools: "--name value"
// pairs, numbers read whole with std::from_chars.
#pragma once

#include <charconv>
#include <functional>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace talvo::tools {

class ToolOptions {
public:
    // Reads argv into name -> values; `flags` take no value, `repeatable`
    // may be given more than once. Throws std::invalid_argument on an
    // unknown option or a missing value.
    ToolOptions(int argc, char** argv, const std::vector<std::string>& known,
                const std::vector<std::string>& flags = {}, const std::vector<std::string>& repeatable = {});

    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    std::string Text(const std::string& name, const std::string& fallback = "") const;
    std::vector<std::string> All(const std::string& name) const;
    // A whole number in [low, high]; throws std::invalid_argument naming the option.
    long long Number(const std::string& name, long long fallback, long long low, long long high) const;
    double Real(const std::string& name, double fallback, double low, double high) const;

private:
    std::map<std::string, std::vector<std::string>> values_;
};

// Parses a whole number; false on trailing text or overflow.
template <typename T>
bool ParseWhole(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

// Runs a tool's body and gives its exit status: 0, or 1 after a one-line
// message on standard error that begins with the program's name (followed
// by the usage for a bad option).
int RunTool(const char* program, const char* usage, const std::function<void()>& body);

}  // namespace talvo::tools
