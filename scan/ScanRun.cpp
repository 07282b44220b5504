#include "ScanRun.h"

#include <unistd.h>

#include <array>
#include <memory>
#include <new>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "CodingSequence.h"
#include "CodonPrediction.h"
#include "EngineError.h"
#include "ModelSet.h"
#include "OrderedPipeline.h"
#include "OutputFile.h"
#include "Outputs.h"
#include "RunSummary.h"
#include "SequenceInput.h"
#include "StatsFile.h"
#include "SummaryPage.h"

namespace talvo::scan {

namespace {

// The stats and the summary are written once, at the end of the run.
enum Output { kTable, kGff3, kBed, kProtein, kCds, kCorrected, kStats, kSummary, kOutputs };

// A batch is predicted by one worker at a time, which decodes with the
// batch's scratch.
struct Batch {
    std::vector<Read> reads;
    std::array<std::string, kOutputs> text;
    RunFigures figures;
    CodonScratch scratch;
};

// The outputs asked for, opened with their first lines written.
class Outputs {
public:
    Outputs(const ScanOptions& options, const std::string& provenance)
        : columns_(ColumnsOf(options.use)) {
        Open(kTable, options.table, TableStart(provenance, columns_));
        Open(kGff3, options.gff3, Gff3Start(provenance));
        Open(kBed, options.bed, BedStart(provenance));
        Open(kProtein, options.protein, "");
        Open(kCds, options.cds, "");
        Open(kCorrected, options.corrected, "");
        Open(kStats, options.stats, "");
        Open(kSummary, options.summary, "");
    }
    bool Wants(Output output) const { return files_[output] != nullptr; }
    // The table's last columns.
    TableColumns Columns() const { return columns_; }
    void Write(const Batch& batch) {
        for (int o = 0; o < kOutputs; ++o) {
            if (files_[o]) files_[o]->Write(batch.text[o]);
        }
    }
    // The run's figures, into the stats and the summary when asked for.
    void WriteFigures(const RunFigures& figures, const RunDescription& run) {
        if (files_[kStats]) files_[kStats]->Write(StatsJson(figures, run));
        if (files_[kSummary]) files_[kSummary]->Write(SummaryPage(figures, run));
    }
    // After a failure: what the outputs written in place (standard output,
    // pipes) hold goes out; the files stay as they were.
    void FinishStreams() {
        for (auto& file : files_) {
            if (file && file->InPlace()) file->Finish();
        }
    }
    // Replaces every output file together: each is finished (a full disk
    // shows then) before any is renamed into place.
    void Commit() {
        for (auto& file : files_) {
            if (file) file->Finish();
        }
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
    TableColumns columns_;
    std::array<std::unique_ptr<OutputFile>, kOutputs> files_;
};

ReadPrediction PredictWith(const ScanModels& models, const ScanOptions& options, const std::vector<short>& bases,
                           CodonScratch& scratch) {
    switch (options.use) {
        case ScanUse::Gene: return GeneRead(*models.gene, bases, options.strand, options.minConfidence, scratch);
        case ScanUse::Refine:
            return RefineRead(models.windows, options.prediction, *models.codon, bases, options.strand, scratch);
        case ScanUse::LongRead: return DecodeRead(*models.codon, bases, options.strand, scratch);
        case ScanUse::Window: break;
    }
    return PredictRead(models.windows, options.prediction, bases, options.strand);
}

void PredictBatch(Batch& batch, const ScanModels& models, const ScanOptions& options, const Outputs& outputs) {
    for (auto& text : batch.text) text.clear();
    batch.figures = RunFigures{};
    for (const Read& read : batch.reads) {
        const CodingRegion region =
            MakeCodingRegion(read.bases, PredictWith(models, options, read.bases, batch.scratch));
        batch.figures.Add(region.prediction, read.bases.size(), region.ends);
        if (outputs.Wants(kTable)) AppendTableLine(batch.text[kTable], read, region, outputs.Columns());
        if (outputs.Wants(kGff3)) AppendGff3(batch.text[kGff3], read, region);
        if (outputs.Wants(kBed)) AppendBed12(batch.text[kBed], read, region);
        if (outputs.Wants(kCorrected)) AppendCorrectedRead(batch.text[kCorrected], read, region);
        if (outputs.Wants(kProtein)) AppendProteinFasta(batch.text[kProtein], read, region);
        if (outputs.Wants(kCds)) AppendCdsFasta(batch.text[kCds], read, region);
    }
}

}  // namespace

int RunScan(const ScanOptions& options, std::ostream& err, BatchLimits limits) {
    if (options.mergeStats) return MergeStats(options, err);
    try {
        const ModelSet models(options.modelDirectory);
        if (options.use == ScanUse::Window || options.use == ScanUse::Refine) models.LoadAll();
        if (options.use == ScanUse::Window) return ScanReads(options, models, err, limits);
        // Read once, before any read; the decoder is shared by the threads.
        const std::string path = CodonModelPath(options.modelDirectory);
        const CodonModel codonModel = ReadCodonModel(path);
        CheckErrorSetting(codonModel, options.errorSetting, path);
        if (options.use == ScanUse::Gene) {
            const GenePredictor gene(codonModel, ReadGeneModel(GeneModelPath(options.modelDirectory)),
                                     options.errorSetting, options.gene);
            return ScanReads(options, {models, nullptr, &gene}, err, limits);
        }
        const CodonDecoder decoder(codonModel, options.errorSetting);
        return ScanReads(options, {models, &decoder}, err, limits);
    } catch (const std::runtime_error& e) {
        err << "talvo-scan: " << e.what() << '\n';
    } catch (const std::bad_alloc&) {
        err << "talvo-scan: out of memory\n";
    }
    return 1;
}

int ScanReads(const ScanOptions& options, const ScanModels& models, std::ostream& err, BatchLimits limits) {
    if ((options.use == ScanUse::Gene && models.gene == nullptr) ||
        ((options.use == ScanUse::Refine || options.use == ScanUse::LongRead) && models.codon == nullptr)) {
        throw std::invalid_argument("the models given lack the one that the use predicts with");
    }
    try {
        const std::string provenance = Provenance(options);
        Outputs outputs(options, provenance);
        RunSummary summary(!options.quiet && isatty(STDERR_FILENO) == 1);
        ReadBatches input(options.inputs, options.firstRead);
        const int threads = options.threads;
        RunOrdered<Batch>(
            threads, 2 * static_cast<std::size_t>(threads) + 2,
            [&](Batch& batch) { return input.Next(batch.reads, limits.bases, limits.reads); },
            [&](Batch& batch) { PredictBatch(batch, models, options, outputs); },
            [&](Batch& batch) {
                outputs.Write(batch);
                summary.Written(batch.figures);
            });
        summary.EndProgress();
        for (const std::string& empty : input.EmptyInputs()) {
            err << "talvo-scan: warning: " << empty << " holds no reads\n";
        }
        if (!input.FirstRepeatedName().empty()) {
            err << "talvo-scan: warning: reads share names, the first " << input.FirstRepeatedName()
                << "; each repeat is called NAME_<read number> in the outputs\n";
        }
        // A malformed input fails the run: no output file is replaced.
        if (!input.Error().empty()) {
            outputs.FinishStreams();
            err << "talvo-scan: " << input.Error() << '\n';
            return 1;
        }
        outputs.WriteFigures(summary.Figures(), {options.sample, provenance, options.commandLine});
        outputs.Commit();
        if (!options.quiet) err << summary.Summary() << '\n';
        return 0;
    } catch (const EngineError& e) {
        err << "talvo-scan: " << e.what() << '\n';
    } catch (const OutputError& e) {
        err << "talvo-scan: " << e.what() << '\n';
    } catch (const std::bad_alloc&) {
        err << "talvo-scan: out of memory\n";
    }
    return 1;
}

int MergeStats(const ScanOptions& options, std::ostream& err) {
    try {
        RunFigures figures;
        RunDescription merged;
        for (std::size_t i = 0; i < options.inputs.size(); ++i) {
            const std::string& path = options.inputs[i];
            RunFigures part;
            RunDescription run;
            ReadStatsFile(path, part, run);
            if (i == 0) {
                merged = run;
            } else if (run.provenance != merged.provenance) {
                throw std::runtime_error(path + ": made with other settings (" + run.provenance + ") than " +
                                         options.inputs.front() + " (" + merged.provenance + ")");
            } else {
                merged.runs += run.runs;
            }
            figures.Add(part);
        }
        if (!options.sample.empty()) merged.sample = options.sample;
        // Both written before either replaces its file.
        std::optional<OutputFile> stats;
        std::optional<OutputFile> summary;
        if (!options.stats.empty()) stats.emplace(options.stats).Write(StatsJson(figures, merged));
        if (!options.summary.empty()) summary.emplace(options.summary).Write(SummaryPage(figures, merged));
        if (stats) stats->Commit();
        if (summary) summary->Commit();
        return 0;
    } catch (const std::runtime_error& e) {
        err << "talvo-scan: " << e.what() << '\n';
    } catch (const std::bad_alloc&) {
        err << "talvo-scan: out of memory\n";
    }
    return 1;
}

}  // namespace talvo::scan
