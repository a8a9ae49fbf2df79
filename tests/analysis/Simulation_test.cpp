#include "analysis/data/Analysis.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>

using testfiles::TempDir;

namespace {

// Final half-interval of 30 halvings of [0, 1.5] eV, with room for rounding.
const double resolution = 1.5 / (1 << 30) * (1 + 1e-6) + 1e-15;

double kTof(double T) { return T * 1.38054e-23 / 1.6021e-19; }

Analysis grid(std::initializer_list<double> temperatures)
{
    Analysis a;
    a.resetAll();
    a.splineTemperature = temperatures;
    a.splineCount = static_cast<int>(a.splineTemperature.size());
    a.dos0 = 2.5e15;
    return a;
}

// One donor with compensation: n + N_A = N_D / (1 + g n/N_c exp(E_D/kT)) is
// the quadratic b n^2 + (1 + b N_A) n - (N_D - N_A) = 0 with b = g exp(E_D/kT)/N_c.
double closedFormN(double T, double dos0, double ND, double ED, double g, double NA)
{
    const double Nc = dos0 * std::pow(T, 1.5);
    const double b = g * std::exp(ED / kTof(T)) / Nc;
    const double p = 1 + b * NA;
    // Root without cancellation.
    return 2 * (ND - NA) / (p + std::sqrt(p * p + 4 * b * (ND - NA)));
}

class CountingProgress : public ProgressReporter {
public:
    int maximum = -1, steps = 0, closed = 0;
    void show(int, int m) override { maximum = m; }
    void setPosition(int, int) override {}
    void step(int, int by) override { steps += by; }
    void close(int) override { ++closed; }
};

} // namespace

TEST(Simulation, OneCompensatedDonorMatchesTheClosedForm)
{
    Analysis a = grid({20, 35, 50, 80, 120, 200, 300, 450, 600});
    const double ND = 1e16, ED = 0.045, g = 2, NA = 1e15;
    a.simulationDensity[0] = ND;
    a.simulationEnergyLevel[0] = ED;
    a.degeneracyFactor[0] = g;
    a.simulationCompensatingDensity = NA;
    a.simulationInclude = {1, 0, 0, 0, 1};
    CountingProgress progress;
    a.progress = &progress;
    ASSERT_TRUE(a.simulateConcentration());
    EXPECT_EQ(progress.maximum, 9);
    EXPECT_EQ(progress.steps, 9);
    EXPECT_EQ(progress.closed, 1);
    ASSERT_EQ(a.simulatedConcentration.size(), 9u);
    ASSERT_EQ(a.simulatedFermiLevel.size(), 9u);
    for (int j = 0; j < a.splineCount; ++j) {
        const double T = a.splineTemperature[j];
        const double kT = kTof(T);
        const double Nc = a.dos0 * std::pow(T, 1.5);
        const double n = closedFormN(T, a.dos0, ND, ED, g, NA);
        const double x = kT * std::log(Nc / n);
        ASSERT_GT(x, 0);
        ASSERT_LT(x, 1.5);
        EXPECT_NEAR(a.simulatedFermiLevel[j], x, resolution) << "T = " << T;
        // n follows from x; its relative error is bounded by resolution / kT.
        EXPECT_NEAR(a.simulatedConcentration[j] / n, 1, std::expm1(resolution / kT) * 1.01) << "T = " << T;
    }
    // Sanity: nearly full ionisation at 600 K, freeze-out at 20 K.
    EXPECT_NEAR(a.simulatedConcentration.back(), ND - NA, 0.02 * (ND - NA));
    EXPECT_LT(a.simulatedConcentration.front(), 0.01 * ND);
}

