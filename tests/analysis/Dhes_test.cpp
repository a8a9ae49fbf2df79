// Differential Hall-effect spectroscopy: the measured signal, the peak walks,
// the buttons of the four peaks, the *.DHES file, and levels and densities
// against the truth of synthetic samples.
#include "analysis/dhes/DhesSpectrum.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/Physics.h"
#include "NeutralityTruth.h"
#include "TestFiles.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace {

TEST(DhesSignal, MeasuredAndRepeatedWhereTheFermiLevelStandsStill)
{
    // F equal at j = 0 (value 0) and at j = 2 (repeats D[1]).
    const DoubleArray T = {100, 200, 300, 400};
    const DoubleArray n = {1e15, 1e15, 3e15, 5e15};
    const DoubleArray F = {0.1, 0.1, 0.2, 0.2};
    DoubleArray D, X;
    dhes::measuredDhes(T, n, F, D, X);
    const double kT150 = (phys::thermalEnergy(100) + phys::thermalEnergy(200)) / 2;
    const double kT250 = (phys::thermalEnergy(200) + phys::thermalEnergy(300)) / 2;
    ASSERT_EQ(D.size(), 3u);
    EXPECT_EQ(D[0], 0);
    EXPECT_DOUBLE_EQ(D[1], 2e15 * kT250 / 0.1);
    EXPECT_EQ(D[2], D[1]);
    EXPECT_DOUBLE_EQ(X[0], 0.1);
    EXPECT_DOUBLE_EQ(X[1], 0.15);
    EXPECT_NE(kT150, kT250);

    // The theoretical curve follows the same rule and stays finite, also for
    // a deep level at a few kelvin where exp() overflows.
    const DoubleArray th = dhes::theoreticalCurve({2, 3, 4, 5}, {0.01, 0.01, 0.02, 0.03}, 0.9, 1e16, 2);
    ASSERT_EQ(th.size(), 3u);
    EXPECT_EQ(th[0], 0);
    for (double v : th)
        EXPECT_TRUE(std::isfinite(v));
    for (double v : dhes::approximateCurve({2, 3, 4}, {0.01, 0.01, 0.02}, 0.9, 1e16, 2))
        EXPECT_TRUE(std::isfinite(v));
}

// A signal from pieces: rising ramps, flat dips, falling ramps.
DoubleArray signal(std::initializer_list<std::pair<int, double>> pieces)
{
    DoubleArray d;
    double v = 0;
    for (const auto& [count, slope] : pieces)
        for (int i = 0; i < count; ++i)
            d.push_back(v += slope);
    return d;
}

