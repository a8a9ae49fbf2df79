// The main window's buttons without the widgets: resets, the recalculation
// chain of the stage calculations, the compensating density and what the
// Simulation page holds. The window and the batch program both run these, so
// the two reach the same state and write the same files.
#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/TextFile.h"
#include "analysis/workflow/Resets.h"
#include "analysis/workflow/Warnings.h"

#include <algorithm>

namespace {

const char* const kNegativeCompensationNote =
    "  The simulation result might not be in good agreement with the experimental data at lower "
    "temperatures, because the negative compensating dansity is used. \n  The negative "
    "compensating density means that an undeterminable shallower level may exist.";

} // namespace

// ---- start-up and modes ---------------------------------------------------------

namespace {
const char* const kVersionInformation = "Version 1.7.1 (2017/8/23)";
const char* const kProgramTitle = "VORN Ver. 1.7.1";
const std::string kManualSuffix = " [manual mode]";

// Removes every trailing " [manual mode]" so that switching modes any number
// of times never stacks the suffix.
std::string withoutSuffix(std::string text)
{
    while (text.size() >= kManualSuffix.size() &&
           text.compare(text.size() - kManualSuffix.size(), kManualSuffix.size(), kManualSuffix) == 0)
        text.erase(text.size() - kManualSuffix.size());
    return text;
}
} // namespace

void Analysis::startUp(int release)
{
    releaseFlag = release == 1 ? 1 : 0;
    versionInformation = kVersionInformation;
    programTitle = kProgramTitle;
    setAdvancedMode(false);
    resetFrom(PipelineStage::ExperimentalData);
}

void Analysis::setAdvancedMode(bool advanced)
{
    versionInformation = withoutSuffix(versionInformation) + (advanced ? kManualSuffix : "");
    programTitle = withoutSuffix(programTitle) + (advanced ? kManualSuffix : "");
    advancedMode = advanced ? 1 : 0;
}

// ---- experimental data, data for analysis, material, Fermi level ---------------

FileOutcome Analysis::loadExperimentalData(const std::string& path)
{
    // The general reset ran before the open dialog (see the window's Load
    // Data); here only what follows the dialog.
    FileOutcome out;
    experimentalDataFileName = path;
    if (!readExperimentalData()) {
        out.error = lastError;
        return out;
    }
    resetFrom(PipelineStage::DataForAnalysis);
    // A new sample: its data file is what no result may replace now.
    textfile::setProtectedInputs({path});
    out.ok = true;
    out.resetFrom = PipelineStage::ExperimentalData;
    return out;
}

SplineOutcome Analysis::calculateDataForAnalysis(double smoothnessValue)
{
    SplineOutcome out;
    smoothness = smoothnessValue;
    out.computed = chooseSplinePoints() && computeSpline();
    if (out.computed) {
        out.deviation = largestDeviation(splineTemperature, splineConcentration, splineCount, temperature,
                                         concentration, reliability, 0);
        out.deviationText = deviationSummary(out.deviation);
    } else {
        out.error = lastError;
        // No spline may stay behind: later stages would be computed from a
        // curve the user no longer sees.
        splineCount = 0;
        splineTemperature.clear();
        splineConcentration.clear();
    }
    // Every later stage was built on the previous spline; without a new one
    // the spline's own page is stale too.
    resetFrom(PipelineStage::FermiLevel);
    out.resetFrom = out.computed ? PipelineStage::FermiLevel : PipelineStage::DataForAnalysis;
    return out;
}

SmoothnessOutcome Analysis::automaticSmoothness()
{
    SmoothnessOutcome out;
    if (!chooseSplinePoints()) {
        out.error = lastError;
        return out;
    }
    out.value = chooseSmoothnessByGcv();
    if (!(out.value > 0)) {
        out.value = 0;
        out.error = lastError;
        return out;
    }
    if (out.value <= 0.001)
        out.note = "The cross-validation score is smallest at the end of the searched range: the data "
                   "ask for a spline that nearly interpolates them (noise-free or densely curved data).";
    else if (out.value >= 1e9)
        out.note = "The cross-validation score is smallest at the end of the searched range: the data "
                   "ask for an almost straight line.";
    return out;
}

DataForAnalysisOutcome Analysis::saveDataForAnalysis(const std::string& path)
{
    DataForAnalysisOutcome out;
    const std::string previous = splineFileName;
    splineFileName = path;
    if (!writeSplineFile()) {
        // Headers keep naming the file that really holds a spline.
        splineFileName = previous;
        out.error = lastError;
        return out;
    }
    out.ok = true;
    out.materialKnown = lookupMaterial();
    effectiveDosPending = !out.materialKnown;
    return out;
}