TEST(Simulation, FourthSpeciesTakesPartOnlyWhenIncluded)
{
    Analysis inSlot0 = grid({40, 100, 250});
    inSlot0.simulationDensity[0] = 5e15;
    inSlot0.simulationEnergyLevel[0] = 0.1;
    inSlot0.degeneracyFactor[0] = 2;
    inSlot0.simulationInclude = {1, 0, 0, 0, 0};
    ASSERT_TRUE(inSlot0.simulateConcentration());

    Analysis inSlot3 = grid({40, 100, 250});
    inSlot3.simulationDensity[3] = 5e15;
    inSlot3.simulationEnergyLevel[3] = 0.1;
    inSlot3.degeneracyFactor[3] = 2;
    inSlot3.simulationInclude = {0, 0, 0, 1, 0};
    ASSERT_TRUE(inSlot3.simulateConcentration());
    EXPECT_EQ(inSlot3.simulatedFermiLevel, inSlot0.simulatedFermiLevel);
    EXPECT_EQ(inSlot3.simulatedConcentration, inSlot0.simulatedConcentration);

    // Excluded, the fourth species leaves no trace: no species at all, so
    // every step moves the lower end up.
    inSlot3.simulationInclude[3] = 0;
    ASSERT_TRUE(inSlot3.simulateConcentration());
    for (double x : inSlot3.simulatedFermiLevel) {
        EXPECT_LT(x, 1.5);
        EXPECT_NEAR(x, 1.5, resolution);
    }
}

TEST(Simulation, CompensationAloneAndTwoSpecies)
{
    // A positive compensation alone keeps the function negative: x at 1.5 eV.
    Analysis a = grid({100, 300});
    a.simulationCompensatingDensity = 1e15;
    a.simulationInclude = {0, 0, 0, 0, 1};
    a.simulateConcentration();
    for (double x : a.simulatedFermiLevel)
        EXPECT_NEAR(x, 1.5, resolution);
    // A negative one alone: n = -N_com.
    a.simulationCompensatingDensity = -1e15;
    a.simulateConcentration();
    for (int j = 0; j < 2; ++j) {
        const double kT = kTof(a.splineTemperature[j]);
        EXPECT_NEAR(a.simulatedConcentration[j] / 1e15, 1, std::expm1(resolution / kT) * 1.01);
    }

    // Two fully ionised shallow donors at high T add up.
    Analysis b = grid({900});
    b.simulationDensity = {1e15, 2e15, 0, 0};
    b.simulationEnergyLevel = {0.001, 0.002, 0, 0};
    b.degeneracyFactor = {1, 1, 1, 1};
    b.simulationInclude = {1, 1, 0, 0, 0};
    b.simulateConcentration();
    EXPECT_NEAR(b.simulatedConcentration[0], 3e15, 3e15 * 1e-4);
}

TEST(Simulation, FileLinesAndExtension)
{
    TempDir dir;
    Analysis a = grid({50, 50.1});
    a.versionInformation = "Version 1.7.1 (2017/8/23)";
    a.originalFileName = "";
    a.experimentalDataFileName = "/d/s.nT";
    a.splineFileName = "/d/s.spl";
    a.fermiLevelFileName = "/d/s.fl";
    a.h1FileName = dir.file("s.H1");
    a.sampleNumber = "not in this file";
    a.simulationDensity = {1.5e16, 3e15, 0, 9e15};
    a.simulationEnergyLevel = {0.0523, 0.1234, 0, 0.5};
    a.degeneracyFactor = {2, 4, 1, 1};
    a.simulationCompensatingDensity = -1e13;
    a.simulationInclude = {1, 0, 0, 0, 1}; // unticked species are still listed
    a.simulatedConcentration = {1.5e16, 2.25e14};
    a.simulatedFermiLevel = {0.0123456789, 0.5};

    Analysis::SaveProposal p = a.simulationSaveProposal();
    EXPECT_EQ(p.fileName, dir.file("s.simH"));
    EXPECT_EQ(p.filterIndex, 6);
    ASSERT_TRUE(a.saveSimulation(p.fileName)) << a.lastError;
    EXPECT_EQ(a.simulationFileName, p.fileName);

    std::string text = testfiles::readAll(p.fileName);
    bool bareLf = true;
    auto lines = testfiles::crlfLines(text, &bareLf);
    EXPECT_FALSE(bareLf);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    const std::vector<std::string> expected = {
        "% Simulation of Majority-Carrier Concentartion (Auto-evaluation version)",
        "% Version Information: Version 1.7.1 (2017/8/23)",
        "% Function Type: H(T,Eref)=n(T)^2*exp(Eref/kT)/(kT)^2.5",
        "% Original file: ",
        "% Experimental data file: /d/s.nT",
        "% File of data for analysis: /d/s.spl",
        "% Fermi level file: /d/s.fl",
        "% First density [cm^-3]: 1.5E16",
        "% First energy level [eV]: 0.0523",
        "% First degeneracy factor: 2",
        "% Second density [cm^-3]: 3E15",
        "% Second energy level [eV]: 0.1234",
        "% Second degeneracy factor: 4",
        "% Third density [cm^-3]: 0",
        "% Third energy level [eV]: 0",
        "% Third degeneracy factor: 1",
        "% Compenating density [cm^-3]: -10000000000000",
        "% Temperature [K]   Simulated carrier concentration [cm^-3]   Simulated Fermi level [eV] ",
        "50     1.5e+16     0.0123457",
        "50.1     2.25e+14     0.5"};
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(lines[i], expected[i]) << "line " << i + 1;

    a.functionType = 1;
    p = a.simulationSaveProposal();
    EXPECT_EQ(p.fileName, dir.file("s.simS"));
    ASSERT_TRUE(a.saveSimulation(p.fileName));
    EXPECT_EQ(testfiles::crlfLines(testfiles::readAll(p.fileName))[2],
              "% Function Type: S(T,Eref)=n(T)*exp(Eref/kT)/kT");
}

