// The report of an analysis: one self-contained HTML page per sample (no
// external files, no scripts, no network) with the inputs, the charts as
// inline SVG, the results and the warnings. Written here, from the analysis
// object and what the caller adds, so that the batch program and the main
// window write the same bytes for the same analysis.
#pragma once

#include "analysis/data/Analysis.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace report {

// A table of results: column titles and rows of texts already formatted
// (withError gives the "value ± error" cells).
struct Table {
    std::string title;
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    std::string note; // under the table, empty for none
};

// What the analysis object does not hold: the caller's choices and the
// analyses that ran beside the central method.
struct Content {
    // Further inputs that shaped the result, label and value ("One impurity range", "80 K to 300 K").
    std::vector<std::pair<std::string, std::string>> inputs;
    std::vector<Table> analyses;  // conventional, DHES, curve fitting, excited states, ...
    // The model selection's table where it ran; no section otherwise.
    std::optional<Table> modelSelection;
    std::vector<std::string> warnings;
};

// "1.23E16 ± 4.5E14" with `digits` significant digits; the value alone when
// the error is negative (not determined) or not finite.
std::string withError(double value, double error, int digits = 4);
// A number of the report's tables: `digits` significant digits, "E" notation
// for large or small magnitudes.
std::string number(double value, int digits = 4);

// The page. Charts appear for what the object holds: the measured points,
// the spline and the simulation against T and 1000/T, each calculated
// stage's function with its peak and fit, and the simulation's relative
// deviation from the measured points.
std::string html(const Analysis& a, const Content& content);

// The name proposed for the report: the experimental data file with ".html".
std::string fileName(const Analysis& a);

// Writes `page` to `path` (atomically: a failed save keeps the old file).
bool write(const std::string& path, const std::string& page, std::string& error);

} // namespace report
