// Writes a small synthetic parameter directory in the model file formats,
// with every file name a run can ask for. Its rules recognise the test
// sequences' coding frame: few stop codons and many Ala and Glu codons.
//
//   make_synthetic_model DIR
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <sys/stat.h>

namespace {

// Rule lines (kind,first,second,third,gap,weight) and their thresholds;
// every other rule is of kind 1, which the scorer skips.
struct SingleRule {
    int aa;
    int threshold;
    int dir;
    double weight;
};
constexpr SingleRule kRules[] = {
    {20, 0, 0, 1.0},  // a stop codon in the window votes against coding
    {0, 3, 1, 1.0},   // more than 3 Ala
    {3, 3, 1, 1.0},   // more than 3 Glu
};
constexpr int kRuleCount = 500;

void WriteParameterFile(const std::string& path) {
    std::ofstream out(path);
    for (int i = 0; i < kRuleCount; ++i) {
        if (i < static_cast<int>(std::size(kRules))) {
            out << "2," << kRules[i].aa << ",0,0,0," << kRules[i].weight << "\n";
        } else {
            out << "1,0,0,0,0,0\n";
        }
    }
    for (int i = 0; i < kRuleCount; ++i) out << "1,0.5\n";  // codon-rule thresholds
    for (int i = 0; i < kRuleCount; ++i) out << "1,1.0\n";  // pair-rule thresholds
    for (int i = 0; i < kRuleCount; ++i) {
        if (i < static_cast<int>(std::size(kRules))) {
            out << kRules[i].dir << "," << kRules[i].threshold << "\n";
        } else {
            out << "1,0\n";
        }
    }
    for (int i = 0; i < 4 * 21 * 21; ++i) out << "0.01,1\n";
    for (int i = 0; i < 21; ++i) out << "0.2,1\n";
}

// From-to matrix: row = class at the previous codon position (coding,
// non-coding, path begin, stop), column = class at the current one.
void WriteTransitionFile(const std::string& path) {
    std::ofstream out(path);
    out << "1,-1,0,0.5,\n";
    out << "-2,0,0,0,\n";
    out << "1,-1,0,0,\n";
    out << "-2,0,0,0,\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_synthetic_model DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    mkdir(dir.c_str(), 0777);
    for (const char* sub : {"/paramater/", "/paramater32/"}) {
        mkdir((dir + sub).c_str(), 0777);
        const int lengths = std::string(sub) == "/paramater/" ? 3 : 1;
        for (int l = 0; l < lengths; ++l) {
            for (int g = 0; g < 4; ++g) {
                const std::string suffix = std::to_string(l) + "G" + std::to_string(g) + "-ex0.txt";
                WriteParameterFile(dir + sub + "paramL" + suffix);
                WriteTransitionFile(dir + sub + "matrixL" + suffix);
            }
        }
    }
    return 0;
}
