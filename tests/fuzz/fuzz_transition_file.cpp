// Fuzz target: the frame-transition loader on a file of arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    talvo::Model model;
    std::vector<std::string> warnings;
    talvo::ReadTransitionFile(talvo::fuzz::WriteScratchFile(data, size), model, warnings);
    return 0;
}
