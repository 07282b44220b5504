// A condition that ends the run: the command line prints the message on its
// stream and exits with status 1.
#pragma once

#include <stdexcept>
#include <string>

namespace talvo {

enum class Stream { Out, Err };

class FatalError : public std::runtime_error {
public:
    FatalError(Stream stream, const std::string& message)
        : std::runtime_error(message), stream(stream) {}
    Stream stream;  // where the message goes
};

// Writes a one-line warning, prefixed with the program name, on stderr.
void Warn(const std::string& message);

}  // namespace talvo