TEST(Simulation, FailedSaveKeepsTheOldFileAndName)
{
    TempDir dir;
    Analysis a = grid({50});
    a.simulatedConcentration = {1e14};
    a.simulatedFermiLevel = {0.1};
    a.simulationFileName = dir.file("old.simH");
    const std::string path = dir.file("s.simH");
    testfiles::writeAll(path, "old simulation");
    {
        // No room for a single byte: the write fails, also with root rights.
        testfiles::FullDisk full;
        ASSERT_TRUE(full.active());
        EXPECT_FALSE(a.saveSimulation(path));
    }
    EXPECT_NE(a.lastError.find(path), std::string::npos);
    EXPECT_EQ(testfiles::readAll(path), "old simulation");
    EXPECT_EQ(a.simulationFileName, dir.file("old.simH"));
    // Not simulated for the whole grid: refused.
    a.splineCount = 2;
    a.splineTemperature = {50, 60};
    EXPECT_FALSE(a.saveSimulation(dir.file("short.simH")));
    EXPECT_FALSE(std::filesystem::exists(dir.file("short.simH")));
}

TEST(Simulation, LinePointsLieStrictlyInsideTheMeasuredRange)
{
    EXPECT_EQ(Analysis::indicesStrictlyBetween({1, 2, 3, 4, 5}, 2, 4), (std::vector<int>{2}));
    EXPECT_TRUE(Analysis::indicesStrictlyBetween({1, 2}, 3, 0).empty());
    // The range of an unordered first series, ends excluded; no series, no line.
    EXPECT_EQ(Analysis::indicesInsideRangeOf({0, 1, 1.5, 2.5, 3, 4}, {3, 1, 2}), (std::vector<int>{2, 3}));
    EXPECT_TRUE(Analysis::indicesInsideRangeOf({1, 2}, {}).empty());

    Analysis a;
    a.resetAll();
    a.dataCount = 4;
    a.concentration = {1e14, 5e13, 1e16, 1e17};
    a.reliability = {1, 0.95, 0.9, 0.89}; // the last point is not plotted
    a.temperature = {50, 40, 200, 300};
    a.simulatedConcentration = {4e13, 5e13, 6e13, 1e15, 9.9e15, 1e16, 2e16};
    EXPECT_EQ(a.simulationLinePoints(), (std::vector<int>{2, 3, 4}));
    a.reliability = {0, 0, 0, 0}; // nothing plotted, nothing drawn
    EXPECT_TRUE(a.simulationLinePoints().empty());
}
