#include "StatsFile.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <nlohmann/json.hpp>

namespace talvo::scan {

namespace {

using Json = nlohmann::ordered_json;

constexpr int kFormat = 2;

double Rounded(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

double Percent(std::uint64_t part, std::uint64_t whole) {
    return whole == 0 ? 0.0 : Rounded(100.0 * static_cast<double>(part) / static_cast<double>(whole), 2);
}

// A column of the MultiQC table.
Json Column(const char* title, const char* description, const char* format, const char* scale,
            const char* suffix = nullptr) {
    Json column = {{"title", title}, {"description", description}, {"format", format}, {"scale", scale}};
    if (suffix != nullptr) {
        column["suffix"] = suffix;
        column["min"] = 0;
        column["max"] = 100;
    }
    return column;
}

Json Headers() {
    return {
        {"reads", Column("Reads", "Reads in the input", "{:,.0f}", "Greys")},
        {"coding_percent", Column("Coding", "Reads with a coding region", "{:,.1f}", "Greens", "%")},
        {"minus_percent",
         Column("Minus", "Of the reads with a coding region, those on the minus strand", "{:,.1f}", "Purples", "%")},
        {"too_short_percent", Column("Too short", "Reads shorter than 30 bases", "{:,.1f}", "Reds", "%")},
        {"complete_percent",
         Column("Complete", "Of the reads with a coding region, those with its start and its stop codon", "{:,.1f}",
                "Blues", "%")},
        {"mean_cds_length", Column("CDS length", "Mean length of the coding regions (bases)", "{:,.0f}", "Blues")},
        {"errors_per_kb",
         Column("Errors/kb", "Insertions and deletions called per kilobase of coding region", "{:,.2f}", "OrRd")},
        {"reads_with_errors_percent",
         Column("With errors", "Of the reads with a coding region, those with an error called", "{:,.1f}", "Oranges",
                "%")},
        {"mean_error_confidence",
         Column("Confidence", "Mean confidence of the errors called (gene or codon model)", "{:,.2f}", "RdYlGn")},
        {"mean_start_confidence",
         Column("Start conf.", "Mean confidence of the coding regions' starts (gene model)", "{:,.2f}", "RdYlGn")},
        {"mean_stop_confidence",
         Column("Stop conf.", "Mean confidence of the coding regions' stops (gene model)", "{:,.2f}", "RdYlGn")},
    };
}

// The MultiQC table's row: headline figures derived from the counts.
Json Row(const RunFigures& f) {
    Json row = {
        {"reads", f.reads},
        {"coding_percent", Percent(f.Coding(), f.reads)},
        {"minus_percent", Percent(f.coding[1], f.Coding())},
        {"too_short_percent", Percent(f.tooShort, f.reads)},
        {"complete_percent", Percent(f.ends[1][1], f.Coding())},
        {"mean_cds_length", Rounded(f.MeanCdsLength(), 1)},
        {"errors_per_kb", Rounded(f.ErrorsPerKb(), 3)},
        {"reads_with_errors_percent", Percent(f.readsWithErrors, f.Coding())},
    };
    if (f.Confidences() > 0) row["mean_error_confidence"] = Rounded(f.MeanConfidence(), 3);
    if (f.RegionConfidences() > 0) {
        row["mean_start_confidence"] = Rounded(f.MeanRegionConfidence(kStart), 3);
        row["mean_stop_confidence"] = Rounded(f.MeanRegionConfidence(kStop), 3);
    }
    return row;
}

template <std::size_t N>
Json Counts(const std::array<std::uint64_t, N>& bins) {
    return Json(std::vector<std::uint64_t>(bins.begin(), bins.end()));
}

Json Figures(const RunFigures& f) {
    return {
        {"reads",
         {{"total", f.reads},
          {"bases", f.bases},
          {"coding_plus", f.coding[0]},
          {"coding_minus", f.coding[1]},
          {"no_cds", f.noCds},
          {"too_short", f.tooShort},
          {"skipped", f.skipped}}},
        {"cds_length",
         {{"bin_width", RunFigures::kLengthBinWidth},
          {"counts", Counts(f.cdsLength)},
          {"sum", f.codingBases},
          {"shortest", f.shortestCds},
          {"longest", f.longestCds}}},
        {"ends",
         {{"complete", f.ends[1][1]},
          {"five_prime_partial", f.ends[0][1]},
          {"three_prime_partial", f.ends[1][0]},
          {"both_partial", f.ends[0][0]}}},
        {"errors",
         {{"insertion_plus", f.errors[kInsertion][0]},
          {"insertion_minus", f.errors[kInsertion][1]},
          {"deletion_plus", f.errors[kDeletion][0]},
          {"deletion_minus", f.errors[kDeletion][1]},
          {"reads_with_errors", f.readsWithErrors}}},
        {"errors_per_kb", {{"bin_width", RunFigures::kRateBinWidth}, {"counts", Counts(f.errorRate)}}},
        {"error_position",
         {{"bins", RunFigures::kPositionBins},
          {"insertion", Counts(f.errorPosition[kInsertion])},
          {"deletion", Counts(f.errorPosition[kDeletion])}}},
        {"error_confidence",
         {{"bin_width", 0.05},
          {"insertion", Counts(f.errorConfidence[kInsertion])},
          {"deletion", Counts(f.errorConfidence[kDeletion])},
          {"sum_hundredths", f.confidenceHundredths}}},
        {"region_confidence",
         {{"bin_width", 0.05},
          {"start", Counts(f.regionConfidence[kStart])},
          {"stop", Counts(f.regionConfidence[kStop])},
          {"start_sum_hundredths", f.regionConfidenceHundredths[kStart]},
          {"stop_sum_hundredths", f.regionConfidenceHundredths[kStop]}}},
    };
}

// Readers of the figures: each names what is missing or malformed.
std::uint64_t Count(const Json& object, const char* key, const std::string& where) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_number_unsigned()) {
        throw std::runtime_error(where + "." + key + " is missing or not a whole number");
    }
    return found->get<std::uint64_t>();
}

const Json& Object(const Json& object, const char* key, const std::string& where) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_object()) throw std::runtime_error(where + "." + key + " is missing");
    return *found;
}