TEST(DhesSignal, PeakWalks)
{
    // Two peaks at 99 and 199 separated by a valley of 100 samples.
    const DoubleArray twoPeaks = signal({{100, 1}, {50, -1}, {50, 1}, {100, -1}});
    // A flat stretch of 30 (crossed) or 60 samples (ends the walk) on the rise.
    const DoubleArray shortDip = signal({{100, 1}, {30, 0}, {70, 1}, {100, -1}});
    const DoubleArray longDip = signal({{100, 1}, {60, 0}, {70, 1}, {100, -1}});
    const DoubleArray fallingStart = {5, 3, 4, 6, 2, 1};
    struct Case {
        const char* what;
        const DoubleArray& d;
        bool next;
        int from, to;
    } cases[] = {
        {"Next Peak from the opening walks to the first maximum", twoPeaks, true, 0, 99},
        {"Next Peak from the first peak", twoPeaks, true, 99, 199},
        {"Next Peak after the last peak stops before the end", twoPeaks, true, 199, 298},
        {"Next Peak at the end stays", twoPeaks, true, 298, 298},
        {"Previous Peak from the second peak", twoPeaks, false, 199, 99},
        {"Previous Peak at index 0 does nothing", twoPeaks, false, 0, 0},
        {"Previous Peak from index 1 walks uphill only", fallingStart, false, 1, 0},
        {"Previous Peak from index 1 on a maximum stays", twoPeaks, false, 1, 1},
        {"a flat stretch of 30 samples is crossed", shortDip, true, 0, 199},
        {"a flat stretch of 60 samples ends the walk", longDip, true, 0, 99},
        {"the walk down from 3 ends at the sample 0", fallingStart, false, 3, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.next ? dhes::nextPeak(c.d, c.from) : dhes::previousPeak(c.d, c.from), c.to) << c.what;
}

// An analysis object with a grid of exact charge neutrality for donors
// (N, dE) with degeneracy g and a compensating density from `firstT` to 700 K;
// the Fermi level as the Fermi-level stage computes it. The grid starts above
// the temperature where the Fermi level turns (it falls with T in the
// freeze-out of a compensated sample), which D shows as a pole.
Analysis sample(const std::vector<std::pair<double, double>>& donors, double g, double comp, bool nType = true,
                double firstT = 60)
{
    Analysis a;
    a.conductionType = nType ? "n-type" : "p-type";
    a.dos0 = 2.5e15;
    for (int i = 0; 0.1 * i <= 700 - firstT; ++i) {
        const double T = firstT + 0.1 * i;
        const long double kT = phys::thermalEnergy(T);
        const long double Nc = a.dos0 * std::pow(T, 1.5);
        auto balance = [&](long double F) {
            long double ionised = 0;
            for (const auto& [N, dE] : donors)
                ionised += N / (1 + g * std::exp((dE - F) / kT));
            return ionised - comp - Nc * std::exp(-F / kT);
        };
        a.splineTemperature.push_back(T);
        a.splineConcentration.push_back(static_cast<double>(Nc * std::exp(-neutralDepth(balance) / kT)));
    }
    a.splineCount = static_cast<int>(a.splineTemperature.size());
    EXPECT_TRUE(a.computeFermiLevel());
    return a;
}

TEST(DhesPhysics, TwoWellSeparatedDonorsGiveTheirLevelsAndDensities)
{
    // dE = dE_F - kT ln g and N = 4 DHES leave out the change of kT along the
    // Fermi level: the levels come out within half a kT at the peak, and a
    // species' own signal peaks below N/4, so its density comes out low. The
    // neighbour's tail can only add: the density lies between 4 times the
    // peak of the species' own theoretical signal (less 2 % for the grid) and
    // the truth.
    struct Case {
        double N1, E1, N2, E2, g, comp, firstT;
        double toleranceN[2]; // relative
    } cases[] = {
        {3e16, 0.05, 5e16, 0.20, 2, 1e14, 60, {0.11, 0.08}},
        {1e16, 0.08, 2e16, 0.30, 2, 5e14, 100, {0.10, 0.08}},
        {5e16, 0.05, 1e16, 0.25, 4, 1e14, 60, {0.25, 0.06}},
    };
    for (const Case& c : cases) {
        const Analysis a = sample({{c.N1, c.E1}, {c.N2, c.E2}}, c.g, c.comp, c.g == 2, c.firstT);
        dhes::State st = dhes::open(a);
        ASSERT_EQ(dhes::workPeaks(st), 2) << c.E1 << " / " << c.E2;
        const double truthE[2] = {c.E1, c.E2}, truthN[2] = {c.N1, c.N2};
        for (int s = 0; s < 2; ++s) {
            const double kT = phys::thermalEnergy(st.temperature[st.peaks[s].index]);
            EXPECT_NEAR(st.peaks[s].energyLevel, truthE[s], kT / 2) << "peak " << s + 1;
            EXPECT_NEAR(st.peaks[s].density / truthN[s], 1, c.toleranceN[s]) << "peak " << s + 1;
            const DoubleArray own = dhes::theoreticalCurve(st.temperature, st.fermi, truthE[s], truthN[s], c.g);
            EXPECT_GT(st.peaks[s].density, 0.98 * 4 * *std::max_element(own.begin(), own.end())) << "peak " << s + 1;
            EXPECT_LT(st.peaks[s].density, truthN[s]) << "peak " << s + 1;
        }
    }
}

TEST(DhesPhysics, TheoreticalSignalOfTheTruthIsTheMeasuredOne)
{
    // One donor without compensation: the free electrons are the ionised
    // donors, so the measured DHES is the theoretical signal of the truth.
    const Analysis a = sample({{3e16, 0.1}}, 2, 0);
    const dhes::State st = dhes::open(a);
    const DoubleArray th = dhes::theoreticalCurve(st.temperature, st.fermi, 0.1, 3e16, 2);
    const DoubleArray ap = dhes::approximateCurve(st.temperature, st.fermi, 0.1, 3e16, 2);
    const auto peak = std::max_element(st.dhes.begin(), st.dhes.end()) - st.dhes.begin();
    for (std::size_t j = 10; j < st.dhes.size(); j += 250)
        EXPECT_NEAR(th[j] / st.dhes[j], 1, 1e-2) << st.temperature[j] << " K"; // half a grid step apart
    // Without the change of kT the signal peaks at N/4, higher than measured.
    EXPECT_NEAR(*std::max_element(ap.begin(), ap.end()), 3e16 / 4, 1e12);
    EXPECT_LT(st.dhes[peak], 3e16 / 4);
}

// A state over a hand-made signal: the grid and Fermi level only have to be
// positive and rising for the evaluation to run.
dhes::State stateOver(const DoubleArray& d)
{
    dhes::State st;
    st.dhes = d;
    for (std::size_t j = 0; j <= d.size(); ++j) {
        st.temperature.push_back(20 + 0.1 * j);
        st.fermi.push_back(0.01 + 0.0005 * j);
    }
    for (std::size_t j = 0; j < d.size(); ++j)
        st.abscissa.push_back((st.fermi[j] + st.fermi[j + 1]) / 2);
    st.controls.previous[0] = st.controls.next[0] = st.controls.evaluation[0] = true;
    st.markerShown[0] = true;
    return st;
}

TEST(DhesEdge, PeaksAtTheEndsOfTheSignalAreMarked)
{
    // The search stops short of the last sample; a walk that ran into it
    // while the signal still rises is an edge, evaluated only on request.
    const struct {
        const char* what;
        DoubleArray d;
        int found;
        int edgeIndex; // -1: no edge
    } cases[] = {
        {"one peak inside, then a rise to the last sample", signal({{100, 1}, {100, -1}, {80, 1}}), 1, 279},
        {"peaks inside only", signal({{100, 1}, {100, -1}, {80, 1}, {80, -1}}), 2, -1},
        {"rising throughout", signal({{120, 1}}), 0, 119},
    };
    for (const auto& c : cases) {
        dhes::State st = stateOver(c.d);
        ASSERT_EQ(dhes::workPeaks(st), c.found) << c.what;
        for (int s = 0; s < c.found; ++s)
            EXPECT_FALSE(st.peaks[s].edge) << c.what << " peak " << s + 1;
        const dhes::State before = st;
        dhes::Peak edge;
        ASSERT_EQ(dhes::edgePeak(st, c.found, edge), c.edgeIndex >= 0) << c.what;
        if (c.edgeIndex >= 0) {
            EXPECT_EQ(edge.index, c.edgeIndex) << c.what;
            EXPECT_TRUE(edge.edge && edge.evaluated()) << c.what;
            EXPECT_FALSE(st.peaks[c.found].evaluated()) << c.what << ": the state keeps its results";
            EXPECT_EQ(st.controls.save, before.controls.save) << c.what;
        }
    }
    // "Evaluation" right after opening: the marker stands on the first
    // sample, a positive maximum (a negative one is no physical result).
    dhes::State st = stateOver(signal({{1, 150}, {99, -1}, {100, 1}, {100, -1}}));
    dhes::evaluationPressed(st, 0);
    ASSERT_TRUE(st.peaks[0].evaluated());
    EXPECT_TRUE(st.peaks[0].edge);
    const std::string warning = dhes::edgeWarning(st, 0);
    EXPECT_NE(warning.find("first peak lies at the first point"), std::string::npos) << warning;
    EXPECT_NE(warning.find("T = 20 K"), std::string::npos) << warning;
    // Moving the marker inside clears the mark.
    dhes::nextPeakPressed(st, 0);
    dhes::evaluationPressed(st, 0);
    EXPECT_FALSE(st.peaks[0].edge);
    EXPECT_TRUE(dhes::atEdge(st.dhes, 0) && dhes::atEdge(st.dhes, 299) && !dhes::atEdge(st.dhes, 298));
}

TEST(DhesWindowState, ButtonsOfThePeaks)
{
    const Analysis a = sample({{3e16, 0.05}, {5e16, 0.20}}, 2, 1e14);
    dhes::State st = dhes::open(a);
    const dhes::Controls& c = st.controls;
    EXPECT_TRUE(c.previous[0] && c.next[0] && c.evaluation[0]);
    EXPECT_FALSE(c.clear[0] || c.next[1] || c.sum || c.save || c.saveFigure || c.draw[0]);
    EXPECT_TRUE(st.markerShown[0]);

    dhes::nextPeakPressed(st, 0);
    const int first = st.peaks[0].index;
    EXPECT_GT(first, 0);
    dhes::evaluationPressed(st, 0);
    EXPECT_TRUE(c.clear[0] && c.save && c.draw[0] && c.sum && c.next[1] && c.evaluation[1]);
    EXPECT_TRUE(st.markerShown[1]);
    EXPECT_EQ(st.peaks[1].index, 0); // not moved
    dhes::drawPressed(st, 0);
    EXPECT_FALSE(c.draw[0]);
    EXPECT_GT(st.peaks[0].approximate.size(), 1u);

    dhes::nextPeakPressed(st, 1);
    dhes::nextPeakPressed(st, 1);
    EXPECT_GT(st.peaks[1].index, first);
    EXPECT_FALSE(c.sum);
    dhes::evaluationPressed(st, 1);
    dhes::sumPressed(st);
    EXPECT_DOUBLE_EQ(st.sum[first], st.peaks[0].theoretical[first] + st.peaks[1].theoretical[first]);

    // "Clear" of peak 2 keeps peak 1 and the save.
    dhes::clearPressed(st, 1);
    EXPECT_FALSE(st.peaks[1].evaluated());
    EXPECT_TRUE(st.peaks[0].evaluated());
    EXPECT_TRUE(c.save && !c.sum && !c.clear[1] && c.next[1] && !c.next[2]);
    EXPECT_FALSE(st.sumShown);

    // Moving peak 1 discards everything and disables the save.
    dhes::evaluationPressed(st, 1);
    dhes::previousPeakPressed(st, 0);
    EXPECT_FALSE(st.peaks[0].evaluated() || st.peaks[1].evaluated());
    EXPECT_FALSE(c.save || c.next[1] || c.evaluation[1] || c.clear[0] || st.markerShown[1]);
}

TEST(DhesFile, OnlyTheEvaluatedPeaksAndFailuresReported)
{
    testfiles::TempDir dir;
    Analysis a = sample({{3e16, 0.05}, {5e16, 0.20}}, 2, 1e14);
    a.experimentalDataFileName = dir.file("s.nT");
    a.splineFileName = dir.file("s.spl");
    a.fermiLevelFileName = dir.file("s.fl");
    a.fermiLevelComment = "comment";
    dhes::State st = dhes::open(a);
    ASSERT_EQ(dhes::workPeaks(st), 2);
    dhes::clearPressed(st, 1);

    const std::string path = dhes::saveProposal(a);
    EXPECT_EQ(path, dir.file("s.DHES"));
    std::string error;
    ASSERT_TRUE(dhes::savePressed(a, st, path, error)) << error;
    EXPECT_EQ(st.fileName, path);
    EXPECT_TRUE(st.controls.saveFigure && !st.controls.save);
    EXPECT_EQ(dhes::figureProposal(st), dir.file("sDHES.bmp"));

    bool bareLf = true;
    const std::string text = testfiles::readAll(path);
    const auto lines = testfiles::crlfLines(text, &bareLf);
    EXPECT_FALSE(bareLf);
    const std::vector<std::string> expected = {
        "% DHES file: " + path, "% Degeneracy factor: 2", "% comment",
        "% --------------------------------------------------------- ", "% DHES results ",
        "% --------------------------------------------------------- ",
        "% First energy level [eV]: " + numfmt::general(st.peaks[0].energyLevel),
        "% First density [cm^-3]: " + numfmt::general(st.peaks[0].density)};
    ASSERT_GT(lines.size(), 30u);
    EXPECT_EQ(lines[6], expected[0]);
    EXPECT_EQ(lines[22], expected[1]);
    for (std::size_t i = 2; i < expected.size(); ++i)
        EXPECT_EQ(lines[21 + i], expected[i]) << i;
    EXPECT_EQ(lines[29].rfind("% Temperature  [K]", 0), 0u);
    EXPECT_EQ(lines.size(), 30 + st.dhes.size());
    const std::size_t j = static_cast<std::size_t>(st.peaks[0].index);
    EXPECT_EQ(lines[30 + j], numfmt::general(st.temperature[j]) + "    " + numfmt::general(st.abscissa[j]) +
                                 "    " + numfmt::general(st.dhes[j]) + "    " +
                                 numfmt::general(st.peaks[0].theoretical[j]));

    // A save that fails is reported naming the file; the previous one survives.
    dhes::evaluationPressed(st, 0);
    {
        testfiles::FullDisk full;
        ASSERT_TRUE(full.active());
        EXPECT_FALSE(dhes::savePressed(a, st, path, error));
    }
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_TRUE(st.controls.save);
    EXPECT_EQ(testfiles::readAll(path), text);
    EXPECT_EQ(Analysis::withDefaultExtension("/d/x", "DHES"), "/d/x.DHES");
    EXPECT_EQ(Analysis::withDefaultExtension("/d.e/x.txt", "DHES"), "/d.e/x.txt");
}

TEST(DhesFile, PTypeUsesDegeneracyFour)
{
    const Analysis a = sample({{2e17, 0.2}}, 4, 1e15, false, 200);
    dhes::State st = dhes::open(a);
    EXPECT_EQ(st.degeneracy, 4);
    ASSERT_EQ(dhes::workPeaks(st), 1);
    const int p = st.peaks[0].index;
    EXPECT_DOUBLE_EQ(st.peaks[0].energyLevel,
                     st.abscissa[p] - phys::k * st.temperature[p] * std::log(4.0) / phys::q);
    EXPECT_NE(dhes::fileText(a, st, "x.DHES").find("% Degeneracy factor: 4\r\n"), std::string::npos);
}

} // namespace
