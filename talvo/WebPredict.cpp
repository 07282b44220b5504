// The prediction run: input, class of the sequence, model, prediction, and
// the program's model and run-wide settings.
#include "WebPredict.h"

#include <iostream>

#include "ProgramModel.h"
#include "Reports.h"
#include "SampleExtraction.h"
#include "Shortcut.h"

namespace talvo {

Model programModel;
std::vector<fnlHypo>& fh = programModel.rules;
trsldData (&codonTrsld)[kMaxRules] = programModel.codonTrsld;
trsldData (&pairAcidTrsld)[kMaxRules] = programModel.pairAcidTrsld;
trsldData (&snglAcidTrsld)[kMaxRules] = programModel.snglAcidTrsld;
double (&pairAcidPriproTable)[4][kAminoAcids][kAminoAcids][2] = programModel.pairAcidPriproTable;
double (&snglAcidPriproTable)[kAminoAcids][2] = programModel.snglAcidPriproTable;
double (&malkovChain)[4][4] = programModel.malkovChain;

int GCID = 0;
int LENGTHID = 0;
int& WINDOW_WIDTH = programModel.windowWidth;
int READ_ROUND = 0;

void ClearModel() {
    const int width = programModel.windowWidth;
    programModel = Model{};
    programModel.windowWidth = width;
}

void Warn(const std::string& message) { std::cerr << "talvo: warning: " << message << '\n'; }

WebPredict::WebPredict(const WebPredict& other)
    : Test(other),
      baseArray(other.baseArray),
      arrayLen(other.arrayLen),
      prediction(other.prediction),
      seqLen(other.seqLen),
      fastaHeader(other.fastaHeader),
      inputFile(other.inputFile),
      paramDir(other.paramDir) {}

WebPredict::WebPredict(WebPredict&& other) noexcept
    : Test(other),
      baseArray(std::move(other.baseArray)),
      arrayLen(other.arrayLen),
      prediction(std::move(other.prediction)),
      seqLen(other.seqLen),
      fastaHeader(std::move(other.fastaHeader)),
      inputFile(other.inputFile),
      paramDir(other.paramDir) {}

WebPredict& WebPredict::operator=(const WebPredict& other) {
    WebPredict copy(other);
    return *this = std::move(copy);
}

WebPredict& WebPredict::operator=(WebPredict&& other) noexcept {
    Test::operator=(other);
    baseArray = std::move(other.baseArray);
    arrayLen = other.arrayLen;
    prediction = std::move(other.prediction);
    seqLen = other.seqLen;
    fastaHeader = std::move(other.fastaHeader);
    inputFile = other.inputFile;
    paramDir = other.paramDir;
    return *this;
}

void WebPredict::ClassifyRun(std::string& paramPath, std::string& matrixPath) const {
    const SequenceClass cls = ClassifySequence(seqLen, gcPressure);
    GCID = cls.gcId;
    LENGTHID = cls.lengthId;
    WINDOW_WIDTH = cls.windowWidth;
    READ_ROUND = kMaxRules;
    paramPath = cls.ParameterPath(paramDir);
    matrixPath = cls.TransitionPath(paramDir);
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
    prediction = talvo::Predict(programModel, baseArray, gcPressure, kProgramOptions);
}

int WebPredict::GetSmplsFromArray() {
    ExtractSamples(programModel, baseArray.data(), seqLen, seqLayout, frameScore);
    return 0;
}

int WebPredict::OutNormLayout(int width, std::ostream& out) const {
    WriteTextReport(fastaHeader, baseArray, prediction, width, out);
    return 0;
}

int WebPredict::OutHtmlLayout(int width, std::ostream& out) const {
    WriteHtmlReport(fastaHeader, baseArray, prediction, width, out);
    return 0;
}

int WebPredict::OutValLayout(int /*width*/, std::ostream& out) const {
    WriteScoreFile(baseArray, prediction, out);
    return 0;
}

}  // namespace talvo