template <std::size_t N>
void ReadCounts(const Json& object, const char* key, const std::string& where, std::array<std::uint64_t, N>& bins) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_array() || found->size() != N) {
        throw std::runtime_error(where + "." + key + " is missing or not " + std::to_string(N) + " counts");
    }
    for (std::size_t i = 0; i < N; ++i) {
        if (!(*found)[i].is_number_unsigned()) throw std::runtime_error(where + "." + key + " holds a non-count");
        bins[i] = (*found)[i].get<std::uint64_t>();
    }
}

void ReadFigures(const Json& all, RunFigures& f) {
    const std::string top = "talvo_scan";
    const Json& reads = Object(all, "reads", top);
    const std::string r = top + ".reads";
    f.reads = Count(reads, "total", r);
    f.bases = Count(reads, "bases", r);
    f.coding[0] = Count(reads, "coding_plus", r);
    f.coding[1] = Count(reads, "coding_minus", r);
    f.noCds = Count(reads, "no_cds", r);
    f.tooShort = Count(reads, "too_short", r);
    f.skipped = Count(reads, "skipped", r);

    const Json& length = Object(all, "cds_length", top);
    const std::string l = top + ".cds_length";
    ReadCounts(length, "counts", l, f.cdsLength);
    f.codingBases = Count(length, "sum", l);
    f.shortestCds = Count(length, "shortest", l);
    f.longestCds = Count(length, "longest", l);

    const Json& ends = Object(all, "ends", top);
    const std::string n = top + ".ends";
    f.ends[1][1] = Count(ends, "complete", n);
    f.ends[0][1] = Count(ends, "five_prime_partial", n);
    f.ends[1][0] = Count(ends, "three_prime_partial", n);
    f.ends[0][0] = Count(ends, "both_partial", n);

    const Json& errors = Object(all, "errors", top);
    const std::string e = top + ".errors";
    f.errors[kInsertion][0] = Count(errors, "insertion_plus", e);
    f.errors[kInsertion][1] = Count(errors, "insertion_minus", e);
    f.errors[kDeletion][0] = Count(errors, "deletion_plus", e);
    f.errors[kDeletion][1] = Count(errors, "deletion_minus", e);
    f.readsWithErrors = Count(errors, "reads_with_errors", e);

    ReadCounts(Object(all, "errors_per_kb", top), "counts", top + ".errors_per_kb", f.errorRate);
    const Json& position = Object(all, "error_position", top);
    ReadCounts(position, "insertion", top + ".error_position", f.errorPosition[kInsertion]);
    ReadCounts(position, "deletion", top + ".error_position", f.errorPosition[kDeletion]);
    const Json& confidence = Object(all, "error_confidence", top);
    const std::string c = top + ".error_confidence";
    ReadCounts(confidence, "insertion", c, f.errorConfidence[kInsertion]);
    ReadCounts(confidence, "deletion", c, f.errorConfidence[kDeletion]);
    f.confidenceHundredths = Count(confidence, "sum_hundredths", c);
    const Json& region = Object(all, "region_confidence", top);
    const std::string g = top + ".region_confidence";
    ReadCounts(region, "start", g, f.regionConfidence[kStart]);
    ReadCounts(region, "stop", g, f.regionConfidence[kStop]);
    f.regionConfidenceHundredths[kStart] = Count(region, "start_sum_hundredths", g);
    f.regionConfidenceHundredths[kStop] = Count(region, "stop_sum_hundredths", g);
}

