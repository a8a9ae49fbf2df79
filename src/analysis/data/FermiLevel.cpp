// Fermi level from the majority-carrier concentration and the effective
// density of states, on the grid and at the measured points, and the *.fl /
// *.flE files. The *.fl header is read back by position, so its lines must
// keep their order and label lengths.
#include "analysis/base/Reliability.h"
#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/Physics.h"
#include "analysis/base/TextFile.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>

namespace {

constexpr int headerLines = 26;
const char* const fermiColumnLine = "% Temperature [K]   Fermi Level [eV] ";
const char* const experimentalColumnLine =
    "% Temperature [K]   Concentration [cm-3]      Experimental Fermi Level [eV]  reliability";

// Half a grid step: a *.fl temperature printed with six digits that lies
// further than this from the grid temperature in memory belongs to another grid.
constexpr double gridTolerance = 0.05;

bool positive(double v)
{
    return v > 0 && std::isfinite(v);
}

// ln(N/n) kT/q with N = dos0 T^1.5. Returns an empty text on success,
// otherwise what was wrong with the point.
std::string fermiLevelAt(double dos0, double T, double n, double& level)
{
    if (!positive(T))
        return "the temperature " + numfmt::general(T) + " K is not positive";
    if (!positive(n))
        return "the concentration at " + numfmt::general(T) + " K is not positive (" +
               numfmt::general(n) + " cm^-3)";
    const double ratio = dos0 * std::pow(T, 1.5) / n;
    // The ratio leaves the range of doubles for extreme concentrations
    // (1e-300); its logarithm does not.
    const double logRatio = std::isfinite(ratio) && ratio > 0
                                ? std::log(ratio)
                                : std::log(dos0) + 1.5 * std::log(T) - std::log(n);
    level = logRatio * phys::thermalEnergy(T);
    if (!std::isfinite(level))
        return "the Fermi level at " + numfmt::general(T) + " K is not a finite number";
    return {};
}

std::string dos0Problem(double dos0)
{
    if (positive(dos0))
        return {};
    return "The Fermi level cannot be calculated: the effective density of states/T^(3/2) "
           "must be positive (it is " + numfmt::general(dos0) + ").";
}


// The *.fl and *.flE files share their header; line 6 names the file itself.
HeaderOptions fermiHeader(const std::string& ownFileName)
{
    HeaderOptions h;
    h.title = "% Temperature dependence of Fermi level";
    h.splineFileLine = true;
    h.fermiFileLine = true;
    h.fermiFileValue = ownFileName;
    h.sampleGroup = true;
    h.splineGroup = true;
    h.materialGroup = true;
    return h;
}

} // namespace

bool Analysis::computeFermiLevel()
{
    lastError.clear();
    fermiLevel.clear();
    lastError = dos0Problem(dos0);
    if (!lastError.empty())
        return false;
    const std::size_t count = splineCount > 0 ? static_cast<std::size_t>(splineCount) : 0;
    if (splineTemperature.size() < count || splineConcentration.size() < count) {
        lastError = "The Fermi level cannot be calculated: the data for analysis are incomplete.";
        return false;
    }
    DoubleArray levels(count);
    for (std::size_t k = 0; k < count; ++k) {
        std::string problem =
            fermiLevelAt(dos0, splineTemperature[k], splineConcentration[k], levels[k]);
        if (!problem.empty()) {
            lastError = "The Fermi level cannot be calculated: in the data for analysis (grid point " +
                        std::to_string(k + 1) + ") " + problem + ".";
            return false;
        }
    }
    fermiLevel = std::move(levels);
    return true;
}

bool Analysis::computeExperimentalFermiLevel()
{
    lastError.clear();
    experimentalFermiLevel.clear();
    lastError = dos0Problem(dos0);
    if (!lastError.empty())
        return false;
    const std::size_t count = dataCount > 0 ? static_cast<std::size_t>(dataCount) : 0;
    if (temperature.size() < count || concentration.size() < count) {
        lastError = "The Fermi level cannot be calculated: the experimental data hold fewer than " +
                    std::to_string(count) + " points.";
        return false;
    }
    DoubleArray levels(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::string problem = fermiLevelAt(dos0, temperature[i], concentration[i], levels[i]);
        if (!problem.empty()) {
            lastError = "The Fermi level cannot be calculated: at experimental point " +
                        std::to_string(i + 1) + " " + problem + ".";
            return false;
        }
    }
    experimentalFermiLevel = std::move(levels);
    return true;
}

