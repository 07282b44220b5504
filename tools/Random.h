// A small seeded random number generator (splitmix64) whose sequence is the
// same on every platform and standard library, so that sampled windows and
// simulated reads are reproducible byte for byte.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace talvo::tools {

class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}

    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1) with 53 random bits.
    double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform integer in [0, bound), bound > 0 (rejection sampling, no bias).
    uint64_t Below(uint64_t bound) {
        const uint64_t limit = UINT64_MAX - UINT64_MAX % bound;
        uint64_t x = Next();
        while (x >= limit) x = Next();
        return x % bound;
    }

private:
    uint64_t state_;
};

// Picks min(k, size) distinct elements of items in a random order (partial
// Fisher-Yates shuffle) and returns them in their original order.
template <typename T>
std::vector<T> SampleInOrder(std::vector<T> items, std::size_t k, Random& rng) {
    if (items.size() <= k) return items;
    std::vector<std::size_t> index(items.size());
    for (std::size_t i = 0; i < index.size(); ++i) index[i] = i;
    for (std::size_t i = 0; i < k; ++i) {
        const std::size_t j = i + rng.Below(index.size() - i);
        std::swap(index[i], index[j]);
    }
    index.resize(k);
    std::sort(index.begin(), index.end());
    std::vector<T> picked;
    picked.reserve(k);
    for (std::size_t i : index) picked.push_back(items[i]);
    return picked;
}

}  // namespace talvo::tools
