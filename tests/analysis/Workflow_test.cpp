// The reset cascade, the Simulation page's inputs and the one
// charge-neutrality solver.
#include "analysis/data/Analysis.h"
#include "analysis/base/Neutrality.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>
#include <string>

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

// ---- the operations behind the buttons of the stage pages --------------------------

// "Evaluation again" (and Yes to the recalculation question) fixes the
// compensating density the stage before found; only the question's Yes also
// hands it to the Simulation page. H1 has no stage before it.
TEST(WorkflowOperations, EvaluateAgainFixesTheDensityOfTheStageBefore)
{
    struct Case {
        int stage;
        bool applied;
        const char* label; // the density of stage - 1, as the page shows it
    } cases[] = {{0, false, ""}, {1, true, "1.23E+14"}, {2, true, "-4.57E+13"}, {3, true, "8.00E+12"}, {4, false, ""}};
    for (const Case& c : cases)
        for (bool question : {false, true}) {
            SCOPED_TRACE(std::to_string(c.stage) + (question ? " question" : " button"));
            Analysis a = filled();
            a.stageCompensatingDensity = {1.234e14, -4.567e13, 8e12};
            a.simulationInputs.compensationTicked = false;
            const int fixedBefore = a.compensationFixed, stageBefore = a.compensationStage;
            const RecalculationOutcome out =
                question ? a.answerRecalculationQuestion(c.stage) : a.evaluateAgain(c.stage);
            EXPECT_EQ(out.applied, c.applied);
            EXPECT_EQ(out.compensationLabel, c.label);
            EXPECT_EQ(a.compensationFixed, c.applied ? 1 : fixedBefore);
            EXPECT_EQ(a.compensationStage, c.applied ? c.stage - 1 : stageBefore);
            EXPECT_EQ(a.compensatingDensity, c.applied ? a.stageCompensatingDensity[c.stage - 1] : 5e14);
            EXPECT_EQ(a.simulationInputs.compensationTicked, c.applied);
            EXPECT_EQ(a.simulationInputs.compensating, question && c.applied ? c.label : "5.00E+14");
            // Nothing is recalculated by the choice itself.
            EXPECT_EQ(a.hCurve[2].size(), 3u);
        }
}

// The negative compensating density of H1: on, it is fixed and handed over;
// off, the compensation is released and the page shows 0.
TEST(WorkflowOperations, NegativeCompensationTogglesBetweenH1sDensityAndNone)
{
    Analysis a = filled();
    a.stageCompensatingDensity = {-2.5e14, 1e13, 1e12};
    a.useNegativeCompensation = false;
    struct Step {
        bool use;
        int fixed, stage;
        double density;
        const char* handedOver;
    } steps[] = {{true, 1, 0, -2.5e14, "-2.50E+14"}, {false, 0, -1, 0, "0"}, {true, 1, 0, -2.5e14, "-2.50E+14"}};
    for (const Step& s : steps) {
        a.toggleNegativeCompensation();
        EXPECT_EQ(a.useNegativeCompensation, s.use);
        EXPECT_EQ(a.compensationFixed, s.fixed);
        EXPECT_EQ(a.compensationStage, s.stage);
        EXPECT_EQ(a.compensatingDensity, s.density);
        EXPECT_EQ(a.simulationInputs.compensating, s.handedOver);
        EXPECT_EQ(a.simulationInputs.compensationTicked, s.use);
    }
}

// A new function type clears the spectroscopy from H1 on and says whether
// H1 can be calculated: more than ten spline points.
TEST(WorkflowOperations, FunctionTypeChangeClearsTheStagesAndNeedsElevenSplinePoints)
{
    for (auto [type, points, ready] : {std::tuple{1, 11, true}, {2, 11, true}, {2, 10, false}, {1, 3, false}}) {
        Analysis a = filled();
        a.splineCount = points;
        const FunctionTypeOutcome out = a.changeFunctionType(type);
        EXPECT_EQ(out.stage1Ready, ready);
        EXPECT_EQ(out.resetFrom, PipelineStage::Stage1);
        EXPECT_EQ(a.functionType, type);
        for (int k = 0; k < 3; ++k)
            EXPECT_TRUE(a.hCurve[k].empty()) << k;
        EXPECT_EQ(a.compensatingDensity, 0);
        EXPECT_EQ(a.fermiLevel.size(), 3u); // the Fermi level stays
        EXPECT_EQ(a.simulationInputs.density[0], "0");
    }
}

