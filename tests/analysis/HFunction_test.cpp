// H and S functions on the grid and at the points, the single-species
// functions and the manual E_ref of the H1 page.
#include <gtest/gtest.h>

#include <cmath>

#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"

namespace {

constexpr double kB = 1.38054e-23;
constexpr double qe = 1.6021e-19;

double kTof(double T) { return T * kB / qe; }

// Ionised density of one species, written in the textbook form.
double ionised(double N, double dE, double g, double n, double T, double dos0)
{
    const double nc = dos0 * std::pow(T, 1.5);
    return N / (1 + g * (n / nc) * std::exp(dE / kTof(T)));
}

// Ten grid points from 80 K in 10 K steps (coarser than the real 0.1 K grid,
// which the formulas do not depend on) and three experimental points.
Analysis smallGrid()
{
    Analysis a;
    a.resetAll();
    a.resetSpectroscopy();
    a.splineCount = 10;
    for (int j = 0; j < 10; ++j) {
        a.splineTemperature.push_back(80.0 + 10.0 * j);
        a.splineConcentration.push_back(1e14 * (1 + j));
    }
    a.dataCount = 3;
    a.temperature = {90, 120, 150};
    a.concentration = {2e14, 5e14, 8e14};
    a.reliability = {1, 1, 1};
    return a;
}

void expectRel(double expected, double actual, double tol = 1e-12)
{
    EXPECT_NEAR(actual, expected, std::fabs(expected) * tol) << "expected " << expected;
}

} // namespace

TEST(HFunction, Stage0IgnoresEarlierSpeciesAndCompensation)
{
    Analysis a = smallGrid();
    a.referenceEnergy[0] = 0.02;
    a.density = {5e15, 6e15, 7e15, 8e15};
    a.energyLevel = {0.05, 0.1, 0.2, 0.3};
    a.compensatingDensity = 1e15;
    a.compensationStage = 0;
    a.compensationFixed = 1;
    ASSERT_TRUE(a.calculateHCurve(0));
    ASSERT_EQ(a.hCurve[0].size(), 10u);
    for (int j = 0; j < 10; ++j) {
        const double T = a.splineTemperature[j], n = a.splineConcentration[j];
        expectRel(n * n * std::exp(0.02 / kTof(T)) / std::pow(kTof(T), 2.5), a.hCurve[0][j]);
    }
}

TEST(HFunction, ZeroReferenceEnergyGivesSquareOverKT25)
{
    Analysis a = smallGrid();
    ASSERT_TRUE(a.calculateHCurve(0));
    for (int j = 0; j < 10; ++j) {
        const double T = a.splineTemperature[j], n = a.splineConcentration[j];
        expectRel(n * n / std::pow(kTof(T), 2.5), a.hCurve[0][j]);
    }
    // The working values describe the last grid point.
    expectRel(kTof(170), a.thermalEnergy);
    EXPECT_DOUBLE_EQ(a.erefFactor, 1.0);
    expectRel(a.dos0 * std::pow(170, 1.5), a.effectiveDosAtT);
    expectRel(a.dos0 * std::pow(170, 1.5) / 1e15, a.dosRatio);
    expectRel(std::pow(qe / kB, 1.5) * a.dos0, a.dos0PerEv);
}

TEST(HFunction, LaterStagesRemoveIonisedSpeciesAndAddCompensation)
{
    for (int type : {1, 2}) {
        Analysis a = smallGrid();
        a.functionType = type;
        a.referenceEnergy = {0.01, -0.005, 0.003, 0.0};
        a.density = {3e14, 2e14, 0, 0};
        a.energyLevel = {0.04, 0.12, 0, 0};
        a.degeneracyFactor = {2, 4, 1, 1};
        a.compensatingDensity = 5e13;
        a.compensationStage = 0; // fixed by stage 0: added from stage 1 on
        a.compensationFixed = 1;
        for (int k = 1; k <= 3; ++k) {
            ASSERT_TRUE(a.calculateHCurve(k)) << k;
            ASSERT_TRUE(a.calculateExperimentalH(k)) << k;
            auto expected = [&](double n, double T) {
                double nk = n + 5e13;
                for (int j = 0; j < k; ++j)
                    nk -= ionised(a.density[j], a.energyLevel[j], a.degeneracyFactor[j], n, T,
                                  a.dos0);
                const double e = std::exp(a.referenceEnergy[k] / kTof(T));
                double v = type == 2 ? n * nk * e / std::pow(kTof(T), 2.5) : nk * e / kTof(T);
                return v > 0 ? v : 0.0;
            };
            for (int j = 0; j < 10; ++j)
                expectRel(expected(a.splineConcentration[j], a.splineTemperature[j]),
                          a.hCurve[k][j], 1e-9);
            ASSERT_EQ(a.experimentalHCurve[k].size(), 3u);
            for (int i = 0; i < 3; ++i)
                expectRel(expected(a.concentration[i], a.temperature[i]),
                          a.experimentalHCurve[k][i], 1e-9);
        }
    }
}

