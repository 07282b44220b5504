#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <streambuf>
#include <system_error>

namespace talvo::fuzz {

namespace {

class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

std::string& ScratchDirectory() {
    static std::string dir;
    return dir;
}

void RemoveScratchDirectory() {
    std::error_code ec;
    std::filesystem::remove_all(ScratchDirectory(), ec);
}

}  // namespace

const std::string& WriteScratchFile(const uint8_t* data, std::size_t size) {
    static std::string path;
    if (path.empty()) {
        // TMPDIR if set, else memory-backed /dev/shm (ten times the
        // executions of a disk-backed /tmp), else /tmp.
        const char* tmp = std::getenv("TMPDIR");
        std::error_code ec;
        std::string base = "/tmp";
        if (tmp != nullptr && *tmp != '\0') {
            base = tmp;
        } else if (std::filesystem::is_directory("/dev/shm", ec)) {
            base = "/dev/shm";
        }
        std::string pattern = base + "/talvo-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("talvo-fuzz: mkdtemp");
            std::abort();
        }
        ScratchDirectory() = pattern;
        std::atexit(RemoveScratchDirectory);
        path = pattern + "/model.txt";
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    out.close();
    if (!out) {
        std::perror("talvo-fuzz: writing the scratch file");
        std::abort();
    }
    return path;
}

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "talvo-fuzz: property violated: %s\n", what);
    std::abort();
}

}  // namespace talvo::fuzz

// Called once before the first input, by libFuzzer or the replay driver.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Never destroyed: the standard streams are flushed at exit, after the
    // function-local statics are gone.
    static talvo::fuzz::NullBuffer* sink = new talvo::fuzz::NullBuffer;
    std::cerr.rdbuf(sink);
    return 0;
}
