#include "ReportFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ext/stdio_filebuf.h>
#include <ostream>

namespace talvo {

namespace {

bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool Fail(std::string& reason, int error) {
    reason = std::strerror(error);
    return false;
}

// The file that a chain of symbolic links ends at (path itself when it is
// not a link), whether that file exists or not; false with errno set when a
// link cannot be read or the chain is too long.
bool FinalTarget(std::string path, std::string& target) {
    constexpr int kMaxLinks = 40;
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
            target = path;
            return true;
        }
        char link[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), link, sizeof link);
        if (n < 0) return false;
        if (static_cast<std::size_t>(n) == sizeof link) {
            errno = ENAMETOOLONG;
            return false;
        }
        const std::string next(link, static_cast<std::size_t>(n));
        const std::size_t slash = path.rfind('/');
        const bool relative = next.front() != '/' && slash != std::string::npos;
        path = relative ? path.substr(0, slash + 1) + next : next;
    }
    errno = ELOOP;
    return false;
}

// Standard output or standard error when it is open on the file; else -1.
int StandardStreamOn(const struct stat& file) {
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat st {};
        if (fstat(fd, &st) == 0 && SameInode(st, file)) return fd;
    }
    return -1;
}

// Writes the report to fd, which is closed when this returns or throws.
bool WriteTo(int fd, const std::function<void(std::ostream&)>& write, std::string& reason) {
    __gnu_cxx::stdio_filebuf<char> buffer(fd, std::ios::out, 1 << 16);
    std::ostream out(&buffer);
    write(out);
    out.flush();
    bool ok = static_cast<bool>(out);
    if (!ok) reason = std::strerror(errno != 0 ? errno : EIO);
    if (buffer.close() == nullptr && ok) {
        ok = false;
        reason = std::strerror(errno);
    }
    return ok;
}

bool WriteInPlace(const std::string& path, int flags,
                  const std::function<void(std::ostream&)>& write, std::string& reason) {
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | flags, 0666);
    return fd < 0 ? Fail(reason, errno) : WriteTo(fd, write, reason);
}

// A temporary file beside the target, removed when the object goes unless
// it has been renamed into place.
class Temporary {
public:
    Temporary() = default;
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    ~Temporary() {
        if (!path_.empty()) unlink(path_.c_str());
    }

    // Creates it; returns its descriptor, or -1 with errno set.
    int Create(const std::string& target) {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::string name =
                target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(attempt);
            const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) path_ = name;
            if (fd >= 0 || errno != EEXIST) return fd;
        }
        return -1;
    }

    bool RenameOver(const std::string& target) {
        if (std::rename(path_.c_str(), target.c_str()) != 0) return false;
        path_.clear();
        return true;
    }

private:
    std::string path_;
};

}  // namespace

bool WriteReportFile(const std::string& path, const std::function<void(std::ostream&)>& write,
                     std::string& reason) {
    struct stat existing {};
    const bool exists = stat(path.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) return Fail(reason, errno);
    if (exists && S_ISDIR(existing.st_mode)) return Fail(reason, EISDIR);
    if (exists) {
        const int stream = StandardStreamOn(existing);
        if (stream >= 0) {
            const int fd = fcntl(stream, F_DUPFD_CLOEXEC, 0);
            return fd < 0 ? Fail(reason, errno) : WriteTo(fd, write, reason);
        }
        if (!S_ISREG(existing.st_mode)) return WriteInPlace(path, 0, write, reason);
    }

    std::string target;
    if (!FinalTarget(path, target)) return Fail(reason, errno);
    struct stat resolved {};
    if (exists && (stat(target.c_str(), &resolved) != 0 || !SameInode(resolved, existing))) {
        // A link whose text is no path to the file (a descriptor's link to a
        // deleted file).
        return WriteInPlace(path, 0, write, reason);
    }
    // A file that cannot be written in place is not replaced either.
    if (exists && access(target.c_str(), W_OK) != 0) return Fail(reason, errno);

    Temporary temporary;
    const int fd = temporary.Create(target);
    if (fd < 0) {
        if (errno == EACCES || errno == EPERM || errno == ENAMETOOLONG) {
            return WriteInPlace(target, O_CREAT, write, reason);
        }
        return Fail(reason, errno);
    }
    if (exists && fchmod(fd, existing.st_mode & 07777) != 0) {
        const int error = errno;
        close(fd);
        return Fail(reason, error);
    }
    if (!WriteTo(fd, write, reason)) return false;
    if (!temporary.RenameOver(target)) return Fail(reason, errno);
    return true;
}

bool SameFile(const char* a, const char* b) {
    struct stat first {};
    struct stat second {};
    return stat(a, &first) == 0 && stat(b, &second) == 0 && S_ISREG(first.st_mode) &&
           SameInode(first, second);
}

}  // namespace talvo
