// Reading the one FASTA record of a run into base codes.
//
// An optional header line starting with '>' is followed by the sequence,
// which is every further character of the file but carriage returns and line
// feeds (variant B: every further line whole, a trailing carriage return
// included). A second '>' line is sequence text like any other.
#include <climits>
#include <fstream>
#include <iostream>
#include <istream>

#include "Fatal.h"
#include "FileOpen.h"
#include "WebPredict.h"

namespace talvo {

namespace {

constexpr int kMinLength = 30;

std::string ReadSequenceText(std::istream& in) {
    std::string text;
    std::streambuf* buf = in.rdbuf();
    using Traits = std::char_traits<char>;
    if constexpr (kVariantB) {
        std::string line;
        while (std::getline(in, line)) text += line;
    } else {
        for (int c = buf->sbumpc(); c != Traits::eof(); c = buf->sbumpc()) {
            if (c != '\r' && c != '\n') text.push_back(Traits::to_char_type(c));
        }
    }
    return text;
}

}  // namespace

int SequenceLength(std::size_t characters, const std::string& source) {
    if (characters > static_cast<std::size_t>(INT_MAX)) {
        throw FatalError(Stream::Err, "talvo: " + source + ": the sequence has " +
                                          std::to_string(characters) +
                                          " characters; the longest supported is " +
                                          std::to_string(INT_MAX) + "\n");
    }
    return static_cast<int>(characters);
}

void WebPredict::ReadFasta(std::istream& in, const std::string& source) {
    using Traits = std::char_traits<char>;
    std::streambuf* buf = in.rdbuf();
    std::string text;
    fastaHeader.clear();
    const int first = buf->sbumpc();
    // gzip data (its magic bytes 1f 8b) would read as a long sequence of
    // unknown bases: refused, pointing to the program that reads it.
    if (first == 0x1f && buf->sgetc() == 0x8b) {
        throw FatalError(Stream::Err, "talvo: " + source +
                                          ": gzip-compressed; talvo reads one plain FASTA record (decompress it, "
                                          "or use talvo-scan, which reads gzip-compressed FASTA and FASTQ)\n");
    }
    if (first == '>') {
        // The header ends at its line feed, or at the end of the file.
        for (int c = buf->sbumpc(); c != Traits::eof() && c != '\n'; c = buf->sbumpc()) {
            fastaHeader.push_back(Traits::to_char_type(c));
        }
    } else if (first != Traits::eof()) {
        text.push_back(Traits::to_char_type(first));
    }
    text += ReadSequenceText(in);

    const int length = SequenceLength(text.size(), source);
    baseArray.assign(text.size(), -1);
    arrayLen = length;
    if (length < kMinLength) {
        throw FatalError(Stream::Out, "TALVO DOES NOT SUPPORT SEQUENCES SHORTER THAN 30 BASES.\n");
    }
    int gc = 0;
    for (int i = 0; i < length; ++i) {
        const char ch = text[i];
        baseArray[i] = kBaseCode[static_cast<unsigned char>(ch)];
        if (ch == 'G' || ch == 'C') ++gc;
    }
    seqLen = length;
    gcPressure = 100.0 * gc / length;
}

void WebPredict::GetArrayFromFile(const char* fileName) {
    std::ifstream in;
    if (!OpenForReading(in, fileName)) {
        throw FatalError(Stream::Err, std::string("CAN NOT FIND FILE: ") + fileName + "\n");
    }
    ReadFasta(in, fileName);
}

}  // namespace talvo
