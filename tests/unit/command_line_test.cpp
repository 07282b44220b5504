// The option scan, the words of a run's failures, the settings and file
// paths of a run by its class, and the run object's steps.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "EngineError.h"
#include "Fatal.h"
#include "ProgramModel.h"
#include "SampleExtraction.h"
#include "TestSupport.h"
#include "WebPredict.h"

namespace talvo {
namespace {

Options Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "talvo");
    return ParseOptions(static_cast<int>(args.size()), args.data());
}

// The message of the FatalError that parsing throws.
std::string ParseError(std::vector<const char*> args) {
    try {
        Parse(std::move(args));
    } catch (const FatalError& e) {
        EXPECT_EQ(e.stream, Stream::Err);
        return e.what();
    }
    ADD_FAILURE() << "no error";
    return {};
}

TEST(CommandLine, Defaults) {
    const Options o = Parse({});
    EXPECT_FALSE(o.help);
    EXPECT_STREQ(o.inputFile, "sample.txt");
    EXPECT_STREQ(o.paramDir, "./param-human");
    EXPECT_EQ(o.width, 60);
    EXPECT_EQ(o.htmlFile, nullptr);
    EXPECT_EQ(o.scoreFile, nullptr);
}

TEST(CommandLine, HelpOnlyAsTheSoleArgument) {
    EXPECT_TRUE(Parse({"--help"}).help);
    const Options withInput = Parse({"--help", "-i", "x.fa"});
    EXPECT_FALSE(withInput.help);
    EXPECT_STREQ(withInput.inputFile, "x.fa");
    EXPECT_FALSE(Parse({"--helpme"}).help);
    EXPECT_FALSE(Parse({"--he"}).help);
    EXPECT_STREQ(Parse({"--helpme"}).inputFile, "sample.txt");
}

TEST(CommandLine, OnlyTheSecondCharacterDecides) {
    const Options o = Parse({"-input", "in.fa", "-dir", "p", "-html", "o.html", "-score", "s.csv",
                             "-wide", "80"});
    EXPECT_STREQ(o.inputFile, "in.fa");
    EXPECT_STREQ(o.paramDir, "p");
    EXPECT_STREQ(o.htmlFile, "o.html");
    EXPECT_STREQ(o.scoreFile, "s.csv");
    EXPECT_EQ(o.width, 80);
    // The value is taken whatever it looks like, even another option.
    EXPECT_STREQ(Parse({"-i", "-d"}).inputFile, "-d");
}

TEST(CommandLine, SkippedArguments) {
    EXPECT_STREQ(Parse({"-x", "-i", "in.fa"}).inputFile, "in.fa");
    EXPECT_STREQ(Parse({"in.fa"}).inputFile, "sample.txt");
    EXPECT_STREQ(Parse({"-", "-i", "a.fa"}).inputFile, "a.fa");
    // An unknown option skips only itself: its next argument is scanned.
    EXPECT_STREQ(Parse({"-q", "-i", "b.fa", "c.fa"}).inputFile, "b.fa");
    EXPECT_STREQ(Parse({"-I", "x.fa"}).inputFile, "sample.txt");
}

TEST(CommandLine, LaterOptionOverrides) {
    EXPECT_STREQ(Parse({"-i", "a.fa", "-i", "b.fa"}).inputFile, "b.fa");
    // The width is checked after the scan: only the last one counts.
    EXPECT_EQ(Parse({"-w", "0", "-w", "7"}).width, 7);
}

TEST(CommandLine, OptionLastWithoutValueIsFatal) {
    for (const char* option : {"-i", "-d", "-w", "-h", "-s", "-width"}) {
        const std::string message = ParseError({"-i", "in.fa", option});
        EXPECT_EQ(message.rfind("talvo: ", 0), 0u) << message;
        EXPECT_NE(message.find(option), std::string::npos) << message;
        EXPECT_EQ(message.back(), '\n');
        EXPECT_EQ(message.find('\n'), message.size() - 1);
    }
}

TEST(CommandLine, WidthReadAsDecimalInteger) {
    EXPECT_EQ(Parse({"-w", " 12abc"}).width, 12);
    EXPECT_EQ(Parse({"-w", "+7"}).width, 7);
    EXPECT_EQ(Parse({"-w", "010"}).width, 10);
    EXPECT_EQ(Parse({"-w", "2147483647"}).width, INT_MAX);
    // Beyond the range of int the width stays the largest int, never wraps.
    EXPECT_EQ(Parse({"-w", "99999999999"}).width, INT_MAX);
}

TEST(CommandLine, WidthBelowOneIsFatal) {
    for (const char* width : {"0", "-3", "abc", "", "0x10", "-99999999999"}) {
        const std::string message = ParseError({"-w", width});
        EXPECT_NE(message.find("-w"), std::string::npos) << message;
        EXPECT_EQ(message.rfind("talvo: ", 0), 0u) << message;
        EXPECT_EQ(message.find('\n'), message.size() - 1) << message;
    }
    EXPECT_NE(ParseError({"-wide", "none"}).find("-wide"), std::string::npos);
}

