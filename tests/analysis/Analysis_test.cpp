#include "analysis/data/Analysis.h"

#include <gtest/gtest.h>

TEST(AnalysisObject, ConstructionHoldsOnlyTheNamedDefaults)
{
    Analysis a;
    EXPECT_EQ(a.evaluationType, "Type-B");
    EXPECT_EQ(a.functionType, 2);
    EXPECT_EQ(a.autoCalculation, 1);
    EXPECT_EQ(a.excitedStatesCaution, 0);
    EXPECT_EQ(a.dos0, 0);
    EXPECT_EQ(a.compensationStage, 0);
    EXPECT_TRUE(a.hCurve.empty());
}

TEST(AnalysisObject, ResetAllRestoresDefaultsButKeepsIdentityAndMode)
{
    Analysis a;
    a.versionInformation = "Version 1.7.1 (2017/8/23) [manual mode]";
    a.programTitle = "VORN Ver. 1.7.1 [manual mode]";
    a.advancedMode = 1;
    a.releaseFlag = 0;
    a.fermiLevelComment = "kept";
    a.hStartIndex = 17;
    a.dielectricConstant = 11.7;
    a.experimentalH1FileName = "x.H1E";
    a.simulationDensity[0] = 5;
    a.evaluationType = "Type-D";
    a.functionType = 1;
    a.dataCount = 3;
    a.temperature = {1, 2, 3};
    a.degeneracyFactor = {2, 4, 2, 2};
    a.smoothness = 10;
    a.dos0 = 1;
    a.simulationInclude = {1, 1, 1, 1, 1};
    a.compensationFixed = 1;
    a.resetAll();
    EXPECT_EQ(a.versionInformation, "Version 1.7.1 (2017/8/23) [manual mode]");
    EXPECT_EQ(a.programTitle, "VORN Ver. 1.7.1 [manual mode]");
    EXPECT_EQ(a.advancedMode, 1);
    EXPECT_EQ(a.releaseFlag, 0);
    EXPECT_EQ(a.fermiLevelComment, "kept");
    EXPECT_EQ(a.hStartIndex, 17);
    EXPECT_EQ(a.dielectricConstant, 11.7);
    EXPECT_EQ(a.experimentalH1FileName, "x.H1E");
    EXPECT_EQ(a.simulationDensity[0], 5);
    EXPECT_EQ(a.evaluationType, "Type-B");
    EXPECT_EQ(a.functionType, 2);
    EXPECT_EQ(a.dataCount, 0);
    EXPECT_TRUE(a.temperature.empty());
    for (double g : a.degeneracyFactor)
        EXPECT_EQ(g, 1.0);
    EXPECT_EQ(a.compensationStage, -1);
    EXPECT_EQ(a.smoothness, 5000);
    EXPECT_EQ(a.dos0, 4.8e15);
    EXPECT_EQ(a.lowestThermalEnergy, 0.001);
    EXPECT_EQ(a.energyBisectionSteps, 30);
    EXPECT_EQ(a.fermiBisectionSteps, 30);
    EXPECT_EQ(a.hCurve.size(), 4u);
    EXPECT_EQ(a.compensationFixed, 0);
    for (auto f : a.simulationInclude)
        EXPECT_EQ(f, 0);
}

TEST(AnalysisObject, NewDataCascadeClearsEveryLaterStage)
{
    Analysis a;
    a.resetAll();
    a.smoothness = 100;
    a.splineCount = 3;
    a.splineConcentration = {1, 2, 3};
    a.conductionDos0 = a.valenceDos0 = a.dos0 = 2e15;
    a.electronMass = a.effectiveMass = 0.2;
    a.conductionMinima = a.equivalentMinima = 6;
    a.fermiLevel = {0.1};
    a.experimentalFermiLevel = {0.1};
    a.hCurve[0] = {1, 2};
    a.hCurve[1] = {1, 2};
    a.density = {1, 2, 3, 4};
    a.h1FileName = "s.H1";
    a.compensatingDensity = 5;
    a.simulatedConcentration = {1};
    a.resetSpline();
    a.resetFermiLevel();
    a.resetSpectroscopy();
    a.resetStage1();
    a.resetStage2();
    a.resetStage3();
    a.resetSimulation();
    EXPECT_EQ(a.smoothness, 5000);
    EXPECT_EQ(a.splineCount, 0);
    EXPECT_TRUE(a.splineConcentration.empty());
    EXPECT_EQ(a.dos0, 4.8e15);
    EXPECT_EQ(a.conductionDos0, 4.8e15);
    EXPECT_EQ(a.effectiveMass, 1);
    EXPECT_EQ(a.equivalentMinima, 1);
    EXPECT_TRUE(a.fermiLevel.empty());
    EXPECT_TRUE(a.experimentalFermiLevel.empty());
    EXPECT_TRUE(a.hCurve[0].empty());
    EXPECT_TRUE(a.hCurve[1].empty());
    EXPECT_EQ(a.density[0], 0);
    EXPECT_EQ(a.density[2], 0);
    EXPECT_EQ(a.h1FileName, "");
    EXPECT_EQ(a.compensatingDensity, 0);
    EXPECT_TRUE(a.simulatedConcentration.empty());
    EXPECT_EQ(a.candidateCurves.size(), 5u);
}

TEST(AnalysisObject, RecomputingStage1KeepsDegeneracyFactorsAndLaterSlotsCleared)
{
    Analysis a;
    a.resetAll();
    a.degeneracyFactor = {2, 2, 4, 1};
    a.density = {1, 2, 3, 0};
    a.energyLevel = {0.1, 0.2, 0.3, 0};
    a.h2FileName = "s.H2";
    a.h3FileName = "s.H3";
    a.stageMessage[1] = "msg";
    a.resetStage2();
    a.resetStage3();
    a.resetSimulation();
    EXPECT_EQ(a.degeneracyFactor[0], 2);
    EXPECT_EQ(a.degeneracyFactor[2], 4);
    EXPECT_EQ(a.density[0], 1);
    EXPECT_EQ(a.density[1], 0);
    EXPECT_EQ(a.density[2], 0);
    EXPECT_EQ(a.h2FileName, "");
    EXPECT_EQ(a.h3FileName, "");
    EXPECT_EQ(a.stageMessage[1], "");
}
