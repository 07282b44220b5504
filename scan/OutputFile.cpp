#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace talvo::scan {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    buffer_.reserve(kBufferSize);
    if (path_ == "-") {
        fd_ = STDOUT_FILENO;
        return;
    }
    struct stat target {};
    if (stat(path_.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) Fail(EISDIR);
    std::vector<char> name(path_.begin(), path_.end());
    const char suffix[] = ".tmpXXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    fd_ = mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) Fail(errno);
    tempPath_ = name.data();
    // mkostemp creates the file for its owner only; give it the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
}

OutputFile::~OutputFile() {
    if (tempPath_.empty()) return;
    if (fd_ >= 0) close(fd_);
    std::remove(tempPath_.c_str());
}

void OutputFile::Fail(int error) {
    const std::string name = path_ == "-" ? "standard output" : path_;
    throw OutputError("cannot write " + name + ": " + std::strerror(error));
}

void OutputFile::Write(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kBufferSize) Flush();
}

void OutputFile::Flush() {
    std::size_t done = 0;
    while (done < buffer_.size()) {
        const ssize_t written = write(fd_, buffer_.data() + done, buffer_.size() - done);
        if (written < 0) {
            if (errno == EINTR) continue;
            Fail(errno);
        }
        done += static_cast<std::size_t>(written);
    }
    buffer_.clear();
}

void OutputFile::Commit() {
    Flush();
    if (tempPath_.empty()) return;
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) Fail(errno);
    if (std::rename(tempPath_.c_str(), path_.c_str()) != 0) Fail(errno);
    tempPath_.clear();
}

}  // namespace talvo::scan