// Whatever ends a run, it ends with one line: a fatal condition's own on its
// stream, the engine's in the program's words, anything else on standard
// error.
TEST(CommandLine, AnyExceptionEndsWithOneLine) {
    struct Ending {
        std::exception_ptr failure;
        std::string out, err;
    };
    const Ending endings[] = {
        {std::make_exception_ptr(EngineError(EngineError::Kind::NoMemory, "", 0, "no memory")), "exit\n", ""},
        {std::make_exception_ptr(EngineError(EngineError::Kind::CannotOpen, "m/p.txt", 0, "Is a directory")),
         "ioerr:can not open m/p.txt\n", ""},
        {std::make_exception_ptr(EngineError(EngineError::Kind::BadValue, "m/p.txt", 3, "field gap is 4")), "",
         "talvo: m/p.txt line 3: field gap is 4\n"},
        {std::make_exception_ptr(FatalError(Stream::Err, "talvo: option -w needs a value\n")), "",
         "talvo: option -w needs a value\n"},
        {std::make_exception_ptr(std::bad_alloc()), "", "talvo: out of memory\n"},
        {std::make_exception_ptr(std::length_error("basic_string::_M_create")), "",
         "talvo: basic_string::_M_create\n"},
        {std::make_exception_ptr(42), "", "talvo: stopped by an unexpected error\n"},
    };
    for (const Ending& e : endings) {
        std::ostringstream out;
        std::ostringstream err;
        ReportFailure(e.failure, out, err);
        EXPECT_EQ(out.str(), e.out);
        EXPECT_EQ(err.str(), e.err);
    }
}

// The program's run-wide settings and the paths of the class's files.
TEST(RunClassification, ComposedPathsAndSettings) {
    WebPredict run;
    run.seqLen = 1500;
    run.gcPressure = 52.0;
    READ_ROUND = 0;
    std::string paramPath, matrixPath;
    run.ClassifyRun(paramPath, matrixPath);
    EXPECT_EQ(paramPath, "./param-human/paramater/paramL1G2-ex0.txt");
    EXPECT_EQ(matrixPath, "./param-human/paramater/matrixL1G2-ex0.txt");
    EXPECT_EQ(GCID, 2);
    EXPECT_EQ(LENGTHID, 1);
    EXPECT_EQ(WINDOW_WIDTH, 196);
    EXPECT_EQ(READ_ROUND, 500);

    run.seqLen = 599;
    run.gcPressure = 30.0;
    run.paramDir = "models/";  // no separator is added or removed
    run.ClassifyRun(paramPath, matrixPath);
    EXPECT_EQ(paramPath, "models//paramater32/paramL0G0-ex0.txt");
    EXPECT_EQ(matrixPath, "models//paramater32/matrixL0G0-ex0.txt");
    EXPECT_EQ(WINDOW_WIDTH, 96);

    run.seqLen = 3001;
    run.gcPressure = 60.0;
    run.ClassifyRun(paramPath, matrixPath);
    EXPECT_EQ(paramPath, "models//paramater/paramL2G3-ex0.txt");
}

// The run object's operations, taken one by one in the order of a run on the
// program's model, give the prediction that the engine makes in one call.
TEST(RunSteps, StepByStepGivesTheEnginesPrediction) {
    ClearModel();
    WINDOW_WIDTH = 96;
    fh.resize(1);
    fh[0] = {2, 1.0, kStop, 0, 0, 0};  // no stop codon in the window: +1
    malkovChain[0][0] = 1.0;
    WebPredict run;
    // An inserted base shifts the second half of the coding region.
    run.baseArray = testing_support::Codes("ATG" + testing_support::Repeat("GCT", 70) + "G" +
                                           testing_support::Repeat("GCA", 70) + "TAA");
    run.arrayLen = run.seqLen = static_cast<int>(run.baseArray.size());
    WebPredict whole = run;
    whole.Predict();

    run.GetSmplsFromArray();
    const int n = static_cast<int>(run.seqLayout.windowClasses[0].size());
    std::vector<dpNode> nodes(3 * n);
    run.MakeDPMatrix(nodes.data(), run.seqLayout);
    std::vector<int> path;
    const double score = run.TraceBack(nodes.data(), n, path);
    run.FocusErrPlace(run.baseArray.data(), run.arrayLen, path);
    std::vector<int> framePath;
    int start = 0;
    int stop = 0;
    CodingRegion(path, score > kProgramOptions.acceptAbove, framePath, start, stop);

    EXPECT_EQ(score, whole.prediction.pathScore);
    EXPECT_EQ(framePath, whole.framePath);
    EXPECT_EQ(start, whole.seqLayout.startBase);
    EXPECT_EQ(stop, whole.seqLayout.stopBase);
    EXPECT_NE(std::count(framePath.begin(), framePath.end(), 1), 0);  // the shift is on the path
    smplTestData sample;
    bool centreStop = false;
    ScanWindow(sample, run.baseArray.data(), run.arrayLen, 0, WINDOW_WIDTH, centreStop);
    double windowScore = 0.0;
    EXPECT_EQ(run.CHKSmpl(sample, windowScore), run.seqLayout.windowClasses[0][WINDOW_WIDTH / 6]);
    EXPECT_EQ(windowScore, run.frameScore[0][WINDOW_WIDTH / 6]);
    ClearModel();
}

}  // namespace
}  // namespace talvo
