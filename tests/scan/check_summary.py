#!/usr/bin/env python3
"""Checks of talvo-scan's stats file and summary page, one per call:

  check_summary.py table TABLE STATS     the figures agree with the table
  check_summary.py page DOM STATS        every chart of the page (its DOM as
                                         a browser left it) holds the figures
  check_summary.py multiqc DATA STATS    MultiQC's table holds the row
  check_summary.py same STATS STATS      the same figures (command line and
                                         number of runs aside)

Prints what differs and exits 1, or exits 0.
"""
import json
import sys
from html.parser import HTMLParser


def load(path):
    with open(path) as f:
        return json.load(f)


def figures_of_table(path):
    """The figures, counted from the table's lines (bins as the README gives them)."""
    reads = {"total": 0, "bases": 0, "coding_plus": 0, "coding_minus": 0, "no_cds": 0, "too_short": 0, "skipped": 0}
    lengths, rates, sum_, shortest, longest = [0] * 61, [0] * 102, 0, 0, 0
    errors = {"insertion_plus": 0, "insertion_minus": 0, "deletion_plus": 0, "deletion_minus": 0,
              "reads_with_errors": 0}
    position = {"insertion": [0] * 20, "deletion": [0] * 20}
    confidence = {"insertion": [0] * 20, "deletion": [0] * 20}
    hundredths = 0
    region = {"start": [0] * 20, "stop": [0] * 20, "start_sum_hundredths": 0, "stop_sum_hundredths": 0}
    ends = {"complete": 0, "five_prime_partial": 0, "three_prime_partial": 0, "both_partial": 0}
    with open(path) as table:
        for line in table:
            if line.startswith("#"):
                continue
            f = line.rstrip("\n").split("\t")
            if f[0] == "read":
                column = {name: i for i, name in enumerate(f)}
                continue
            reads["total"] += 1
            reads["bases"] += int(f[1])
            if f[8] != "cds":
                reads["skipped" if f[8] == "low_confidence" else f[8]] += 1
                continue
            strand = "plus" if f[2] == "+" else "minus"
            reads["coding_" + strand] += 1
            first, last, n = int(f[3]), int(f[4]), int(f[5])
            length = last - first + 1
            sum_ += length
            shortest = length if shortest == 0 else min(shortest, length)
            longest = max(longest, length)
            lengths[min(length // 100, 60)] += 1
            ends[{("complete", "complete"): "complete", ("partial", "complete"): "five_prime_partial",
                  ("complete", "partial"): "three_prime_partial", ("partial", "partial"): "both_partial"}[
                (f[column["cds_5prime"]], f[column["cds_3prime"]])]] += 1
            rates[0 if n == 0 else 1 + min(n * 1000 // length, 100)] += 1
            errors["reads_with_errors"] += n > 0
            for end in ("start", "stop"):
                if end + "_confidence" in column:  # the gene model's
                    h = int(f[column[end + "_confidence"]].replace(".", ""))
                    region[end][min(h // 5, 19)] += 1
                    region[end + "_sum_hundredths"] += h
            calls = f[6].split(",") if n else []
            confs = f[column["error_confidence"]].split(",") if n and "error_confidence" in column else []
            for i, call in enumerate(calls):
                kind = "insertion" if call[0] == "I" else "deletion"
                errors[f"{kind}_{strand}"] += 1
                pos = int(call[1:])
                offset = pos - first if strand == "plus" else last - pos + (kind == "deletion")
                position[kind][min(max(offset, 0) * 20 // length, 19)] += 1
                if confs:
                    h = int(confs[i].replace(".", ""))
                    confidence[kind][min(h // 5, 19)] += 1
                    hundredths += h
    return {
        "reads": reads,
        "cds_length": {"bin_width": 100, "counts": lengths, "sum": sum_, "shortest": shortest, "longest": longest},
        "ends": ends,
        "errors": errors,
        "errors_per_kb": {"bin_width": 1, "counts": rates},
        "error_position": {"bins": 20, **position},
        "error_confidence": {"bin_width": 0.05, **confidence, "sum_hundredths": hundredths},
        "region_confidence": {"bin_width": 0.05, **region},
    }


class Charts(HTMLParser):
    """Each chart's data-bins and its bars' counts by series; the table's cells by id."""

    def __init__(self):
        super().__init__()
        self.charts, self.cells, self.chart, self.cell = {}, {}, None, None

    def handle_starttag(self, tag, attrs):
        a = dict(attrs)
        if tag == "svg" and "chart" in a.get("class", ""):
            self.chart = self.charts[a["id"]] = {"bins": int(a["data-bins"]), "series": {}}
        elif tag == "rect" and a.get("class") == "bar":
            series = self.chart["series"].setdefault(a["data-series"], [])
            if int(a["data-bin"]) != len(series):
                raise ValueError(f"bar {a['data-bin']} out of order")
            series.append(int(a["data-count"]))
        elif tag == "td" and "id" in a:
            self.cell = a["id"]
            self.cells[self.cell] = ""

    def handle_data(self, data):
        if self.cell:
            self.cells[self.cell] += data

    def handle_endtag(self, tag):
        if tag == "td":
            self.cell = None


def drawn(counts, fewest):
    """The bins a histogram draws: up to its last non-empty one, at least `fewest`."""
    last = max([i + 1 for i, n in enumerate(counts) if n] + [fewest])
    return counts[:last]


def expected_charts(t):
    r, e = t["reads"], t["errors"]
    coding = r["coding_plus"] + r["coding_minus"]
    return {
        "reads-by-outcome": {"plus strand": [r["coding_plus"], 0, 0, 0], "minus strand": [r["coding_minus"], 0, 0, 0],
                             "not by strand": [0, r["no_cds"], r["too_short"], r["skipped"]]},
        "cds-length": {"": drawn(t["cds_length"]["counts"], 20)},
        "cds-ends": {"": [t["ends"][k] for k in ("complete", "five_prime_partial", "three_prime_partial",
                                                  "both_partial")]},
        "errors-per-kb": {"": drawn(t["errors_per_kb"]["counts"], 21)},
        "error-position": {k: t["error_position"][k] for k in ("insertion", "deletion")},
        "error-kinds": {"plus strand": [e["insertion_plus"], e["deletion_plus"]],
                        "minus strand": [e["insertion_minus"], e["deletion_minus"]]},
        "error-confidence": {k: t["error_confidence"][k] for k in ("insertion", "deletion")},
        "start-confidence": {"": t["region_confidence"]["start"]},
        "stop-confidence": {"": t["region_confidence"]["stop"]},
    }, {"fig-reads": f"{r['total']:,}", "fig-coding": f"{coding:,} (", "fig-skipped": f"{r['skipped']:,}"}


def main(check, first, stats_path):
    stats = load(stats_path)
    talvo = stats["talvo_scan"]
    problems = []
    if check == "table":
        for key, value in figures_of_table(first).items():
            if talvo[key] != value:
                problems.append(f"{key}: stats {talvo[key]}, table {value}")
    elif check == "page":
        page = Charts()
        with open(first) as dom:
            page.feed(dom.read())
        charts, cells = expected_charts(talvo)
        for chart, series in charts.items():
            got = page.charts.get(chart)
            if got is None:
                problems.append(f"no chart {chart}")
            elif got["series"] != series or any(len(c) != got["bins"] for c in series.values()):
                problems.append(f"{chart}: page {got}, stats {series}")
        for cell, start in cells.items():
            if not page.cells.get(cell, "").startswith(start):
                problems.append(f"table cell {cell}: {page.cells.get(cell)!r}, expected {start!r}...")
    elif check == "multiqc":
        with open(first) as data:
            header, *rows = [line.rstrip("\n").split("\t") for line in data]
        expected = {sample: {k: str(v) for k, v in row.items()} for sample, row in stats["data"].items()}
        got = {row[0]: {k: v for k, v in zip(header[1:], row[1:]) if v != ""} for row in rows}
        for sample, row in expected.items():
            for key, value in row.items():
                if float(got.get(sample, {}).get(key, "nan")) != float(value):
                    problems.append(f"MultiQC {sample}.{key}: {got.get(sample, {}).get(key)}, stats {value}")
    elif check == "same":
        other = load(first)
        for doc in (stats, other):
            doc["talvo_scan"].pop("command")
            doc["talvo_scan"].pop("runs")
        if stats != other:
            problems.append(f"{first} and {stats_path} hold different figures")
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
