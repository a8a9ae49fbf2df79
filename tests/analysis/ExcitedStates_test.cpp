#include "analysis/excited/ExcitedStates.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/Physics.h"
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
void syntheticSample(Analysis& a, double dE, double t0, double t1, double step = 0.1)
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
    for (double T = t0; T <= t1 + 1e-9; T += step) {
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

namespace {

// Hole concentration of one acceptor (density N, level dE, g = 4) whose
// neutral state has the hydrogen-like levels r = 2..R (m = 1, eps = 9.66)
// with the average excitation energy, and a compensating density Nc (may be
// negative), by bisection of E_F to double precision.
double excitedSampleConcentration(double T, double N, double dE, int R, double Ncomp)
{
    const double kT = T * 1.38054e-23 / 1.6021e-19, nv = 4.83e15 * std::pow(T, 1.5);
    std::vector<double> level(R + 1);
    for (int r = 2; r <= R; ++r)
        level[r] = 13.6 / 9.66 / 9.66 / (r * r);
    double num = 0, den = 1;
    for (int r = 2; r <= R; ++r) {
        const double w = std::exp(-(dE - level[r]) / kT);
        num += r * r * (dE - level[r]) * w;
        den += r * r * w;
    }
    const double Eex = num / den;
    auto ionised = [&](double Ef) {
        double z = std::exp((dE - Ef) / kT);
        for (int r = 2; r <= R; ++r)
            z += r * r * std::exp((level[r] - Ef) / kT);
        return N / (1 + 4 * std::exp(-Eex / kT) * z);
    };
    double lo = -1, hi = 2;
    for (int i = 0; i < 200; ++i) {
        const double m = (lo + hi) / 2;
        (ionised(m) - Ncomp - nv * std::exp(-m / kT) > 0 ? hi : lo) = m;
    }
    return nv * std::exp(-(lo + hi) / 2 / kT);
}

} // namespace

// A second sample of this distribution, with a negative compensating density
// (the measured H1 lies above the uncompensated curve at the check points):
// the evaluation finds the level, the density and a negative N_A.
TEST(ExcitedStates, NegativeCompensationSample)
{
    testfiles::TempDir dir;
    const std::string header = testfiles::readAll(testfiles::example("sic4h_p_al_excited_visible.pT"));
    std::string text;
    std::size_t at = 0;
    for (int line = 0; line < 17; ++line) {
        const std::size_t end = header.find('\n', at);
        std::string l = header.substr(at, end - at + 1);
        if (l.rfind("% Number of data:", 0) == 0)
            l = "% Number of data: 46\r\n";
        text += l;
        at = end + 1;
    }
    for (int T = 150; T <= 600; T += 10)
        text += std::to_string(T) + "     " + numfmt::g(excitedSampleConcentration(T, 5e16, 0.25, 5, -2e15)) +
                "     1\r\n";
    testfiles::writeAll(dir.file("neg.pT"), text);
    Analysis a;
    a.startUp(1);
    ASSERT_TRUE(a.loadExperimentalData(dir.file("neg.pT")).ok);
    ASSERT_TRUE(a.calculateDataForAnalysis(5000).computed);
    ASSERT_TRUE(a.saveDataForAnalysis(dir.file("neg.spl")).ok);
    ASSERT_TRUE(a.calculateFermiLevelStage().computed);
    ASSERT_TRUE(a.saveFermiLevel(dir.file("neg.fl")).ok);
    ASSERT_EQ(a.calculateStage(0).kind, StageCalculationOutcome::Kind::Calculated);
    a.evaluate(0, 4);
    ExcitedStates e(a);
    e.prepare();
    const ExcitedStates::EvaluationOutcome out = e.evaluate(9.66);
    ASSERT_TRUE(out.inRange);
    std::printf("negative compensation: R %d  dE %.5f eV  N %.4g  N_A %.4g\n", e.levelCount, e.dopantLevel,
                e.dopantDensity, e.dopantCompensatingDensity);
    EXPECT_NEAR(e.dopantLevel, 0.25, 0.010);
    EXPECT_NEAR(e.dopantDensity / 5e16, 1, 0.30);
    EXPECT_LT(e.dopantCompensatingDensity, 0);
}

TEST(ExcitedStates, ChoiceOfTheTrial)
{
    const double nan = std::nan("");
    struct Case {
        std::array<double, 5> deviation;
        int chosen;
    } cases[] = {
        {{3, 2, 2, 5, 2}, 1},         // ties: the lower trial
        {{-1, -1, -1, -1, -1}, -1},   // every trial failed
        {{nan, -1, 7, nan, 7}, 2},    // not a number is never chosen
        {{nan, nan, nan, nan, nan}, -1},
        {{1e300, 2e300, -1, -1, -1}, -1}, // the bound starts at 1e300
        {{0, 0, 1, 1, 1}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExcitedStates::chooseTrial(c.deviation), c.chosen);
}

// The result files: the number of excited-state lines follows R (one line,
// numbered 1, for R = 2; nine for R = 10), the simulation uses all R levels,
// and a failed save keeps the previous file.
TEST(ExcitedStates, ResultFilesFollowTheLevelCount)
{
    testfiles::TempDir dir;
    Analysis a;
    syntheticSample(a, 0.2, 150, 500);
    a.fermiLevelFileName = dir.file("s.fl");
    ExcitedStates e(a);
    e.prepare();
    std::vector<DoubleArray> concentration;
    for (int R : {2, 9, 10}) {
        e.levelCount = R;
        e.computeExcitedLevels();
        e.dopantLevel = 0.2;
        e.dopantDensity = 1e17;
        e.dopantCompensatingDensity = 5e14;
        e.levelInRange = true;
        e.simulatedH1Curve.assign(a.splineCount, -1); // not clipped: negative values reach the file
        e.simulateExcitedStates();
        concentration.push_back(e.excitedConcentration);
        const FileOutcome saved = e.saveExc(e.excProposal());
        ASSERT_TRUE(saved.ok) << saved.error;
        const std::string text = testfiles::readAll(dir.file("s.exc"));
        int lines = 0;
        for (std::size_t at = 0; (at = text.find(" Excited state energy [eV]: ", at)) != std::string::npos; ++at)
            ++lines;
        EXPECT_EQ(lines, R - 1) << R;
        EXPECT_NE(text.find("% 1 Excited state energy [eV]: " + numfmt::general(e.excitedLevels[1]) + "\r\n"),
                  std::string::npos);
        EXPECT_NE(text.find("% H1 file: " + dir.file("s.exc") + "\r\n"), std::string::npos);
        EXPECT_NE(text.find("\r\n150     "), std::string::npos);
        EXPECT_NE(text.find("     -1     "), std::string::npos);
    }
    EXPECT_NE(concentration[1], concentration[2]);

    ASSERT_TRUE(e.saveSimN(e.simNProposal()).ok);
    const std::string before = testfiles::readAll(dir.file("s.simN"));
    EXPECT_EQ(before.rfind("% Simulation of Majority-Carrier Concentartion (Auto-evaluation version)\r\n% Version "
                           "Information: ", 0), 0u);
    EXPECT_NE(before.find("\r\n% VORN for deep dopants\r\n% Function Type: H(T,Eref)=n(T)^2*exp(Eref/kT)/(kT)^2.5\r\n"
                          "% Original file: "), std::string::npos);
    {
        testfiles::FullDisk full;
        ASSERT_TRUE(full.active());
        a.density[0] = 7e17; // would change the file
        const FileOutcome simN = e.saveSimN(dir.file("s.simN"));
        const FileOutcome exc = e.saveExc(dir.file("s.exc"));
        EXPECT_FALSE(simN.ok);
        EXPECT_FALSE(exc.ok);
        EXPECT_NE(simN.error.find("s.simN"), std::string::npos) << simN.error;
        EXPECT_NE(exc.error.find("s.exc"), std::string::npos) << exc.error;
    }
    EXPECT_EQ(testfiles::readAll(dir.file("s.simN")), before);
}

namespace {
struct RecordingProgress : ProgressReporter {
    std::array<int, 2> maximum{}, position{}, closed{};
    void show(int bar, int m) override { maximum[bar] = m, position[bar] = 0; }
    void setPosition(int bar, int p) override { position[bar] = p; }
    void step(int bar, int by) override { position[bar] += by; }
    void close(int bar) override { ++closed[bar]; }
};
} // namespace

// The progress window runs to its maximum of 54; a decade walk cut short by
// its bound fails the trial instead of running on.
TEST(ExcitedStates, ProgressAndDecadeBound)
{
    Analysis a;
    syntheticSample(a, 0.2, 150, 500);
    RecordingProgress progress;
    a.progress = &progress;
    ExcitedStates e(a);
    e.prepare();
    ASSERT_TRUE(e.evaluateExcitedStates());
    EXPECT_EQ(progress.maximum[0], 54);
    EXPECT_EQ(progress.position[0], 54);
    EXPECT_EQ(progress.maximum[1], 23);
    EXPECT_GE(progress.closed[0], 1);
    EXPECT_GE(progress.closed[1], 1);

    e.levelCount = 2;
    e.computeExcitedLevels();
    const ExcitedStates::CheckPoints cp = e.checkPoints();
    e.messages.clear();
    ASSERT_TRUE(e.evaluateAtCheckPoint(cp.first));
    const double ratio = std::fabs(e.dopantCompensatingDensity / e.dopantDensity);
    // Fewer decades than the ratio needs (from 1e-10): the check point fails.
    e.decadeLimit = static_cast<int>(std::floor(std::log10(ratio))) + 9;
    EXPECT_FALSE(e.evaluateAtCheckPoint(cp.first));
    ASSERT_EQ(e.messages.size(), 1u);
    EXPECT_EQ(e.messages[0].text, "The density and energy level could not be evaluated.");
    a.progress = nullptr;
}

// ---- the development setting ---------------------------------------------------

// Precise mode with r = 1 is the Fermi-Dirac function: on a sample made with
// it, the result is the stage-1 evaluation's. r below 1 or above the bound
// is refused before anything runs.
TEST(ExcitedStatesDevelopment, PreciseModeWithOneLevelIsFermiDirac)
{
    testfiles::TempDir dir;
    Analysis a;
    ASSERT_TRUE(evaluateH1(a, "sic4h_p_al.pT", dir));
    ExcitedStates e(a);
    e.prepare();
    e.preciseMode = true;
    e.highestLevel = 1;
    const ExcitedStates::EvaluationOutcome out = e.evaluate(9.66);
    ASSERT_TRUE(out.inRange);
    EXPECT_EQ(e.levelCount, 1);
    EXPECT_NEAR(e.dopantLevel, a.energyLevel[0], 0.003);
    EXPECT_NEAR(e.dopantDensity / a.density[0], 1, 0.05);

    struct Refusal {
        int r;
        const char* message;
    } refusals[] = {{0, "The value of r should be a positive number."},
                    {-3, "The value of r should be a positive number."},
                    {101, "The value of r should not be larger than 100."}};
    for (const Refusal& c : refusals) {
        e.highestLevel = c.r;
        const ExcitedStates::EvaluationOutcome refused = e.evaluate(9.66);
        EXPECT_FALSE(refused.evaluated);
        ASSERT_EQ(refused.messages.size(), 1u) << c.r;
        EXPECT_EQ(refused.messages[0].text, c.message);
    }
}

// "Simulation" of the page "Simulatoin": the ticked levels sorted deepest
// first; with none ticked it is the Fermi-Dirac simulation; the *.sie file.
TEST(ExcitedStatesDevelopment, SimulationWithEditedLevelsAndItsFile)
{
    testfiles::TempDir dir;
    Analysis a;
    syntheticSample(a, 0.2, 150, 300);
    a.fermiLevelFileName = dir.file("s.fl");
    ExcitedStates e(a);
    e.prepare();
    e.levelCount = 3;
    e.levelShift = 1.5;
    e.computeExcitedLevels();
    e.dopantLevel = 0.2, e.dopantDensity = 1e17, e.dopantCompensatingDensity = 5e14;
    const DoubleArray display = e.displayLevels();
    ASSERT_EQ(display.size(), 10u);
    EXPECT_EQ(display[0], e.excitedLevels[0]);
    EXPECT_DOUBLE_EQ(display[9], 13.6 / 9.66 / 9.66 / 100 + 0.0015);
    EXPECT_EQ(e.excitedLevels.size(), 3u);

    e.simulateWithEditedLevels({}, 1e17, 0.2, 5e14);
    ASSERT_EQ(e.simulatedExcitedConcentration.size(), e.simulatedFermiDiracConcentration.size());
    for (std::size_t j = 0; j < e.simulatedExcitedConcentration.size(); j += 100)
        EXPECT_NEAR(e.simulatedExcitedConcentration[j] / e.simulatedFermiDiracConcentration[j], 1, 1e-12);

    e.simulateWithEditedLevels({0.01, 0.03, 0.02, 0.03}, 1e17, 0.2, 5e14);
    EXPECT_EQ(e.simulationLevels, (DoubleArray{0, 0.03, 0.03, 0.02, 0.01}));
    EXPECT_EQ(e.simulationLevelCount, 5);
    // The edited levels take part.
    EXPECT_NE(e.simulatedExcitedConcentration[500], e.simulatedFermiDiracConcentration[500]);

    ASSERT_TRUE(e.saveSie(e.sieProposal()).ok);
    const std::string text = testfiles::readAll(dir.file("s.sie"));
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(text.substr(at, end - at));
    ASSERT_GT(lines.size(), 60u);
    EXPECT_EQ(lines[9], "% H1 file for Smulation: " + dir.file("s.sie"));
    const std::vector<std::string> expected = {
        "% Shift of excited state level from Ev [eV]; " + numfmt::general(0.0015),
        "% 1 Excited state energy [eV]: " + numfmt::general(e.excitedLevels[1]),
        "% 2 Excited state energy [eV]: " + numfmt::general(e.excitedLevels[2]),
        "% ------------------------------------------------------------ ",
        "% Obtained results with the influence of the excited states",
        "% ------------------------------------------------------------ ",
        "% Density [cm^-3]: " + numfmt::general(1e17),
        "% Energy level [eV]: 0.2",
        "% Compensating density [cm^-3]: " + numfmt::general(5e14),
        "% ------------------------------------------------------------ ",
        "% Energies of the excited states for simulation ",
        "% ------------------------------------------------------------ ",
        "% 1 Excited state energy [eV]: 0.03",
        "% 2 Excited state energy [eV]: 0.03",
        "% 3 Excited state energy [eV]: 0.02",
        "% 4 Excited state energy [eV]: 0.01",
    };
    const std::size_t shift = 42; // after the header, the conditions and the ground state
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[shift + i], expected[i]) << shift + i;
    const std::string& row = lines.back();
    std::size_t columns = 1;
    for (std::size_t at = 0; (at = row.find("     ", at)) != std::string::npos; at += 5)
        ++columns;
    EXPECT_EQ(columns, 9u) << row;
}

// A non-positive smoothed concentration makes values that are not numbers:
// they end their trials as failed and never become the result.
TEST(ExcitedStates, NotANumberIsNeverAResult)
{
    Analysis a;
    syntheticSample(a, 0.2, 150, 500);
    for (int j = 0; j < a.peakIndex[0] - 50; ++j)
        a.splineConcentration[j] = -1;
    ExcitedStates e(a);
    e.prepare();
    const ExcitedStates::EvaluationOutcome out = e.evaluate(9.66);
    // The points above the spoiled ones still give a result, and it is finite.
    ASSERT_TRUE(out.evaluated);
    EXPECT_TRUE(std::isfinite(e.dopantLevel));
    EXPECT_TRUE(std::isfinite(e.dopantDensity));
    EXPECT_TRUE(std::isfinite(e.dopantCompensatingDensity));
    EXPECT_FALSE(std::isnan(e.trialDeviation[(e.levelCount - 2) * 2]) &&
                 std::isnan(e.trialDeviation[(e.levelCount - 2) * 2 + 1]));
}

// The caches and bounds of the level searches change no result: an
// evaluation at a check point gives bit for bit what the plain searches give,
// with the excited levels below the dopant level and some above the levels
// the searches try first (shift); the last search found is the plain one too.
TEST(ExcitedStates, CachedEvaluationIsTheUncachedComputation)
{
    Analysis a;
    syntheticSample(a, 0.2, 150, 500, 0.5);
    ExcitedStates e(a);
    ASSERT_TRUE(e.inputsReady());
    const int p = e.peakIndex(), jb = e.peakSearchEnd();
    struct Case {
        int r;
        double shift; // meV
    };
    for (const Case c : {Case{2, 0}, Case{4, 0}, Case{7, 0}, Case{10, -3}, Case{5, 150}}) {
        e.levelCount = c.r;
        e.levelShift = c.shift;
        e.computeExcitedLevels();
        const ExcitedStates::CheckPoints cp = e.checkPoints();
        for (int jc : {cp.first, cp.second}) {
            SCOPED_TRACE("R " + std::to_string(c.r) + " shift " + std::to_string(c.shift) + " check point " +
                         std::to_string(jc));
            e.useCaches = false;
            const bool plain = e.evaluateAtCheckPoint(jc);
            const double plainLevel = e.dopantLevel, plainDensity = e.dopantDensity,
                         plainCompensating = e.dopantCompensatingDensity;
            e.useCaches = true;
            ASSERT_EQ(e.evaluateAtCheckPoint(jc), plain);
            if (!plain)
                continue;
            EXPECT_EQ(e.dopantLevel, plainLevel);
            EXPECT_EQ(e.dopantDensity, plainDensity);
            EXPECT_EQ(e.dopantCompensatingDensity, plainCompensating);
            const double x = e.dopantCompensatingDensity / e.dopantDensity;
            EXPECT_EQ(e.levelFromPeakTemperature(x, jc, jb), e.dopantLevel);
            EXPECT_DOUBLE_EQ(a.hCurve[0][p] / e.simulatedH1(x, e.dopantLevel, 1, a.splineConcentration[p],
                                                             a.splineTemperature[p]),
                             e.dopantDensity);
        }
    }
}
