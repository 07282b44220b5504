#include "StagedDirectory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace talvo::tools {

namespace fs = std::filesystem;

StagedDirectory::StagedDirectory(const std::string& target) {
    std::error_code ec;
    const fs::path resolved = fs::is_symlink(target, ec) ? fs::canonical(target, ec) : fs::path(target);
    fs::path place = (ec ? fs::path(target) : resolved).lexically_normal();
    // A directory named by . or .. is staged beside it under its own name.
    if (place.filename().empty() || place.filename() == "." || place.filename() == "..") {
        place = fs::absolute(place).lexically_normal();
    }
    target_ = place.string();
    while (target_.size() > 1 && target_.back() == '/') target_.pop_back();
    if (fs::exists(target_, ec) && !fs::is_directory(target_, ec)) {
        throw std::runtime_error(target + ": exists and is not a directory");
    }
    staged_ = target_ + ".tmp" + std::to_string(getpid());
    fs::remove_all(staged_, ec);  // left by an earlier run of this process id
    if (mkdir(staged_.c_str(), 0777) != 0) {
        throw std::runtime_error("cannot make " + staged_ + ": " + std::strerror(errno));
    }
}

StagedDirectory::~StagedDirectory() {
    std::error_code ec;
    if (!committed_) fs::remove_all(staged_, ec);
}

std::string StagedDirectory::AsTarget(std::string text) const {
    for (std::size_t at = text.find(staged_); at != std::string::npos; at = text.find(staged_, at + target_.size())) {
        text.replace(at, staged_.size(), target_);
    }
    return text;
}

void StagedDirectory::Commit() {
    std::error_code ec;
    const bool earlier = fs::exists(target_, ec);
    if (!earlier) {
        if (std::rename(staged_.c_str(), target_.c_str()) != 0) {
            throw std::runtime_error("cannot move " + staged_ + " to " + target_ + ": " + std::strerror(errno));
        }
        committed_ = true;
        return;
    }
    // Swapped in one step where the file system can; else the earlier
    // directory is moved aside first.
    if (renameat2(AT_FDCWD, staged_.c_str(), AT_FDCWD, target_.c_str(), RENAME_EXCHANGE) != 0) {
        if (errno != EINVAL && errno != ENOSYS) {
            throw std::runtime_error("cannot move " + staged_ + " to " + target_ + ": " + std::strerror(errno));
        }
        const std::string aside = staged_ + ".earlier";
        if (std::rename(target_.c_str(), aside.c_str()) != 0) {
            throw std::runtime_error("cannot move " + target_ + " aside: " + std::strerror(errno));
        }
        if (std::rename(staged_.c_str(), target_.c_str()) != 0) {
            const int error = errno;
            std::rename(aside.c_str(), target_.c_str());
            throw std::runtime_error("cannot move " + staged_ + " to " + target_ + ": " + std::strerror(error));
        }
        fs::remove_all(aside, ec);
        committed_ = true;
        return;
    }
    // The staged path now holds the earlier directory.
    fs::remove_all(staged_, ec);
    committed_ = true;
}

}  // namespace talvo::tools