std::vector<std::pair<double, double>> Analysis::experimentalFermiLevelPoints() const
{
    std::vector<std::pair<double, double>> points;
    std::size_t count = dataCount > 0 ? static_cast<std::size_t>(dataCount) : 0;
    for (std::size_t size : {temperature.size(), reliability.size(), experimentalFermiLevel.size()})
        count = std::min(count, size);
    for (std::size_t i = 0; i < count; ++i)
        if (reliability[i] > reliability::kTrusted)
            points.emplace_back(temperature[i], experimentalFermiLevel[i]);
    return points;
}

bool Analysis::writeFermiLevelFile()
{
    lastError.clear();
    const std::size_t count = splineCount > 0 ? static_cast<std::size_t>(splineCount) : 0;
    if (fermiLevel.size() < count || splineTemperature.size() < count) {
        lastError = "Cannot write the file " + fermiLevelFileName +
                    ": the Fermi level has not been calculated for every grid point.";
        return false;
    }
    std::ostringstream out;
    writeHeaderBlock(out, fermiHeader(fermiLevelFileName));
    textfile::putLine(out, fermiColumnLine);
    for (std::size_t k = 0; k < count; ++k)
        textfile::putLine(out, numfmt::g(splineTemperature[k]) + "     " + numfmt::g(fermiLevel[k]));
    return textfile::writeResult(fermiLevelFileName, out.str(), lastError);
}

bool Analysis::writeExperimentalFermiLevelFile()
{
    lastError.clear();
    const std::size_t count = dataCount > 0 ? static_cast<std::size_t>(dataCount) : 0;
    if (experimentalFermiLevel.size() < count || temperature.size() < count ||
        concentration.size() < count || reliability.size() < count) {
        lastError = "Cannot write the file " + experimentalFermiLevelFileName +
                    ": the Fermi level has not been calculated at every experimental point.";
        return false;
    }
    std::ostringstream out;
    writeHeaderBlock(out, fermiHeader(experimentalFermiLevelFileName));
    textfile::putLine(out, experimentalColumnLine);
    for (std::size_t i = 0; i < count; ++i)
        textfile::putLine(out, numfmt::g(temperature[i]) + "      " + numfmt::g(concentration[i]) +
                                   "     " + numfmt::g(experimentalFermiLevel[i]) + "     " +
                                   numfmt::g(reliability[i]));
    return textfile::writeResult(experimentalFermiLevelFileName, out.str(), lastError);
}

