// Bar charts as inline SVG for a self-contained HTML page: axes with their
// titles and ticks, bars stacked by series, each bar's count in its hover
// text (and, on request, above it).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace talvo::scan {

struct ChartSeries {
    std::string name;  // in the legend and the hover text; empty for a lone series
    std::string colour;
    std::vector<std::uint64_t> counts;  // one per bar
};

// A label under the x axis, at a place in bar widths: 0 is the left edge of
// the first bar, 0.5 its middle.
struct ChartTick {
    double at;
    std::string text;
};

struct BarChart {
    std::string id;          // the svg element's id
    std::string xTitle;      // the axes' titles, with their units
    std::string yTitle;
    std::string unit;        // what is counted, in the hover text ("reads")
    std::vector<std::string> bars;  // what each bar holds, in the hover text
    std::vector<ChartTick> ticks;
    std::vector<ChartSeries> series;  // stacked, the first at the bottom
    std::vector<std::string> labels;  // above each bar; empty: none
};

// The chart as an <svg> element whose data-bins attribute gives the number
// of bars. Every bar of every series is a <rect
// class="bar"> with data-series, data-bin and data-count attributes (also a
// bar of count 0, drawn without height) and a <title> for its hover text.
std::string SvgBarChart(const BarChart& chart);


// 1234567 as "1,234,567".
std::string Thousands(std::uint64_t value);

}  // namespace talvo::scan
