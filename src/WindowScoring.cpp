// Window samples and their scoring by the model's rules.
#include <cstring>

#include "WindowScoring.h"

namespace talvo {

void smplTestData::Reset(int start, int end) {
    smplMark = -1;
    smplStart = start;
    smplEnd = end;
    std::memset(codonCnt, 0, sizeof codonCnt);
    std::memset(pairAcidCnt, 0, sizeof pairAcidCnt);
    std::memset(snglAcidCnt, 0, sizeof snglAcidCnt);
    std::memset(pairAcidMarg, 0, sizeof pairAcidMarg);
    smplTail1 = -1;
    smplTail2 = -1;
}

int smplTestData::CountCodon(const short* bases, int length, int p, int delta) {
    const int aa = AminoAcidOf(bases[p], bases[p + 1], bases[p + 2]);
    if (aa < 0) return aa;
    snglAcidCnt[aa] += delta;
    codonCnt[bases[p]][bases[p + 1]][bases[p + 2]] += delta;
    for (int g = 0; g < 4; ++g) {
        const int q = p + 3 * (g + 1);
        if (q + 2 >= length) break;
        const int aa2 = AminoAcidOf(bases[q], bases[q + 1], bases[q + 2]);
        if (aa2 < 0) continue;
        pairAcidMarg[g][0][aa] += delta;
        pairAcidCnt[g][aa][aa2] += delta;
        pairAcidMarg[g][1][aa2] += delta;
    }
    return aa;
}

double CodonShare(const smplTestData& s, int b1, int b2, int b3) {
    const int aa = AminoAcidOf(b1, b2, b3);
    if (s.snglAcidCnt[aa] != 0) {
        return static_cast<double>(s.codonCnt[b1][b2][b3]) / s.snglAcidCnt[aa];
    }
    return ReadData().BasicCodonRate(b1, b2, b3);
}

int AcidCount(const smplTestData& s, int aa) { return s.snglAcidCnt[aa]; }

double PairAssociation(const Model& model, const smplTestData& s, int gap, int a1, int a2) {
    const double span = s.smplEnd - s.smplStart;
    const double* pair = model.pairAcidPriproTable[gap][a1][a2];
    const double* first = model.snglAcidPriproTable[a1];
    const double* second = model.snglAcidPriproTable[a2];
    const double p = (3.0 * s.pairAcidCnt[gap][a1][a2] + pair[0]) / (span + pair[1]);
    const double f = (3.0 * s.pairAcidMarg[gap][0][a1] + first[0]) / (span + first[1]);
    const double q = (3.0 * s.pairAcidMarg[gap][1][a2] + second[0]) / (span + second[1]);
    return p / f / q;
}

int ClassIndex(int code) {
    switch (code) {
        case kCoding: return 0;
        case kNonCoding: return 1;
        case kPathBegin: return 2;
        case kStopCentre: return 3;
        default: return -1;
    }
}

namespace {

// +1 when the value lies above the threshold, -1 otherwise (NaN included);
// a direction of 0 turns the vote round.
inline double Vote(bool above, int dir) {
    const double v = above ? 1.0 : -1.0;
    return dir == 0 ? -v : v;
}

}  // namespace

int ScoreWindow(const Model& model, const smplTestData& sample, double& score) {
    double sum = 0.0;
    const int rules = static_cast<int>(model.rules.size());
    for (int i = 0; i < rules; ++i) {
        const fnlHypo& rule = model.rules[i];
        switch (rule.kind) {
            case 0: {
                const double x = CodonShare(sample, rule.first, rule.second, rule.third);
                sum += Vote(x > model.codonTrsld[i].realTrsld, model.codonTrsld[i].dir) * rule.weight;
                break;
            }
            case 2: {
                const int x = AcidCount(sample, rule.first);
                sum += Vote(x > model.snglAcidTrsld[i].intTrsld, model.snglAcidTrsld[i].dir) * rule.weight;
                break;
            }
            case 3: {
                const double x = PairAssociation(model, sample, rule.gap, rule.first, rule.second);
                sum += Vote(x > model.pairAcidTrsld[i].realTrsld, model.pairAcidTrsld[i].dir) * rule.weight;
                break;
            }
            default:
                break;
        }
    }
    score = sum;
    return score > 0.0 ? kCoding : kNonCoding;
}

}  // namespace talvo
