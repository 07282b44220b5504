#include "ScanRun.h"

#include <unistd.h>

#include <array>
#include <memory>
#include <new>
#include <ostream>
#include <string>
#include <vector>

#include "CodingSequence.h"
#include "Fatal.h"
#include "ModelSet.h"
#include "OrderedPipeline.h"
#include "OutputFile.h"
#include "Outputs.h"
#include "RunSummary.h"
#include "SequenceInput.h"

namespace talvo::scan {

namespace {

enum Output { kTable, kGff3, kBed, kProtein, kCds, kOutputs };

struct Batch {
    std::vector<Read> reads;
    std::array<std::string, kOutputs> text;
    ReadCounts counts;
};

// The outputs asked for, opened with their first lines written.
class Outputs {
public:
    Outputs(const ScanOptions& options, const std::string& provenance) {
        Open(kTable, options.table, TableStart(provenance));
        Open(kGff3, options.gff3, Gff3Start(provenance));
        Open(kBed, options.bed, BedStart(provenance));
        Open(kProtein, options.protein, "");
        Open(kCds, options.cds, "");
    }
    bool Wants(Output output) const { return files_[output] != nullptr; }
    void Write(const Batch& batch) {
        for (int o = 0; o < kOutputs; ++o) {
            if (files_[o]) files_[o]->Write(batch.text[o]);
        }
    }
    void Commit() {
        for (auto& file : files_) {
            if (file) file->Commit();
        }
    }

private:
    void Open(Output output, const std::string& path, const std::string& start) {
        if (path.empty()) return;
        files_[output] = std::make_unique<OutputFile>(path);
        files_[output]->Write(start);
    }
    std::array<std::unique_ptr<OutputFile>, kOutputs> files_;
};

void PredictBatch(Batch& batch, const ModelSet& models, StrandMode strand, const Outputs& outputs) {
    for (auto& text : batch.text) text.clear();
    batch.counts = ReadCounts{};
    for (const Read& read : batch.reads) {
        const ReadPrediction prediction = PredictRead(models, read.bases, strand);
        batch.counts.Add(prediction, read.bases.size());
        if (outputs.Wants(kTable)) AppendTableLine(batch.text[kTable], read, prediction);
        if (outputs.Wants(kGff3)) AppendGff3(batch.text[kGff3], read, prediction);
        if (outputs.Wants(kBed)) AppendBed12(batch.text[kBed], read, prediction);
        if (prediction.status == ReadStatus::Cds && (outputs.Wants(kProtein) || outputs.Wants(kCds))) {
            const std::vector<short> cds = CorrectedCds(read.bases, prediction);
            if (outputs.Wants(kProtein)) AppendProteinFasta(batch.text[kProtein], read, prediction, cds);
            if (outputs.Wants(kCds)) AppendCdsFasta(batch.text[kCds], read, prediction, cds);
        }
    }
}

// A message of the engine without its line end.
std::string OneLine(std::string message) {
    while (!message.empty() && message.back() == '\n') message.pop_back();
    return message;
}

}  // namespace

int RunScan(const ScanOptions& options, std::ostream& err, BatchLimits limits) {
    try {
        const ModelSet models(options.modelDirectory);
        models.LoadAll();
        for (const std::string& warning : models.Warnings()) err << "talvo-scan: warning: " << warning << '\n';
        return ScanReads(options, models, err, limits);
    } catch (const FatalError& e) {
        err << "talvo-scan: " << OneLine(e.what()) << '\n';
    } catch (const std::bad_alloc&) {
        err << "talvo-scan: out of memory\n";
    }
    return 1;
}

int ScanReads(const ScanOptions& options, const ModelSet& models, std::ostream& err, BatchLimits limits) {
    try {
        Outputs outputs(options, Provenance(options.modelDirectory, options.strand));
        RunSummary summary(!options.quiet && isatty(STDERR_FILENO) == 1);
        ReadBatches input(options.inputs);
        const int threads = options.threads;
        RunOrdered<Batch>(
            threads, 2 * static_cast<std::size_t>(threads) + 2,
            [&](Batch& batch) { return input.Next(batch.reads, limits.bases, limits.reads); },
            [&](Batch& batch) { PredictBatch(batch, models, options.strand, outputs); },
            [&](Batch& batch) {
                outputs.Write(batch);
                summary.Written(batch.counts);
            });
        summary.EndProgress();
        // The reads before a malformed record are complete: keep them.
        outputs.Commit();
        for (const std::string& empty : input.EmptyInputs()) {
            err << "talvo-scan: warning: " << empty << " holds no reads\n";
        }
        if (!input.Error().empty()) {
            err << "talvo-scan: " << input.Error() << '\n';
            return 1;
        }
        if (!options.quiet) err << summary.Summary() << '\n';
        return 0;
    } catch (const FatalError& e) {
        err << "talvo-scan: " << OneLine(e.what()) << '\n';
    } catch (const OutputError& e) {
        err << "talvo-scan: " << e.what() << '\n';
    } catch (const std::bad_alloc&) {
        err << "talvo-scan: out of memory\n";
    }
    return 1;
}

}  // namespace talvo::scan
