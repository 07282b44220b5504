// The run object: one sequence, its prediction and its reports.
#pragma once

#include <array>
#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

#include "Prediction.h"
#include "SequenceClass.h"
#include "Test.h"
#include "Variant.h"

namespace talvo {

// The length of a sequence of that many characters; a sequence longer than
// the largest int throws FatalError naming source.
int SequenceLength(std::size_t characters, const std::string& source);

class WebPredict : public Test {
public:
    WebPredict() = default;
    // seqLayout, frameScore, framePath, gcPressure and dpScore name parts of
    // the object's own prediction, in a copy as in the original.
    WebPredict(const WebPredict& other);
    WebPredict(WebPredict&& other) noexcept;
    WebPredict& operator=(const WebPredict& other);
    WebPredict& operator=(WebPredict&& other) noexcept;

    // Reads the input, classifies it, loads the model of its class into the
    // program's model and predicts; a fatal condition throws FatalError.
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

    // Predicts baseArray with the program's model (the engine's prediction
    // of one read), replacing the run's prediction.
    void Predict();

    // One window class and one score per codon position and frame; replaces
    // seqLayout and frameScore as a whole, so it can run again on new bases.
    int GetSmplsFromArray();

    // Reports of the run's prediction. Each returns 0 and writes to the
    // stream it is given.
    int OutNormLayout(int width, std::ostream& out) const;
    int OutHtmlLayout(int width, std::ostream& out) const;
    int OutValLayout(int width, std::ostream& out) const;

    std::vector<short> baseArray;
    int arrayLen = 0;
    Prediction prediction;  // what the reports read
    layout& seqLayout = prediction.seqLayout;
    std::array<std::vector<double>, 3>& frameScore = prediction.frameScore;
    std::vector<int>& framePath = prediction.framePath;
    int seqLen = 0;
    double& gcPressure = prediction.gcPressure;
    std::string fastaHeader;
#ifndef TALVO_VARIANT_B
    double& dpScore = prediction.pathScore;
#endif
    const char* inputFile = "sample.txt";
    const char* paramDir = "./param-human";
};

}  // namespace talvo
