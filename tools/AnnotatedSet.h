// Annotated cDNAs: sequences from a FASTA file with the coding region of
// each from a CDS table (id, first base, last base, 1-based, stop codon
// included; a header line may name a gene_id column, which gives each
// sequence its gene; further columns are ignored).
#pragma once

#include <string>
#include <vector>

namespace talvo::tools {

struct AnnotatedSequence {
    std::string id;
    std::string bases;  // the sequence text as read (line ends removed)
    int cdsFirst = 0;   // 0-based first base of the start codon
    int cdsLast = 0;    // 0-based last base of the stop codon
    std::string gene;   // gene id from the table, "" when unknown
    int source = 0;     // which of the pooled sets it came from, from 0
};

// Reads every FASTA record that the table annotates, in the order of the
// FASTA file; either file may be gzip-compressed. A table row that is
// malformed, names an unknown sequence or a region outside its sequence, or
// whose length is not a whole number of codons, throws std::runtime_error
// naming the file and line; so does a file that cannot be read
// (ReadInputFile).
std::vector<AnnotatedSequence> ReadAnnotatedSet(const std::string& fastaPath,
                                                const std::string& cdsPath);

// Several sets pooled, in the order given: fastaPaths[i] is annotated by
// cdsPaths[i]. A sequence id found in two sets throws std::runtime_error
// naming both tables.
std::vector<AnnotatedSequence> ReadAnnotatedSets(const std::vector<std::string>& fastaPaths,
                                                 const std::vector<std::string>& cdsPaths);

}  // namespace talvo::tools
