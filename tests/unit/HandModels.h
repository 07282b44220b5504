// A hand-made codon model and reads for the codon decoder's and the gene
// model's tests: codons take G or A first, C or A second and A or G third,
// against a uniform background; and the checks of their files.
#pragma once

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "CodonModel.h"
#include "TestSupport.h"

namespace talvo::testing_support {

inline CodonModel HandModel() {
    CodonModel model;
    const int favoured[3][2] = {{2, 0}, {3, 0}, {0, 2}};  // base codes: A 0, T 1, G 2, C 3
    for (int p = 0; p < 3; ++p) {
        model.coding[p].assign(CodonModel::kWords, 2);
        for (int w = 0; w < CodonModel::kWords; ++w) {
            if (w % 4 == favoured[p][0] || w % 4 == favoured[p][1]) model.coding[p][w] = 100;
        }
    }
    model.noncoding.assign(CodonModel::kWords, 50);
    model.meanUtr5 = 100;
    model.meanCds = 900;
    model.meanUtr3 = 300;
    ErrorSetting s;
    s.name = "test";
    s.order = 2;
    for (int L = 1; L <= 6; ++L) {
        s.insertion[L] = L >= 3 ? 0.02 : 0.001;
        s.deletion[L] = L >= 3 ? 0.02 : 0.001;
    }
    model.settings.push_back(s);
    return model;
}

// Favoured codons drawn by a fixed rule, then a run of five A (AAA AAG).
inline std::string Cds() {
    const char* codons[] = {"GCA", "GCG", "GAA", "GAG", "ACA", "ACG", "AAG", "GCA"};
    std::string cds = "ATG";
    unsigned x = 7;
    for (int i = 0; i < 40; ++i) {
        x = x * 1103515245u + 12345u;
        cds += codons[(x >> 16) % 8];
        if (i == 20) cds += "AAAAAG";
    }
    return cds + "TAA";
}

inline const std::string kUtr5 = "TCTTCCTCTCTTTCCTCTTCTCCTTC";
inline const std::string kUtr3 = "CTTCTCCTTTCTCTCCTTCT";

inline std::string Edit(std::string s, int pos, const std::string& insert, int erase) {
    return s.erase(pos, erase).insert(pos, insert);
}

// The text with its line `line` (counted from 1) replaced.
inline std::string ReplaceLine(std::string text, int line, const std::string& replacement) {
    std::size_t at = 0;
    for (int k = 1; k < line; ++k) at = text.find('\n', at) + 1;
    return text.replace(at, text.find('\n', at) - at, replacement);
}

// A damaged model file, and the message that reading it must begin with
// after the file's path.
struct BadFile {
    std::string text;
    std::string message;
};

// Writes each text as the file `name` of a fresh directory and expects
// read(path) to refuse it with its message; a missing file is refused too.
template <typename Read>
void ExpectRefused(const std::string& name, const std::vector<BadFile>& files, Read read) {
    TempDir dir;
    for (const BadFile& file : files) {
        const std::string path = dir.Write(name, file.text);
        try {
            read(path);
            ADD_FAILURE() << "no error for" << file.message;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()).rfind(path + file.message, 0), 0u) << e.what();
        }
    }
    EXPECT_THROW(read(dir.Path("none")), std::runtime_error);
}

}  // namespace talvo::testing_support