std::string Text(const Json& object, const char* key, const std::string& where) {
    const auto found = object.find(key);
    if (found == object.end() || !found->is_string()) throw std::runtime_error(where + "." + key + " is missing");
    return found->get<std::string>();
}

}  // namespace

std::string StatsJson(const RunFigures& figures, const RunDescription& run) {
    Json talvo = {
        {"format", kFormat},
        {"provenance", run.provenance},
        {"sample", run.sample},
        {"command", run.command},
        {"runs", run.runs},
    };
    talvo.update(Figures(figures));
    const Json stats = {
        {"id", "talvo_scan"},
        {"section_name", "TALVO"},
        {"description",
         "Coding regions and sequencing errors predicted by talvo-scan (" + run.provenance + ")."},
        {"plot_type", "table"},
        {"pconfig", {{"id", "talvo_scan_table"}, {"title", "TALVO: coding regions and errors"}, {"namespace", "TALVO"}}},
        {"headers", Headers()},
        {"data", {{run.sample, Row(figures)}}},
        {"talvo_scan", talvo},
    };
    return stats.dump(1) + "\n";
}

void ReadStatsFile(const std::string& path, RunFigures& figures, RunDescription& run) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    std::ostringstream text;
    text << in.rdbuf();
    try {
        const Json stats = Json::parse(text.str());
        if (!stats.is_object() || !stats.contains("talvo_scan")) {
            throw std::runtime_error("not a talvo-scan stats file (no \"talvo_scan\" figures)");
        }
        const Json& talvo = stats["talvo_scan"];
        if (!talvo.is_object() || !talvo.contains("format") || talvo["format"] != kFormat) {
            throw std::runtime_error("stats of another format than " + std::to_string(kFormat));
        }
        ReadFigures(talvo, figures);
        run.provenance = Text(talvo, "provenance", "talvo_scan");
        run.sample = Text(talvo, "sample", "talvo_scan");
        run.command = Text(talvo, "command", "talvo_scan");
        run.runs = Count(talvo, "runs", "talvo_scan");
    } catch (const nlohmann::json::exception& e) {
        throw std::runtime_error(path + ": not JSON (" + std::string(e.what()) + ")");
    } catch (const std::runtime_error& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

}  // namespace talvo::scan