DataForAnalysisOutcome Analysis::loadDataForAnalysis(const std::string& path)
{
    DataForAnalysisOutcome out;
    out.resetFrom = PipelineStage::DataForAnalysis;
    resetFrom(*out.resetFrom);
    splineFileName = path;
    if (!readSplineFile()) {
        out.error = lastError;
        splineFileName.clear();
        return out;
    }
    textfile::addProtectedInput(path);
    out.ok = true;
    out.materialKnown = lookupMaterial();
    effectiveDosPending = !out.materialKnown;
    return out;
}

void Analysis::beginEffectiveDosInput() { effectiveDosPending = true; }

FileOutcome Analysis::calculateEffectiveDosInput(double typedMass, double typedMinima)
{
    FileOutcome out;
    out.ok = calculateEffectiveDos(typedMass, typedMinima);
    if (!out.ok)
        out.error = lastError;
    else
        effectiveDosPending = false;
    return out;
}

FileOutcome Analysis::setEffectiveDos(double value)
{
    FileOutcome out;
    if (!(value > 0) || value > 1e300) {
        out.error = "The effective density of states must be a positive number.";
        return out;
    }
    dos0 = value;
    effectiveDosPending = false;
    out.ok = true;
    return out;
}

FermiLevelOutcome Analysis::calculateFermiLevelStage()
{
    FermiLevelOutcome out;
    if (effectiveDosPending) {
        out.refused = true;
        out.error = "Please calcutate the effective density of states first.";
        return out;
    }
    out.computed = computeFermiLevel();
    if (!out.computed)
        out.error = lastError;
    if (out.computed && advancedMode == 1) {
        out.experimentalDrawn = computeExperimentalFermiLevel();
        // The grid result stands; only the points cannot be shown (or saved).
        if (!out.experimentalDrawn)
            out.error = lastError;
    }
    out.resetFrom = PipelineStage::Stage1;
    resetFrom(*out.resetFrom);
    return out;
}

namespace {
// Stores `path` in `field` and writes; the old name comes back on failure so
// that headers keep naming the file that really exists.
template <class Write>
FileOutcome saveAs(Analysis& a, std::string& field, const std::string& path, Write write)
{
    FileOutcome out;
    const std::string previous = field;
    field = path;
    out.ok = (a.*write)();
    if (!out.ok) {
        field = previous;
        out.error = a.lastError;
    }
    return out;
}
} // namespace

FileOutcome Analysis::saveFermiLevel(const std::string& path)
{
    return saveAs(*this, fermiLevelFileName, path, &Analysis::writeFermiLevelFile);
}

FileOutcome Analysis::saveExperimentalFermiLevel(const std::string& path)
{
    return saveAs(*this, experimentalFermiLevelFileName, path, &Analysis::writeExperimentalFermiLevelFile);
}

FileOutcome Analysis::loadFermiLevel(const std::string& path)
{
    FileOutcome out;
    out.resetFrom = PipelineStage::FermiLevel;
    resetFrom(*out.resetFrom);
    fermiLevelFileName = path;
    out.ok = readFermiLevelFile();
    if (!out.ok) {
        out.error = lastError;
        fermiLevelFileName.clear();
        // The page goes back to where it was after the data for analysis.
        effectiveDosPending = !lookupMaterial();
    } else {
        textfile::addProtectedInput(path);
    }
    return out;
}

FunctionTypeOutcome Analysis::changeFunctionType(int type)
{
    functionType = type;
    FunctionTypeOutcome out;
    out.resetFrom = PipelineStage::Stage1;
    resetFrom(*out.resetFrom);
    out.stage1Ready = stage1Ready();
    return out;
}

bool Analysis::stage1Ready() const { return splineCount > 10; }

// ---- stage calculations and the recalculation chain ------------------------------

namespace {
bool peakInsideGrid(const Analysis& a, int k)
{
    if (k < 0 || k > 2 || k >= static_cast<int>(a.hCurve.size()))
        return false;
    const int n = std::min(static_cast<int>(a.hCurve[k].size()),
                           static_cast<int>(a.splineTemperature.size()));
    return 0 < a.peakIndex[k] && a.peakIndex[k] < n - 1;
}

const char* const kFinished = "Evaluation has been finished!";
} // namespace

