// The prediction run: input, class of the sequence, model, samples, frame
// DP, error placement, and the coding region's first and last base.
#include "WebPredict.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <memory>
#include <new>

#include "Fatal.h"
#include "Model.h"
#include "Shortcut.h"

namespace talvo {

std::vector<fnlHypo> fh;
trsldData codonTrsld[kMaxRules];
trsldData pairAcidTrsld[kMaxRules];
trsldData snglAcidTrsld[kMaxRules];
double pairAcidPriproTable[4][kAminoAcids][kAminoAcids][2];
double snglAcidPriproTable[kAminoAcids][2];

int GCID = 0;
int LENGTHID = 0;
int WINDOW_WIDTH = 0;
int READ_ROUND = 0;

namespace {
constexpr double kAcceptAbove = -9.0;  // a path scoring -9 or less is no prediction
}

void ClearModel() {
    fh.clear();
    std::fill(std::begin(codonTrsld), std::end(codonTrsld), trsldData{});
    std::fill(std::begin(pairAcidTrsld), std::end(pairAcidTrsld), trsldData{});
    std::fill(std::begin(snglAcidTrsld), std::end(snglAcidTrsld), trsldData{});
    std::memset(pairAcidPriproTable, 0, sizeof pairAcidPriproTable);
    std::memset(snglAcidPriproTable, 0, sizeof snglAcidPriproTable);
    std::memset(malkovChain, 0, sizeof malkovChain);
}

void Warn(const std::string& message) { std::cerr << "talvo: warning: " << message << '\n'; }

SequenceClass ClassifySequence(int seqLen, double gcPressure) {
    SequenceClass cls{};
    const double x = gcPressure / 100;
    if (x < 0.43) {
        cls.gcId = 0;
    } else if (x > 0.57) {
        cls.gcId = 3;
    } else if (x < 0.51) {
        cls.gcId = 1;
    } else {
        cls.gcId = 2;
    }
    cls.lengthId = seqLen < 1000 ? 0 : (seqLen <= 3000 ? 1 : 2);
    const bool longSequence = seqLen > 599;
    cls.windowWidth = longSequence ? 196 : 96;
    cls.subDirectory = longSequence ? "/paramater/" : "/paramater32/";
    return cls;
}

void WebPredict::ClassifyRun(std::string& paramPath, std::string& matrixPath) const {
    const SequenceClass cls = ClassifySequence(seqLen, gcPressure);
    GCID = cls.gcId;
    LENGTHID = cls.lengthId;
    WINDOW_WIDTH = cls.windowWidth;
    READ_ROUND = kMaxRules;
    const std::string suffix = std::to_string(LENGTHID) + "G" + std::to_string(GCID) + "-ex0.txt";
    paramPath = std::string(paramDir) + cls.subDirectory + "paramL" + suffix;
    matrixPath = std::string(paramDir) + cls.subDirectory + "matrixL" + suffix;
}

int WebPredict::GetResult() {
    GetArrayFromFile(inputFile);
    std::cerr << "Now Calculating...\n\n";
    std::string paramPath;
    std::string matrixPath;
    ClassifyRun(paramPath, matrixPath);
    Shortcut loader;
    loader.GetParamater(paramPath);
    loader.GetDPMatrix(matrixPath);
    Predict();
    return 0;
}

void WebPredict::Predict() {
    GetSmplsFromArray();
    const int n = static_cast<int>(seqLayout.windowClasses[0].size());
    std::unique_ptr<dpNode[]> nodes(new (std::nothrow) dpNode[3 * static_cast<std::size_t>(n)]);
    if (!nodes) throw FatalError(Stream::Out, "exit\n");
    MakeDPMatrix(nodes.get(), seqLayout);
    std::vector<int> path;
    const double score = TraceBack(nodes.get(), n, path);
    nodes.reset();
#ifndef TALVO_VARIANT_B
    dpScore = score;
#endif
    FocusErrPlace(baseArray.data(), arrayLen, path);
    CodingRegion(path, score, framePath, seqLayout.startBase, seqLayout.stopBase);
}

void CodingRegion(const std::vector<int>& path, double score, std::vector<int>& framePath,
                  int& start, int& stop) {
    const int n = static_cast<int>(path.size());
    framePath.assign(n, -1);
    start = 0;
    stop = 0;
    if (score > kAcceptAbove) {
        bool started = false;
        bool stopped = false;
        for (int j = 0; j < n; ++j) {
            framePath[j] = path[j];
            if (stopped) continue;
            if (!started) {
                if (path[j] != -1) {
                    started = true;
                    start = 3 * j + path[j];
                    if (j == n - 1) {
                        stop = 3 * j + path[j] + 2;
                        stopped = true;
                    }
                }
            } else if (path[j] == -1) {
                stop = 3 * (j - 1) + path[j - 1] + 2;
                stopped = true;
            } else if (j == n - 1) {
                stop = 3 * j + path[j] + 2;
                stopped = true;
            }
        }
    }
    if (start == 0 && stop == 0) {
        start = -1;
        stop = -1;
    }
}

}  // namespace talvo
