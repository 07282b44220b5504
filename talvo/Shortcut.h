// The program's loaders of the parameter file and the frame-transition file:
// they read into the program's one model and print the warnings.
#pragma once

#include <string>

namespace talvo {

class Shortcut {
public:
    // Appends READ_ROUND rules to fh and fills the threshold and pseudo-count
    // tables from the parameter file. Returns 0; an unopenable file or a rule
    // field outside its range ends the run (EngineError).
    int GetParamater(std::string path);
    // Fills malkovChain from the transition file (line = previous class,
    // field = current class). Returns 0; an unopenable file ends the run.
    int GetDPMatrix(std::string path);
};

}  // namespace talvo