StageCalculationOutcome Analysis::calculateStage(int stage)
{
    using Kind = StageCalculationOutcome::Kind;
    StageCalculationOutcome out;
    // H1 starts its page afresh; H2 and H3 redraw their own page (the
    // window clears its curve) and reset what follows them.
    out.resetFrom = stage == 0 ? PipelineStage::Stage1 : stageAfter(stage);
    auto coreError = [&] {
        if (!lastError.empty())
            out.messages.push_back({true, lastError});
    };

    if (stage == 0) {
        resetFrom(stageAfter(0));
        simulationInputs.resetFromStage(0);
        // A new H1 starts without any compensating density.
        out.laterCaptionsReset = releaseCompensation();
        if (!autoCalculateStage(0)) {
            coreError();
            out.messages.push_back({true, "H1 could not be calculated."});
            out.calculationEnabled = true;
            return out;
        }
        recalculationRequested = 0;
        recalculationFailed = 0;
        calculateExperimentalH(0);
        out.kind = Kind::Calculated;
        out.calculationEnabled = true;
        out.peakInside = peakInsideGrid(*this, 0);
        return out;
    }

    if (stage == 1) {
        resetFrom(stageAfter(1));
        simulationInputs.resetFromStage(1);
        if (compensationStage > 0) {
            releaseCompensation();
            out.compensationLabel = "0";
            out.laterCaptionsReset = true;
        }
        if (compensationStage == 0) {
            // The H1 compensating density is added to H2 this time.
            compensatingDensity = stageCompensatingDensity[0];
            simulationInputs.compensating = numfmt::density(compensatingDensity);
            simulationInputs.compensationTicked = true;
            out.compensationLabel = numfmt::density(compensatingDensity);
            out.laterCaptionsReset = true;
        }

        const bool ok = autoCalculateStage(1);
        const bool curveFailed = !ok && !lastError.empty();
        if (ok && compensationFixed == 1 && referenceEnergy[1] < 0) {
            out.kind = Kind::Finished;
            out.messages.push_back({false, kFinished});
            recalculationRequested = 0;
            simulationInputs.compensationTicked = true;
            return out;
        }
        if (ok && referenceEnergy[1] == 0 && fitStartIndex[0] / 2 <= peakIndex[1] &&
            peakIndex[1] <= peakIndex[0]) {
            out.kind = Kind::CalculateAgain;
            out.messages.push_back({false, "Calculation of reasonable H2 is carried out again."});
            out.calculationEnabled = true;
            out.calculateAgain = true;
            if (h2WindowHalved == 1) {
                // The halved window did not help either: H2 is calculated
                // again with the (negative) H1 compensating density.
                useNegativeCompensation = true;
                compensationStage = 0;
                compensationFixed = 1;
                recalculationRequested = 1;
                h2WindowHalved = 0;
                out.compensationLabel = numfmt::density(compensatingDensity);
                simulationInputs.compensating = out.compensationLabel;
                simulationInputs.compensationTicked = true;
                out.laterCaptionsReset = true;
            } else {
                h2WindowHalved = 1;
            }
            return out;
        }
        if (ok) {
            out.kind = Kind::Calculated;
            out.calculationEnabled = true;
            recalculationRequested = 0;
            recalculationFailed = 0;
            calculateExperimentalH(1);
            out.peakInside = peakInsideGrid(*this, 1);
            if (h2WindowHalved == 0 && peakIndex[1] < peakIndex[0] && referenceEnergy[1] > 0)
                out.question = "  There is a possibility that a reasonable energy level may not "
                               "be obtained. \n  Do you calculate H2 again using the compensating "
                               "density obtained in H1?";
            return out;
        }
        if (!curveFailed && recalculationRequested == 1) {
            out.kind = Kind::CalculateAgain;
            out.messages.push_back({false, "Calculation of reasonable H2 is carried out again."});
            out.calculationEnabled = true;
            out.calculateAgain = true;
            compensatingDensity = stageCompensatingDensity[0];
            out.compensationLabel = numfmt::density(compensatingDensity);
            simulationInputs.compensating = out.compensationLabel;
        } else if (!curveFailed && compensationFixed == 1) {
            out.kind = Kind::Finished;
            out.messages.push_back({false, kFinished});
            recalculationRequested = 0;
        } else {
            coreError();
            out.messages.push_back({true, "Reasonable H2 could not be calculated."});
            out.calculationEnabled = true;
            recalculationRequested = 0;
        }
        simulationInputs.compensationTicked = true;
        return out;
    }

    // stage 2
    resetFrom(stageAfter(2));
    simulationInputs.resetFromStage(2);
    if (compensationStage > 1)
        releaseCompensation();
    if (compensationStage == 1) {
        compensatingDensity = stageCompensatingDensity[1];
        simulationInputs.compensating = numfmt::density(compensatingDensity);
        simulationInputs.compensationTicked = true;
    }
    const bool ok = autoCalculateStage(2);
    if (!ok) {
        if (lastError.empty() && recalculationRequested == 1) {
            out.kind = Kind::CalculateAgain;
            out.messages.push_back({false, "Calculation of reasonable H3 is carried out again."});
            out.calculateAgain = true;
            compensatingDensity = stageCompensatingDensity[1];
            out.compensationLabel = numfmt::density(compensatingDensity);
        } else {
            coreError();
            out.messages.push_back({true, "Reasonable H3 could not be calculated."});
            recalculationRequested = 0;
        }
        out.calculationEnabled = true;
        simulationInputs.compensating = numfmt::density(compensatingDensity);
        simulationInputs.compensationTicked = true;
        return out;
    }
    if (compensationFixed == 1 && referenceEnergy[2] < 0) {
        out.kind = Kind::Finished;
        out.messages.push_back({false, kFinished});
        recalculationRequested = 0;
        simulationInputs.compensating = numfmt::density(compensatingDensity);
        simulationInputs.compensationTicked = true;
        return out;
    }
    out.kind = Kind::Calculated;
    out.calculationEnabled = true;
    recalculationRequested = 0;
    calculateExperimentalH(2);
    out.peakInside = peakInsideGrid(*this, 2);
    if ((peakIndex[2] < peakIndex[1] || peakIndex[2] < peakIndex[0]) && referenceEnergy[2] > 0)
        out.question = "  There is a possibility that a reasonable energy level may not be "
                       "obtained. \n  Do you calculate H3 again using the compensating "
                       "density obtained in H2?";
    return out;
}

