#include "ClassModel.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace talvo::tools {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File OpenForWriting(const std::string& path) {
    File f(std::fopen(path.c_str(), "w"));
    if (!f) throw std::runtime_error(path + ": cannot write: " + std::strerror(errno));
    return f;
}

void Close(File f, const std::string& path) {
    const bool failed = std::ferror(f.get()) != 0;
    if (std::fclose(f.release()) != 0 || failed) {
        throw std::runtime_error(path + ": write failed: " + std::strerror(errno));
    }
}

}  // namespace

Model EmptyClassModel(int windowWidth) {
    Model model;
    model.rules.assign(kMaxRules, fnlHypo{1, 0.0, 0, 0, 0, 0});
    model.windowWidth = windowWidth;
    return model;
}

void WriteParameterFile(const Model& model, const std::string& path) {
    File f = OpenForWriting(path);
    std::FILE* out = f.get();
    for (const fnlHypo& r : model.rules) {
        std::fprintf(out, "%d,%d,%d,%d,%d,%.17g\n", r.kind, r.first, r.second, r.third, r.gap, r.weight);
    }
    for (const trsldData& t : model.codonTrsld) std::fprintf(out, "%d,%.17g\n", t.dir, t.realTrsld);
    for (const trsldData& t : model.pairAcidTrsld) std::fprintf(out, "%d,%.17g\n", t.dir, t.realTrsld);
    for (const trsldData& t : model.snglAcidTrsld) std::fprintf(out, "%d,%d\n", t.dir, t.intTrsld);
    for (const auto& byGap : model.pairAcidPriproTable) {
        for (const auto& byFirst : byGap) {
            for (const auto& pair : byFirst) std::fprintf(out, "%.17g,%.17g\n", pair[0], pair[1]);
        }
    }
    for (const auto& pair : model.snglAcidPriproTable) std::fprintf(out, "%.17g,%.17g\n", pair[0], pair[1]);
    Close(std::move(f), path);
}

void WriteTransitionFile(const Model& model, const std::string& path) {
    File f = OpenForWriting(path);
    // One line per previous class, one field per current class.
    const auto& m = model.malkovChain;
    for (int p = 0; p < 4; ++p) {
        std::fprintf(f.get(), "%.17g,%.17g,%.17g,%.17g\n", m[0][p], m[1][p], m[2][p], m[3][p]);
    }
    Close(std::move(f), path);
}

}  // namespace talvo::tools
