// Fuzz target: the frame-transition loader on a file of arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "FuzzSupport.h"
#include "ProgramModel.h"
#include "Shortcut.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    talvo::ClearModel();
    talvo::Shortcut().GetDPMatrix(talvo::fuzz::WriteScratchFile(data, size));
    return 0;
}
