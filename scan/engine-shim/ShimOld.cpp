// TEMPORARY: stands in for the engine until it lands on main.
#include "ShimOld.h"
#include <mutex>
#include "Shortcut.h"
#include "WebPredict.h"
namespace talvo { void ClearModel(); extern int GCID, LENGTHID, WINDOW_WIDTH, READ_ROUND; }
namespace shim {
void RunOld(const std::string& dir, const std::vector<short>& bases, OldResult& r) {
    static std::mutex m;
    static std::string lastParam;
    std::lock_guard<std::mutex> lock(m);
    talvo::WebPredict run;
    run.paramDir = dir.c_str();
    run.baseArray = bases;
    run.arrayLen = run.seqLen = static_cast<int>(bases.size());
    int gc = 0;
    for (short b : bases) gc += (b == 2 || b == 3);
    run.gcPressure = 100.0 * gc / run.seqLen;
    std::string paramPath, matrixPath;
    run.ClassifyRun(paramPath, matrixPath);
    if (paramPath != lastParam) {
        talvo::ClearModel();
        talvo::READ_ROUND = 500;
        talvo::Shortcut loader;
        loader.GetParamater(paramPath);
        loader.GetDPMatrix(matrixPath);
        lastParam = paramPath;
    }
    run.Predict();
    r.start = run.seqLayout.startBase;
    r.stop = run.seqLayout.stopBase;
    r.framePath = run.framePath;
    r.score = run.dpScore;
    r.gc = run.gcPressure;
}
}