// The peak steps walk to the next maximum down or up the curve, or to its
// end; a step on H1, or on the stage whose density is fixed, releases it.
TEST(WorkflowOperations, PeakStepsReachTheNeighbouringMaximumAndReleaseTheCompensation)
{
    // Maxima at 2 and 6 of a curve over 0..9.
    const DoubleArray h = {1, 2, 5, 3, 2, 4, 7, 6, 5, 4};
    struct Case {
        int stage, from;
        bool up;
        int to;
        int fixedAfter; // compensation fixed by stage 1 before the step
    } cases[] = {
        {0, 2, true, 6, 0},  {0, 6, false, 2, 0}, {0, 6, true, 9, 0}, {0, 2, false, 0, 0},
        {1, 2, true, 6, 0},  // the stage that fixed it
        {2, 6, false, 2, 1}, // another stage keeps it
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.stage) + " from " + std::to_string(c.from));
        Analysis a = filled();
        a.hCurve[c.stage] = h;
        a.peakIndex[c.stage] = c.from;
        a.compensationFixed = 1;
        a.compensationStage = 1;
        a.stepPeak(c.stage, c.up);
        EXPECT_EQ(a.peakIndex[c.stage], c.to);
        EXPECT_EQ(a.compensationFixed, c.fixedAfter);
    }
}

// A saved Fermi level loaded again: the values of kT ln(Nc/n) back to the
// file's digits, the stages cleared; a missing file names itself and leaves
// no file name behind.
TEST(WorkflowOperations, FermiLevelLoadedFromItsFileOrRefused)
{
    testfiles::TempDir dir;
    Analysis a;
    a.resetAll();
    a.conductionType = "n-type";
    a.semiconductor = "Si";
    a.splineCount = 4;
    a.splineTemperature = {100, 150, 200, 250};
    a.splineConcentration = {1e15, 3e15, 6e15, 8e15};
    a.dos0 = 5.25e15;
    ASSERT_TRUE(a.computeFermiLevel()) << a.lastError;
    ASSERT_TRUE(a.saveFermiLevel(dir.file("s.fl")).ok);
    Analysis b = a;
    b.fermiLevel.clear();
    b.hCurve[0] = {1, 2, 3};
    const FileOutcome loaded = b.loadFermiLevel(dir.file("s.fl"));
    ASSERT_TRUE(loaded.ok) << loaded.error;
    EXPECT_EQ(b.fermiLevelFileName, dir.file("s.fl"));
    EXPECT_TRUE(b.hCurve[0].empty());
    ASSERT_EQ(b.fermiLevel.size(), 4u);
    for (int j = 0; j < 4; ++j) {
        const double T = a.splineTemperature[j];
        const double truth = 1.38054e-23 / 1.6021e-19 * T * std::log(5.25e15 * std::pow(T, 1.5) / a.splineConcentration[j]);
        EXPECT_NEAR(b.fermiLevel[j] / truth, 1, 1e-5) << T;
    }

    const FileOutcome missing = b.loadFermiLevel(dir.file("none.fl"));
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.error.find("none.fl"), std::string::npos) << missing.error;
    EXPECT_EQ(b.fermiLevelFileName, "");
    EXPECT_TRUE(b.fermiLevel.empty());
}

// H1 at a typed E_ref: calculated with its peak offered and the Simulation
// page cleared, or the core's error as the one message.
TEST(WorkflowOperations, Stage1AtTypedReferenceEnergy)
{
    for (int functionType : {1, 0}) {
        SCOPED_TRACE(functionType);
        Analysis a = filled();
        a.splineCount = 10;
        a.splineTemperature.clear();
        a.splineConcentration = {1e14, 3e14, 5e14, 4e14, 3e14, 6e14, 9e14, 8e14, 7e14, 6e14};
        for (int j = 0; j < 10; ++j)
            a.splineTemperature.push_back(80.0 + 10.0 * j);
        a.fermiLevel.assign(10, 0.1);
        a.functionType = functionType;
        const StageCalculationOutcome out = a.calculateStage1At(0.002);
        EXPECT_TRUE(out.calculationEnabled);
        EXPECT_EQ(a.simulationInputs.density[0], "0");
        EXPECT_EQ(a.simulationInputs.compensating, "0");
        if (functionType == 1) {
            EXPECT_EQ(out.kind, StageCalculationOutcome::Kind::Calculated);
            EXPECT_TRUE(out.messages.empty());
            EXPECT_TRUE(out.peakInside);
            EXPECT_EQ(a.referenceEnergy[0], 0.002);
            EXPECT_EQ(a.hCurve[0].size(), 10u);
            EXPECT_EQ(a.peakIndex[0], 2); // n^2/kT^2.5 first falls after 5e14 at 100 K
        } else {
            EXPECT_EQ(out.kind, StageCalculationOutcome::Kind::Failed);
            ASSERT_EQ(out.messages.size(), 1u);
            EXPECT_TRUE(out.messages[0].error);
            EXPECT_EQ(out.messages[0].text, "H1 could not be calculated.");
        }
    }
}

