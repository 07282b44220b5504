#include "SummaryPage.h"

#include <cstdio>
#include <vector>

#include "Markup.h"
#include "SvgChart.h"

namespace talvo::scan {

namespace {

// Colours told apart by readers with any kind of colour vision.
constexpr const char* kPlus = "#0072B2";
constexpr const char* kMinus = "#E69F00";
constexpr const char* kOther = "#999999";
constexpr const char* kInsertionColour = "#009E73";
constexpr const char* kDeletionColour = "#D55E00";
constexpr const char* kSingle = "#56B4E9";

std::string Fixed(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// A non-negative number with decimals, its whole part grouped by thousands.
std::string Grouped(double value, int decimals) {
    const std::string text = Fixed(value, decimals);
    const std::size_t point = text.find('.');
    return Thousands(std::stoull(text.substr(0, point))) + (point == std::string::npos ? "" : text.substr(point));
}

std::string Share(std::uint64_t part, std::uint64_t whole) {
    if (whole == 0) return "";
    return " (" + Fixed(100.0 * static_cast<double>(part) / static_cast<double>(whole), 1) + " %)";
}

template <std::size_t N>
std::vector<std::uint64_t> Counts(const std::array<std::uint64_t, N>& bins) {
    return {bins.begin(), bins.end()};
}

// The first bins of a histogram up to its last that holds anything, and at
// least `fewest`: the empty bins of a long tail are not drawn.
template <std::size_t N>
std::vector<std::uint64_t> Drawn(const std::array<std::uint64_t, N>& bins, std::size_t fewest) {
    std::size_t shown = std::min(fewest, N);
    for (std::size_t b = shown; b < N; ++b) {
        if (bins[b] != 0) shown = b + 1;
    }
    return {bins.begin(), bins.begin() + static_cast<std::ptrdiff_t>(shown)};
}

// Ticks at the left edges of bins first, first + every, ... up to last
// (inclusive), labelled by label(bin).
template <class Label>
std::vector<ChartTick> EdgeTicks(int first, int every, int last, Label label) {
    std::vector<ChartTick> ticks;
    for (int bin = first; bin <= last; bin += every) ticks.push_back({static_cast<double>(bin), label(bin)});
    return ticks;
}

// A tick every 1, 2 or 5 times a power of ten bins, at most 12 over `bins`.
int TickEvery(std::size_t bins) {
    for (int power = 1;; power *= 10) {
        for (const int factor : {1, 2, 5}) {
            if (bins / static_cast<std::size_t>(factor * power) <= 12) return factor * power;
        }
    }
}

BarChart Chart(const char* id, const char* xTitle, const char* yTitle, const char* unit) {
    BarChart chart;
    chart.id = id;
    chart.xTitle = xTitle;
    chart.yTitle = yTitle;
    chart.unit = unit;
    return chart;
}

BarChart Outcomes(const RunFigures& f) {
    BarChart chart = Chart("reads-by-outcome", "outcome", "reads", "reads");
    chart.bars = {"with a coding region", "no coding region", "too short (< 30 bases)",
                  "skipped: a coding region below --min-confidence"};
    for (std::size_t b = 0; b < chart.bars.size(); ++b) chart.ticks.push_back({b + 0.5, chart.bars[b]});
    chart.ticks[0].text = "coding";
    chart.ticks[2].text = "too short";
    chart.ticks[3].text = "skipped";
    chart.series = {{"plus strand", kPlus, {f.coding[0], 0, 0, 0}},
                    {"minus strand", kMinus, {f.coding[1], 0, 0, 0}},
                    {"not by strand", kOther, {0, f.noCds, f.tooShort, f.skipped}}};
    for (const std::uint64_t n : {f.Coding(), f.noCds, f.tooShort, f.skipped}) {
        chart.labels.push_back(Thousands(n) + Share(n, f.reads));
    }
    return chart;
}

BarChart CdsLengths(const RunFigures& f) {
    BarChart chart = Chart("cds-length", "length of the coding region on the read (bases)", "reads", "reads");
    const int width = RunFigures::kLengthBinWidth;
    chart.series = {{"", kSingle, Drawn(f.cdsLength, 20)}};
    const int bins = static_cast<int>(chart.series[0].counts.size());
    for (int b = 0; b < bins; ++b) {
        chart.bars.push_back(b + 1 < RunFigures::kLengthBins
                                 ? Thousands(b * width) + "–" + Thousands(b * width + width - 1) + " bases"
                                 : Thousands(b * width) + " bases or more");
    }
    chart.ticks = EdgeTicks(0, TickEvery(bins), bins, [&](int b) { return Thousands(b * width); });
    return chart;
}

BarChart Ends(const RunFigures& f) {
    BarChart chart = Chart("cds-ends", "ends of the coding region", "reads with a coding region", "reads");
    chart.bars = {"complete: start and stop codon", "5′ partial: no start codon", "3′ partial: no stop codon",
                  "partial at both ends"};
    chart.ticks = {{0.5, "complete"}, {1.5, "5′ partial"}, {2.5, "3′ partial"}, {3.5, "both partial"}};
    const std::vector<std::uint64_t> counts = {f.ends[1][1], f.ends[0][1], f.ends[1][0], f.ends[0][0]};
    chart.series = {{"", kSingle, counts}};
    for (const std::uint64_t n : counts) chart.labels.push_back(Thousands(n) + Share(n, f.Coding()));
    return chart;
}

BarChart ErrorRates(const RunFigures& f) {
    BarChart chart = Chart("errors-per-kb", "errors per kilobase of the read's coding region",
                           "reads with a coding region", "reads");
    const int width = RunFigures::kRateBinWidth;
    chart.series = {{"", kSingle, Drawn(f.errorRate, 21)}};
    const int bins = static_cast<int>(chart.series[0].counts.size());
    chart.bars.push_back("no error");
    for (int b = 1; b < bins; ++b) {
        const int from = (b - 1) * width;
        chart.bars.push_back(b + 1 < RunFigures::kRateBins
                                 ? "at least " + std::to_string(from) + ", below " + std::to_string(from + width) +
                                       " per kb"
                                 : std::to_string(from) + " or more per kb");
    }
    chart.ticks = {{0.5, "none"}};
    const int every = TickEvery(static_cast<std::size_t>(bins));
    for (const ChartTick& tick :
         EdgeTicks(1 + every, every, bins, [&](int b) { return std::to_string((b - 1) * width); })) {
        chart.ticks.push_back(tick);
    }
    return chart;
}

// Charts whose bars are binned errors of both kinds, stacked.
template <std::size_t N>
BarChart ByKind(const char* id, const char* xTitle, const std::array<std::array<std::uint64_t, N>, kKinds>& bins) {
    BarChart chart = Chart(id, xTitle, "errors", "errors");
    chart.series = {{"insertion", kInsertionColour, Counts(bins[kInsertion])},
                    {"deletion", kDeletionColour, Counts(bins[kDeletion])}};
    return chart;
}

BarChart ErrorPositions(const RunFigures& f) {
    BarChart chart = ByKind("error-position", "place in the coding region, 5′ to 3′ (% of its length)", f.errorPosition);
    const int width = 100 / RunFigures::kPositionBins;
    for (int b = 0; b < RunFigures::kPositionBins; ++b) {
        chart.bars.push_back(std::to_string(b * width) + "–" + std::to_string(b * width + width) + " % of the region");
    }
    chart.ticks = EdgeTicks(0, 4, RunFigures::kPositionBins, [&](int b) { return std::to_string(b * width) + " %"; });
    return chart;
}

// Bars and ticks of the confidence bins, 0.05 wide, the last holding 1.00 too.
void ConfidenceBins(BarChart& chart) {
    for (int b = 0; b < RunFigures::kConfidenceBins; ++b) {
        chart.bars.push_back("confidence " + Fixed(b * 0.05, 2) + "–" + Fixed(b * 0.05 + (b == 19 ? 0.05 : 0.04), 2));
    }
    chart.ticks = EdgeTicks(0, 4, RunFigures::kConfidenceBins, [](int b) { return Fixed(b * 0.05, 1); });
}

BarChart ErrorConfidences(const RunFigures& f) {
    BarChart chart =
        ByKind("error-confidence", "confidence of the error (probability under the model)", f.errorConfidence);
    ConfidenceBins(chart);
    return chart;
}

// Not stacked: every region has both a start's and a stop's confidence.
BarChart EndConfidences(const RunFigures& f, int end) {
    BarChart chart = Chart(end == kStart ? "start-confidence" : "stop-confidence",
                           end == kStart ? "confidence of the start (probability under the gene model)"
                                         : "confidence of the stop (probability under the gene model)",
                           "coding regions", "regions");
    chart.series = {{"", end == kStart ? kPlus : kMinus, Counts(f.regionConfidence[end])}};
    ConfidenceBins(chart);
    return chart;
}

BarChart ErrorKinds(const RunFigures& f) {
    BarChart chart = Chart("error-kinds", "kind of error", "errors", "errors");
    chart.bars = {"insertion (an extra base)", "deletion (a missing base)"};
    chart.ticks = {{0.5, "insertion"}, {1.5, "deletion"}};
    chart.series = {{"plus strand", kPlus, {f.errors[kInsertion][0], f.errors[kDeletion][0]}},
                    {"minus strand", kMinus, {f.errors[kInsertion][1], f.errors[kDeletion][1]}}};
    for (const int kind : {kInsertion, kDeletion}) {
        chart.labels.push_back(Thousands(f.ErrorsOfKind(kind)) + Share(f.ErrorsOfKind(kind), f.Errors()));
    }
    return chart;
}

void AppendRow(std::string& out, const std::string& name, const std::string& value, const char* id) {
    out += "<tr><th scope=\"row\">" + EscapeMarkup(name) + "</th><td id=\"" + id + "\">" + EscapeMarkup(value) +
           "</td></tr>\n";
}

std::string FiguresTable(const RunFigures& f) {
    std::string table = "<table class=\"figures\">\n";
    AppendRow(table, "reads", Thousands(f.reads), "fig-reads");
    AppendRow(table, "bases", Thousands(f.bases), "fig-bases");
    AppendRow(table, "with a coding region",
              Thousands(f.Coding()) + Share(f.Coding(), f.reads) + ": " + Thousands(f.coding[0]) + " plus strand, " +
                  Thousands(f.coding[1]) + " minus strand",
              "fig-coding");
    AppendRow(table, "without a coding region", Thousands(f.noCds) + Share(f.noCds, f.reads), "fig-no-cds");
    AppendRow(table, "too short (< 30 bases)", Thousands(f.tooShort) + Share(f.tooShort, f.reads), "fig-too-short");
    AppendRow(table, "skipped (a coding region below --min-confidence)", Thousands(f.skipped) + Share(f.skipped, f.reads),
              "fig-skipped");
    AppendRow(table, "coding-region length",
              f.Coding() == 0 ? "–"
                              : "mean " + Grouped(f.MeanCdsLength(), 1) + " bases, shortest " +
                                    Thousands(f.shortestCds) + ", longest " + Thousands(f.longestCds),
              "fig-cds-length");
    AppendRow(table, "complete coding regions",
              Thousands(f.ends[1][1]) + Share(f.ends[1][1], f.Coding()) + "; 5′ partial " + Thousands(f.ends[0][1]) +
                  ", 3′ partial " + Thousands(f.ends[1][0]) + ", both " + Thousands(f.ends[0][0]),
              "fig-ends");
    AppendRow(table, "bases in coding regions", Thousands(f.codingBases), "fig-coding-bases");
    AppendRow(table, "errors called",
              Thousands(f.Errors()) + ": " + Thousands(f.ErrorsOfKind(kInsertion)) + " insertions, " +
                  Thousands(f.ErrorsOfKind(kDeletion)) + " deletions; " + Thousands(f.Errors(0)) + " plus strand, " +
                  Thousands(f.Errors(1)) + " minus strand",
              "fig-errors");
    AppendRow(table, "errors per kilobase of coding region", Fixed(f.ErrorsPerKb(), 2), "fig-errors-per-kb");
    AppendRow(table, "reads with an error called",
              Thousands(f.readsWithErrors) + Share(f.readsWithErrors, f.Coding()) + " of those with a coding region",
              "fig-reads-with-errors");
    AppendRow(table, "mean confidence of the errors",
              f.Confidences() == 0 ? "– (the window model gives none)"
                                   : Fixed(f.MeanConfidence(), 2) + " over " + Thousands(f.Confidences()) + " errors",
              "fig-confidence");
    AppendRow(table, "mean confidence of the starts and stops",
              f.RegionConfidences() == 0
                  ? "– (the gene model gives them)"
                  : Fixed(f.MeanRegionConfidence(kStart), 2) + " and " + Fixed(f.MeanRegionConfidence(kStop), 2) +
                        " over " + Thousands(f.RegionConfidences()) + " coding regions",
              "fig-region-confidence");
    return table + "</table>\n";
}

void AppendFigure(std::string& out, const std::string& heading, const BarChart& chart, const std::string& caption) {
    out += "<figure>\n<h2>" + EscapeMarkup(heading) + "</h2>\n" + SvgBarChart(chart) + "\n<figcaption>" +
           EscapeMarkup(caption) + "</figcaption>\n</figure>\n";
}

constexpr const char* kStyle = R"(
body { font-family: system-ui, -apple-system, "Segoe UI", Roboto, "Helvetica Neue", Arial, sans-serif;
       margin: 0 auto; max-width: 1400px; padding: 1em 2em; color: #222; background: #fff; }
h1 { font-size: 1.5em; margin-bottom: 0.2em; }
h2 { font-size: 1.05em; margin: 0 0 0.3em 0; }
p.run { margin: 0.2em 0; color: #444; }
pre.command { background: #f4f4f4; padding: 0.5em 0.8em; white-space: pre-wrap; word-break: break-all; }
table.figures { border-collapse: collapse; margin: 1em 0; }
table.figures th, table.figures td { text-align: left; padding: 0.25em 1em 0.25em 0; border-bottom: 1px solid #e4e4e4; }
table.figures th { font-weight: 600; }
.charts { display: grid; grid-template-columns: repeat(auto-fit, minmax(520px, 1fr)); gap: 1.5em 2em; }
figure { margin: 0; }
figcaption { font-size: 0.9em; color: #555; }
svg.chart { width: 100%; height: auto; font-size: 11px; }
svg.chart text { fill: #333; }
svg.chart text.title { font-size: 12px; }
svg.chart text.value { font-size: 11px; font-weight: 600; }
svg.chart text.none { fill: #999; font-size: 14px; }
svg.chart line.grid { stroke: #e8e8e8; }
svg.chart line.axis { stroke: #555; }
svg.chart rect.bar:hover { opacity: 0.7; }
)";

}  // namespace

std::string SummaryPage(const RunFigures& f, const RunDescription& run) {
    std::string page = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                       "<title>talvo-scan summary: " + EscapeMarkup(run.sample) + "</title>\n<style>" + kStyle +
                       "</style>\n</head>\n<body>\n";
    page += "<h1>talvo-scan summary: " + EscapeMarkup(run.sample) + "</h1>\n";
    page += "<p class=\"run\" id=\"provenance\">" + EscapeMarkup(run.provenance) + "</p>\n";
    page += "<p class=\"run\">Command line" +
            std::string(run.runs > 1 ? " (of the first of " + Thousands(run.runs) + " runs whose figures are added up here)"
                                     : "") +
            ":</p>\n<pre class=\"command\" id=\"command\">" + EscapeMarkup(run.command) + "</pre>\n";
    page += FiguresTable(f);
    page += "<div class=\"charts\">\n";
    AppendFigure(page, "Reads by outcome and strand", Outcomes(f),
                 "Each read is predicted on both strands (unless --strand says otherwise); the strand with a coding "
                 "region wins. Hover over a bar for its count.");
    AppendFigure(page, "Length of the coding regions", CdsLengths(f),
                 "Bins of " + std::to_string(RunFigures::kLengthBinWidth) + " bases, up to the longest region; a last bin "
                 "holds every region of " + Thousands((RunFigures::kLengthBins - 1) * RunFigures::kLengthBinWidth) +
                     " bases or more.");
    AppendFigure(page, "Ends of the coding regions", Ends(f),
                 "Complete at the 5′ end: the region begins with a start codon (ATG); at the 3′ end: it ends with a "
                 "stop codon in its frame. A region cut by the read's start or end is partial there.");
    AppendFigure(page, "Errors per kilobase of coding region", ErrorRates(f),
                 "Per read with a coding region: insertions and deletions called per 1,000 bases of its region, in "
                 "bins of " + std::to_string(RunFigures::kRateBinWidth) + " up to the highest (a last bin holds 100 or "
                 "more); the first bar holds the reads without an error. Over the whole run: " + Fixed(f.ErrorsPerKb(), 2) + " per kilobase.");
    AppendFigure(page, "Where the errors fall along the coding region", ErrorPositions(f),
                 "Place of each error from the region's 5′ end (0 %) to its 3′ end (100 %), in the direction of "
                 "translation, on either strand.");
    AppendFigure(page, "Kinds of error", ErrorKinds(f),
                 "An insertion is an extra base in the read, a deletion a base missing from it; by the strand of "
                 "the read's coding region.");
    const auto endCaption = [&](const std::string& verb) {
        return f.RegionConfidences() == 0
                   ? std::string("Only the gene model (--use gene, the default) gives its coding regions' starts and "
                                 "stops a confidence.")
                   : "Per coding region kept: the probability, under the gene model, that it " + verb +
                         " where it does; bins of 0.05.";
    };
    AppendFigure(page, "Confidence of the starts", EndConfidences(f, kStart), endCaption("starts"));
    AppendFigure(page, "Confidence of the stops", EndConfidences(f, kStop), endCaption("stops"));
    AppendFigure(page, "Confidence of the errors", ErrorConfidences(f),
                 f.Confidences() == 0
                     ? std::string("The window model gives its errors no confidence; the gene and codon models do.")
                     : "The probability, under the model, that the read holds an error of that kind within a few "
                       "bases; bins of 0.05.");
    page += "</div>\n</body>\n</html>\n";
    return page;
}

}  // namespace talvo::scan
