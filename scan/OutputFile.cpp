#include "OutputFile.h"

#include <unistd.h>

#include <csignal>
#include <cstring>
#include <system_error>

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
    try {
        file_.emplace(path_ == "-" ? ReplacingFile::StandardOutput() : ReplacingFile(path_));
    } catch (const std::system_error& e) {
        Fail(e.code().value());
    }
    if (!file_->TemporaryPath().empty()) slot_ = Register(file_->TemporaryPath());
}

OutputFile::~OutputFile() {
    file_.reset();
    Unregister(slot_);
}

void OutputFile::Fail(int error) const {
    const std::string name = path_ == "-" ? "standard output" : path_;
    throw OutputError("cannot write " + name + ": " + std::strerror(error));
}

void OutputFile::Write(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kBufferSize) Flush();
}

void OutputFile::Flush() {
    try {
        file_->Write(buffer_);
    } catch (const std::system_error& e) {
        Fail(e.code().value());
    }
    buffer_.clear();
}

void OutputFile::Finish() {
    Flush();
    try {
        file_->Close();
    } catch (const std::system_error& e) {
        Fail(e.code().value());
    }
}

void OutputFile::Commit() {
    Finish();
    try {
        file_->Commit();
    } catch (const std::system_error& e) {
        Fail(e.code().value());
    }
    Unregister(slot_);
    slot_ = -1;
}

}  // namespace talvo::scan
