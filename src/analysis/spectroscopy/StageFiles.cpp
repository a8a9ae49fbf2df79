// The spectroscopy result files of stages 1 to 3 (*.H1 .. *.H3E, or *.S1 ..
// *.S3E for the S function) and the non-widget part of their save buttons.
// The S files keep the H labels inside; only extension and function line
// differ.
#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/TextFile.h"

#include <algorithm>
#include <sstream>

namespace {

using textfile::putLine;

const char* const dashLine = "% ------------------------------------------------------------ ";
const char* const stageTitle[3] = {"% First Analysis (Automatic Evaluation Version ",
                                   "% Second Analysis (Automatic Evaluation Version ",
                                   "% Third Analysis (Automatic Evaluation Version "};
const char* const ordinal[3] = {"First", "Second", "Third"};

bool validStage(int stage) { return stage >= 0 && stage <= 2; }

std::string hName(int stage) { return "H" + std::to_string(stage + 1); }

std::string row(std::initializer_list<double> values)
{
    std::string line;
    for (double v : values) {
        if (!line.empty())
            line += "     ";
        line += numfmt::g(v);
    }
    return line;
}

const DoubleArray* slotOf(const CurveSet& set, int slot)
{
    return slot < static_cast<int>(set.size()) ? &set[slot] : nullptr;
}

} // namespace

std::string Analysis::stageFileExtension(int stage, StageFile kind) const
{
    std::string ext = std::string(functionType == 1 ? ".S" : ".H") + std::to_string(stage + 1);
    if (kind == StageFile::Experimental)
        ext += "E";
    return ext;
}

std::string& Analysis::stageFileName(int stage, StageFile kind)
{
    thread_local std::string none; // per thread: analyses may run in several
    none.clear();
    const bool results = kind == StageFile::Results;
    switch (stage) {
    case 0: return results ? h1FileName : experimentalH1FileName;
    case 1: return results ? h2FileName : experimentalH2FileName;
    case 2: return results ? h3FileName : experimentalH3FileName;
    default: return none;
    }
}

Analysis::SaveProposal Analysis::stageSaveProposal(int stage, StageFile kind) const
{
    // Filter indices of the main save dialog: H1..H3 are 3..5, S1..S3 7..9,
    // H1E/S1E 11/12, H2E/S2E 14/15, H3E/S3E 16/17.
    static const int resultsFilter[2][3] = {{3, 4, 5}, {7, 8, 9}};
    static const int experimentalFilter[2][3] = {{11, 14, 16}, {12, 15, 17}};
    SaveProposal p;
    if (!validStage(stage))
        return p;
    const int s = functionType == 1 ? 1 : 0;
    std::string base = fermiLevelFileName;
    if (kind == StageFile::Results && stage == 1)
        base = h1FileName;
    else if (kind == StageFile::Results && stage == 2)
        base = h2FileName;
    p.fileName = replaceExtension(base, stageFileExtension(stage, kind));
    p.filterIndex = kind == StageFile::Results ? resultsFilter[s][stage] : experimentalFilter[s][stage];
    return p;
}

