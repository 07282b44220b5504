#include "ReportFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ext/stdio_filebuf.h>
#include <ostream>

namespace talvo {

namespace {

// Creates a new temporary file next to path; returns its descriptor or -1.
int CreateTemporary(const std::string& path, std::string& tempPath) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = path + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

}  // namespace

bool WriteReportFile(const std::string& path, const std::function<void(std::ostream&)>& write,
                     std::string& reason) {
    struct stat target {};
    if (stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) {
        reason = std::strerror(EISDIR);
        return false;
    }
    std::string tempPath;
    const int fd = CreateTemporary(path, tempPath);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    bool ok;
    {
        __gnu_cxx::stdio_filebuf<char> buffer(fd, std::ios::out, 1 << 16);
        std::ostream out(&buffer);
        write(out);
        out.flush();
        ok = static_cast<bool>(out);
        if (!ok) reason = std::strerror(errno != 0 ? errno : EIO);
        if (buffer.close() == nullptr && ok) {
            ok = false;
            reason = std::strerror(errno);
        }
    }
    if (ok && std::rename(tempPath.c_str(), path.c_str()) != 0) {
        ok = false;
        reason = std::strerror(errno);
    }
    if (!ok) std::remove(tempPath.c_str());
    return ok;
}

bool SameFile(const char* a, const char* b) {
    struct stat first {};
    struct stat second {};
    return stat(a, &first) == 0 && stat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

}  // namespace talvo
