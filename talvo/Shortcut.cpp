// The loaders' shell: each file is read into the program's model, and its
// warnings are printed.
#include "Shortcut.h"

#include "Fatal.h"
#include "ProgramModel.h"

namespace talvo {

namespace {
void WarnAll(const std::vector<std::string>& warnings) {
    for (const std::string& warning : warnings) Warn(warning);
}
}  // namespace

int Shortcut::GetParamater(std::string path) {
    std::vector<std::string> warnings;
    ReadParameterFile(path, READ_ROUND, programModel, warnings);
    WarnAll(warnings);
    return 0;
}

int Shortcut::GetDPMatrix(std::string path) {
    std::vector<std::string> warnings;
    ReadTransitionFile(path, programModel, warnings);
    WarnAll(warnings);
    return 0;
}

}  // namespace talvo
