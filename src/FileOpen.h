// Opening input files: a directory is not a file that can be read.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace talvo {

inline bool OpenForReading(std::ifstream& in, const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return false;
    in.open(path, std::ios::binary);
    return in.is_open();
}

}  // namespace talvo
