// The run object: one sequence, its prediction and its reports.
#pragma once

#include <array>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "Test.h"
#include "Variant.h"

namespace talvo {

// Class of a sequence, which selects its parameter and transition files.
struct SequenceClass {
    int gcId;         // 0..3
    int lengthId;     // 0..2
    int windowWidth;  // 96 or 196
    const char* subDirectory;  // "/paramater/" or "/paramater32/"
};
SequenceClass ClassifySequence(int seqLen, double gcPressure);

// The length of a sequence of that many characters; a sequence longer than
// the largest int throws FatalError naming source.
int SequenceLength(std::size_t characters, const std::string& source);

// The coding region of a traced path: framePath receives the path when its
// score is above -9 (else -1 throughout); start and stop become the first and
// last base of the path's first coding stretch, both -1 when there is none.
void CodingRegion(const std::vector<int>& path, double score, std::vector<int>& framePath,
                  int& start, int& stop);

class WebPredict : public Test {
public:
    // Reads the input, classifies it, loads the model of its class and
    // predicts; a fatal condition throws FatalError.
    int GetResult();

    // Reads the one FASTA record of fileName into baseArray, arrayLen,
    // seqLen, gcPressure and fastaHeader.
    void GetArrayFromFile(const char* fileName);
    // Takes the sequence from an in-memory FASTA text (the reader's rules);
    // source names the text in messages.
    void ReadFasta(std::istream& in, const std::string& source = "the FASTA text");

    // Sets GCID, LENGTHID, WINDOW_WIDTH and READ_ROUND from the sequence and
    // composes the paths of the class's parameter and transition files.
    void ClassifyRun(std::string& paramPath, std::string& matrixPath) const;

    // Steps after the model is loaded: sample extraction, DP, traceback,
    // error placement, start and stop. Needs baseArray, seqLen, the model
    // tables and WINDOW_WIDTH.
    void Predict();

    // One window class and one score per codon position and frame; replaces
    // seqLayout and frameScore as a whole, so it can run again on new bases.
    int GetSmplsFromArray();

    // Reports. Each returns 0 and writes to the stream it is given.
    int OutNormLayout(int width, std::ostream& out) const;
    int OutHtmlLayout(int width, std::ostream& out) const;
    int OutValLayout(int width, std::ostream& out) const;

    std::vector<short> baseArray;
    int arrayLen = 0;
    layout seqLayout;
    std::array<std::vector<double>, 3> frameScore;
    std::vector<int> framePath;
    int seqLen = 0;
    double gcPressure = 0.0;
    std::string fastaHeader;
#ifndef TALVO_VARIANT_B
    double dpScore = 0.0;
#endif
    const char* inputFile = "sample.txt";
    const char* paramDir = "./param-human";
};

}  // namespace talvo
