// The run object's scoring, DP, traceback and error placement: each runs the
// engine's stage on the program's model.
#include "Test.h"

#include "ErrorPlacement.h"
#include "FrameDP.h"
#include "ProgramModel.h"
#include "WindowScoring.h"

namespace talvo {

int Test::ChkState(int code) const { return ClassIndex(code); }

int Test::CHKSmpl(const smplTestData& sample, double& score) const {
    return ScoreWindow(programModel, sample, score);
}

void Test::MakeDPMatrix(dpNode* nodes, layout& lay) const {
    FillDPMatrix(programModel, kProgramOptions, nodes, lay);
}

double Test::TraceBack(const dpNode* nodes, int n, std::vector<int>& path) {
    return TracePath(nodes, n, kProgramOptions, path, pathEnd);
}

void Test::FocusErrPlace(const short* bases, int length, std::vector<int>& path) const {
    PlaceErrors(programModel, bases, length, pathEnd, path);
}

}  // namespace talvo
