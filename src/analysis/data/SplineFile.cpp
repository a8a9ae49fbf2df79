// The data-for-analysis file (*.spl): the shared header with the sample and
// spline groups (21 lines, read back by position), a column line and one
// "T     n" row per grid point.
#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/TextFile.h"

#include <algorithm>
#include <sstream>

namespace {

constexpr std::size_t headerLines = 21;


} // namespace

bool Analysis::writeSplineFile()
{
    lastError.clear();
    if (splineCount <= 0 || splineTemperature.size() < std::size_t(splineCount) ||
        splineConcentration.size() < std::size_t(splineCount)) {
        lastError = "There are no data for analysis to save to " + splineFileName +
                    "; calculate the spline first.";
        return false;
    }
    std::ostringstream out;
    HeaderOptions h;
    h.title = "% Data for Hall-Effect Analysis";
    h.splineFileLine = true;
    h.sampleGroup = true;
    h.splineGroup = true;
    writeHeaderBlock(out, h);
    textfile::putLine(out, "% Temperature [K]   Majority-Carrier Concentration [cm^-3] ");
    for (int k = 0; k < splineCount; ++k)
        textfile::putLine(out, numfmt::g(splineTemperature[k]) + "     " +
                                   numfmt::g(splineConcentration[k]));
    return textfile::writeResult(splineFileName, out.str(), lastError);
}

bool Analysis::readSplineFile()
{
    lastError.clear();
    // Whatever happens below, no spline of an earlier calculation or of a
    // partly read file may survive.
    splineCount = 0;
    splineTemperature.clear();
    splineConcentration.clear();

    const std::string& file = splineFileName;
    std::string text;
    if (!textfile::readText(file, text, lastError))
        return false;
    if (!textfile::checkLineLengths(file, text, lastError))
        return false;
    textfile::LineReader reader(text);
    const std::vector<std::string> lines = textfile::takeLines(reader, headerLines + 1);
    if (!textfile::checkHeaderComplete(file, lines, headerLines + 1, lastError))
        return false;

    // Everything is read into locals first and taken over only when the
    // whole file is sound.
    std::string texts[7];
    const std::size_t textLabels[7] = {23, 23, 20, 20, 17, 17, 19};
    for (std::size_t t = 0; t < 7; ++t)
        texts[t] = textfile::afterLabel(lines[5 + t], textLabels[t]);

    std::string type;
    if (!canonicalConductionType(texts[6], type)) {
        lastError = textfile::lineReference(file, 12) + conductionTypeRefusal(texts[6]);
        return false;
    }

    double numbers[3] = {};
    const std::size_t numberLabels[3] = {29, 22, 15};
    for (std::size_t t = 0; t < 3; ++t) {
        std::string value = textfile::afterLabel(lines[12 + t], numberLabels[t]);
        if (!numfmt::parseDouble(value, numbers[t])) {
            lastError = textfile::lineReference(file, 13 + t) +
                        numfmt::notValidFloat(textfile::excerpt(value));
            return false;
        }
    }

    struct IntLine { std::size_t index; std::size_t label; int value; };
    IntLine ints[4] = {{15, 18, 0}, {17, 27, 0}, {18, 24, 0}, {19, 31, 0}};
    for (IntLine& n : ints) {
        std::string value = textfile::afterLabel(lines[n.index], n.label);
        if (!numfmt::parseInt(value, n.value)) {
            lastError = textfile::lineReference(file, n.index + 1) +
                        numfmt::notValidInteger(textfile::excerpt(value));
            return false;
        }
    }
    const std::string commentText = textfile::afterLabel(lines[16], 2);
    const int count = ints[3].value;
    if (count < 1) {
        lastError = textfile::lineReference(file, 20) + "the file announces " + std::to_string(count) +
                    " data for analysis; at least one is needed.";
        return false;
    }
    double smooth = 0;
    {
        std::string value = textfile::afterLabel(lines[20], 14);
        if (!numfmt::parseDouble(value, smooth)) {
            lastError = textfile::lineReference(file, 21) +
                        numfmt::notValidFloat(textfile::excerpt(value));
            return false;
        }
    }

    // The grid: 2 * count numbers from line 23 on, white space anywhere,
    // straight into the two arrays. A row takes at least four bytes ("1 1"
    // and a separator), so the count from the file reserves no more than the
    // rest of the file can hold.
    const std::size_t rows = static_cast<std::size_t>(count);
    const std::size_t wanted = rows * 2;
    DoubleArray columns[2];
    for (DoubleArray& column : columns)
        column.reserve(std::min(rows, (text.size() + 1) / 4 + 1));
    std::size_t got = 0;
    std::size_t lastLine = headerLines + 1;
    std::string_view line;
    while (got < wanted && reader.next(line)) {
        lastLine = reader.lineNumber();
        std::string_view token;
        while (got < wanted && textfile::nextToken(line, token)) {
            double v = 0;
            if (!numfmt::parseDouble(std::string(token), v)) {
                lastError = textfile::lineReference(file, reader.lineNumber()) +
                            numfmt::notValidFloat(textfile::excerpt(token));
                return false;
            }
            columns[got % 2].push_back(v);
            ++got;
        }
    }
    if (got < wanted) {
        lastError = file + ": the file ends at line " + std::to_string(lastLine) + " after " +
                    std::to_string(got / 2) + " complete rows, but line 20 (\"% Number "
                    "of data for analysis:\") announces " + std::to_string(count) + ".";
        return false;
    }

    measurementName = texts[0];
    measurementDate = texts[1];
    analysisName = texts[2];
    analysisDate = texts[3];
    sampleNumber = texts[4];
    semiconductor = texts[5];
    conductionType = type;
    sampleThickness = numbers[0];
    magneticField = numbers[1];
    current = numbers[2];
    // The file's number of data (line 16) describes the points it was made
    // from; dataCount keeps counting the points loaded now, so it always
    // matches the experimental arrays that this reader leaves alone.
    comment = commentText;
    firstDataIndex = ints[1].value;
    lastDataIndex = ints[2].value;
    smoothness = smooth;
    splineTemperature = std::move(columns[0]);
    splineConcentration = std::move(columns[1]);
    splineCount = count;
    return true;
}
