#include "ReportFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <streambuf>
#include <system_error>

namespace talvo {

namespace {

[[noreturn]] void Throw(int error) { throw std::system_error(error, std::generic_category()); }

bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The file that a chain of symbolic links ends at (path itself when it is
// not a link), whether that file exists or not.
std::string FinalTarget(std::string path) {
    constexpr int kMaxLinks = 40;
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
        char link[PATH_MAX];
        const ssize_t n = readlink(path.c_str(), link, sizeof link);
        if (n < 0) Throw(errno);
        if (static_cast<std::size_t>(n) == sizeof link) Throw(ENAMETOOLONG);
        const std::string next(link, static_cast<std::size_t>(n));
        const std::size_t slash = path.rfind('/');
        const bool relative = next.front() != '/' && slash != std::string::npos;
        path = relative ? path.substr(0, slash + 1) + next : next;
    }
    Throw(ELOOP);
}

// Standard output or standard error when it is open on the file; else -1.
int StandardStreamOn(const struct stat& file) {
    for (const int fd : {STDOUT_FILENO, STDERR_FILENO}) {
        struct stat st {};
        if (fstat(fd, &st) == 0 && SameInode(st, file)) return fd;
    }
    return -1;
}

int OpenInPlace(const std::string& path, int flags) {
    const int fd = open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | flags, 0666);
    if (fd < 0) Throw(errno);
    return fd;
}

// A new temporary file beside the target; its descriptor, or -1 with errno set.
int CreateTemporary(const std::string& target, std::string& name) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// A stream buffer over a file being written; the first failure is kept
// and ends the writing.
class FileBuffer : public std::streambuf {
public:
    explicit FileBuffer(ReplacingFile& file) : file_(file) { setp(buffer_, buffer_ + sizeof buffer_); }
    int Error() const { return error_; }

protected:
    int_type overflow(int_type c) override {
        if (sync() != 0) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override {
        if (error_ != 0) return -1;
        try {
            file_.Write(std::string_view(pbase(), static_cast<std::size_t>(pptr() - pbase())));
        } catch (const std::system_error& e) {
            error_ = e.code().value();
            return -1;
        }
        setp(buffer_, buffer_ + sizeof buffer_);
        return 0;
    }

private:
    ReplacingFile& file_;
    char buffer_[1 << 16];
    int error_ = 0;
};

}  // namespace

ReplacingFile::ReplacingFile(const std::string& path) {
    struct stat existing {};
    const bool exists = stat(path.c_str(), &existing) == 0;
    if (!exists && errno != ENOENT) Throw(errno);
    if (exists && S_ISDIR(existing.st_mode)) Throw(EISDIR);
    if (exists) {
        const int stream = StandardStreamOn(existing);
        if (stream >= 0) {
            fd_ = fcntl(stream, F_DUPFD_CLOEXEC, 0);
            if (fd_ < 0) Throw(errno);
            return;
        }
        if (!S_ISREG(existing.st_mode)) {
            fd_ = OpenInPlace(path, 0);
            return;
        }
    }

    const std::string target = FinalTarget(path);
    struct stat resolved {};
    if (exists && (stat(target.c_str(), &resolved) != 0 || !SameInode(resolved, existing))) {
        // A link whose text is no path to the file (a descriptor's link to a
        // deleted file).
        fd_ = OpenInPlace(path, 0);
        return;
    }
    // A file that cannot be written in place is not replaced either.
    if (exists && access(target.c_str(), W_OK) != 0) Throw(errno);

    std::string name;
    fd_ = CreateTemporary(target, name);
    if (fd_ < 0) {
        if (errno != EACCES && errno != EPERM && errno != ENAMETOOLONG) Throw(errno);
        fd_ = OpenInPlace(target, O_CREAT);
        return;
    }
    target_ = target;
    temporary_ = name;
    if (exists && fchmod(fd_, existing.st_mode & 07777) != 0) Throw(errno);  // the destructor cleans up
}

ReplacingFile ReplacingFile::StandardOutput() {
    ReplacingFile file;
    file.fd_ = STDOUT_FILENO;
    file.owned_ = false;
    return file;
}

ReplacingFile::ReplacingFile(ReplacingFile&& other) noexcept
    : fd_(other.fd_), owned_(other.owned_), target_(std::move(other.target_)),
      temporary_(std::move(other.temporary_)) {
    other.fd_ = -1;
    other.temporary_.clear();
}

ReplacingFile::~ReplacingFile() {
    if (owned_ && fd_ >= 0) close(fd_);
    if (!temporary_.empty()) unlink(temporary_.c_str());
}

void ReplacingFile::Write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = write(fd_, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) continue;
            Throw(errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
}

void ReplacingFile::Close() {
    const int fd = fd_;
    fd_ = -1;
    if (owned_ && fd >= 0 && close(fd) != 0) Throw(errno);
}

void ReplacingFile::Commit() {
    Close();
    if (temporary_.empty()) return;
    if (std::rename(temporary_.c_str(), target_.c_str()) != 0) Throw(errno);
    temporary_.clear();
}

bool WriteReportFile(const std::string& path, const std::function<void(std::ostream&)>& write,
                     std::string& reason) {
    try {
        ReplacingFile file(path);
        FileBuffer buffer(file);
        std::ostream out(&buffer);
        write(out);
        out.flush();
        if (!out) throw std::system_error(buffer.Error() != 0 ? buffer.Error() : EIO, std::generic_category());
        file.Commit();
        return true;
    } catch (const std::system_error& e) {
        reason = std::strerror(e.code().value());
        return false;
    }
}

bool SameFile(const char* a, const char* b) {
    struct stat first {};
    struct stat second {};
    return stat(a, &first) == 0 && stat(b, &second) == 0 && S_ISREG(first.st_mode) &&
           SameInode(first, second);
}

}  // namespace talvo
