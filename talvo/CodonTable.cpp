#include "CodonTable.h"

namespace talvo {

int ReadData::CodonTable(int first, int second, int third) const {
    return AminoAcidOf(first, second, third);
}

double ReadData::BasicCodonRate(int first, int second, int third) const {
    return talvo::BasicCodonRate(first, second, third);
}

char ReadData::outPutBase(short code) const {
    static constexpr char kLetters[4] = {'A', 'T', 'G', 'C'};
    return IsBase(code) ? kLetters[code] : 'n';
}

}  // namespace talvo
