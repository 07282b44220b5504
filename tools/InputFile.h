// Input files of the training and evaluation tools, plain or
// gzip-compressed: gzip is recognised by its magic bytes, whatever the name.
#pragma once

#include <string>

namespace talvo::tools {

// The whole text of a file, decompressed when it is gzip data (one member or
// several concatenated, as `cat a.gz b.gz` makes). `what` names the file's
// role in the messages ("the FASTA file"). A file that cannot be opened or
// read, or gzip data that is corrupt or ends early, throws
// std::runtime_error naming the file.
std::string ReadInputFile(const std::string& path, const std::string& what);

}  // namespace talvo::tools
