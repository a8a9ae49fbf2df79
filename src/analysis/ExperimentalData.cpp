// The experimental data file (*.nT, *.pT): a 17-line header read by position
// (labels are never compared, only their lengths count) followed by the
// points, three numbers each, separated by any white space.
#include "Analysis.h"
#include "NumberFormat.h"
#include "TextFile.h"

#include <sstream>

namespace {



} // namespace

bool Analysis::readExperimentalData()
{
    lastError.clear();
    std::vector<std::string> lines;
    if (!textfile::readLines(experimentalDataFileName, lines, lastError))
        return false;
    const std::string& file = experimentalDataFileName;
    if (!textfile::checkLineLengths(file, lines, lastError))
        return false;
    if (!textfile::checkHeaderComplete(file, lines, 17, lastError))
        return false;
    originalFileName = textfile::afterLabel(lines[2], 17);
    measurementName = textfile::afterLabel(lines[4], 23);
    measurementDate = textfile::afterLabel(lines[5], 23);
    analysisName = textfile::afterLabel(lines[6], 20);
    analysisDate = textfile::afterLabel(lines[7], 20);
    sampleNumber = textfile::afterLabel(lines[8], 17);
    semiconductor = textfile::afterLabel(lines[9], 17);
    conductionType = textfile::afterLabel(lines[10], 19);

    struct NumberLine { std::size_t index; std::size_t label; double* field; };
    for (const NumberLine& n : {NumberLine{11, 29, &sampleThickness},
                                NumberLine{12, 22, &magneticField},
                                NumberLine{13, 15, &current}}) {
        std::string text = textfile::afterLabel(lines[n.index], n.label);
        if (!numfmt::parseDouble(text, *n.field)) {
            lastError = textfile::lineReference(file, n.index + 1) + numfmt::notValidFloat(text);
            return false;
        }
    }
    std::string countText = textfile::afterLabel(lines[14], 18);
    int count = 0;
    if (!numfmt::parseInt(countText, count)) {
        lastError = textfile::lineReference(file, 15) + numfmt::notValidInteger(countText);
        return false;
    }
    if (count < 0) {
        lastError = textfile::lineReference(file, 15) + "the number of data must not be negative.";
        return false;
    }
    comment = textfile::afterLabel(lines[15], 2);

    // The points: 3 * count numbers from line 18 on, white space anywhere.
    DoubleArray values;
    // The count comes from the file: reserve no more than its rows can hold.
    values.reserve(std::min<std::size_t>(std::size_t(count) * 3, lines.size() * 3));
    for (std::size_t i = 17; i < lines.size() && values.size() < std::size_t(count) * 3; ++i) {
        for (const std::string& token : textfile::tokens(lines[i])) {
            if (values.size() == std::size_t(count) * 3)
                break;
            double v = 0;
            if (!numfmt::parseDouble(token, v)) {
                lastError = textfile::lineReference(file, i + 1) + numfmt::notValidFloat(token);
                return false;
            }
            values.push_back(v);
        }
    }
    if (values.size() < std::size_t(count) * 3) {
        lastError = file + ": the file holds " + std::to_string(values.size() / 3) +
                    " complete data rows, but its header announces " + std::to_string(count) +
                    " (\"% Number of data:\", line 15).";
        return false;
    }
    for (int i = 0; i < count; ++i) {
        temperature.push_back(values[3 * i]);
        concentration.push_back(values[3 * i + 1]);
        reliability.push_back(values[3 * i + 2]);
    }
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
        textfile::putLine(out, numfmt::g(temperature[i]) + "     " + numfmt::g(concentration[i]) +
                                   "     " + numfmt::g(reliability[i]));
    return textfile::writeAtomic(experimentalDataFileName, out.str(), lastError);
}