namespace {

// Checks that every array a stage file reads covers the rows it writes, so an
// incomplete stage gives an error instead of reading past an array.
std::string incompleteStage(const Analysis& a, int s, bool results)
{
    const std::string what = "The " + hName(s) + " results are incomplete";
    const DoubleArray* h = slotOf(a.hCurve, s);
    if (!h || h->empty())
        return what + " (no " + hName(s) + " curve)";
    const int p = a.peakIndex[s];
    if (p < 0 || p >= static_cast<int>(h->size()) || p >= static_cast<int>(a.splineTemperature.size()))
        return what + " (no peak)";
    const std::size_t grid = static_cast<std::size_t>(std::max(a.splineCount, 0));
    if (results) {
        const DoubleArray* red = slotOf(a.simulatedHCurve, s);
        if (a.splineTemperature.size() < grid || h->size() < grid || !red || red->size() < grid)
            return what + " (the curves do not cover the grid)";
    } else {
        const DoubleArray* e = slotOf(a.experimentalHCurve, s);
        const std::size_t n = static_cast<std::size_t>(std::max(a.dataCount, 0));
        if (!e || e->size() < n || a.temperature.size() < n || a.concentration.size() < n ||
            a.reliability.size() < n)
            return what + " (no value at every measured point)";
    }
    return {};
}

std::string stageFile(Analysis& a, int s, bool results)
{
    const std::string H = hName(s);
    std::ostringstream out;
    HeaderOptions h = HeaderOptions::onFermiLevel(stageTitle[s] + a.evaluationType + " )", a.fermiLevelFileName, true);
    if (s == 0 && !results) {
        h.ownFileLines = {{"% Experimental H1 file: ", a.experimentalH1FileName}};
    } else {
        const std::string* names[3] = {&a.h1FileName, &a.h2FileName, &a.h3FileName};
        for (int j = 0; j <= s; ++j)
            h.ownFileLines.emplace_back("% H" + std::to_string(j + 1) + " file: ", *names[j]);
        if (!results)
            h.ownFileLines.back().second = a.stageFileName(s, Analysis::StageFile::Experimental);
    }
    h.sampleGroup = h.splineGroup = h.materialGroup = true;
    a.writeHeaderBlock(out, h);

    using numfmt::general;
    const DoubleArray& curve = a.hCurve[s];
    const int p = a.peakIndex[s];
    putLine(out, dashLine);
    putLine(out, "% Conditions for analysis of " + H + " ");
    putLine(out, dashLine);
    putLine(out, "% E_ref for " + H + " [eV]: " + general(a.referenceEnergy[s]));
    putLine(out, "% Peak temperature of " + H + " [K]: " + general(a.splineTemperature[p]));
    putLine(out, "% Peak value of " + H + " [cm^-6 eV^-2.5]: " + general(curve[p]));
    // The stage-1 experimental file is the only one saved before its stage is
    // evaluated, so it carries no evaluation conditions.
    if (results || s > 0) {
        putLine(out, "% Degeneracy factor for " + H + ": " + general(a.degeneracyFactor[s]));
        putLine(out, "% Check temperature of " + H + " [K]: " + general(a.checkTemperature[s]));
    }

    if (results) {
        putLine(out, dashLine);
        putLine(out, "% Obtained results ");
        putLine(out, dashLine);
        for (int j = 0; j <= s; ++j) {
            putLine(out, std::string("% ") + ordinal[j] + " density [cm^-3]: " + general(a.density[j]));
            putLine(out, std::string("% ") + ordinal[j] + " energy level [eV]: " +
                             general(a.energyLevel[j]));
        }
        putLine(out, "% temporary compensating density [cm^-3]: " +
                         general(a.stageCompensatingDensity[s]));
        putLine(out, "% Compenating density [cm^-3]: " + general(a.compensatingDensity));
        putLine(out, "% Temperature [K]   " + H + "(T,E_ref) [cm^-6 eV^-2.5]   simulated " + H +
                         "(T,E_ref) [cm^-6 eV^-2.5] ");
        const DoubleArray& red = a.simulatedHCurve[s];
        for (int j = 0; j < a.splineCount; ++j)
            putLine(out, row({a.splineTemperature[j], curve[j], red[j]}));
    } else {
        putLine(out, std::string("% Temperature [K]   Concentration [cm^-3]   ") +
                         (s == 0 ? "experimental " : "Experimental ") + H +
                         "(T,E_ref) [cm^-6 eV^-2.5]   reliability ");
        const DoubleArray& e = a.experimentalHCurve[s];
        for (int i = 0; i < a.dataCount; ++i)
            putLine(out, row({a.temperature[i], a.concentration[i], e[i], a.reliability[i]}));
    }
    return out.str();
}

bool writeStageFile(Analysis& a, int s, bool results)
{
    a.lastError.clear();
    const auto kind = results ? Analysis::StageFile::Results : Analysis::StageFile::Experimental;
    if (!validStage(s)) {
        a.lastError = "There is no stage " + std::to_string(s + 1) + " to save.";
        return false;
    }
    const std::string& path = a.stageFileName(s, kind);
    if (std::string why = incompleteStage(a, s, results); !why.empty()) {
        a.lastError = why + "; " + (path.empty() ? std::string("the file") : path) +
                      " was not written.";
        return false;
    }
    return textfile::writeResult(path, stageFile(a, s, results), a.lastError);
}

} // namespace

bool Analysis::writeStageResults(int stage) { return writeStageFile(*this, stage, true); }
bool Analysis::writeStageExperimental(int stage) { return writeStageFile(*this, stage, false); }

bool Analysis::saveStageFile(int stage, StageFile kind, const std::string& path)
{
    if (!validStage(stage)) {
        lastError = "There is no stage " + std::to_string(stage + 1) + " to save.";
        return false;
    }
    std::string& field = stageFileName(stage, kind);
    const std::string previous = field;
    field = path;
    const bool ok = kind == StageFile::Results ? writeStageResults(stage) : writeStageExperimental(stage);
    if (!ok) {
        // Later headers and proposals must not name a file that was never written.
        field = previous;
        return false;
    }
    if (kind == StageFile::Results)
        evaluationType = evaltype::name(evaltype::kDefault);
    return true;
}

bool Analysis::needsNextStage(int stage) const
{
    if (!compensationFixed)
        return true;
    if (!validStage(stage))
        return false;
    const DoubleArray* h = slotOf(hCurve, stage);
    const DoubleArray* red = slotOf(simulatedHCurve, stage);
    if (!h || !red)
        return false;
    const std::size_t n = std::min(h->size(), red->size());
    int above = 0;
    for (std::size_t j = 0; j < n; ++j)
        if ((*h)[j] - (*red)[j] > 0)
            ++above;
    return above >= 300;
}

Analysis::StageSaveFollowUp Analysis::stageSaveFollowUp(int stage) const
{
    StageSaveFollowUp f;
    if (!validStage(stage))
        return f;
    if (stage < 2) {
        f.enableNextStage = needsNextStage(stage);
        f.evaluationCompleted = !f.enableNextStage;
    }
    f.simulationSpecies = stage + 1;
    f.tickCompensation = compensationFixed != 0;
    f.pageCompensatingDensity = compensationFixed ? compensatingDensity : stageCompensatingDensity[stage];
    return f;
}
