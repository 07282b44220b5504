#include "PredictionOptions.h"

#include <cmath>
#include <string>

#include "EngineError.h"
#include "Records.h"

namespace talvo {

namespace {

void Refuse(const char* name, const std::string& value, const char* rule) {
    throw EngineError(EngineError::Kind::BadValue, "", 0, std::string(name) + " " + value + " " + rule);
}

void CheckScore(const char* name, double value) {
    if (!std::isfinite(value)) Refuse(name, std::to_string(value), "is not a finite number");
}

void CheckPrice(const char* name, double value) {
    CheckScore(name, value);
    if (value < 0.0) Refuse(name, std::to_string(value), "is below 0");
}

}  // namespace

void CheckOptions(const PredictionOptions& options) {
    CheckScore("start score", options.startScore);
    CheckScore("begin score", options.beginScore);
    CheckPrice("frame-change price", options.frameChangePrice);
    CheckPrice("unknown-class price", options.unknownClassPrice);
    CheckScore("walk stop", options.walkStop);
    if (options.minSteps < 0) Refuse("minimum steps", std::to_string(options.minSteps), "is below 0");
    CheckScore("short-path score", options.shortPathScore);
    CheckScore("acceptance score", options.acceptAbove);
}

std::size_t PredictionBytes(std::size_t length) {
    // Per codon position and frame: a start mark and a window class (int
    // vectors grown by doubling, so up to twice their size), a window score
    // (likewise) and a DP cell; per codon position, the path, the
    // traceback's copy and the frame path.
    constexpr std::size_t kPerPosition =
        3 * (2 * sizeof(int) + 2 * sizeof(int) + 2 * sizeof(double) + sizeof(dpNode)) + 3 * sizeof(int);
    return (length / 3 + 1) * kPerPosition;
}

}  // namespace talvo
