#include "SequenceInput.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

#include <htslib/kseq.h>

#include "ReadBases.h"

namespace talvo::scan {

namespace {

// Longest read accepted: positions on a read stay well inside an int.
constexpr std::size_t kMaxReadLength = std::size_t{1} << 30;

// The decompressed bytes of one input as the record parser pulls them. A
// failure of the stream (a read error, corrupt or truncated compressed
// data) or content that cannot be FASTA or FASTQ is kept here and shown to
// the parser as the end of the input, so that it never sees a partial
// buffer; the reader then reports the failure instead of the record.
struct Source {
    gzFile file = nullptr;
    std::string failure;
    bool sawFirstByte = false;
    bool fastq = false;
};

bool IsBlank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int ReadSource(Source* source, void* buffer, int size) {
    if (!source->failure.empty()) return 0;
    const int got = gzread(source->file, buffer, static_cast<unsigned>(size));
    int code = Z_OK;
    const char* message = gzerror(source->file, &code);
    // Bytes decompressed before a failure are good; the failure shows on
    // the next call, which gets none.
    if (got < 0 || (got == 0 && code != Z_OK && code != Z_STREAM_END)) {
        if (code == Z_ERRNO || code == Z_OK) {
            source->failure = std::string("read error: ") + std::strerror(errno);
        } else if (code == Z_BUF_ERROR) {
            source->failure = "truncated gzip stream";
        } else {
            // zlib starts its message with its own name of the file (<fd:N>).
            std::string reason = message;
            if (reason.rfind("<fd:", 0) == 0 && reason.find(": ") != std::string::npos) {
                reason.erase(0, reason.find(": ") + 2);
            }
            source->failure = "corrupt gzip stream (" + reason + ")";
        }
        return 0;
    }
    // The first byte that is not blank must open a FASTA or FASTQ record.
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    for (int i = 0; i < got && !source->sawFirstByte; ++i) {
        if (IsBlank(bytes[i])) continue;
        source->sawFirstByte = true;
        if (bytes[i] != '>' && bytes[i] != '@') {
            source->failure = bytes[i] >= 0x20 && bytes[i] < 0x7f
                                  ? "not FASTA or FASTQ (no '>' or '@' at the start)"
                                  : "binary data";
            return 0;
        }
        source->fastq = bytes[i] == '@';
    }
    return got;
}

}  // namespace

KSEQ_INIT(Source*, ReadSource)

namespace {

// Bytes that never occur in a text record: control characters other than
// tab and carriage return, and DEL. In a sequence or a quality line, bytes
// above 0x7f cannot occur either.
bool IsControl(unsigned char c) { return (c < 0x20 && c != '\t' && c != '\r') || c == 0x7f; }

bool HoldsBinary(const kstring_t& text, bool asciiOnly) {
    for (std::size_t i = 0; i < text.l; ++i) {
        const auto c = static_cast<unsigned char>(text.s[i]);
        if (IsControl(c) || (asciiOnly && c > 0x7f)) return true;
    }
    return false;
}

}  // namespace

struct SequenceFile::State {
    Source source;
    kseq_t* parser = nullptr;
    ~State() {
        if (parser != nullptr) kseq_destroy(parser);
        if (source.file != nullptr) gzclose(source.file);
    }
};

std::string InputName(const std::string& path) { return path == "-" ? "standard input" : path; }

namespace {

// An open descriptor for reading path ("-": a copy of standard input), or -1
// with errno set; a directory is refused.
int OpenInput(const std::string& path) {
    if (path == "-") return dup(STDIN_FILENO);
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat info {};
    if (fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        close(fd);
        errno = EISDIR;
        return -1;
    }
    return fd;
}

}  // namespace

void CheckReadable(const std::string& path) {
    const int fd = OpenInput(path);
    if (fd < 0) throw InputError("cannot open " + InputName(path) + ": " + std::strerror(errno));
    close(fd);
}

SequenceFile::SequenceFile(const std::string& path)
    : name_(InputName(path)), state_(std::make_unique<State>()) {
    const int fd = OpenInput(path);
    if (fd < 0) throw InputError("cannot open " + name_ + ": " + std::strerror(errno));
    state_->source.file = gzdopen(fd, "rb");
    if (state_->source.file == nullptr) {
        close(fd);
        throw InputError("cannot read " + name_ + ": out of memory");
    }
    gzbuffer(state_->source.file, 1 << 17);
    state_->parser = kseq_init(&state_->source);
}

SequenceFile::~SequenceFile() = default;

bool SequenceFile::Next(Read& read) {
    kseq_t* parser = state_->parser;
    const Source& source = state_->source;
    const int status = kseq_read(parser);
    const std::uint64_t record = records_ + 1;
    const auto fail = [&](const std::string& reason) {
        throw InputError(name_ + ": record " + std::to_string(record) + ": " + reason);
    };
    // A failed stream ends the record early: the record is not trusted.
    if (!source.failure.empty()) fail(source.failure);
    if (status == -1) return false;
    if (status == -2) {
        fail(parser->qual.l == 0 && parser->seq.l > 0 ? "no quality line"
                                                      : "quality of a different length than the sequence");
    }
    if (status < -2 || parser->seq.l >= kMaxReadLength) fail("read longer than 2^30 bases");
    if (HoldsBinary(parser->name, false) || HoldsBinary(parser->comment, false) ||
        HoldsBinary(parser->seq, true) || HoldsBinary(parser->qual, true)) {
        fail("binary data");
    }
    // In FASTQ a record read without its '+' line (the parser then stands
    // at the next header, or at the end) has no quality line, also when it
    // ends right after its header.
    if (source.fastq && parser->last_char != 0) fail("no quality line");

    read.id.assign(parser->name.s, parser->name.l);
    read.bases.clear();
    read.bases.reserve(parser->seq.l);
    for (std::size_t i = 0; i < parser->seq.l; ++i) {
        const auto c = static_cast<unsigned char>(parser->seq.s[i]);
        if (c == '\r') continue;  // left over from CR LF line ends
        read.bases.push_back(kReadBaseCode[c]);
    }
    records_ = record;
    return true;
}

// The names given so far, kept as 64-bit fingerprints (open addressing, at
// most three quarters full): a repeat is found with 11 to 21 bytes per read,
// not the names themselves.
class ReadBatches::NameSet {
public:
    // Adds the name; false when it was there already.
    bool Insert(std::string_view name) {
        if (4 * (used_ + 1) > 3 * slots_.size()) Grow();
        const std::uint64_t print = Fingerprint(name);
        for (std::size_t i = print & (slots_.size() - 1);; i = (i + 1) & (slots_.size() - 1)) {
            if (slots_[i] == print) return false;
            if (slots_[i] == 0) {
                slots_[i] = print;
                ++used_;
                return true;
            }
        }
    }

private:
    // FNV-1a, mixed by splitmix64's finalizer; never 0 (an empty slot).
    static std::uint64_t Fingerprint(std::string_view name) {
        std::uint64_t h = 14695981039346656037ULL;
        for (const char c : name) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
        h = (h ^ (h >> 30)) * 0xbf58476d1ce4e5b9ULL;
        h = (h ^ (h >> 27)) * 0x94d049bb133111ebULL;
        h ^= h >> 31;
        return h == 0 ? 1 : h;
    }
    void Grow() {
        std::vector<std::uint64_t> old(std::max<std::size_t>(1024, 2 * slots_.size()), 0);
        old.swap(slots_);
        for (const std::uint64_t print : old) {
            if (print == 0) continue;
            std::size_t i = print & (slots_.size() - 1);
            while (slots_[i] != 0) i = (i + 1) & (slots_.size() - 1);
            slots_[i] = print;
        }
    }
    std::vector<std::uint64_t> slots_;
    std::size_t used_ = 0;
};

ReadBatches::ReadBatches(std::vector<std::string> paths, std::uint64_t firstOrdinal)
    : paths_(std::move(paths)), ordinal_(firstOrdinal - 1), names_(std::make_unique<NameSet>()) {}

void ReadBatches::NameOwn(Read& read) {
    if (read.id.empty()) read.id = "unnamed_" + std::to_string(read.ordinal);
    if (names_->Insert(read.id)) return;
    if (firstRepeat_.empty()) {
        firstRepeat_ = "'" + read.id + "' (read " + std::to_string(read.ordinal) + ")";
    }
    std::string suffix("_");
    suffix += std::to_string(read.ordinal);
    do {
        read.id.append(suffix);
    } while (!names_->Insert(read.id));
}

ReadBatches::~ReadBatches() = default;

bool ReadBatches::Next(std::vector<Read>& batch, std::size_t maxBases, std::size_t maxReads) {
    batch.clear();
    std::size_t bases = 0;
    while (error_.empty() && batch.size() < maxReads && bases < maxBases) {
        try {
            if (!current_) {
                if (nextPath_ == paths_.size()) break;
                current_ = std::make_unique<SequenceFile>(paths_[nextPath_++]);
            }
            Read read;
            if (!current_->Next(read)) {
                if (current_->Records() == 0) emptyInputs_.push_back(InputName(paths_[nextPath_ - 1]));
                current_.reset();
                continue;
            }
            read.ordinal = ++ordinal_;
            NameOwn(read);
            bases += read.bases.size();
            batch.push_back(std::move(read));
        } catch (const InputError& e) {
            error_ = e.what();
            current_.reset();
        }
    }
    return !batch.empty();
}

}  // namespace talvo::scan