RecalculationOutcome Analysis::answerRecalculationQuestion(int stage)
{
    // Fixing the earlier stage's density is what makes the next calculation
    // add it (the question promises exactly that).
    RecalculationOutcome out = evaluateAgain(stage);
    if (out.applied)
        simulationInputs.compensating = out.compensationLabel;
    return out;
}

StageCalculationOutcome Analysis::calculateStage1At(double eref)
{
    StageCalculationOutcome out;
    out.resetFrom = PipelineStage::Stage1;
    simulationInputs.resetFromStage(0);
    bool released = false;
    const bool ok = calculateStage1AtReferenceEnergy(eref, &released);
    out.laterCaptionsReset = released;
    out.calculationEnabled = true;
    if (!ok) {
        out.messages.push_back({true, lastError});
        return out;
    }
    out.kind = StageCalculationOutcome::Kind::Calculated;
    out.peakInside = true; // the precise calculation always offers its peak
    return out;
}

void Analysis::stepPeak(int stage, bool up)
{
    // A peak chosen by hand is evaluated with its own compensation, not with
    // one fixed by this stage before.
    if (stage == 0 || compensationStage == stage)
        compensationFixed = 0;
    if (up)
        nextPeakUp(stage);
    else
        nextPeakDown(stage);
}

// ---- evaluation, remarks, negative compensation ----------------------------------

Analysis::EvaluationOutcome Analysis::evaluate(int stage, double g)
{
    if (stage >= 0 && stage < 4)
        degeneracyFactor[stage] = g;
    EvaluationOutcome out = runEvaluation(stage);
    using Kind = EvaluationOutcome::Kind;
    if (out.kind == Kind::Evaluated) {
        stageEvaluationType[stage] = evaluationType;
        simulationInputs.resetFromStage(stage + 1);
        out.resetFrom = stageAfter(stage);
        if (out.levelBelowLowestThermalEnergy)
            lastEvaluatedStage = stage;
    } else if (out.kind == Kind::RecalculationRequested) {
        simulationInputs.compensating = numfmt::density(compensatingDensity);
        simulationInputs.compensationTicked = true;
    }
    return out;
}

RecalculationOutcome Analysis::evaluateAgain(int stage)
{
    RecalculationOutcome out;
    out.applied = applyEvaluationAgain(stage);
    if (!out.applied)
        return out;
    out.compensationLabel = numfmt::density(compensatingDensity);
    simulationInputs.compensationTicked = true;
    return out;
}

RecalculationOutcome Analysis::evaluateAgainFromSimulationPage(int stage)
{
    RecalculationOutcome out;
    // H1 has no stage before it whose compensating density could be used.
    if (stage < 1 || stage > 2 || !applyEvaluationAgain(stage))
        return out;
    out.applied = true;
    out.compensationLabel = numfmt::density(compensatingDensity);
    out.resetFrom = stageAfter(stage);
    resetFrom(*out.resetFrom);
    simulationInputs.resetFromStage(stage);
    return out;
}

