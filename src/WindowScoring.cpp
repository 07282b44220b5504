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
    return CountCodon(bases, length, p, delta, [](int, int, int) {});
}

double CodonShare(const smplTestData& s, int b1, int b2, int b3) {
    const int aa = AminoAcidOf(b1, b2, b3);
    if (aa < 0) return -1.0;  // not a codon (the model's rules never ask)
    if (s.snglAcidCnt[aa] != 0) {
        return static_cast<double>(s.codonCnt[b1][b2][b3]) / s.snglAcidCnt[aa];
    }
    return BasicCodonRate(b1, b2, b3);
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

int ScoreWindow(const Model& model, const smplTestData& sample, double& score) {
    double sum = 0.0;
    const int rules = static_cast<int>(model.rules.size());
    for (int i = 0; i < rules; ++i) {
        const fnlHypo& rule = model.rules[i];
        switch (rule.kind) {
            case 0: {
                const double x = CodonShare(sample, rule.first, rule.second, rule.third);
                sum += VoteTerm(x > model.codonTrsld[i].realTrsld, model.codonTrsld[i].dir,
                                rule.weight);
                break;
            }
            case 2: {
                const int x = AcidCount(sample, rule.first);
                sum += VoteTerm(x > model.snglAcidTrsld[i].intTrsld, model.snglAcidTrsld[i].dir,
                                rule.weight);
                break;
            }
            case 3: {
                const double x = PairAssociation(model, sample, rule.gap, rule.first, rule.second);
                sum += VoteTerm(x > model.pairAcidTrsld[i].realTrsld, model.pairAcidTrsld[i].dir,
                                rule.weight);
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
