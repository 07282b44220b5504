// TEMPORARY: stands in for the engine until it lands on main.
#include <filesystem>
#include "Fatal.h"
#include "ErrorRule.h"
#include "Prediction.h"
#include "ShimOld.h"
namespace talvo {
struct ModelSet::Slot {};
ModelSet::ModelSet(std::string directory) : directory_(std::move(directory)) {}
ModelSet::~ModelSet() = default;
void ModelSet::LoadAll() const {
    for (const char* sub : {"/paramater/", "/paramater32/"}) {
        if (!std::filesystem::is_directory(directory_ + sub))
            throw FatalError(Stream::Err, "ioerr:can not open " + directory_ + sub + "\n");
    }
}
std::vector<std::string> ModelSet::Warnings() const { return {}; }
Prediction Predict(const ModelSet& models, const std::vector<short>& bases) {
    shim::OldResult r;
    shim::RunOld(models.Directory(), bases, r);
    Prediction p;
    p.length = static_cast<int>(bases.size());
    p.gcPressure = r.gc;
    p.seqLayout.startBase = r.start;
    p.seqLayout.stopBase = r.stop;
    p.framePath = r.framePath;
    p.pathScore = r.score;
    for (int i = 0; i < p.length; ++i) {
        const ErrorKind k = ErrorAt(p.framePath, i);
        if (k != ErrorKind::None) p.errors.push_back({i, k});
    }
    return p;
}
}
