#include "SvgChart.h"

#include <algorithm>
#include <cstdio>

#include "Markup.h"

namespace talvo::scan {

namespace {

// The drawing's size in SVG units (it scales with the page) and the margins
// that hold the axes' ticks and titles and the legend.
constexpr double kWidth = 640;
constexpr double kHeight = 300;
constexpr double kLeft = 70;
constexpr double kRight = 24;
constexpr double kTop = 30;
constexpr double kBottom = 52;
constexpr int kMostYTicks = 5;

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// A step of 1, 2 or 5 times a power of ten that cuts [0, top] into at most
// kMostYTicks steps, top rounded up to a whole number of them.
std::uint64_t YStep(std::uint64_t top) {
    for (std::uint64_t power = 1;; power *= 10) {
        for (const std::uint64_t factor : {1, 2, 5}) {
            const std::uint64_t step = factor * power;
            if ((top + step - 1) / step <= kMostYTicks) return step;
        }
    }
}

void AppendText(std::string& out, double x, double y, const char* anchor, const std::string& text,
                const char* extra = "") {
    out += "<text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" text-anchor=\"" + anchor + "\"" + extra + ">" +
           EscapeMarkup(text) + "</text>";
}

}  // namespace

std::string Thousands(std::uint64_t value) {
    const std::string digits = std::to_string(value);
    std::string grouped;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    return grouped;
}

std::string SvgBarChart(const BarChart& chart) {
    const std::size_t bars = chart.bars.size();
    std::vector<std::uint64_t> totals(bars, 0);
    for (const ChartSeries& series : chart.series) {
        for (std::size_t b = 0; b < bars && b < series.counts.size(); ++b) totals[b] += series.counts[b];
    }
    const std::uint64_t most = bars == 0 ? 0 : *std::max_element(totals.begin(), totals.end());
    // Room above the highest bar for its label.
    const std::uint64_t reach = std::max<std::uint64_t>(chart.labels.empty() ? most : most + most / 6, 1);
    const std::uint64_t step = YStep(reach);
    const std::uint64_t top = (reach + step - 1) / step * step;
    const double plotWidth = kWidth - kLeft - kRight;
    const double plotHeight = kHeight - kTop - kBottom;
    const double band = plotWidth / static_cast<double>(std::max<std::size_t>(bars, 1));
    const double gap = band > 6 ? band * 0.15 : 0.5;
    const auto y = [&](double count) { return kTop + plotHeight * (1.0 - count / static_cast<double>(top)); };

    std::string svg = "<svg id=\"" + EscapeMarkup(chart.id) + "\" class=\"chart\" data-bins=\"" + std::to_string(bars) + "\" viewBox=\"0 0 " + Number(kWidth) +
                      " " + Number(kHeight) + "\" role=\"img\" aria-label=\"" + EscapeMarkup(chart.yTitle) + " by " +
                      EscapeMarkup(chart.xTitle) + "\">";
    // Grid lines and the y axis's ticks.
    for (std::uint64_t tick = 0; tick <= top; tick += step) {
        const double at = y(static_cast<double>(tick));
        svg += "<line class=\"grid\" x1=\"" + Number(kLeft) + "\" x2=\"" + Number(kWidth - kRight) + "\" y1=\"" +
               Number(at) + "\" y2=\"" + Number(at) + "\"/>";
        AppendText(svg, kLeft - 6, at + 4, "end", Thousands(tick));
    }
    // The bars, a series at a time.
    for (const ChartSeries& series : chart.series) {
        std::vector<std::uint64_t> below(bars, 0);
        for (const ChartSeries& under : chart.series) {
            if (&under == &series) break;
            for (std::size_t b = 0; b < bars && b < under.counts.size(); ++b) below[b] += under.counts[b];
        }
        for (std::size_t b = 0; b < bars; ++b) {
            const std::uint64_t count = b < series.counts.size() ? series.counts[b] : 0;
            const double upper = y(static_cast<double>(below[b] + count));
            const double lower = y(static_cast<double>(below[b]));
            std::string hover = chart.bars[b] + (series.name.empty() ? "" : ", " + series.name) + ": " +
                                Thousands(count) + " " + chart.unit;
            svg += "<rect class=\"bar\" data-series=\"" + EscapeMarkup(series.name) + "\" data-bin=\"" +
                   std::to_string(b) + "\" data-count=\"" + std::to_string(count) + "\" x=\"" +
                   Number(kLeft + band * static_cast<double>(b) + gap / 2) + "\" y=\"" + Number(upper) +
                   "\" width=\"" + Number(band - gap) + "\" height=\"" + Number(lower - upper) + "\" fill=\"" +
                   series.colour + "\"><title>" + EscapeMarkup(hover) + "</title></rect>";
        }
    }
    for (std::size_t b = 0; b < chart.labels.size() && b < bars; ++b) {
        AppendText(svg, kLeft + band * (static_cast<double>(b) + 0.5), y(static_cast<double>(totals[b])) - 5,
                   "middle", chart.labels[b], " class=\"value\"");
    }
    if (most == 0) AppendText(svg, kLeft + plotWidth / 2, kTop + plotHeight / 2, "middle", "none", " class=\"none\"");
    // The axes, their ticks and titles.
    const double base = kTop + plotHeight;
    svg += "<line class=\"axis\" x1=\"" + Number(kLeft) + "\" x2=\"" + Number(kWidth - kRight) + "\" y1=\"" +
           Number(base) + "\" y2=\"" + Number(base) + "\"/>";
    svg += "<line class=\"axis\" x1=\"" + Number(kLeft) + "\" x2=\"" + Number(kLeft) + "\" y1=\"" + Number(kTop) +
           "\" y2=\"" + Number(base) + "\"/>";
    for (const ChartTick& tick : chart.ticks) {
        const double at = kLeft + band * tick.at;
        svg += "<line class=\"axis\" x1=\"" + Number(at) + "\" x2=\"" + Number(at) + "\" y1=\"" + Number(base) +
               "\" y2=\"" + Number(base + 4) + "\"/>";
        AppendText(svg, at, base + 17, "middle", tick.text);
    }
    AppendText(svg, kLeft + plotWidth / 2, kHeight - 8, "middle", chart.xTitle, " class=\"title\"");
    AppendText(svg, 16, kTop + plotHeight / 2, "middle", chart.yTitle,
               (" class=\"title\" transform=\"rotate(-90 16 " + Number(kTop + plotHeight / 2) + ")\"").c_str());
    // The legend, right-aligned above the plot, when there are several series.
    if (chart.series.size() > 1) {
        double x = kWidth - kRight;
        for (auto series = chart.series.rbegin(); series != chart.series.rend(); ++series) {
            x -= 7.0 * static_cast<double>(series->name.size()) + 26;
            svg += "<rect class=\"key\" x=\"" + Number(x) + "\" y=\"8\" width=\"12\" height=\"12\" fill=\"" +
                   series->colour + "\"/>";
            AppendText(svg, x + 16, 18, "start", series->name);
        }
    }
    svg += "</svg>";
    return svg;
}

}  // namespace talvo::scan
