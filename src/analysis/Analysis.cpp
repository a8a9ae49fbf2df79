#include "Analysis.h"

Analysis C;

Analysis::Analysis() = default;

void Analysis::resetAll()
{
    evaluationType = "Type-B";
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
