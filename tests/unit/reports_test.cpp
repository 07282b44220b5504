// The text report, the HTML page and the per-base score file of a run.
#include <gtest/gtest.h>

#include <climits>
#include <sstream>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "Variant.h"
#include "WebPredict.h"

namespace talvo {
namespace {

// Puts a sequence into a run object as the FASTA reader would (no length
// check, so that short report examples can be built).
void SetSequence(WebPredict& run, const std::string& bases) {
    run.baseArray = testing_support::Codes(bases);
    run.arrayLen = static_cast<int>(bases.size());
    run.seqLen = run.arrayLen;
}

const std::string kExampleBases = "ATGATGCATGCAGTTTGGGCCCAA";

// A run object as the prediction leaves it: the errors follow from the path.
WebPredict MakeRun(const std::string& bases, std::vector<int> framePath, int start, int stop) {
    WebPredict run;
    SetSequence(run, bases);
    run.fastaHeader = "ex";
    run.gcPressure = 50.0;
#ifndef TALVO_VARIANT_B
    run.dpScore = 2.0;
#endif
    run.framePath = std::move(framePath);
    run.prediction.errors = ErrorsOnPath(run.framePath, run.arrayLen);
    run.seqLayout.startBase = start;
    run.seqLayout.stopBase = stop;
    return run;
}

// The 24-base example: an insertion at base 12 (codon 3 in frame 0, codon 4
// in frame 1), coding region 3 .. 21.
WebPredict Example() { return MakeRun(kExampleBases, {-1, 0, 0, 0, 1, 1, 1, -1}, 3, 21); }

std::string Text(const WebPredict& run, int width) {
    std::ostringstream out;
    EXPECT_EQ(run.OutNormLayout(width, out), 0);
    return out.str();
}
std::string Html(const WebPredict& run, int width) {
    std::ostringstream out;
    EXPECT_EQ(run.OutHtmlLayout(width, out), 0);
    return out.str();
}
std::string Scores(const WebPredict& run) {
    std::ostringstream out;
    EXPECT_EQ(run.OutValLayout(60, out), 0);
    return out.str();
}
// The marked sequence: everything after the first empty line, unwrapped.
std::string Marked(const std::string& report) {
    std::string text = report.substr(report.find("\n\n") + 2);
    std::erase(text, '\n');
    return text;
}

const std::string kDpLine = kVariantB ? "" : "DP SCORE: 2\n";

TEST(TextReport, ExampleAtWidth10) {
    EXPECT_EQ(Text(Example(), 10), "FASTA HEADER: ex\nSEQ LENGTH: 24\nGC PRESSURE: 50%\n" + kDpLine +
                                       "START: 4 STOP: 22\nINSERTION_ERR: G@13\n\n"
                                       "ATG{ATGCAT\nGCA(G)TTTG\nGGCCC}AA\n");
}

TEST(TextReport, NoCodingRegion) {
    EXPECT_EQ(Text(MakeRun(kExampleBases, std::vector<int>(8, -1), -1, -1), 10),
              "FASTA HEADER: ex\nSEQ LENGTH: 24\nGC PRESSURE: 50%\n" + kDpLine +
                  "START: 0 STOP: 0\n\nNO CODING REGION WAS FOUND IN THIS SEQUENCE.\n");
}

TEST(TextReport, NumberFormats) {
    WebPredict run = MakeRun(kExampleBases, std::vector<int>(8, -1), -1, -1);
    for (auto [gc, shown] : {std::pair{52.3333333, "52.3"}, {7.25, "7.25"}, {100.0, "100"}}) {
        run.gcPressure = gc;
        EXPECT_NE(Text(run, 10).find(std::string("GC PRESSURE: ") + shown + "%\n"), std::string::npos);
    }
#ifndef TALVO_VARIANT_B
    run.dpScore = 123.456789;
    EXPECT_NE(Text(run, 10).find("DP SCORE: 123.46\n"), std::string::npos);
    run.dpScore = -10.0;
    EXPECT_NE(Text(run, 10).find("DP SCORE: -10\n"), std::string::npos);
#else
    EXPECT_EQ(Text(run, 10).find("DP SCORE"), std::string::npos);
#endif
}

TEST(TextReport, WrappingAtAnExactMultipleOfTheWidth) {
    const WebPredict run = MakeRun("ATGGCTGCTGCTGCTGCT", std::vector<int>(6, 0), 0, 17);
    const std::string report = Text(run, 10);
    const std::string tail = "START: 1 STOP: 18\n\n{ATGGCTGCT\nGCTGCTGCT}\n";
    ASSERT_GE(report.size(), tail.size());
    EXPECT_EQ(report.substr(report.size() - tail.size()), tail);
    EXPECT_EQ(Marked(Text(run, 20)), "{ATGGCTGCTGCTGCTGCT}");
    EXPECT_NE(Text(run, 20).find("\n\n{ATGGCTGCTGCTGCTGCT}\n"), std::string::npos);
    // The largest width: one line.
    EXPECT_NE(Text(run, INT_MAX).find("\n\n{ATGGCTGCTGCTGCTGCT}\n"), std::string::npos);
}

TEST(TextReport, UnknownBasesDeletionsAndAStopBeyondTheEnd) {
    std::string bases = kExampleBases;
    bases[12] = 'N';
    const std::string withUnknown = Text(MakeRun(bases, {-1, 0, 0, 0, 1, 1, 1, -1}, 3, 21), 100);
    EXPECT_NE(withUnknown.find("INSERTION_ERR: n@13\n"), std::string::npos);
    EXPECT_EQ(Marked(withUnknown), "ATG{ATGCATGCA(n)TTTGGGCCC}AA");

    const std::string deletion = Text(MakeRun(kExampleBases, {-1, 0, 0, 0, 2, 2, 2, -1}, 3, 22), 100);
    EXPECT_NE(deletion.find("\nDELETION_ERR: 15\n\n"), std::string::npos);
    EXPECT_EQ(Marked(deletion), "ATG{ATGCATGCAGTXTTGGGCCCA}A");

    const std::string beyond = Text(MakeRun(kExampleBases, {-1, 2, 2, 2, 2, 2, 2, 2}, 5, 25), 100);
    EXPECT_NE(beyond.find("START: 6 STOP: 26\n"), std::string::npos);
    EXPECT_EQ(Marked(beyond), "ATGAT{GCATGCAGTTTGGGCCCAA");
}

const std::string kHtmlHead = "<html>\n<body><font face=\"Courier\"><HR>FASTA HEADER: ex<BR>\n"
                              "SEQ LENGTH: 24<BR>\nGC PRESSURE: 50%<BR>\n" +
                              std::string(kVariantB ? "" : "DP SCORE: 2<BR>\n");

TEST(HtmlReport, ExampleAtWidth10) {
    const std::string expected =
        kHtmlHead + "START: 4 STOP: 22<BR>\n<HR>INSERTION_ERR: G@13<BR>\n<BR>\n<BR>\n"
        "<BR>ATG<font color=\"red\">ATGCATG<BR>CA</font><font color=\"blue\"><S>G</S></font>"
        "<font color=red>TTTGGGC<BR>CC</font><font color=\"black\">AA"
        "<BR>\n<BR>\n<HR>"
        "1<BR>\nATGATGCATG<BR>\n---*******<BR>\n----------<BR>\n----------<BR>\n"
        "11<BR>\nCAGTTTGGGC<BR>\n**--------<BR>\n---*******<BR>\n----------<BR>\n"
        "21<BR>\nCCAA<BR>\n----<BR>\n**--<BR>\n----<BR>\n"
        "<BR>\n";
    EXPECT_EQ(Html(Example(), 10), expected);
}

TEST(HtmlReport, NoCodingRegion) {
    EXPECT_EQ(Html(MakeRun(kExampleBases, std::vector<int>(8, -1), -1, -1), 10),
              kHtmlHead + "START: 0 STOP: 0<BR>\n<HR>\nNO CODING REGION WAS FOUND IN THIS SEQUENCE.\n");
}

// The header is text of the page, never markup.
TEST(HtmlReport, HeaderIsEscaped) {
    WebPredict run = Example();
    run.fastaHeader = "<script>alert(\"x\")</script> & co";
    const std::string page = Html(run, 10);
    EXPECT_NE(page.find("FASTA HEADER: &lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; co<BR>\n"),
              std::string::npos)
        << page;
    EXPECT_EQ(page.find("<script>"), std::string::npos);
}

TEST(HtmlReport, DeletionMarkCarriesPastABreak) {
    // Deletion before base 4 (frame 2 -> 1): the mark and its base take the
    // visible count from 4 to 6, so the break at 5 is skipped until 10.
    const WebPredict run = MakeRun("ATGATGCATGCAGTTTGGGC", {2, 1, 1, 1, 1, 1}, 2, 18);
    const std::string page = Html(run, 5);
    EXPECT_NE(page.find("<HR>DELETION_ERR: 5<BR>\n<BR>\n"), std::string::npos);
    EXPECT_NE(page.find("<BR>AT<font color=\"red\">GA</font><font color=blue>X</font>"
                        "<font color=red>TGCAT<BR>G"),
              std::string::npos)
        << page;
}

TEST(HtmlReport, LengthAMultipleOfTheWidthEndsWithAnEmptyBlock) {
    const std::string bases = kExampleBases + "GGCCAA";
    const std::string page = Html(MakeRun(bases, {-1, 0, 0, 0, 0, 0, 0, 0, 0, -1}, 3, 26), 10);
    const std::string tail = "21<BR>\nCCAAGGCCAA<BR>\n";
    EXPECT_NE(page.find(tail), std::string::npos);
    const std::string end = "31<BR>\n<BR>\n<BR>\n<BR>\n<BR>\n<BR>\n";
    EXPECT_EQ(page.substr(page.size() - end.size()), end);
    // The largest width: one block holding every base.
    const std::string wide = Html(MakeRun(bases, {-1, 0, 0, 0, 0, 0, 0, 0, 0, -1}, 3, 26), INT_MAX);
    EXPECT_NE(wide.find("<HR>1<BR>\n" + bases + "<BR>\n"), std::string::npos);
    EXPECT_EQ(wide.find("31<BR>"), std::string::npos);
}

// Scores 10 + m in frame 0, 20 + m in frame 1, 30 + m in frame 2.
WebPredict ScoredRun(int length) {
    WebPredict run;
    std::string bases = testing_support::Repeat("ATGC", 9).substr(0, length);
    bases[1] = 'N';
    SetSequence(run, bases);
    for (int f = 0; f < 3; ++f)
        for (int m = 0; m < 11; ++m) run.frameScore[f].push_back(10.0 * (f + 1) + m);
    return run;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(ScoreFile, RowsForLengths30To32) {
    const std::vector<std::string> l30 = Lines(Scores(ScoredRun(30)));
    ASSERT_EQ(l30.size(), 30u);
    EXPECT_EQ(l30[0], "A,10,0,0");
    EXPECT_EQ(l30[1], "n,10,20,0");
    EXPECT_EQ(l30[2], "G,10,20,30");
    EXPECT_EQ(l30[3], "C,11,20,30");
    EXPECT_EQ(l30[4], "A,11,21,30");
    EXPECT_EQ(l30[5], "T,11,21,31");
    EXPECT_EQ(l30[26], "G,18,28,38");
    for (int j = 27; j < 30; ++j) EXPECT_EQ(l30[j].substr(2), "18,28,37") << j;

    const std::vector<std::string> l31 = Lines(Scores(ScoredRun(31)));
    ASSERT_EQ(l31.size(), 31u);
    for (int j = 27; j < 30; ++j) EXPECT_EQ(l31[j].substr(2), "18,28,37") << j;
    EXPECT_EQ(l31[30].substr(2), "19,29,38");

    const std::vector<std::string> l32 = Lines(Scores(ScoredRun(32)));
    ASSERT_EQ(l32.size(), 32u);
    EXPECT_EQ(l32[30].substr(2), "19,29,38");
    EXPECT_EQ(l32[31].substr(2), "19,29,38");
    EXPECT_EQ(l32[26].substr(2), "18,28,38");
}

TEST(ScoreFile, NumberFormats) {
    WebPredict run = ScoredRun(30);
    run.frameScore[0][0] = -10.0;
    run.frameScore[1][0] = 0.000012345;
    run.frameScore[2][0] = 1234567.0;
    run.frameScore[0][1] = 2.5;
    const std::vector<std::string> lines = Lines(Scores(run));
    EXPECT_EQ(lines[2], "G,-10,1.2345e-05,1.23457e+06");
    EXPECT_EQ(lines[3], "C,2.5,1.2345e-05,1.23457e+06");
}

}  // namespace
}  // namespace talvo
