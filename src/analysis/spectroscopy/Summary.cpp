// The obtained-results summary (*.datH, *.datS) and the texts of the remarks
// window. Kept in the core so that the window and a batch run produce the same
// summary from the same analysis object.
#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/TextFile.h"

#include <sstream>

namespace {

// Label part of each summary line; the values follow on lines 1..12 and
// 14..20, line 2 takes the function-type text.
const char* const summaryLabels[21] = {
    "VORN (Automatic Evaluation Version)",
    "% Version Information:     ",
    " Function Type:  ",
    "Sample Number:             ",
    "Semiconductor:             ",
    "Conduction Type:           ",
    "Original File:             ",
    "File of Experimental Data: ",
    "Data File for Analysis:    ",
    "Fermi Level File:          ",
    "H1 File:                   ",
    "H2 File:                   ",
    "H3 File:                   ",
    "Obtained Results",
    "First Density:                   ",
    "First Energy Level:              ",
    "Second Density:                  ",
    "Second Energy Level:             ",
    "Third Density:                   ",
    "Third Energy Level:              ",
    "Conpensating Density:            ",
};

std::string densityWithUnit(double value) { return numfmt::density(value) + " cm^-3"; }
std::string levelText(double value) { return numfmt::pattern(value, "0.0000") + " eV"; }

} // namespace

std::vector<std::string> Analysis::obtainedResultsLabels()
{
    return std::vector<std::string>(std::begin(summaryLabels), std::end(summaryLabels));
}

std::vector<std::string> Analysis::obtainedResultsLines() const
{
    std::vector<std::string> lines = obtainedResultsLabels();
    lines[1] += versionInformation;
    lines[2] += functionTypeText();
    lines[3] += sampleNumber;
    lines[4] += semiconductor;
    lines[5] += conductionType;
    lines[6] += originalFileName;
    lines[7] += experimentalDataFileName;
    lines[8] += splineFileName;
    lines[9] += fermiLevelFileName;
    lines[10] += h1FileName;
    lines[11] += h2FileName;
    lines[12] += h3FileName;
    lines[14] += densityWithUnit(density[0]);
    lines[15] += levelText(energyLevel[0]);
    lines[16] += densityWithUnit(density[1]);
    lines[17] += levelText(energyLevel[1]);
    lines[18] += densityWithUnit(density[2]);
    lines[19] += levelText(energyLevel[2]);
    lines[20] += densityWithUnit(compensatingDensity);
    return lines;
}

std::string Analysis::obtainedResultsFileName() const
{
    // The summary belongs to the Fermi-level file, but it may be saved as soon
    // as data are loaded; then the data file names the sample.
    const std::string& base = !fermiLevelFileName.empty() ? fermiLevelFileName
                                                          : experimentalDataFileName;
    if (base.empty())
        return std::string();
    return replaceExtension(base, functionType == 1 ? ".datS" : ".datH");
}

bool Analysis::writeObtainedResults(const std::string& path, const std::vector<std::string>& lines)
{
    lastError.clear();
    std::ostringstream out;
    for (const std::string& line : lines)
        textfile::putLine(out, line);
    return textfile::writeResult(path, out.str(), lastError);
}

bool Analysis::writeObtainedResults(const std::string& path)
{
    return writeObtainedResults(path, obtainedResultsLines());
}

bool Analysis::remarksTexts(int stage, std::array<std::string, 4>& texts) const
{
    if (stage < 0 || stage > 2)
        return false;
    const std::string reason = "This is because the energy level is lower than " +
                               numfmt::energy(lowestThermalEnergy) +
                               " eV, which is corresponding to the lowest measurment temperature.";
    if (stage == 0) {
        // H1 has no stage before it: nothing to recommend, only the reason.
        texts = {std::string(), reason, std::string(), std::string()};
        return true;
    }
    const bool second = stage == 1;
    texts[0] = second ? "The second energy level obtained in H2 may not be reliable."
                      : "The third energy level obtained in H3 may not be reliable.";
    texts[1] = reason;
    texts[2] = std::string(second ? "Recommend that you evaluate the second energy level using a "
                                    "compensating density of "
                                  : "Recommend that you evaluate the third energy level using a "
                                    "compensating density of ") +
               numfmt::density(stageCompensatingDensity[stage - 1]) + " cm^-3.";
    texts[3] = "The negative compensating density means that energy levels shallower than " +
               numfmt::energy(energyLevel[0]) + " eV may exist.";
    return true;
}

std::string Analysis::withDefaultExtension(const std::string& path, const std::string& extension)
{
    const std::size_t slash = path.find_last_of('/');
    const std::string file = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = file.rfind('.');
    if (file.empty())
        return path;
    if (dot == std::string::npos || dot == 0)
        return path + "." + extension;
    return dot + 1 == file.size() ? path + extension : path;
}
