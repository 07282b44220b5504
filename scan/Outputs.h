// The outputs of a batch run, each as text: a file's opening lines, and the
// lines of one read appended to a batch's text, all written from the read's
// coding region (CodingRegion).
#pragma once

#include <string>
#include <vector>

#include "CodingSequence.h"
#include "ScanOptions.h"
#include "SequenceInput.h"

namespace talvo::scan {

// The settings a run's outputs name: program version, model directory,
// strand setting and, but for the window model alone, the use and its error
// setting, e.g. "talvo-scan 0.1.0; model ./param-human; strand both" (the
// window model), "...; strand both; codon refine, error setting est" or
// "...; strand both; gene model, error setting est", the gene model's
// --inside-cds and --min-confidence after it when they are given (so that
// the figures of runs made otherwise are not added up).
std::string Provenance(const ScanOptions& options);

// Errors as I<pos>/D<pos>, 1-based, comma-separated; "-" when there is none.
std::string ErrorList(const std::vector<SequencingError>& errors);

// A confidence with two decimals; several comma-separated, "-" when there
// is none.
std::string FormatConfidence(double value);
std::string ConfidenceList(const std::vector<double>& confidence);

// The table's last columns: none (the window model), each error's
// confidence (the codon model's uses), and also the region's start and stop
// confidences (the gene model).
enum class TableColumns { Plain, ErrorConfidence, GeneConfidence };
TableColumns ColumnsOf(ScanUse use);

// Table: a comment line with the provenance, a header line, and one
// tab-separated line per read: ID, length, strand, CDS first and last base,
// number of errors, errors, path score, status and the columns asked for. A
// value that does not apply is "-"; the strand of a read without a coding
// region is ".". A region below the confidence asked for is listed with its
// values and the status low_confidence.
std::string TableStart(const std::string& provenance, TableColumns columns = TableColumns::Plain);
void AppendTableLine(std::string& out, const Read& read, const CodingRegion& region,
                     TableColumns columns = TableColumns::Plain);

// GFF3: a sequence region per read, and per coding region a gene, an mRNA
// and one CDS line per stretch of codons, with its phase; the mRNA holds the
// errors and, when the codon model placed them, their confidences; with the
// gene model, the gene's and the mRNA's score is the region's confidence.
std::string Gff3Start(const std::string& provenance);
void AppendGff3(std::string& out, const Read& read, const CodingRegion& region);

// BED12: one line per coding region, a block per stretch of codons; the
// line and its thick part span the blocks.
std::string BedStart(const std::string& provenance);
void AppendBed12(std::string& out, const Read& read, const CodingRegion& region);

// FASTA of the corrected coding sequence or of its protein, one record per
// coding region; the header gives the region, the strand, the errors and,
// when a codon is cut by the region's first base, where the first whole
// codon begins (codon_start=2 or 3).
void AppendCdsFasta(std::string& out, const Read& read, const CodingRegion& region);
void AppendProteinFasta(std::string& out, const Read& read, const CodingRegion& region);

// FASTA of every read with its errors undone, in the read's orientation:
// an extra base left out, a missing base put in as N; the bases in upper
// case, an unknown base as N. The header gives the errors.
void AppendCorrectedRead(std::string& out, const Read& read, const CodingRegion& region);

}  // namespace talvo::scan