// Each operation names the first page it leaves stale. No stage before that
// one may have changed in the core, or a page would go on showing what the
// analysis no longer holds; the stage pages an operation redraws itself (the
// curve of the stage it calculates) are the one allowance.
TEST(WorkflowOperations, EveryPageResetCoversWhatTheCoreChanged)
{
    testfiles::TempDir dir;
    Analysis base;
    base.startUp(1);
    ASSERT_TRUE(base.loadExperimentalData(testfiles::example("sic4h_n_two_donors.nT")).ok);
    ASSERT_TRUE(base.calculateDataForAnalysis(5000).computed);
    ASSERT_TRUE(base.saveDataForAnalysis(dir.file("s.spl")).ok);
    ASSERT_TRUE(base.calculateFermiLevelStage().computed);
    ASSERT_TRUE(base.saveFermiLevel(dir.file("s.fl")).ok);
    ASSERT_EQ(base.calculateStage(0).kind, StageCalculationOutcome::Kind::Calculated);
    ASSERT_EQ(base.evaluate(0, 2).kind, Analysis::EvaluationOutcome::Kind::Evaluated);
    base.calculateStage(1);
    base.simulatedConcentration = {1, 2, 3};

    // What each page shows, stage by stage.
    auto shown = [](const Analysis& a) {
        return std::array<std::vector<double>, 7>{
            a.concentration, a.splineConcentration, a.fermiLevel,
            {a.hCurve[0].begin(), a.hCurve[0].end()}, {a.hCurve[1].begin(), a.hCurve[1].end()},
            {a.hCurve[2].begin(), a.hCurve[2].end()}, a.simulatedConcentration};
    };
    using S = PipelineStage;
    struct Case {
        const char* name;
        std::function<PageReset(Analysis&)> run;
        S resetFrom;
        int redrawn; // stage page the window redraws itself, -1: none
    } cases[] = {
        {"spline", [](Analysis& a) { return a.calculateDataForAnalysis(5000).resetFrom; }, S::FermiLevel, -1},
        {"spline refused", [](Analysis& a) { return a.calculateDataForAnalysis(-1).resetFrom; }, S::DataForAnalysis, -1},
        {"load spline", [&](Analysis& a) { return a.loadDataForAnalysis(dir.file("s.spl")).resetFrom; }, S::DataForAnalysis, -1},
        {"Fermi level", [](Analysis& a) { return a.calculateFermiLevelStage().resetFrom; }, S::Stage1, -1},
        {"load Fermi level", [&](Analysis& a) { return a.loadFermiLevel(dir.file("s.fl")).resetFrom; }, S::FermiLevel, -1},
        {"function type", [](Analysis& a) { return a.changeFunctionType(2).resetFrom; }, S::Stage1, -1},
        {"H1", [](Analysis& a) { return a.calculateStage(0).resetFrom; }, S::Stage1, -1},
        {"H1 at E_ref", [](Analysis& a) { return a.calculateStage1At(0.01).resetFrom; }, S::Stage1, -1},
        {"H2", [](Analysis& a) { return a.calculateStage(1).resetFrom; }, S::Stage3, 1},
        {"H3", [](Analysis& a) { return a.calculateStage(2).resetFrom; }, S::Simulation, 2},
        {"evaluate H1", [](Analysis& a) { return a.evaluate(0, 2).resetFrom; }, S::Stage2, -1},
        {"again from simulation", [](Analysis& a) { return a.evaluateAgainFromSimulationPage(1).resetFrom; }, S::Stage3, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Analysis a = base;
        const auto before = shown(a);
        const PageReset reset = c.run(a);
        ASSERT_TRUE(reset.has_value());
        EXPECT_EQ(*reset, c.resetFrom);
        const auto after = shown(a);
        for (int s = 0; s < static_cast<int>(*reset); ++s) {
            if (c.redrawn < 0 || s != c.redrawn + static_cast<int>(S::Stage1)) {
                EXPECT_EQ(before[s], after[s]) << "stage " << s;
            }
        }
    }
}