TEST(HFunction, CompensationOnlyAfterTheStageThatFixedIt)
{
    Analysis a = smallGrid();
    a.compensatingDensity = 1e14;
    a.compensationFixed = 1;
    // -1: never added, whatever compensatingDensity holds.
    a.compensationStage = -1;
    ASSERT_TRUE(a.calculateHCurve(1));
    ASSERT_TRUE(a.calculateHCurve(0));
    EXPECT_EQ(a.hCurve[1], a.hCurve[0]);
    // Fixed by stage 1: stage 1 itself is unchanged, stage 2 adds it.
    a.compensationStage = 1;
    ASSERT_TRUE(a.calculateHCurve(1));
    EXPECT_EQ(a.hCurve[1], a.hCurve[0]);
    ASSERT_TRUE(a.calculateHCurve(2));
    for (int j = 0; j < 10; ++j) {
        const double n = a.splineConcentration[j];
        expectRel(a.hCurve[0][j] * (n + 1e14) / n, a.hCurve[2][j], 1e-9);
    }
}

TEST(HFunction, NonPositiveValuesAreStoredAsZero)
{
    Analysis a = smallGrid();
    // A species larger than the concentration makes n_1 negative everywhere.
    a.density[0] = 1e18;
    a.energyLevel[0] = 0.001;
    for (int type : {1, 2}) {
        a.functionType = type;
        ASSERT_TRUE(a.calculateHCurve(1));
        for (double v : a.hCurve[1])
            EXPECT_EQ(v, 0.0);
    }
}

TEST(HFunction, StartIndexFromCallerOrFromFixedCompensation)
{
    Analysis a = smallGrid();
    a.hStartIndex = 4;
    a.autoCalculation = 1;
    ASSERT_TRUE(a.calculateHCurve(0));
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(a.hCurve[0][j] > 0, j >= 4) << j;
    EXPECT_EQ(a.hStartIndex, 4);

    // Manual mode: derived from the peak of the stage that fixed N_com.
    a.autoCalculation = 0;
    a.compensationFixed = 1;
    a.compensationStage = 0;
    a.peakIndex[0] = 6;
    ASSERT_TRUE(a.calculateHCurve(1));
    EXPECT_EQ(a.hStartIndex, 7);
    for (int j = 0; j < 10; ++j)
        EXPECT_EQ(a.hCurve[1][j] > 0, j > 6) << j;
    // The stage that fixed it and the ones before start at 0.
    ASSERT_TRUE(a.calculateHCurve(0));
    EXPECT_EQ(a.hStartIndex, 0);
    EXPECT_GT(a.hCurve[0][0], 0);
    // Not fixed: 0 as well.
    a.compensationFixed = 0;
    ASSERT_TRUE(a.calculateHCurve(2));
    EXPECT_EQ(a.hStartIndex, 0);
    // A start beyond the grid leaves an all-zero curve of full length.
    a.autoCalculation = 1;
    a.hStartIndex = 50;
    ASSERT_TRUE(a.calculateHCurve(0));
    ASSERT_EQ(a.hCurve[0].size(), 10u);
    for (double v : a.hCurve[0])
        EXPECT_EQ(v, 0.0);
}

TEST(HFunction, UnknownFunctionTypeFails)
{
    Analysis a = smallGrid();
    a.functionType = 3;
    a.hStartIndex = 0;
    EXPECT_FALSE(a.calculateHCurve(0));
    EXPECT_FALSE(a.lastError.empty());
    EXPECT_EQ(a.hCurve[0], DoubleArray(10, 0.0));
    EXPECT_FALSE(a.calculateExperimentalH(0));
    EXPECT_EQ(a.speciesH(0, 0.05, 1e15, 1e14, 100), -1);
    EXPECT_EQ(a.compensatedSpeciesH(0, 0.1, 0.05, 1e15, 1e14, 100), -1);
    a.functionType = 2;
    EXPECT_FALSE(a.calculateHCurve(4));
    EXPECT_FALSE(a.calculateHCurve(-1));
}

TEST(HFunction, SingleSpeciesFunctionsBothTypes)
{
    Analysis a = smallGrid();
    a.referenceEnergy[1] = 0.012;
    a.degeneracyFactor[1] = 4;
    const double dE = 0.08, N = 3e15, n = 4e14, T = 140, rho = 0.2;
    const double Np = ionised(N, dE, 4, n, T, a.dos0);
    const double e = std::exp(0.012 / kTof(T));
    a.functionType = 2;
    expectRel(n * Np * e / std::pow(kTof(T), 2.5), a.speciesH(1, dE, N, n, T), 1e-10);
    expectRel(n * (Np - rho * N) * e / std::pow(kTof(T), 2.5),
              a.compensatedSpeciesH(1, rho, dE, N, n, T), 1e-10);
    a.functionType = 1;
    expectRel(Np * e / kTof(T), a.speciesH(1, dE, N, n, T), 1e-10);
    expectRel((Np - rho * N) * e / kTof(T), a.compensatedSpeciesH(1, rho, dE, N, n, T), 1e-10);
    // Not clipped: a compensation above the ionised part gives a negative value.
    EXPECT_LT(a.compensatedSpeciesH(1, 2.0, dE, N, n, T), 0);
    // Zero compensation is the uncompensated species.
    expectRel(a.speciesH(1, dE, N, n, T), a.compensatedSpeciesH(1, 0, dE, N, n, T), 1e-12);
}

