// Command lines of the training and evaluation tools, parsed with CLI11:
// --help in groups with the defaults, --version, and numbers read whole as
// decimal text (std::from_chars: "010" is ten, "0x10" and "1.5x" are
// refused), whatever the locale.
#pragma once

#include <CLI/CLI.hpp>
#include <charconv>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "PredictionOptions.h"

namespace talvo::tools {

struct TrainOptions;

// Parses a whole or a real number; false on trailing text, overflow or
// empty text.
template <typename T>
bool ParseWhole(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc() && ptr == end;
}

// The tool's application: its description above the options, --version.
std::unique_ptr<CLI::App> MakeToolApp(const std::string& program, const std::string& description);

// An option whose value is a number from low to high, stored through `set`;
// `shown` is the default --help shows. A value out of range or not a number
// is a usage error naming the option.
template <typename T>
CLI::Option* AddNumber(CLI::App& app, const std::string& name, T low, T high, const std::string& shown,
                       const std::string& description, std::function<void(T)> set) {
    return app
        .add_option_function<std::string>(
            name,
            [name, low, high, set](const std::string& text) {
                T value{};
                if (!ParseWhole(text, value) || !(value >= low && value <= high)) {
                    throw CLI::ValidationError(name, "'" + text + "' is not a " +
                                                         (std::is_integral_v<T> ? "whole number" : "number") +
                                                         " from " + CLI::detail::to_string(low) + " to " +
                                                         CLI::detail::to_string(high));
                }
                set(value);
            },
            description)
        ->type_name(std::is_integral_v<T> ? "N" : "X")
        ->default_str(shown);
}

// The same, stored into `target`, whose value is the default shown.
template <typename T>
CLI::Option* AddNumber(CLI::App& app, const std::string& name, T& target, T low, T high,
                       const std::string& description) {
    std::ostringstream shown;
    shown << target;
    return AddNumber<T>(app, name, low, high, shown.str(), description, [&target](T value) { target = value; });
}

// The training options both tools take (how a model is trained), in the
// group "Training".
void AddTrainOptions(CLI::App& app, TrainOptions& options);

// The window model's prediction settings, in the group "Window prediction"
// (talvo-eval varies them; the programs predict with their defaults).
void AddPredictionOptions(CLI::App& app, PredictionOptions& options);

// Parses the command line. Returns -1 to go on, or the exit status when it
// was handled here: 0 after --help or --version (on standard output), 1
// after a usage error (one line on standard error, "PROGRAM: message (see
// PROGRAM --help)").
int ParseToolCommandLine(CLI::App& app, int argc, char** argv);

// Runs a tool's body and gives its exit status: 0, or 1 after a one-line
// message on standard error that begins with the program's name (followed
// by a pointer to --help for a bad option, std::invalid_argument).
int RunTool(const char* program, const std::function<void()>& body);

}  // namespace talvo::tools
