// Per codon position and frame: the start mark, and the class and score of
// the window of the model's width centred on that codon.
#include "SampleExtraction.h"

#include "WindowScorer.h"

namespace talvo {

namespace {

// The counts of a window moved along one frame a codon at a time: the codon
// that leaves at the front is taken out and the one that enters at the back
// is added. A codon's pairs reach downstream regardless of the window's end,
// so no other count changes and every window holds what a fresh count of it
// would hold. The tracker keeps the window's score in step with its counts.
template <class Tracker>
class SlidingWindow {
public:
    SlidingWindow(const short* bases, const CodonAt* codons, int length, int width, int start, Tracker& tracker)
        : tracker_(tracker), bases_(bases), codons_(codons), length_(length), width_(width), start_(start),
          next_(start) {
        tracker_.Reset(start, start);
        Extend();
    }

    void Advance() {
        if (next_ > start_) tracker_.Count(codons_, start_, -1);
        start_ += 3;
        if (next_ < start_) next_ = start_;
        tracker_.sample.smplStart = start_;
        Extend();
    }

    // Bases scanned: the window's codons end at start + Scanned() - 1.
    int Scanned() const { return next_ - start_; }
    // Whether the codon at the given offset lies in the window and is a stop.
    bool StopAt(int offset) const {
        const int p = start_ + offset;
        return offset < Scanned() && AminoAcidOf(bases_[p], bases_[p + 1], bases_[p + 2]) == kStop;
    }

private:
    void Extend() {
        while (next_ - start_ + 2 < width_ && next_ + 2 < length_) {
            tracker_.Count(codons_, next_, 1);
            next_ += 3;
        }
        tracker_.sample.smplEnd = next_ - 1;
    }

    Tracker& tracker_;
    const short* bases_;
    const CodonAt* codons_;
    int length_;
    int width_;
    int start_;
    int next_;  // first base of the codon after the window's last one
};

// Windows whose votes are known and whose scores are still to be summed in
// rule order: the sums of several windows run side by side.
class PendingScores {
public:
    explicit PendingScores(const WindowScorer& scorer) : batch_(scorer) {}

    // Files the tracker's window; its class and score go to the given
    // entries once the batch is summed.
    void Add(VoteTracker& tracker, std::vector<int>& classes, std::vector<double>& scores) {
        entries_[batch_.Size()] = {&classes, &scores, classes.size()};
        classes.push_back(kNonCoding);
        scores.push_back(0.0);
        batch_.Add(tracker);
        if (batch_.Size() == VoteBatch::kWindows) Flush();
    }

    // Sums the filed windows; the last one becomes the remembered result.
    void Flush() {
        const int count = batch_.Size();
        if (count == 0) return;
        double sums[VoteBatch::kWindows];
        batch_.Sum(sums);
        for (int w = 0; w < count; ++w) {
            const Entry& entry = entries_[w];
            (*entry.scores)[entry.index] = sums[w];
            (*entry.classes)[entry.index] = sums[w] > 0.0 ? kCoding : kNonCoding;
        }
        rememberedScore = sums[count - 1];
        rememberedClass = rememberedScore > 0.0 ? kCoding : kNonCoding;
    }

    // The result of the last scored window stands in for the windows that
    // reach the sequence end; it carries over from one frame to the next.
    double rememberedScore = 0.0;
    int rememberedClass = kNonCoding;

private:
    struct Entry {
        std::vector<int>* classes;
        std::vector<double>* scores;
        std::size_t index;
    };
    VoteBatch batch_;
    Entry entries_[VoteBatch::kWindows];
};

// The scores of a dyadic model's windows, known as soon as the tracker is
// refreshed.
class ImmediateScores {
public:
    void Add(const SumTracker& tracker, std::vector<int>& classes, std::vector<double>& scores) {
        rememberedScore = tracker.Score();
        rememberedClass = rememberedScore > 0.0 ? kCoding : kNonCoding;
        classes.push_back(rememberedClass);
        scores.push_back(rememberedScore);
    }
    void Flush() {}

    double rememberedScore = 0.0;
    int rememberedClass = kNonCoding;
};

// The windows of the three frames, scored with the tracker and filed by
// their centre codon (see ExtractSamples).
template <class Tracker, class Scores>
void FileWindows(int width, const short* bases, int seqLen, Tracker& tracker, Scores& pending, layout& lay,
                 std::array<std::vector<double>, 3>& frameScore) {
    const int half = width / 6;
    const int centre = 3 * half;
    const std::vector<CodonAt> codons = CodonsOf(bases, seqLen);
    for (int f = 0; f < 3; ++f) {
        std::vector<int>& classes = lay.windowClasses[f];
        std::vector<double>& scores = frameScore[f];
        SlidingWindow<Tracker> window(bases, codons.data(), seqLen, width, f, tracker);
        for (int s = f;; s += 3, window.Advance()) {
            const bool centreStop = window.StopAt(centre);
            const bool pastCentre = window.Scanned() - 1 >= centre + 3;
            if (centreStop) {
                classes.push_back(kStopCentre);
                scores.push_back(-10.0);
                if (!pastCentre) break;
            } else if (!pastCentre) {
                classes.push_back(kBeyondEnd);
                scores.push_back(-10.0);
                break;
            } else if (s + width < seqLen) {
                tracker.Refresh();
                pending.Add(tracker, classes, scores);
            } else {
                pending.Flush();
                classes.push_back(pending.rememberedClass);
                scores.push_back(pending.rememberedScore);
            }
        }
        pending.Flush();
        classes.insert(classes.begin(), half, kLeadIn);
        const double firstScore = scores.front();
        scores.insert(scores.begin(), half, firstScore);
        while (classes.size() < lay.codonMarks[f].size()) {
            classes.push_back(kBeyondEnd);
            scores.push_back(-10.0);
        }
    }
}

}  // namespace

int ScanWindow(smplTestData& sample, const short* bases, int length, int start, int width,
               bool& centreStop) {
    const int centre = 3 * (width / 6);
    sample.Reset(start, start);
    centreStop = false;
    int k = 0;
    for (; k + 2 < width && start + k + 2 < length; k += 3) {
        const int aa = sample.CountCodon(bases, length, start + k);
        if (aa == kStop && k == centre) centreStop = true;
    }
    sample.smplEnd = start + k - 1;
    return k;
}

void ExtractSamples(const Model& model, const short* bases, int seqLen, layout& seqLayout,
                    std::array<std::vector<double>, 3>& frameScore) {
    ExtractSamples(WindowScorer(model), bases, seqLen, seqLayout, frameScore);
}

void ExtractSamples(const WindowScorer& scorer, const short* bases, int seqLen,
                    layout& seqLayout, std::array<std::vector<double>, 3>& frameScore) {
    layout lay;
    for (auto& scores : frameScore) scores.clear();

    for (int f = 0; f < 3; ++f) {
        for (int p = f; p + 2 < seqLen; p += 3) {
            const bool start = AminoAcidOf(bases[p], bases[p + 1], bases[p + 2]) == kMet;
            lay.codonMarks[f].push_back(start ? kStartCodon : kOtherCodon);
        }
    }

    if (scorer.Dyadic()) {
        SumTracker tracker(scorer, scorer.FullSpan());
        ImmediateScores scores;
        FileWindows(scorer.Width(), bases, seqLen, tracker, scores, lay, frameScore);
    } else {
        VoteTracker tracker(scorer, scorer.FullSpan());
        PendingScores scores(scorer);
        FileWindows(scorer.Width(), bases, seqLen, tracker, scores, lay, frameScore);
    }
    seqLayout = std::move(lay);
}

}  // namespace talvo
