// The engine as batch runs use it: one model set shared by several threads,
// each predicting reads on its own, gives the bytes one thread gives.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "EngineError.h"
#include "ModelSet.h"
#include "Prediction.h"

namespace talvo {
namespace {

const std::string kShippedModel = TALVO_SOURCE_DIR "/param-human";

// The shipped example's bases, as one line of text.
std::string SampleBases() {
    std::ifstream in(TALVO_SOURCE_DIR "/sample.txt");
    std::string line;
    std::string bases;
    std::getline(in, line);  // header
    while (std::getline(in, line)) bases += line;
    return bases;
}

// Reads of both window widths: the example, its pieces of 300 to 599 bases
// (window 96) and of 600 to 2,000 (window 196), some with a base dropped or
// doubled so that the frame changes.
std::vector<std::vector<short>> Reads() {
    const std::string sample = SampleBases();
    std::vector<std::vector<short>> reads{BaseCodes(sample)};
    for (int i = 0; i < 24; ++i) {
        const int length = i % 2 == 0 ? 300 + 12 * i : 600 + 60 * i;
        std::string read = sample.substr((97 * i) % (sample.size() - length), length);
        if (i % 3 == 1) read.erase(length / 2, 1);
        if (i % 3 == 2) read.insert(length / 3, 1, read[length / 3]);
        reads.push_back(BaseCodes(read));
    }
    return reads;
}

// Everything a prediction holds that a report shows, every score to its
// last bit.
std::string Shown(const Prediction& p) {
    std::ostringstream out;
    out << std::hexfloat << p.pathScore << ' ' << p.seqLayout.startBase << ' ' << p.seqLayout.stopBase << ':';
    for (int frame : p.framePath) out << ' ' << frame;
    for (const SequencingError& e : p.errors) out << " e" << e.pos << '/' << static_cast<int>(e.kind);
    for (const auto& scores : p.frameScore)
        for (double score : scores) out << ' ' << score;
    return out.str();
}

TEST(Threads, ManyThreadsPredictAsOne) {
    const std::vector<std::vector<short>> reads = Reads();
    std::vector<std::string> expected;
    {
        const ModelSet models(kShippedModel);
        for (const auto& read : reads) expected.push_back(Shown(Predict(models, read, PredictionOptions{})));
    }
    // A fresh model set, so that the threads also race to load its classes.
    const ModelSet models(kShippedModel);
    constexpr int kThreads = 4;
    std::vector<std::vector<std::string>> shown(kThreads, std::vector<std::string>(reads.size()));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Each thread walks the reads from its own starting point.
            for (std::size_t k = 0; k < reads.size(); ++k) {
                const std::size_t i = (k + 7 * t) % reads.size();
                shown[t][i] = Shown(Predict(models, reads[i], PredictionOptions{}));
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        for (std::size_t i = 0; i < reads.size(); ++i) EXPECT_EQ(shown[t][i], expected[i]) << "thread " << t << ", read " << i;
    }
}

TEST(ModelSetLoading, MissingDirectoryFailsOnEveryCall) {
    const ModelSet models(TALVO_SOURCE_DIR "/no-such-model");
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            models.LoadAll();
            ADD_FAILURE() << "loaded a missing directory";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.kind, EngineError::Kind::CannotOpen);
            EXPECT_EQ(e.file, TALVO_SOURCE_DIR "/no-such-model/paramater32/paramL0G0-ex0.txt");
        }
    }
}

}  // namespace
}  // namespace talvo
