#include "ToolOptions.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace talvo::tools {

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& name) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

}  // namespace

ToolOptions::ToolOptions(int argc, char** argv, const std::vector<std::string>& known,
                         const std::vector<std::string>& flags, const std::vector<std::string>& repeatable) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (Contains(flags, name)) {
            values_[name].push_back("");
            continue;
        }
        if (!Contains(known, name)) throw std::invalid_argument("unknown option " + name);
        if (i + 1 >= argc) throw std::invalid_argument("option " + name + " needs a value");
        if (Has(name) && !Contains(repeatable, name)) {
            throw std::invalid_argument("option " + name + " is given twice");
        }
        values_[name].push_back(argv[++i]);
    }
}

std::string ToolOptions::Text(const std::string& name, const std::string& fallback) const {
    const auto it = values_.find(name);
    return it == values_.end() ? fallback : it->second.front();
}

std::vector<std::string> ToolOptions::All(const std::string& name) const {
    const auto it = values_.find(name);
    return it == values_.end() ? std::vector<std::string>{} : it->second;
}

long long ToolOptions::Number(const std::string& name, long long fallback, long long low, long long high) const {
    if (!Has(name)) return fallback;
    long long value = 0;
    const std::string text = Text(name);
    if (!ParseWhole(text, value) || value < low || value > high) {
        throw std::invalid_argument("option " + name + ": '" + text + "' is not a whole number from " +
                                    std::to_string(low) + " to " + std::to_string(high));
    }
    return value;
}

double ToolOptions::Real(const std::string& name, double fallback, double low, double high) const {
    if (!Has(name)) return fallback;
    double value = 0.0;
    const std::string text = Text(name);
    if (!ParseWhole(text, value) || !(value >= low && value <= high)) {
        throw std::invalid_argument("option " + name + ": '" + text + "' is not a number from " +
                                    std::to_string(low) + " to " + std::to_string(high));
    }
    return value;
}

int RunTool(const char* program, const char* usage, const std::function<void()>& body) {
    try {
        body();
    } catch (const std::invalid_argument& e) {
        std::cerr << program << ": " << e.what() << "\n" << usage;
        return 1;
    } catch (const std::exception& e) {
        std::cerr << program << ": " << e.what() << "\n";
        return 1;
    }
    return 0;
}

}  // namespace talvo::tools