bool Analysis::readFermiLevelFile()
{
    lastError.clear();
    fermiLevel.clear();
    experimentalFermiLevel.clear();
    const std::string& file = fermiLevelFileName;
    std::string text;
    if (!textfile::readText(file, text, lastError))
        return false;
    textfile::LineReader reader(text);
    const std::vector<std::string> lines = textfile::takeLines(reader, headerLines + 1);
    if (!textfile::checkHeaderComplete(file, lines, headerLines + 1, lastError))
        return false;

    // Everything goes into local values first: a file that turns out to be
    // bad halfway must not leave a mixture of two samples behind.
    std::array<std::string, 7> strings;
    const std::array<std::size_t, 7> stringLabels = {23, 23, 20, 20, 17, 17, 19};
    for (std::size_t i = 0; i < strings.size(); ++i)
        strings[i] = textfile::afterLabel(lines[6 + i], stringLabels[i]);

    std::string type;
    if (!canonicalConductionType(strings[6], type)) {
        lastError = textfile::lineReference(file, 13) + conductionTypeRefusal(strings[6]);
        return false;
    }

    struct NumberLine {
        std::size_t index;
        std::size_t label;
        double value;
    };
    // thickness, field, current, smoothness, mass, minima, dos0
    std::array<NumberLine, 7> numbers = {{{13, 29, 0}, {14, 22, 0}, {15, 15, 0}, {21, 14, 0},
                                          {22, 18, 0}, {23, 21, 0}, {24, 39, 0}}};
    for (NumberLine& n : numbers) {
        std::string value = textfile::afterLabel(lines[n.index], n.label);
        if (!numfmt::parseDouble(value, n.value)) {
            lastError = textfile::lineReference(file, n.index + 1) +
                        numfmt::notValidFloat(textfile::excerpt(value));
            return false;
        }
    }
    struct IntLine {
        std::size_t index;
        std::size_t label;
        int value;
    };
    // number of data, first index, last index, number of data for analysis
    std::array<IntLine, 4> ints = {{{16, 18, 0}, {18, 27, 0}, {19, 24, 0}, {20, 31, 0}}};
    for (IntLine& n : ints) {
        std::string value = textfile::afterLabel(lines[n.index], n.label);
        if (!numfmt::parseInt(value, n.value)) {
            lastError = textfile::lineReference(file, n.index + 1) +
                        numfmt::notValidInteger(textfile::excerpt(value));
            return false;
        }
    }
    if (ints[0].value < 0) {
        lastError = textfile::lineReference(file, 17) + "the number of data must not be negative.";
        return false;
    }
    const double fileDos0 = numbers[6].value;
    if (!positive(fileDos0)) {
        lastError = textfile::lineReference(file, 25) + "the effective density of states/T^(3/2) must be positive (it is " +
                    numfmt::general(fileDos0) + ").";
        return false;
    }
    const int count = ints[3].value;
    if (count < 0 || count != splineCount ||
        splineTemperature.size() != static_cast<std::size_t>(count)) {
        lastError = file + ": the file holds the Fermi level of " + std::to_string(count) +
                    " grid points, but the data for analysis in memory have " +
                    std::to_string(splineTemperature.size()) +
                    ". Load the matching data for analysis (*.spl) first.";
        return false;
    }

    // The pairs: from the line after the column line on, white space anywhere.
    DoubleArray levels;
    levels.reserve(static_cast<std::size_t>(count));
    double pendingTemperature = 0;
    bool havePendingTemperature = false;
    // This reader has no line-length limit: tokens are taken one at a time,
    // so a single huge line costs no more than its own copy.
    std::string_view line;
    while (levels.size() < static_cast<std::size_t>(count) && reader.next(line)) {
        const std::size_t lineNumber = reader.lineNumber();
        std::string_view token;
        while (levels.size() < static_cast<std::size_t>(count) && textfile::nextToken(line, token)) {
            double v = 0;
            if (!numfmt::parseDouble(std::string(token), v)) {
                lastError = textfile::lineReference(file, lineNumber) +
                            numfmt::notValidFloat(textfile::excerpt(token));
                return false;
            }
            if (!havePendingTemperature) {
                pendingTemperature = v;
                havePendingTemperature = true;
                continue;
            }
            havePendingTemperature = false;
            const double gridT = splineTemperature[levels.size()];
            if (std::fabs(pendingTemperature - gridT) > gridTolerance) {
                lastError = textfile::lineReference(file, lineNumber) + "the temperature " + numfmt::general(pendingTemperature) +
                            " K does not match the grid temperature " + numfmt::general(gridT) +
                            " K of the data for analysis in memory.";
                return false;
            }
            levels.push_back(v);
        }
    }
    if (levels.size() < static_cast<std::size_t>(count)) {
        lastError = file + ": the file holds " + std::to_string(levels.size()) +
                    " complete data rows, but its header announces " + std::to_string(count) +
                    " (\"% Number of data for analysis:\", line 21).";
        return false;
    }

    measurementName = strings[0];
    measurementDate = strings[1];
    analysisName = strings[2];
    analysisDate = strings[3];
    sampleNumber = strings[4];
    semiconductor = strings[5];
    conductionType = type;
    sampleThickness = numbers[0].value;
    magneticField = numbers[1].value;
    current = numbers[2].value;
    dataCount = ints[0].value;
    comment = textfile::afterLabel(lines[17], 2);
    firstDataIndex = ints[1].value;
    lastDataIndex = ints[2].value;
    splineCount = count;
    smoothness = numbers[3].value;
    effectiveMass = numbers[4].value;
    equivalentMinima = numbers[5].value;
    dos0 = fileDos0;
    fermiLevelComment = textfile::afterLabel(lines[25], 2);
    fermiLevel = std::move(levels);
    return true;
}
