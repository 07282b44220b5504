#include "SequenceClass.h"

namespace talvo {

SequenceClass ClassifySequence(int seqLen, double gcPressure) {
    SequenceClass cls{};
    const double x = gcPressure / 100;
    if (x < 0.43) {
        cls.gcId = 0;
    } else if (x > 0.57) {
        cls.gcId = 3;
    } else if (x < 0.51) {
        cls.gcId = 1;
    } else {
        cls.gcId = 2;
    }
    cls.lengthId = seqLen < 1000 ? 0 : (seqLen <= 3000 ? 1 : 2);
    const bool longSequence = seqLen > 599;
    cls.windowWidth = longSequence ? 196 : 96;
    cls.subDirectory = longSequence ? "/paramater/" : "/paramater32/";
    return cls;
}

int SequenceClass::Index() const { return windowWidth == 96 ? gcId : 4 + 4 * lengthId + gcId; }

std::string SequenceClass::FileName(const std::string& kind) const {
    return kind + "L" + std::to_string(lengthId) + "G" + std::to_string(gcId) + "-ex0.txt";
}
std::string SequenceClass::ParameterPath(const std::string& dir) const { return dir + subDirectory + FileName("param"); }
std::string SequenceClass::TransitionPath(const std::string& dir) const { return dir + subDirectory + FileName("matrix"); }

std::vector<SequenceClass> AllSequenceClasses() {
    std::vector<SequenceClass> classes;
    for (int gc = 0; gc < 4; ++gc) classes.push_back({gc, 0, 96, "/paramater32/"});
    for (int length = 0; length < 3; ++length) {
        for (int gc = 0; gc < 4; ++gc) classes.push_back({gc, length, 196, "/paramater/"});
    }
    return classes;
}

double GcPressure(const std::vector<short>& bases) {
    if (bases.empty()) return 0.0;
    int gc = 0;
    for (short code : bases) gc += code == 2 || code == 3;
    return 100.0 * gc / static_cast<int>(bases.size());
}

}  // namespace talvo
