// The reset cascade, the Simulation page's inputs and the one
// charge-neutrality solver.
#include "analysis/data/Analysis.h"
#include "analysis/base/Neutrality.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Every stage filled with something recognisable.
Analysis filled()
{
    Analysis a;
    a.resetAll();
    a.dataCount = 2;
    a.temperature = {100, 200};
    a.concentration = {1e15, 2e15};
    a.reliability = {1, 1};
    a.smoothness = 100;
    a.splineCount = 3;
    a.splineTemperature = {100, 100.1, 100.2};
    a.splineConcentration = {1, 2, 3};
    a.dos0 = 1e15;
    a.fermiLevel = {0.1, 0.1, 0.1};
    for (int k = 0; k < 3; ++k) {
        a.hCurve[k] = {1, 2, 3};
        a.density[k] = 1e16;
        a.simulationInputs.density[k] = "1.00E+16";
    }
    a.compensatingDensity = 5e14;
    a.simulationInputs.compensationTicked = true;
    a.simulationInputs.compensating = "5.00E+14";
    a.simulatedConcentration = {1, 2, 3};
    a.lastEvaluatedStage = 1;
    return a;
}

} // namespace

TEST(ResetCascade, ClearsTheStageAndEveryLaterOne)
{
    using S = PipelineStage;
    // What is left after resetting from each stage: data, spline, Fermi
    // level, stage 1, 2, 3 results, simulation.
    struct Case {
        S from;
        bool data, spline, fermi, h1, h2, h3, sim;
    } cases[] = {
        {S::ExperimentalData, false, false, false, false, false, false, false},
        {S::DataForAnalysis, true, false, false, false, false, false, false},
        {S::FermiLevel, true, true, false, false, false, false, false},
        {S::Stage1, true, true, true, false, false, false, false},
        {S::Stage2, true, true, true, true, false, false, false},
        {S::Stage3, true, true, true, true, true, false, false},
        {S::Simulation, true, true, true, true, true, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.from));
        Analysis a = filled();
        a.resetFrom(c.from);
        EXPECT_EQ(a.dataCount == 2, c.data);
        EXPECT_EQ(a.splineCount == 3, c.spline);
        EXPECT_EQ(a.smoothness == 100, c.spline);
        EXPECT_EQ(!a.fermiLevel.empty() && a.dos0 == 1e15, c.fermi);
        EXPECT_EQ(!a.hCurve[0].empty(), c.h1);
        EXPECT_EQ(!a.hCurve[1].empty(), c.h2);
        EXPECT_EQ(!a.hCurve[2].empty(), c.h3);
        EXPECT_EQ(!a.simulatedConcentration.empty(), c.sim);
        // The compensating density in use goes with the spectroscopy.
        EXPECT_EQ(a.compensatingDensity == 5e14, c.h1);
        // The Simulation page loses what the cleared stages handed over;
        // resetting the simulation alone only unticks the compensation.
        EXPECT_EQ(a.simulationInputs.density[0] == "1.00E+16", c.h1);
        EXPECT_EQ(a.simulationInputs.density[2] == "1.00E+16", c.h3);
        EXPECT_EQ(a.simulationInputs.compensating == "5.00E+14", c.h3);
        EXPECT_FALSE(a.simulationInputs.compensationTicked);
        EXPECT_EQ(a.lastEvaluatedStage == 1, c.data);
    }
}

TEST(ResetCascade, StageResetsKeepTheDegeneracyFactors)
{
    Analysis a = filled();
    a.degeneracyFactor = {2, 4, 3, 1};
    a.resetFrom(PipelineStage::Stage2);
    EXPECT_EQ(a.degeneracyFactor[0], 2);
    EXPECT_EQ(a.degeneracyFactor[1], 4);
    a.resetFrom(PipelineStage::ExperimentalData);
    EXPECT_EQ(a.degeneracyFactor[1], 1);
}

TEST(SimulationInputs, TextsAreReadInPageOrderAndStopAtTheFirstNonNumber)
{
    Analysis a;
    a.resetAll();
    a.simulationInputs = SimulationInputs();
    a.setSimulationInput(SimulationField::Density1, "1e16");
    a.setSimulationInput(SimulationField::Energy1, "0.05");
    a.setSimulationInput(SimulationField::Degeneracy1, "2");
    a.setSimulationInput(SimulationField::Density2, "3e15");
    a.setSimulationInput(SimulationField::Energy2, "x0.1");
    a.setSimulationInput(SimulationField::Compensating, "7e13");
    const SimulationOutcome out = a.runSimulation();
    EXPECT_FALSE(out.simulated);
    EXPECT_EQ(out.failedField, static_cast<int>(SimulationField::Energy2));
    EXPECT_EQ(out.failedText, "x0.1");
    // The values before it are taken, the later ones are not.
    EXPECT_EQ(a.simulationDensity[0], 1e16);
    EXPECT_EQ(a.degeneracyFactor[0], 2);
    EXPECT_EQ(a.simulationDensity[1], 3e15);
    EXPECT_EQ(a.simulationCompensatingDensity, 0);
}

TEST(NeutralitySolver, HalvesTowardsTheRootAndComparesSigns)
{
    // A linear balance with its root at 0.3 eV.
    auto linear = [](double x) { return 0.3 - x; };
    EXPECT_NEAR(neutrality::solveFermiLevel(linear, 30), 0.3, 1.5 / (1 << 30));
    EXPECT_NEAR(neutrality::solveFermiLevel(linear, 15), 0.3, 1.5 / (1 << 15));
    // No halving: the interval's midpoint.
    EXPECT_EQ(neutrality::solveFermiLevel(linear, 0), 0.75);
    // An exact zero at a midpoint stops there.
    int calls = 0;
    auto exact = [&](double x) {
        ++calls;
        return 0.375 - x;
    };
    EXPECT_EQ(neutrality::solveFermiLevel(exact, 30), 0.375);
    EXPECT_LE(calls, 4);
    // Values so small that their product underflows to 0 still choose the
    // right half (root at 1.2 eV; balance(0) * balance(0.75) is 5e-401).
    auto tiny = [](double x) { return 1e-200 * (1.2 - x); };
    EXPECT_NEAR(neutrality::solveFermiLevel(tiny, 30), 1.2, 1e-8);
}