TEST(ManualReferenceEnergy, StepsAndSixDecimalRounding)
{
    using S = Analysis::ErefStep;
    EXPECT_EQ(Analysis::steppedReferenceEnergyText(0.0123456789, S::DownCoarse), "0.011346");
    double back = 0;
    ASSERT_TRUE(numfmt::parseDouble("0.011346", back));
    // "<<" then ">>" gives the typed value only up to six decimals.
    EXPECT_EQ(Analysis::steppedReferenceEnergyText(back, S::UpCoarse), "0.012346");
    EXPECT_EQ(Analysis::referenceEnergyText(0.0123456789), "0.012346");
    // A value with at most six decimals survives the round trip exactly.
    ASSERT_TRUE(numfmt::parseDouble(Analysis::steppedReferenceEnergyText(0.0421, S::DownCoarse),
                                    back));
    EXPECT_EQ(Analysis::steppedReferenceEnergyText(back, S::UpCoarse), "0.0421");

    EXPECT_EQ(Analysis::steppedReferenceEnergyText(0, S::DownFine), "-0.000001");
    EXPECT_EQ(Analysis::steppedReferenceEnergyText(0, S::UpFine), "0.000001");
    EXPECT_EQ(Analysis::steppedReferenceEnergyText(0.0005, S::DownCoarse), "-0.0005");
    EXPECT_EQ(Analysis::steppedReferenceEnergyText(-0.000001, S::UpFine), "0");
    EXPECT_EQ(Analysis::steppedReferenceEnergyText(0.0999995, S::UpCoarse), "0.101");
}

TEST(ManualReferenceEnergy, PreciseCalculationAtTypedValue)
{
    Analysis a = smallGrid();
    // Concentration with a bump so that H1 has a first peak inside the grid.
    a.splineConcentration = {1e14, 3e14, 5e14, 4e14, 3e14, 6e14, 9e14, 8e14, 7e14, 6e14};
    a.compensationFixed = 1;
    a.compensationStage = 0;
    a.compensatingDensity = 2e13;
    a.recalculationRequested = 1;
    a.recalculationFailed = 1;
    a.hCurve[1] = {1, 2, 3};
    a.density[1] = 4e15;
    a.simulatedConcentration = {1, 2};
    a.peakIndex[0] = 8;

    bool released = false;
    ASSERT_TRUE(a.calculateStage1AtReferenceEnergy(0.0, &released));
    EXPECT_TRUE(released);
    EXPECT_EQ(a.compensationFixed, 0);
    EXPECT_EQ(a.compensationStage, -1);
    EXPECT_EQ(a.compensatingDensity, 0);
    EXPECT_EQ(a.autoCalculation, 0);
    EXPECT_EQ(a.hStartIndex, 0);
    EXPECT_EQ(a.recalculationRequested, 0);
    EXPECT_EQ(a.recalculationFailed, 0);
    EXPECT_TRUE(a.hCurve[1].empty());
    EXPECT_EQ(a.density[1], 0);
    EXPECT_TRUE(a.simulatedConcentration.empty());
    ASSERT_EQ(a.hCurve[0].size(), 10u);
    EXPECT_EQ(a.experimentalHCurve[0].size(), 3u);
    // n^2/kT^2.5 rises to index 2 and falls at 3: the first peak from 0.
    ASSERT_GT(a.hCurve[0][2], a.hCurve[0][1]);
    ASSERT_LT(a.hCurve[0][3], a.hCurve[0][2]);
    EXPECT_EQ(a.peakIndex[0], 2);

    // Without a fixed compensation nothing is released.
    ASSERT_TRUE(a.calculateStage1AtReferenceEnergy(0.001, &released));
    EXPECT_FALSE(released);
    EXPECT_EQ(a.referenceEnergy[0], 0.001);

    // With autoCalculation 0 a later stage derives its start from the fixed
    // compensation instead of the stale caller value.
    a.hStartIndex = 9;
    a.compensationFixed = 1;
    a.compensationStage = 0;
    ASSERT_TRUE(a.calculateHCurve(1));
    EXPECT_EQ(a.hStartIndex, 3);
    for (int j = 0; j <= 2; ++j)
        EXPECT_EQ(a.hCurve[1][j], 0.0);

    a.functionType = 0;
    EXPECT_FALSE(a.calculateStage1AtReferenceEnergy(0.0));
    EXPECT_EQ(a.lastError, "H1 could not be calculated.");
}
