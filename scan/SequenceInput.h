// Reading reads from FASTA and FASTQ inputs, plain or gzip/BGZF-compressed
// (told apart by their content), one input after another, in batches.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace talvo::scan {

// One record: its ID (the first word of the header) and its base codes.
struct Read {
    std::string id;
    std::vector<short> bases;
    std::uint64_t ordinal = 0;  // 1-based number of the read in the whole run
};

// A malformed or unreadable input; the message names the input and, once
// reading has begun, the record.
class InputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The name of an input in messages: "standard input" for "-".
std::string InputName(const std::string& path);

// Fails with InputError (naming the input and the reason) if the input
// cannot be opened for reading; "-" always can.
void CheckReadable(const std::string& path);

// One input, record by record.
class SequenceFile {
public:
    explicit SequenceFile(const std::string& path);  // InputError if it cannot be opened
    ~SequenceFile();
    SequenceFile(const SequenceFile&) = delete;
    SequenceFile& operator=(const SequenceFile&) = delete;

    // The next record into read (id and bases); false at the end of the
    // input. A malformed record, a corrupt or truncated compressed stream,
    // binary data or a read error throws InputError, and no record of the
    // damaged part is returned.
    bool Next(Read& read);
    std::uint64_t Records() const { return records_; }

private:
    struct State;
    std::string name_;
    std::unique_ptr<State> state_;
    std::uint64_t records_ = 0;
};

// Every input in turn, in batches. Each read gets a name of its own: a read
// without one is called unnamed_<n>, and one whose name an earlier read of
// the run had is called NAME_<n> (n its number), so that every output names
// each read once.
class ReadBatches {
public:
    // The reads are numbered from firstOrdinal on (see Read::ordinal).
    explicit ReadBatches(std::vector<std::string> paths, std::uint64_t firstOrdinal = 1);
    ~ReadBatches();

    // Replaces batch with the next reads: until maxReads reads or at least
    // maxBases bases. False when no read is left. A malformed input ends the
    // reading: the reads before it are still returned, and Error() gives the
    // message afterwards.
    bool Next(std::vector<Read>& batch, std::size_t maxBases, std::size_t maxReads);
    const std::string& Error() const { return error_; }
    // Inputs that held no record at all.
    const std::vector<std::string>& EmptyInputs() const { return emptyInputs_; }
    // The first read whose name an earlier read had ("" when none), as
    // "'NAME' (read N)".
    const std::string& FirstRepeatedName() const { return firstRepeat_; }

private:
    class NameSet;
    // The read's name, made its own when an earlier read had it.
    void NameOwn(Read& read);

    std::vector<std::string> paths_;
    std::size_t nextPath_ = 0;
    std::unique_ptr<SequenceFile> current_;
    std::uint64_t ordinal_ = 0;
    std::string error_;
    std::vector<std::string> emptyInputs_;
    std::unique_ptr<NameSet> names_;
    std::string firstRepeat_;
};

}  // namespace talvo::scan
