// Opening input files: a directory is not a file that can be read.
#pragma once

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

namespace talvo {

// Opens path for reading; false, with errno saying why, when it cannot.
inline bool OpenForReading(std::ifstream& in, const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        errno = EISDIR;
        return false;
    }
    errno = 0;
    in.open(path, std::ios::binary);
    if (!in.is_open() && errno == 0) errno = ENOENT;
    return in.is_open();
}

}  // namespace talvo
