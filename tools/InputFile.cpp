#include "InputFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>

#include <zlib.h>

namespace talvo::tools {

namespace {

[[noreturn]] void Fail(const std::string& path, const std::string& reason) {
    throw std::runtime_error(path + ": " + reason);
}

bool IsGzip(const std::string& data) {
    return data.size() >= 2 && static_cast<unsigned char>(data[0]) == 0x1f &&
           static_cast<unsigned char>(data[1]) == 0x8b;
}

std::string ReadBytes(const std::string& path, const std::string& what) {
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    const std::unique_ptr<std::FILE, Closer> file(std::fopen(path.c_str(), "rb"));
    if (!file) Fail(path, "cannot open " + what + ": " + std::strerror(errno));
    std::string data;
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) data.append(buffer, got);
    if (std::ferror(file.get())) Fail(path, "cannot read " + what + ": " + std::strerror(errno));
    return data;
}

std::string Gunzip(const std::string& data, const std::string& path, const std::string& what) {
    z_stream stream{};
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) Fail(path, "cannot decompress " + what);
    struct Ender {
        z_stream* stream;
        ~Ender() { inflateEnd(stream); }
    } ender{&stream};
    const auto* next = reinterpret_cast<const Bytef*>(data.data());
    std::size_t left = data.size();
    std::string text;
    unsigned char buffer[1 << 16];
    int status = Z_OK;
    while (true) {
        if (stream.avail_in == 0 && left > 0) {
            stream.next_in = const_cast<Bytef*>(next);
            stream.avail_in = static_cast<uInt>(std::min<std::size_t>(left, UINT_MAX));
            next += stream.avail_in;
            left -= stream.avail_in;
        }
        stream.next_out = buffer;
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        text.append(reinterpret_cast<const char*>(buffer), sizeof buffer - stream.avail_out);
        if (status == Z_STREAM_END) {
            if (stream.avail_in == 0 && left == 0) return text;
            inflateReset(&stream);  // another member follows
        } else if (status != Z_OK) {
            break;
        }
    }
    // Z_BUF_ERROR: the input ended inside a member; anything else is damage.
    Fail(path, (status == Z_BUF_ERROR ? "gzip data ends early in " : "corrupt gzip data in ") + what);
}

}  // namespace

std::string ReadInputFile(const std::string& path, const std::string& what) {
    std::string data = ReadBytes(path, what);
    return IsGzip(data) ? Gunzip(data, path, what) : data;
}

}  // namespace talvo::tools
