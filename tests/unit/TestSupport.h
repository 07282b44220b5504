// Helpers of the unit tests: temporary directories, sequences written as
// base letters, and rules added to a model.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "GeneticCode.h"
#include "Model.h"

namespace talvo::testing_support {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class TempDir {
public:
    TempDir() {
        static int serial = 0;
        path_ = std::filesystem::temp_directory_path() /
                ("talvo-unit-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string Path(const std::string& name) const { return (path_ / name).string(); }
    // Writes content (bytes as given) into the file name and returns its path.
    std::string Write(const std::string& name, const std::string& content) const {
        const std::string path = Path(name);
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

private:
    std::filesystem::path path_;
};

inline std::vector<short> Codes(const std::string& bases) {
    std::vector<short> codes;
    for (char ch : bases) codes.push_back(kBaseCode[static_cast<unsigned char>(ch)]);
    return codes;
}

inline std::string Repeat(const std::string& unit, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) text += unit;
    return text;
}

// A single amino-acid rule: count of aa above threshold votes +weight (dir 1).
inline void AddAcidRule(Model& model, int aa, int threshold, double weight, int dir = 1) {
    const int i = static_cast<int>(model.rules.size());
    fnlHypo rule;
    rule.kind = 2;
    rule.first = aa;
    rule.weight = weight;
    model.rules.push_back(rule);
    model.snglAcidTrsld[i].dir = dir;
    model.snglAcidTrsld[i].intTrsld = threshold;
}

}  // namespace talvo::testing_support
