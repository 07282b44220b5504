// Helpers shared by the fuzz targets: a private scratch file for the loaders
// that read a path, and a reader that takes model values from the front of a
// fuzz input. Every target discards what the program writes to std::cerr
// (the loaders warn about every truncated model file); sanitizer and fuzzer
// reports are unaffected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace talvo::fuzz {

// Writes `data` to a file in a temporary directory private to this process
// (under TMPDIR, else /dev/shm, else /tmp) and returns its path. The
// directory is made on first use and removed when the process exits.
const std::string& WriteScratchFile(const uint8_t* data, std::size_t size);

// Hands out the bytes of a fuzz input one by one; past its end every byte
// reads as 0.
class ByteReader {
public:
    ByteReader(const uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    uint8_t Next() { return pos_ < size_ ? data_[pos_++] : 0; }
    // A value in [0, limit).
    int Below(int limit) { return Next() % limit; }
    const uint8_t* Rest() const { return data_ + pos_; }
    std::size_t RestSize() const { return pos_ < size_ ? size_ - pos_ : 0; }

private:
    const uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// Stops the process (a finding) when a property of a result does not hold.
void Require(bool condition, const char* what);

}  // namespace talvo::fuzz