void Analysis::toggleNegativeCompensation()
{
    useNegativeCompensation = !useNegativeCompensation;
    setNegativeCompensation(useNegativeCompensation);
    simulationInputs.compensating = useNegativeCompensation ? numfmt::density(compensatingDensity) : "0";
    simulationInputs.compensationTicked = useNegativeCompensation;
}

// ---- stage results, simulation ----------------------------------------------------

StageSaveOutcome Analysis::saveStageResults(int stage, const std::string& path)
{
    StageSaveOutcome out;
    if (!saveStageFile(stage, StageFile::Results, path)) {
        out.error = lastError;
        return out;
    }
    out.ok = true;
    const StageSaveFollowUp f = stageSaveFollowUp(stage);
    out.enableNextStage = stage < 2 && f.enableNextStage;
    out.evaluationCompleted = stage < 2 && !f.enableNextStage && f.evaluationCompleted;
    // The species found up to this stage go to the Simulation page.
    const int species = std::clamp(f.simulationSpecies, 0, 3);
    for (int j = 0; j < species; ++j) {
        simulationInputs.speciesTicked[j] = true;
        simulationInputs.density[j] = numfmt::density(density[j]);
        simulationInputs.energy[j] = numfmt::energy(energyLevel[j]);
        simulationInputs.degeneracy[j] = numfmt::degeneracy(degeneracyFactor[j]);
    }
    simulationInputs.compensating = numfmt::density(f.pageCompensatingDensity);
    if (f.tickCompensation)
        simulationInputs.compensationTicked = true;
    return out;
}

namespace {
// The text of one field, const or not.
template <class Inputs>
auto& inputText(Inputs& in, SimulationField field)
{
    const int f = std::clamp(static_cast<int>(field), 0, static_cast<int>(SimulationField::Count) - 1);
    if (f == static_cast<int>(SimulationField::Compensating))
        return in.compensating;
    const int species = f / 3;
    switch (f % 3) {
    case 0:
        return in.density[species];
    case 1:
        return in.energy[species];
    default:
        return in.degeneracy[species];
    }
}
} // namespace

void Analysis::setSimulationInput(SimulationField field, const std::string& text)
{
    inputText(simulationInputs, field) = text;
}

const std::string& Analysis::simulationInputText(SimulationField field) const
{
    return inputText(simulationInputs, field);
}

void Analysis::setSimulationTick(int box, bool ticked)
{
    if (box >= 0 && box < 3)
        simulationInputs.speciesTicked[box] = ticked;
    else if (box == 3)
        simulationInputs.compensationTicked = ticked;
}

SimulationOutcome Analysis::runSimulation()
{
    SimulationOutcome out;
    for (int i = 0; i < 3; ++i)
        simulationInclude[i] = simulationInputs.speciesTicked[i] ? 1 : 0;
    simulationInclude[3] = 0;
    simulationInclude[4] = simulationInputs.compensationTicked ? 1 : 0;

    // Read in page order; each value is stored as soon as it is read, so a
    // text that is not a number stops with the earlier ones already taken.
    double* targets[] = {&simulationDensity[0], &simulationEnergyLevel[0], &degeneracyFactor[0],
                         &simulationDensity[1], &simulationEnergyLevel[1], &degeneracyFactor[1],
                         &simulationDensity[2], &simulationEnergyLevel[2], &degeneracyFactor[2],
                         &simulationCompensatingDensity};
    for (int f = 0; f < static_cast<int>(SimulationField::Count); ++f) {
        const std::string& text = simulationInputText(static_cast<SimulationField>(f));
        double value = 0;
        if (!numfmt::parseDouble(text, value)) {
            out.failedField = f;
            out.failedText = text;
            return out;
        }
        *targets[f] = value;
    }
    simulateConcentration();
    out.simulated = true;
    if (compensatingDensity < 0)
        out.messages.push_back({false, kNegativeCompensationNote});
    const SimulationDeviation d = simulationDeviation();
    if (d.points > 0) {
        out.largestDeviation = d.largest;
        out.deviationTemperature = d.temperature;
        const std::string percent = deviationPercent(d.largest);
        out.deviationText = "Largest deviation from the measured points: " + percent + " % at " +
                            numfmt::general(d.temperature) + " K";
        const std::string warning = simulationDeviationWarning(d);
        if (!warning.empty())
            out.messages.push_back({false, "Warning: " + warning});
    }
    return out;
}
