#include "Grouping.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <numeric>
#include <string>
#include <utility>

namespace talvo::tools {

namespace {

constexpr int kStretch = 32;  // 2 bits per base fill 64 bits

int Find(std::vector<int>& parent, int i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

}  // namespace

std::vector<int> GroupIsoforms(const std::vector<AnnotatedSequence>& set) {
    std::vector<std::pair<uint64_t, int>> kmers;
    for (int s = 0; s < static_cast<int>(set.size()); ++s) {
        const AnnotatedSequence& seq = set[s];
        uint64_t kmer = 0;
        int valid = 0;
        for (int p = seq.cdsFirst; p <= seq.cdsLast; ++p) {
            int code = -1;
            switch (seq.bases[p]) {
                case 'A': code = 0; break;
                case 'C': code = 1; break;
                case 'G': code = 2; break;
                case 'T': code = 3; break;
                default: break;
            }
            if (code < 0) {
                valid = 0;
                continue;
            }
            kmer = (kmer << 2) | static_cast<uint64_t>(code);
            if (++valid >= kStretch) kmers.emplace_back(kmer, s);
        }
    }
    std::sort(kmers.begin(), kmers.end());
    std::vector<int> parent(set.size());
    std::iota(parent.begin(), parent.end(), 0);
    const auto join = [&](int s, int t) {
        const int a = Find(parent, s);
        const int b = Find(parent, t);
        if (a != b) parent[std::max(a, b)] = std::min(a, b);
    };
    for (std::size_t i = 1; i < kmers.size(); ++i) {
        if (kmers[i].first == kmers[i - 1].first) join(kmers[i].second, kmers[i - 1].second);
    }
    std::map<std::string, int> firstOfGene;
    for (int s = 0; s < static_cast<int>(set.size()); ++s) {
        if (set[s].gene.empty()) continue;
        const auto [it, fresh] = firstOfGene.emplace(set[s].gene, s);
        if (!fresh) join(s, it->second);
    }
    std::vector<int> group(set.size());
    for (int s = 0; s < static_cast<int>(set.size()); ++s) group[s] = Find(parent, s);
    return group;
}

std::vector<int> AssignFolds(const std::vector<int>& group, int folds) {
    const int n = static_cast<int>(group.size());
    std::vector<int> size(n, 0);
    for (int g : group) ++size[g];
    std::vector<int> roots;
    for (int s = 0; s < n; ++s) {
        if (group[s] == s) roots.push_back(s);
    }
    std::stable_sort(roots.begin(), roots.end(), [&](int a, int b) { return size[a] > size[b]; });
    std::vector<int> foldOfGroup(n, 0);
    std::vector<int> filled(folds, 0);
    for (int root : roots) {
        const int fold = static_cast<int>(std::min_element(filled.begin(), filled.end()) - filled.begin());
        foldOfGroup[root] = fold;
        filled[fold] += size[root];
    }
    std::vector<int> fold(n);
    for (int s = 0; s < n; ++s) fold[s] = foldOfGroup[group[s]];
    return fold;
}

}  // namespace talvo::tools
