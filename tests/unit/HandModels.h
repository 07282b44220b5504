// A hand-made codon model and reads for the codon decoder's and the gene
// model's tests: codons take G or A first, C or A second and A or G third,
// against a uniform background.
#pragma once

#include <string>

#include "CodonModel.h"

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

}  // namespace talvo::testing_support
