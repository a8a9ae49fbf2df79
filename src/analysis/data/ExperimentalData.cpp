// The experimental data file (*.nT, *.pT): a 17-line header read by position
// (labels are never compared, only their lengths count) followed by the
// points, three numbers each, separated by any white space.
#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/PhysicalResult.h"
#include "analysis/base/TextFile.h"

#include <algorithm>
#include <sstream>

bool Analysis::readExperimentalData()
{
    lastError.clear();
    const std::string& file = experimentalDataFileName;
    std::string text;
    if (!textfile::readText(file, text, lastError))
        return false;
    if (!textfile::checkLineLengths(file, text, lastError))
        return false;
    textfile::LineReader reader(text);
    const std::vector<std::string> lines = textfile::takeLines(reader, 17);
    if (!textfile::checkHeaderComplete(file, lines, 17, lastError))
        return false;
    originalFileName = textfile::afterLabel(lines[2], 17);
    measurementName = textfile::afterLabel(lines[4], 23);
    measurementDate = textfile::afterLabel(lines[5], 23);
    analysisName = textfile::afterLabel(lines[6], 20);
    analysisDate = textfile::afterLabel(lines[7], 20);
    sampleNumber = textfile::afterLabel(lines[8], 17);
    semiconductor = textfile::afterLabel(lines[9], 17);
    const std::string typeText = textfile::afterLabel(lines[10], 19);
    if (!canonicalConductionType(typeText, conductionType)) {
        lastError = textfile::lineReference(file, 11) + conductionTypeRefusal(typeText);
        return false;
    }

    struct NumberLine { std::size_t index; std::size_t label; double* field; };
    for (const NumberLine& n : {NumberLine{11, 29, &sampleThickness},
                                NumberLine{12, 22, &magneticField},
                                NumberLine{13, 15, &current}}) {
        std::string value = textfile::afterLabel(lines[n.index], n.label);
        if (!numfmt::parseDouble(value, *n.field)) {
            lastError = textfile::lineReference(file, n.index + 1) +
                        numfmt::notValidFloat(textfile::excerpt(value));
            return false;
        }
    }
    std::string countText = textfile::afterLabel(lines[14], 18);
    int count = 0;
    if (!numfmt::parseInt(countText, count)) {
        lastError = textfile::lineReference(file, 15) +
                    numfmt::notValidInteger(textfile::excerpt(countText));
        return false;
    }
    if (count < 0) {
        lastError = textfile::lineReference(file, 15) + "the number of data must not be negative.";
        return false;
    }
    if (count > physical::maxDataCount) {
        lastError = textfile::lineReference(file, 15) + "the file announces " + std::to_string(count) +
                    " data; at most " + std::to_string(physical::maxDataCount) + " points are analysed.";
        return false;
    }
    comment = textfile::afterLabel(lines[15], 2);

    // The points: 3 * count numbers from line 18 on, white space anywhere,
    // straight into the three arrays; nothing after the counted ones is kept.
    // A row takes at least six bytes ("1 1 1" and a separator), so the count
    // from the file reserves no more than the rest of the file can hold.
    const std::size_t rows = static_cast<std::size_t>(count);
    const std::size_t wanted = rows * 3;
    DoubleArray columns[3];
    for (DoubleArray& column : columns)
        column.reserve(std::min(rows, (text.size() + 1) / 6 + 1));
    std::size_t got = 0;
    std::string_view line;
    while (got < wanted && reader.next(line)) {
        std::string_view token;
        while (got < wanted && textfile::nextToken(line, token)) {
            double v = 0;
            if (!numfmt::parseDouble(std::string(token), v)) {
                lastError = textfile::lineReference(file, reader.lineNumber()) +
                            numfmt::notValidFloat(textfile::excerpt(token));
                return false;
            }
            // A typo in a temperature or a concentration is refused here: it
            // would stretch the grid or swamp every density.
            const std::string bad = got % 3 == 0   ? physical::temperatureProblem(v)
                                    : got % 3 == 1 ? physical::concentrationProblem(v)
                                                   : std::string();
            if (!bad.empty()) {
                lastError = textfile::lineReference(file, reader.lineNumber()) + bad;
                return false;
            }
            columns[got % 3].push_back(v);
            ++got;
        }
    }
    if (got < wanted) {
        lastError = file + ": the file holds " + std::to_string(got / 3) +
                    " complete data rows, but its header announces " + std::to_string(count) +
                    " (\"% Number of data:\", line 15).";
        return false;
    }
    // The arrays hold this file's points only, whatever was loaded before.
    temperature = std::move(columns[0]);
    concentration = std::move(columns[1]);
    reliability = std::move(columns[2]);
    dataCount = count;
    return true;
}

bool Analysis::writeExperimentalData()
{
    lastError.clear();
    std::ostringstream out;
    HeaderOptions h;
    h.title = "% Data of Hall-Effect Measurement";
    h.sampleGroup = true;
    writeHeaderBlock(out, h);
    textfile::putLine(out, "% Temperature [K]   Majority-Carrier Concentration [cm^-3]   Reliability   ");
    for (int i = 0; i < dataCount; ++i)
        textfile::putLine(out, numfmt::exact(temperature[i]) + "     " + numfmt::exact(concentration[i]) +
                                   "     " + numfmt::exact(reliability[i]));
    // Data files are written only after a save dialog, whose confirmation is
    // the user's consent to replace the sample's own file.
    return textfile::writeAtomic(experimentalDataFileName, out.str(), lastError, true);
}
