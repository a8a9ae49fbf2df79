#include "analysis/workflow/Report.h"

#include "analysis/base/Deviation.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/Reliability.h"
#include "analysis/base/TextFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>

namespace report {

namespace {

std::string escape(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// Chart coordinates: one decimal, never the locale's decimal comma.
std::string coordinate(double v)
{
    char buf[32];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 1);
    return std::string(buf, r.ptr);
}

struct Series {
    std::string label;
    std::string colour;
    enum class Kind { Line, Points, Marker } kind = Kind::Line;
    std::vector<std::pair<double, double>> points;
};

struct Chart {
    std::string id, title, xTitle, yTitle;
    bool logY = false;
    std::vector<Series> series;
};

constexpr double width = 720, height = 440;
constexpr double left = 96, right = 24, top = 34, bottom = 62;

// Round steps (1, 2, 5 times a power of ten) giving about `count` ticks.
std::vector<double> linearTicks(double lo, double hi, int count)
{
    const double raw = (hi - lo) / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= raw) {
            step = m * power;
            break;
        }
    std::vector<double> ticks;
    for (double t = std::ceil(lo / step) * step; t <= hi + step * 1e-9; t += step)
        ticks.push_back(std::fabs(t) < step * 1e-9 ? 0.0 : t);
    return ticks;
}

std::string svg(const Chart& c)
{
    // The range over every finite point (positive ones on a log axis).
    double x0 = std::numeric_limits<double>::infinity(), x1 = -x0, y0 = x0, y1 = -x0;
    for (const Series& s : c.series)
        for (const auto& [x, y] : s.points) {
            if (!std::isfinite(x) || !std::isfinite(y) || (c.logY && !(y > 0)))
                continue;
            const double v = c.logY ? std::log10(y) : y;
            x0 = std::min(x0, x);
            x1 = std::max(x1, x);
            y0 = std::min(y0, v);
            y1 = std::max(y1, v);
        }
    if (!(x0 <= x1) || !(y0 <= y1))
        return std::string();
    auto widen = [](double& lo, double& hi, double minimum) {
        if (hi - lo < minimum) {
            const double mid = (lo + hi) / 2;
            lo = mid - minimum / 2;
            hi = mid + minimum / 2;
        }
        const double pad = (hi - lo) * 0.04;
        lo -= pad;
        hi += pad;
    };
    widen(x0, x1, std::max(std::fabs(x0) * 1e-3, 1e-9));
    if (c.logY) {
        widen(y0, y1, 0.5);
    } else {
        widen(y0, y1, std::max(std::fabs(y0) * 1e-3, 1e-12));
    }
    const double pw = width - left - right, ph = height - top - bottom;
    auto px = [&](double x) { return left + (x - x0) / (x1 - x0) * pw; };
    auto py = [&](double y) { return top + (1 - ((c.logY ? std::log10(y) : y) - y0) / (y1 - y0)) * ph; };
    auto pyAxis = [&](double v) { return top + (1 - (v - y0) / (y1 - y0)) * ph; };

    std::string o;
    o += "<figure>\r\n<svg class=\"chart\" id=\"" + c.id + "\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
         coordinate(width) + "\" height=\"" + coordinate(height) + "\" viewBox=\"0 0 " + coordinate(width) + " " +
         coordinate(height) + "\" role=\"img\" aria-label=\"" + escape(c.title) + "\">\r\n";
    o += "<rect x=\"" + coordinate(left) + "\" y=\"" + coordinate(top) + "\" width=\"" + coordinate(pw) +
         "\" height=\"" + coordinate(ph) + "\" fill=\"#fff\" stroke=\"#000\"/>\r\n";
    o += "<text x=\"" + coordinate(width / 2) + "\" y=\"20\" text-anchor=\"middle\" font-weight=\"bold\">" +
         escape(c.title) + "</text>\r\n";
    // Ticks and their labels.
    o += "<g class=\"axes\" font-size=\"12\">\r\n";
    for (double t : linearTicks(x0, x1, 7)) {
        const std::string x = coordinate(px(t));
        o += "<line x1=\"" + x + "\" y1=\"" + coordinate(top + ph) + "\" x2=\"" + x + "\" y2=\"" +
             coordinate(top + ph + 5) + "\" stroke=\"#000\"/><text x=\"" + x + "\" y=\"" +
             coordinate(top + ph + 19) + "\" text-anchor=\"middle\">" + escape(number(t, 6)) + "</text>\r\n";
    }
    // Log axes: decades, and 2 and 5 times them when fewer than three decades show.
    std::vector<std::pair<double, bool>> yTicks; // axis value, a decade
    if (c.logY) {
        const int first = static_cast<int>(std::floor(y0)), last = static_cast<int>(std::ceil(y1));
        const int step = std::max(1, (last - first) / 8 + 1);
        const bool fine = last - first < 4;
        for (int k = first; k <= last; k += step)
            for (double m : fine ? std::vector<double>{1, 2, 5} : std::vector<double>{1}) {
                const double v = k + std::log10(m);
                if (v >= y0 && v <= y1)
                    yTicks.emplace_back(v, m == 1);
            }
    } else {
        for (double t : linearTicks(y0, y1, 6))
            yTicks.emplace_back(t, false);
    }
    for (const auto& [t, decade] : yTicks) {
        const std::string y = coordinate(pyAxis(t));
        o += "<line x1=\"" + coordinate(left - 5) + "\" y1=\"" + y + "\" x2=\"" + coordinate(left) + "\" y2=\"" + y +
             "\" stroke=\"#000\"/><text x=\"" + coordinate(left - 8) + "\" y=\"" + coordinate(pyAxis(t) + 4) +
             "\" text-anchor=\"end\">";
        if (c.logY && decade)
            o += "10<tspan dy=\"-6\" font-size=\"9\">" + std::to_string(static_cast<int>(std::lround(t))) + "</tspan>";
        else if (c.logY)
            o += escape(number(std::pow(10.0, t), 2));
        else
            o += escape(number(t, 6));
        o += "</text>\r\n";
    }
    o += "</g>\r\n";
    // Axis titles with their units.
    o += "<text class=\"axis-title\" x=\"" + coordinate(left + pw / 2) + "\" y=\"" + coordinate(height - 14) +
         "\" text-anchor=\"middle\">" + escape(c.xTitle) + "</text>\r\n";
    o += "<text class=\"axis-title\" x=\"18\" y=\"" + coordinate(top + ph / 2) +
         "\" text-anchor=\"middle\" transform=\"rotate(-90 18 " + coordinate(top + ph / 2) + ")\">" +
         escape(c.yTitle) + "</text>\r\n";
    // The series, clipped to the plot area.
    o += "<clipPath id=\"" + c.id + "-area\"><rect x=\"" + coordinate(left) + "\" y=\"" + coordinate(top) +
         "\" width=\"" + coordinate(pw) + "\" height=\"" + coordinate(ph) + "\"/></clipPath>\r\n";
    o += "<g clip-path=\"url(#" + c.id + "-area)\">\r\n";
    for (const Series& s : c.series) {
        std::string pts;
        // A line of a fine grid keeps about 1500 of its points (and its last):
        // more do not show at this size and only swell the page.
        const std::size_t stride =
            s.kind == Series::Kind::Line ? std::max<std::size_t>(1, s.points.size() / 1500) : 1;
        for (std::size_t i = 0; i < s.points.size(); ++i) {
            if (i % stride != 0 && i + 1 != s.points.size())
                continue;
            const auto [x, y] = s.points[i];
            if (!std::isfinite(x) || !std::isfinite(y) || (c.logY && !(y > 0)))
                continue;
            if (s.kind == Series::Kind::Line) {
                pts += (pts.empty() ? "" : " ") + coordinate(px(x)) + "," + coordinate(py(y));
            } else {
                const double r = s.kind == Series::Kind::Marker ? 6 : 3;
                pts += "<circle cx=\"" + coordinate(px(x)) + "\" cy=\"" + coordinate(py(y)) + "\" r=\"" +
                       coordinate(r) + "\"/>";
            }
        }
        if (pts.empty())
            continue;
        if (s.kind == Series::Kind::Line)
            o += "<polyline class=\"series\" data-label=\"" + escape(s.label) + "\" fill=\"none\" stroke=\"" +
                 s.colour + "\" stroke-width=\"1.5\" points=\"" + pts + "\"/>\r\n";
        else if (s.kind == Series::Kind::Marker)
            o += "<g class=\"series\" data-label=\"" + escape(s.label) + "\" fill=\"none\" stroke=\"" + s.colour +
                 "\" stroke-width=\"2\">" + pts + "</g>\r\n";
        else
            o += "<g class=\"series\" data-label=\"" + escape(s.label) + "\" fill=\"" + s.colour + "\">" + pts +
                 "</g>\r\n";
    }
    o += "</g>\r\n";
    // The legend, top right inside the plot.
    double ly = top + 16;
    o += "<g class=\"legend\" font-size=\"12\">\r\n";
    // A backing so that the legend stays readable over the curves.
    o += "<rect x=\"" + coordinate(width - right - 196) + "\" y=\"" + coordinate(top + 3) + "\" width=\"170\" height=\"" +
         coordinate(16.0 * c.series.size() + 4) + "\" fill=\"#fff\" fill-opacity=\"0.85\" stroke=\"#bbb\"/>\r\n";
    for (const Series& s : c.series) {
        const std::string y = coordinate(ly);
        const std::string lx = coordinate(width - right - 190);
        if (s.kind == Series::Kind::Line)
            o += "<line x1=\"" + lx + "\" y1=\"" + coordinate(ly - 4) + "\" x2=\"" +
                 coordinate(width - right - 170) + "\" y2=\"" + coordinate(ly - 4) + "\" stroke=\"" + s.colour +
                 "\" stroke-width=\"2\"/>";
        else
            o += "<circle cx=\"" + coordinate(width - right - 180) + "\" cy=\"" + coordinate(ly - 4) +
                 "\" r=\"3.5\" fill=\"" + (s.kind == Series::Kind::Marker ? std::string("none") : s.colour) +
                 "\" stroke=\"" + s.colour + "\"/>";
        o += "<text x=\"" + coordinate(width - right - 164) + "\" y=\"" + y + "\">" + escape(s.label) +
             "</text>\r\n";
        ly += 16;
    }
    o += "</g>\r\n</svg>\r\n<figcaption>" + escape(c.title) + "</figcaption>\r\n</figure>\r\n";
    return o;
}

std::string table(const Table& t)
{
    std::string o;
    if (!t.title.empty())
        o += "<h3>" + escape(t.title) + "</h3>\r\n";
    o += "<table>\r\n<tr>";
    for (const std::string& c : t.columns)
        o += "<th>" + escape(c) + "</th>";
    o += "</tr>\r\n";
    for (const auto& row : t.rows) {
        o += "<tr>";
        for (const std::string& cell : row)
            o += "<td>" + escape(cell) + "</td>";
        o += "</tr>\r\n";
    }
    o += "</table>\r\n";
    if (!t.note.empty())
        o += "<p class=\"note\">" + escape(t.note) + "</p>\r\n";
    return o;
}

std::string fileOnly(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool stageCalculated(const Analysis& a, int k)
{
    const int p = a.peakIndex[k];
    return static_cast<int>(a.hCurve.size()) > k && !a.hCurve[k].empty() && p >= 0 &&
           p < static_cast<int>(a.hCurve[k].size()) && p < static_cast<int>(a.splineTemperature.size());
}

} // namespace

std::string number(double value, int digits)
{
    if (!std::isfinite(value))
        return numfmt::general(value);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", digits, value);
    // printf follows the C locale's decimal point, the report never does.
    std::string s(buf);
    for (char& ch : s)
        if (ch == ',')
            ch = '.';
    const std::size_t e = s.find('e');
    if (e != std::string::npos) {
        // "1.234e+16" is written "1.234E16" as in the result files.
        std::string mantissa = s.substr(0, e), exponent = s.substr(e + 1);
        if (!exponent.empty() && exponent[0] == '+')
            exponent.erase(0, 1);
        const bool negative = !exponent.empty() && exponent[0] == '-';
        if (negative)
            exponent.erase(0, 1);
        while (exponent.size() > 1 && exponent[0] == '0')
            exponent.erase(0, 1);
        s = mantissa + "E" + (negative ? "-" : "") + exponent;
    }
    return s;
}

std::string withError(double value, double error, int digits)
{
    if (!(error >= 0) || !std::isfinite(error))
        return number(value, digits);
    return number(value, digits) + " \xC2\xB1 " + number(error, 2);
}

std::string fileName(const Analysis& a) { return Analysis::replaceExtension(a.experimentalDataFileName, ".html"); }

std::string html(const Analysis& a, const Content& content)
{
    const bool nType = a.isNType();
    const std::string carrier = nType ? "n" : "p";
    const std::string concentrationTitle =
        std::string(nType ? "Electron" : "Hole") + " concentration " + carrier + " [cm\xE2\x81\xBB\xC2\xB3]";
    const std::string sample = fileOnly(a.experimentalDataFileName);
    const char* const fn = a.functionType == 1 ? "S" : "H";
    const std::size_t n = static_cast<std::size_t>(std::max(a.dataCount, 0));
    const std::size_t points = std::min({n, a.temperature.size(), a.concentration.size(), a.reliability.size()});
    const int grid = std::min({a.splineCount, static_cast<int>(a.splineTemperature.size()),
                               static_cast<int>(a.splineConcentration.size())});
    const bool simulated = grid > 0 && static_cast<int>(a.simulatedConcentration.size()) >= grid;

    std::string o;
    o += "<!DOCTYPE html>\r\n<html lang=\"en\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n";
    o += "<title>VORN report: " + escape(sample) + "</title>\r\n";
    o += "<style>\r\nbody{font-family:sans-serif;max-width:60em;margin:1em auto;padding:0 1em;color:#111}\r\n"
         "table{border-collapse:collapse;margin:0.5em 0}th,td{border:1px solid #999;padding:2px 8px;text-align:left}\r\n"
         "th{background:#eee}figure{margin:1em 0}figcaption{font-size:90%;color:#444}\r\n"
         ".note{font-size:90%;color:#444}.warning{color:#8a4b00}\r\n</style>\r\n</head>\r\n<body>\r\n";
    o += "<h1>Analysis of " + escape(sample) + "</h1>\r\n";

    // ---- inputs ----
    std::vector<std::pair<std::string, std::string>> in = {
        {"Experimental data file", a.experimentalDataFileName},
        {"Original file", a.originalFileName},
        {"Sample number", a.sampleNumber},
        {"Name of measurement", a.measurementName},
        {"Date of measurement", a.measurementDate},
        {"Semiconductor", a.semiconductor},
        {"Conduction type", a.conductionType},
        {"Sample thickness [\xC2\xB5m]", numfmt::general(a.sampleThickness)},
        {"Magnetic field [T]", numfmt::general(a.magneticField)},
        {"Current [A]", numfmt::general(a.current)},
        {"Number of data", std::to_string(a.dataCount)},
        {"Comment", a.comment},
        {"Function type", a.functionTypeText()},
    };
    if (grid > 0) {
        in.emplace_back("Smoothness", numfmt::general(a.smoothness));
        in.emplace_back("Spline range [K]", numfmt::general(a.splineTemperature[0]) + " to " +
                                                numfmt::general(a.splineTemperature[grid - 1]) + " (" +
                                                std::to_string(grid) + " grid points)");
    }
    if (a.dos0 > 0) {
        in.emplace_back("Effective mass / m0", numfmt::general(a.effectiveMass));
        in.emplace_back("Equivalent minima", numfmt::general(a.equivalentMinima));
        in.emplace_back("Effective density of states / T^1.5 [cm\xE2\x81\xBB\xC2\xB3 K\xE2\x81\xBB\xC2\xB9\xC2\xB7\xE2\x81\xB5]",
                        numfmt::general(a.dos0));
    }
    std::string degeneracies, types;
    for (int k = 0; k < 3; ++k) {
        if (!stageCalculated(a, k) || a.stageEvaluationType[k].empty())
            continue;
        const std::string name = std::string(fn) + std::to_string(k + 1) + ": ";
        degeneracies += (degeneracies.empty() ? "" : ", ") + name + numfmt::general(a.degeneracyFactor[k]);
        types += (types.empty() ? "" : ", ") + name + a.stageEvaluationType[k];
    }
    if (!degeneracies.empty()) {
        in.emplace_back("Degeneracy factors", degeneracies);
        in.emplace_back("Evaluation type", types);
    }
    for (const auto& extra : content.inputs)
        in.push_back(extra);
    in.emplace_back("Program version", a.versionInformation);
    o += "<h2>Sample and inputs</h2>\r\n<table>\r\n";
    for (const auto& [label, value] : in)
        o += "<tr><th>" + escape(label) + "</th><td>" + escape(value) + "</td></tr>\r\n";
    o += "</table>\r\n";

    // ---- measured points, spline, simulation ----
    Series measured{"measured", "#000", Series::Kind::Points, {}};
    Series measuredArr = measured;
    for (std::size_t i = 0; i < points; ++i) {
        measured.points.emplace_back(a.temperature[i], a.concentration[i]);
        if (a.temperature[i] > 0)
            measuredArr.points.emplace_back(1000 / a.temperature[i], a.concentration[i]);
    }
    Series spline{"spline", "#1f5fbf", Series::Kind::Line, {}}, splineArr = spline;
    Series sim{"simulation", "#c62828", Series::Kind::Line, {}}, simArr = sim;
    for (int j = 0; j < grid; ++j) {
        const double T = a.splineTemperature[j];
        spline.points.emplace_back(T, a.splineConcentration[j]);
        if (T > 0)
            splineArr.points.emplace_back(1000 / T, a.splineConcentration[j]);
        if (simulated) {
            sim.points.emplace_back(T, a.simulatedConcentration[j]);
            if (T > 0)
                simArr.points.emplace_back(1000 / T, a.simulatedConcentration[j]);
        }
    }
    Chart nT{"chart-nT", carrier + "(T): measured points, spline and simulation", "Temperature T [K]",
             concentrationTitle, true, {measured}};
    Chart arr{"chart-arrhenius", "Arrhenius plot", "1000/T [K\xE2\x81\xBB\xC2\xB9]", concentrationTitle, true,
              {measuredArr}};
    if (grid > 0) {
        nT.series.push_back(spline);
        arr.series.push_back(splineArr);
    }
    if (simulated) {
        nT.series.push_back(sim);
        arr.series.push_back(simArr);
    }
    o += "<h2>Measured points, spline and simulation</h2>\r\n" + svg(nT) + svg(arr);

    // ---- the stages ----
    // H = n^2 exp(E_ref/kT)/(kT)^2.5, S = n exp(E_ref/kT)/kT.
    const std::string functionUnit = a.functionType == 1
                                         ? "[cm\xE2\x81\xBB\xC2\xB3 eV\xE2\x81\xBB\xC2\xB9]"
                                         : "[cm\xE2\x81\xBB\xE2\x81\xB6 eV\xE2\x81\xBB\xC2\xB2\xC2\xB7\xE2\x81\xB5]";
    Table results{"", {"Stage", "E_ref [eV]", "Peak temperature [K]", "Peak value " + functionUnit,
                       "Density [cm\xE2\x81\xBB\xC2\xB3]", "Energy level [eV]", "Compensating density [cm\xE2\x81\xBB\xC2\xB3]"},
                  {}, ""};
    for (int k = 0; k < 3; ++k) {
        if (!stageCalculated(a, k))
            continue;
        const std::string name = fn + std::to_string(k + 1);
        const DoubleArray& h = a.hCurve[k];
        const int p = a.peakIndex[k];
        Series curve{name, "#000", Series::Kind::Line, {}};
        const int m = std::min(static_cast<int>(h.size()), grid);
        for (int j = 0; j < m; ++j)
            if (h[j] > 0)
                curve.points.emplace_back(a.splineTemperature[j], h[j]);
        Chart c{"chart-" + name, name + "(T) with its peak and fit", "Temperature T [K]",
                name + " " + functionUnit, true, {curve}};
        const bool evaluated = a.physicalResult(k);
        if (evaluated) {
            Series fit{"fit", "#c62828", Series::Kind::Line, a.redLinePoints(k)};
            c.series.push_back(fit);
        }
        c.series.push_back({"peak", "#1f5fbf", Series::Kind::Marker, {{a.splineTemperature[p], h[p]}}});
        o += "<h2>" + name + "</h2>\r\n" + svg(c);
        std::vector<std::string> row = {name, numfmt::general(a.referenceEnergy[k]),
                                        numfmt::general(a.splineTemperature[p]), number(h[p])};
        if (evaluated) {
            row.push_back(number(a.density[k]));
            row.push_back(number(a.energyLevel[k]));
            row.push_back(number(a.stageCompensatingDensity[k]));
        } else {
            row.insert(row.end(), {"not evaluated", "", ""});
        }
        results.rows.push_back(row);
    }

    // ---- results ----
    o += "<h2>Results</h2>\r\n";
    if (results.rows.empty())
        o += "<p>No stage was calculated.</p>\r\n";
    else
        o += table(results);
    if (simulated) {
        const LargestDeviation d = a.simulationDeviation();
        o += "<p>Compensating density in use: " + escape(number(a.compensatingDensity)) + " cm\xE2\x81\xBB\xC2\xB3. " +
             "Simulation: " + escape(d.points > 0 ? deviationSummary(d) : "no measured point to compare") +
             ".</p>\r\n";
    }
    for (const Table& t : content.analyses)
        o += table(t);
    if (content.modelSelection) {
        o += "<h2>Model selection</h2>\r\n" + table(*content.modelSelection);
    }

    // ---- residuals ----
    auto deviations = [&](const DoubleArray& curve, double minWeight) {
        std::vector<std::pair<double, double>> out;
        auto first = [&](const DoubleArray& v) { return DoubleArray(v.begin(), v.begin() + std::min(n, v.size())); };
        for (const PointDeviation& d : pointDeviations(a.splineTemperature, curve, grid, first(a.temperature),
                                                       first(a.concentration), first(a.reliability), minWeight))
            out.emplace_back(d.temperature, 100 * d.relative);
        return out;
    };
    if (grid > 0) {
        Chart res{"chart-residuals", "Relative deviation from the measured points", "Temperature T [K]",
                  "Deviation (curve \xE2\x88\x92 measured) / measured [%]", false, {}};
        // The spline over the points it was fitted to, the simulation as the
        // Simulation page compares it (reliability above 0.9).
        res.series.push_back({"spline", "#1f5fbf", Series::Kind::Points, deviations(a.splineConcentration, 0)});
        if (simulated)
            res.series.push_back({"simulation", "#c62828", Series::Kind::Points, deviations(a.simulatedConcentration, reliability::kPlotted)});
        o += "<h2>Residuals</h2>\r\n" + svg(res);
    }

    // ---- warnings ----
    o += "<h2>Warnings</h2>\r\n";
    if (content.warnings.empty()) {
        o += "<p>None.</p>\r\n";
    } else {
        o += "<ul>\r\n";
        for (const std::string& w : content.warnings)
            o += "<li class=\"warning\">" + escape(w) + "</li>\r\n";
        o += "</ul>\r\n";
    }
    o += "</body>\r\n</html>\r\n";
    return o;
}

bool write(const std::string& path, const std::string& page, std::string& error)
{
    return textfile::writeAtomic(path, page, error);
}

} // namespace report
