#include "OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace talvo::scan {

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

// Temporary files not yet renamed, removed when a signal ends the process
// (an interrupt, a closed pipe): slots set and cleared by the thread that
// opens the outputs, read by the signal handler.
constexpr int kSlots = 16;
constexpr std::size_t kSlotPath = 4096;
char temporaries[kSlots][kSlotPath];
volatile std::sig_atomic_t slotUsed[kSlots];

extern "C" void RemoveTemporaries(int signal) {
    for (int i = 0; i < kSlots; ++i) {
        if (slotUsed[i]) unlink(temporaries[i]);
    }
    std::signal(signal, SIG_DFL);
    std::raise(signal);
}

int Register(const std::string& path) {
    static const bool handlersSet = [] {
        for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGPIPE}) {
            struct sigaction current {};
            // A signal ignored by whoever started us stays ignored.
            if (sigaction(signal, nullptr, &current) == 0 && current.sa_handler != SIG_IGN) {
                std::signal(signal, RemoveTemporaries);
            }
        }
        return true;
    }();
    (void)handlersSet;
    if (path.size() >= kSlotPath) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (slotUsed[i]) continue;
        std::memcpy(temporaries[i], path.c_str(), path.size() + 1);
        slotUsed[i] = 1;
        return i;
    }
    return -1;
}

void Unregister(int slot) {
    if (slot >= 0) slotUsed[slot] = 0;
}

}  // namespace

OutputFile::OutputFile(std::string path) : path_(std::move(path)) {
    buffer_.reserve(kBufferSize);
    if (path_ == "-") {
        fd_ = STDOUT_FILENO;
        return;
    }
    struct stat target {};
    if (stat(path_.c_str(), &target) == 0) {
        if (S_ISDIR(target.st_mode)) Fail(EISDIR);
        // A device, a pipe or a socket (/dev/null, /dev/stdout, a process
        // substitution) is written as it is: it cannot be replaced.
        if (!S_ISREG(target.st_mode)) {
            fd_ = open(path_.c_str(), O_WRONLY | O_CLOEXEC);
            if (fd_ < 0) Fail(errno);
            direct_ = true;
            return;
        }
    }
    // A symbolic link keeps pointing where it did: the file it names is
    // replaced, not the link.
    std::error_code ec;
    const std::string targetPath = std::filesystem::is_symlink(path_, ec)
                                        ? std::filesystem::weakly_canonical(path_, ec).string()
                                        : path_;
    finalPath_ = targetPath.empty() ? path_ : targetPath;
    std::vector<char> name(finalPath_.begin(), finalPath_.end());
    const char suffix[] = ".tmpXXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);
    fd_ = mkostemp(name.data(), O_CLOEXEC);
    if (fd_ < 0) Fail(errno);
    tempPath_ = name.data();
    slot_ = Register(tempPath_);
    // mkostemp creates the file for its owner only; give it the usual mode.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
}

OutputFile::~OutputFile() {
    if (direct_ && fd_ >= 0) close(fd_);
    if (tempPath_.empty()) return;
    if (fd_ >= 0) close(fd_);
    std::remove(tempPath_.c_str());
    Unregister(slot_);
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
    if (direct_) {
        const int fd = fd_;
        fd_ = -1;
        if (close(fd) != 0) Fail(errno);
        return;
    }
    if (tempPath_.empty()) return;
    const int fd = fd_;
    fd_ = -1;
    if (close(fd) != 0) Fail(errno);
    if (std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) Fail(errno);
    Unregister(slot_);
    tempPath_.clear();
}

}  // namespace talvo::scan
