// TEMPORARY: stands in for the engine until it lands on main.
#pragma once
#include <string>
#include <vector>
namespace shim {
struct OldResult {
    int start = -1, stop = -1;
    std::vector<int> framePath;
    double score = 0;
    double gc = 0;
};
void RunOld(const std::string& dir, const std::vector<short>& bases, OldResult& r);
}
