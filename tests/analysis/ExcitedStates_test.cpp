#include "ExcitedStates.h"
#include "NumberFormat.h"
#include "Physics.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

// An example through the main window's pipeline up to the H1 evaluation,
// files in `dir`. Returns whether H1 was evaluated.
bool evaluateH1(Analysis& a, const std::string& example, const testfiles::TempDir& dir)
{
    a.startUp(1);
    if (!a.loadExperimentalData(testfiles::example(example)).ok)
        return false;
    if (!a.calculateDataForAnalysis(5000).computed)
        return false;
    if (!a.saveDataForAnalysis(dir.file("s.spl")).ok)
        return false;
    if (!a.calculateFermiLevelStage().computed || !a.saveFermiLevel(dir.file("s.fl")).ok)
        return false;
    if (a.calculateStage(0).kind != StageCalculationOutcome::Kind::Calculated)
        return false;
    return a.evaluate(0, a.isNType() ? 2 : 4).kind == Analysis::EvaluationOutcome::Kind::Evaluated;
}

// A grid of synthetic H1 around a peak for the range and level checks:
// one species of level dE with the Fermi-Dirac function (R = 1), n from
// exact neutrality.
void syntheticSample(Analysis& a, double dE, double t0, double t1)
{
    a.startUp(1);
    a.conductionType = "p-type";
    a.dos0 = 4.83e15;
    a.effectiveMass = 1;
    a.dielectricConstant = 9.66;
    a.degeneracyFactor[0] = 4;
    a.referenceEnergy[0] = 0.1;
    const double N = 1e17, Na = 5e14;
    a.splineTemperature.clear();
    a.splineConcentration.clear();
    for (double T = t0; T <= t1 + 1e-9; T += 0.1) {
        const double kT = phys::thermalEnergy(T), nc = a.dos0 * std::pow(T, 1.5);
        double lo = -1, hi = 2;
        for (int i = 0; i < 200; ++i) {
            const double m = (lo + hi) / 2;
            const double excess = N / (1 + 4 * std::exp((dE - m) / kT)) - Na - nc * std::exp(-m / kT);
            (excess > 0 ? hi : lo) = m;
        }
        a.splineTemperature.push_back(T);
        a.splineConcentration.push_back(nc * std::exp(-(lo + hi) / 2 / kT));
    }
    a.splineCount = static_cast<int>(a.splineTemperature.size());
    a.hCurve.assign(4, DoubleArray());
    int p = 0;
    for (int j = 0; j < a.splineCount; ++j) {
        const double T = a.splineTemperature[j], n = a.splineConcentration[j], kT = phys::thermalEnergy(T);
        a.hCurve[0].push_back(n * n * std::exp(a.referenceEnergy[0] / kT) / std::pow(kT, 2.5));
        if (a.hCurve[0][j] > a.hCurve[0][p])
            p = j;
    }
    a.peakIndex[0] = p;
}

} // namespace

// With one level the distribution function is the Fermi-Dirac one of the
// stage evaluation: the simulated H1 equals the stage model's species curve.
TEST(ExcitedStates, OneLevelIsTheFermiDiracSpecies)
{
    Analysis a;
    syntheticSample(a, 0.2, 150, 500);
    ExcitedStates e(a);
    e.levelCount = 1;
    e.computeExcitedLevels();
    ASSERT_EQ(e.excitedLevels.size(), 1u);
    EXPECT_DOUBLE_EQ(e.excitedLevels[0], 13.6 / 9.66 / 9.66);
    for (double x : {0.0, 0.01, -0.002})
        for (double level : {0.05, 0.2, 0.4})
            for (int j : {0, 1000, 3000}) {
                const double n = a.splineConcentration[j], T = a.splineTemperature[j];
                const double stage = a.compensatedSpeciesH(0, x, level, 3e16, n, T);
                EXPECT_NEAR(e.simulatedH1(x, level, 3e16, n, T), stage, 1e-12 * std::fabs(stage))
                    << "x " << x << " level " << level << " T " << T;
                EXPECT_EQ(e.averageExcitationEnergy(phys::thermalEnergy(T), level), 0);
            }
}

TEST(ExcitedStates, LevelsAverageEnergyAndOccupancy)
{
    Analysis a;
    syntheticSample(a, 0.2, 150, 500);
    ExcitedStates e(a);
    e.levelCount = 3;
    e.levelShift = 2; // meV, excited levels only
    e.computeExcitedLevels();
    const double E1 = 13.6 / 9.66 / 9.66;
    ASSERT_EQ(e.excitedLevels.size(), 3u);
    EXPECT_DOUBLE_EQ(e.excitedLevels[0], E1);
    EXPECT_DOUBLE_EQ(e.excitedLevels[1], E1 / 4 + 0.002);
    EXPECT_DOUBLE_EQ(e.excitedLevels[2], E1 / 9 + 0.002);
    // Written out for R = 3 at kT = 0.025 eV, dE = 0.2 eV, E_F = 0.15 eV, g = 4.
    const double kT = 0.025, dE = 0.2, Ef = 0.15;
    const double w2 = std::exp(-(dE - e.excitedLevels[1]) / kT), w3 = std::exp(-(dE - e.excitedLevels[2]) / kT);
    const double Eex = (4 * (dE - e.excitedLevels[1]) * w2 + 9 * (dE - e.excitedLevels[2]) * w3) / (1 + 4 * w2 + 9 * w3);
    EXPECT_NEAR(e.averageExcitationEnergy(kT, dE), Eex, 1e-15);
    const double Z = std::exp((dE - Ef) / kT) + 4 * std::exp((e.excitedLevels[1] - Ef) / kT) +
                     9 * std::exp((e.excitedLevels[2] - Ef) / kT);
    const double D = 1 + 4 * std::exp(-Eex / kT) * Z;
    EXPECT_NEAR(e.reducedOccupancy(kT, Ef, dE), std::exp((dE - Ef) / kT) / D, 1e-12);
}

