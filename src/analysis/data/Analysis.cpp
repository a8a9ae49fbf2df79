#include "analysis/data/Analysis.h"

Analysis C;

Analysis::Analysis() = default;

void Analysis::resetAll()
{
    evaluationType = evaltype::name(evaltype::kDefault);
    functionType = 2;
    autoCalculation = 1;
    excitedStatesCaution = 0;
    energyBisectionSteps = 30;
    fermiBisectionSteps = 30;
    for (std::string* s : {&originalFileName, &experimentalDataFileName, &splineFileName,
                           &fermiLevelFileName, &h1FileName, &h2FileName, &h3FileName,
                           &simulationFileName, &measurementName, &measurementDate,
                           &analysisName, &analysisDate, &sampleNumber, &semiconductor,
                           &conductionType, &comment})
        s->clear();
    sampleThickness = magneticField = current = 0;
    dataCount = 0;
    temperature.clear();
    concentration.clear();
    reliability.clear();

    resetSpline();
    splineTemperature.clear();
    resetFermiLevel();

    for (CurveSet* set : {&hCurve, &simulatedHCurve, &trialHCurve, &experimentalHCurve})
        set->assign(4, DoubleArray{});
    for (int k = 0; k < 4; ++k) {
        density[k] = trialDensity[k] = energyLevel[k] = trialEnergyLevel[k] = 0;
        stageCompensatingDensity[k] = referenceEnergy[k] = checkTemperature[k] = 0;
        degeneracyFactor[k] = 1.0;
        peakIndex[k] = fitStartIndex[k] = 0;
        trialMessage[k].clear();
        stageMessage[k].clear();
    }
    compensationFixed = energyLevelInRange = recalculationRequested = 0;
    recalculationFailed = h2WindowHalved = 0;
    compensationStage = -1;
    lowestThermalEnergy = 0.001;
    compensatingDensity = 0;
    peakWindowStart = peakWindowEnd = 0;
    candidateCurves.clear();
    candidateDeviation.fill(0);
    erefFactor = dosRatio = thermalEnergy = dos0PerEv = effectiveDosAtT = 0;
    simulatedConcentration.clear();
    simulationInclude.fill(0);
}

void Analysis::resetSpline()
{
    firstDataIndex = 0;
    lastDataIndex = 0;
    smoothness = 5000;
    splineCount = 0;
    splineConcentration.clear();
}

void Analysis::resetFermiLevel()
{
    conductionDos0 = valenceDos0 = dos0 = 4.8e15;
    electronMass = holeMass = conductionMinima = valenceMaxima = 1;
    effectiveMass = equivalentMinima = 1;
    fermiLevel.clear();
    experimentalFermiLevel.clear();
}

void Analysis::resetSpectroscopy()
{
    compensationFixed = 0;
    compensationStage = -1;
    autoCalculation = 1;
    energyLevelInRange = 0;
    excitedStatesCaution = 0;
    h2WindowHalved = 0;
    for (CurveSet* set : {&hCurve, &simulatedHCurve, &trialHCurve, &experimentalHCurve})
        set->resize(4);
    compensatingDensity = 0;
    peakWindowStart = peakWindowEnd = 0;
    candidateCurves.assign(5, DoubleArray{});
    candidateDeviation.fill(0);
    erefFactor = dosRatio = thermalEnergy = dos0PerEv = effectiveDosAtT = 0;
}

void Analysis::resetStageSlot(int slot)
{
    for (CurveSet* set : {&hCurve, &simulatedHCurve, &trialHCurve, &experimentalHCurve}) {
        if (static_cast<int>(set->size()) < 4)
            set->resize(4);
        (*set)[slot].clear();
    }
    density[slot] = trialDensity[slot] = energyLevel[slot] = trialEnergyLevel[slot] = 0;
    stageCompensatingDensity[slot] = referenceEnergy[slot] = checkTemperature[slot] = 0;
    peakIndex[slot] = fitStartIndex[slot] = 0;
    trialMessage[slot].clear();
    stageMessage[slot].clear();
    stageEvaluationType[slot].clear();
}

void Analysis::resetStage1()
{
    excitedStatesCaution = 0;
    h2WindowHalved = 0;
    h1FileName.clear();
    experimentalH1FileName.clear();
    resetStageSlot(0);
}

void Analysis::resetStage2()
{
    h2FileName.clear();
    resetStageSlot(1);
}

void Analysis::resetStage3()
{
    h3FileName.clear();
    resetStageSlot(2);
}

void Analysis::resetSimulation()
{
    simulatedConcentration.clear();
}

std::string Analysis::replaceExtension(const std::string& path, const std::string& extension)
{
    const std::size_t nameStart = path.find_last_of("/\\:");
    const std::size_t from = nameStart == std::string::npos ? 0 : nameStart + 1;
    const std::size_t dot = path.find_last_of('.');
    // A dot that opens the file name (".profile") marks a hidden file, not an
    // extension.
    if (dot == std::string::npos || dot <= from)
        return path + extension;
    return path.substr(0, dot) + extension;
}

// ---- Simulation page inputs ---------------------------------------------------

void SimulationInputs::resetSpecies(int k)
{
    if (k < 0 || k > 2)
        return;
    speciesTicked[k] = false;
    density[k] = "0";
    energy[k] = "0";
    degeneracy[k] = "1";
}

void SimulationInputs::resetCompensation()
{
    compensationTicked = false;
    compensating = "0";
}

void SimulationInputs::resetFromStage(int k)
{
    if (k >= 3) {
        compensationTicked = false;
        return;
    }
    for (int j = std::max(k, 0); j < 3; ++j)
        resetSpecies(j);
    resetCompensation();
}

// ---- the reset cascade ---------------------------------------------------------

void Analysis::resetFrom(PipelineStage from)
{
    switch (from) {
    case PipelineStage::ExperimentalData:
        resetAll();
        simulationInputs = SimulationInputs();
        useNegativeCompensation = false;
        lastEvaluatedStage = -1;
        effectiveDosPending = false;
        return;
    case PipelineStage::DataForAnalysis:
        resetSpline();
        [[fallthrough]];
    case PipelineStage::FermiLevel:
        resetFermiLevel();
        effectiveDosPending = false;
        [[fallthrough]];
    case PipelineStage::Stage1:
        resetSpectroscopy();
        resetStage1();
        simulationInputs.resetFromStage(0);
        [[fallthrough]];
    case PipelineStage::Stage2:
        resetStage2();
        simulationInputs.resetFromStage(1);
        [[fallthrough]];
    case PipelineStage::Stage3:
        resetStage3();
        simulationInputs.resetFromStage(2);
        [[fallthrough]];
    case PipelineStage::Simulation:
        resetSimulation();
        simulationInputs.resetFromStage(3);
        return;
    }
}