// The walks of the fit-range start and the peak-search end on the measured H1.
TEST(ExcitedStates, GridRanges)
{
    Analysis a;
    syntheticSample(a, 0.2, 150, 500);
    ExcitedStates e(a);
    const int M = e.gridSize();
    a.hCurve[0].assign(M, 0);
    struct Case {
        int peak;
        std::function<double(int)> h; // H1 at grid index j
        int start;
    } cases[] = {
        // Falling on both sides: the walk from p-100 runs to the grid start.
        {500, [](int j) { return 1e30 - std::abs(j - 500) * 1e26; }, 0},
        // p <= 100: the walk starts at p-20 (here 80) and stops where H1 rises.
        {100, [](int j) { return j < 70 ? 1e30 : 1e30 - std::abs(j - 100) * 1e26; }, 70},
        // p < 20: it starts below index 0.
        {15, [](int j) { return 1e30 - std::abs(j - 15) * 1e26; }, 0},
        // Stops at a non-positive value.
        {800, [](int j) { return j == 650 ? 0.0 : 1e30 - std::abs(j - 800) * 1e26; }, 651},
    };
    for (const Case& c : cases) {
        a.peakIndex[0] = c.peak;
        for (int j = 0; j < M; ++j)
            a.hCurve[0][j] = c.h(j);
        EXPECT_EQ(e.fitRangeStart(), c.start) << "peak " << c.peak;
    }
    // Upwards in steps of 20 while falling, at most 50 K (500 points) above the peak.
    a.peakIndex[0] = 1000;
    for (int j = 0; j < M; ++j)
        a.hCurve[0][j] = 1e30 - std::abs(j - 1000) * 1e26;
    EXPECT_EQ(e.peakSearchEnd(), 1500);
    a.hCurve[0][1240] = 2e30;
    EXPECT_EQ(e.peakSearchEnd(), 1220);
    // Check points at 1/5 and 2/5 from the start to the peak.
    a.hCurve[0][1240] = 0;
    const ExcitedStates::CheckPoints cp = e.checkPoints();
    EXPECT_EQ(cp.start, 0);
    EXPECT_NEAR(a.splineTemperature[cp.first], 150 + 20, 0.05);
    EXPECT_NEAR(a.splineTemperature[cp.second], 150 + 40, 0.05);
}

// The level search finds the level of a species of known peak, and says
// when the peak lies outside 1 .. 1500 meV.
TEST(ExcitedStates, LevelFromPeakTemperature)
{
    Analysis a;
    syntheticSample(a, 0.2, 100, 700);
    ExcitedStates e(a);
    e.levelCount = 1;
    e.computeExcitedLevels();
    const int jb = a.splineCount - 1;
    // The peak of a 0.2 eV species, uncompensated.
    const double T02 = e.simulatedPeakTemperature(0, 0.2, 0, jb);
    struct Case {
        double peakT;
        int searchEnd; // last grid index searched, relative to the peak
        bool inRange;
        const char* message;
        double level;
    } cases[] = {
        {T02, jb, true, "The energy level is between 1 meV and 1500 meV", 0.2},
        {100, jb, false, "The energy level might be shallower than 1 meV", 0},
        // No curve searched below the peak can peak there.
        {400, -1, false, "The energy level might be deeper than 1500 meV", 1.5},
    };
    for (const Case& c : cases) {
        // The measured peak at the wanted temperature.
        int p = 0;
        while (p + 1 < a.splineCount && a.splineTemperature[p] < c.peakT)
            ++p;
        a.peakIndex[0] = p;
        const double level = e.levelFromPeakTemperature(0, 0, c.searchEnd < 0 ? p - 1 : c.searchEnd);
        EXPECT_EQ(e.levelInRange, c.inRange) << c.peakT;
        EXPECT_EQ(e.rangeMessage, c.message);
        EXPECT_NEAR(level, c.level, c.inRange ? 0.002 : 0) << c.peakT;
    }
}

// Physics: a sample made with the excited-states distribution (R = 8, m = 1,
// eps = 9.66) is recovered by this evaluation; the plain Fermi-Dirac
// evaluation of stage 1 misses it.
TEST(ExcitedStates, RecoversTheExcitedStatesSample)
{
    testfiles::TempDir dir;
    Analysis a;
    ASSERT_TRUE(evaluateH1(a, "sic4h_p_al_excited_visible.pT", dir));
    const double trueLevel = 0.19, trueDensity = 1e17;
    ExcitedStates e(a);
    e.prepare();
    const ExcitedStates::EvaluationOutcome out = e.evaluate(9.66);
    ASSERT_TRUE(out.evaluated);
    ASSERT_TRUE(out.inRange);
    std::printf("excited: R %d  dE %.5f eV  N %.4g  N_A %.4g;  Fermi-Dirac: dE %.5f eV  N %.4g  N_A %.4g\n",
                e.levelCount, e.dopantLevel, e.dopantDensity, e.dopantCompensatingDensity, a.energyLevel[0],
                a.density[0], a.stageCompensatingDensity[0]);
    EXPECT_NEAR(e.dopantLevel, trueLevel, 0.010);
    EXPECT_NEAR(e.dopantDensity / trueDensity, 1, 0.30);
    EXPECT_GT(std::fabs(a.energyLevel[0] - trueLevel) + 0.0, 0.010);
}
