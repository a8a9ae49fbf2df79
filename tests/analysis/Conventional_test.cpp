#include "analysis/conventional/Conventional.h"
#include "analysis/base/NumberFormat.h"
#include "NeutralityTruth.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

using namespace conventional;
using testfiles::TempDir;

namespace {

double kTof(double T) { return T * 1.38054e-23 / 1.6021e-19; }

// A sample of one majority species (density N, level dE, degeneracy g) with
// compensation nComp, its points solved from charge neutrality in long double.
struct Species {
    bool nType;
    double dos0, N, dE, g, nComp;
};

Analysis synthetic(const Species& s, double tFrom, double tTo, double tStep)
{
    Analysis a;
    a.resetAll();
    a.conductionType = s.nType ? "n-type" : "p-type";
    a.dos0 = s.dos0;
    a.fermiLevelComment = "synthetic sample";
    for (double T = tFrom; T <= tTo + 1e-9; T += tStep) {
        const long double kT = kTof(T), Nc = s.dos0 * std::pow(T, 1.5);
        const long double E = neutralDepth([&](long double e) {
            return s.N / (1 + s.g * std::exp((s.dE - e) / kT)) - (Nc * std::exp(-e / kT) + s.nComp);
        });
        a.temperature.push_back(T);
        a.concentration.push_back(static_cast<double>(Nc * std::exp(-E / kT)));
    }
    a.dataCount = static_cast<int>(a.temperature.size());
    return a;
}

Analysis points(bool nType, DoubleArray T, DoubleArray n, double dos0 = 5.25e15)
{
    Analysis a;
    a.resetAll();
    a.conductionType = nType ? "n-type" : "p-type";
    a.dos0 = dos0;
    a.temperature = std::move(T);
    a.concentration = std::move(n);
    a.dataCount = static_cast<int>(a.temperature.size());
    return a;
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
        EXPECT_TRUE(!l.empty() && l.back() == '\r') << "line without CR LF: " << l;
        if (!l.empty() && l.back() == '\r')
            l.pop_back();
        out.push_back(l);
    }
    return out;
}

double valueAfter(const std::vector<std::string>& ls, const std::string& label)
{
    for (const std::string& l : ls)
        if (l.rfind(label, 0) == 0)
            return std::stod(l.substr(label.size()));
    ADD_FAILURE() << "no line " << label;
    return NAN;
}

} // namespace

TEST(ConventionalFit, LineThroughTwoPointsAndExactLine)
{
    struct Case {
        DoubleArray x, y;
        double slope, intersection, r;
    } cases[] = {
        {{1, 2}, {3, 5}, 2, 1, 1},
        {{1, 2}, {5, 3}, -2, 7, -1},
        {{10, 20, 30, 40}, {-1, -3, -5, -7}, -0.2, 1, -1},
    };
    for (const Case& c : cases) {
        const LineFit f = FreezeOutLineFit(c.x, c.y, 0, static_cast<int>(c.x.size()) - 1);
        EXPECT_NEAR(f.slope, c.slope, 1e-12);
        EXPECT_NEAR(f.intersection, c.intersection, 1e-12);
        EXPECT_NEAR(f.correlation, c.r, 1e-12);
    }
}

TEST(ConventionalFit, BoundButtonsKeepTwoPointsAndRevertAtTheLimits)
{
    using B = FitRange::Button;
    struct Case {
        int lowest, highest;
        B button;
        bool moved;
        int newLowest, newHighest;
    } cases[] = {
        {0, 4, B::DecreaseLow, false, 0, 4},  // already the highest temperature
        {0, 3, B::DecreaseLow, true, 0, 4},
        {2, 3, B::IncreaseLow, false, 2, 3},  // two points stay two points
        {1, 4, B::IncreaseLow, true, 1, 3},
        {2, 3, B::DecreaseHigh, false, 2, 3},
        {1, 4, B::DecreaseHigh, true, 2, 4},
        {0, 4, B::IncreaseHigh, false, 0, 4},
        {2, 4, B::IncreaseHigh, true, 1, 4},
    };
    for (const Case& c : cases) {
        FitRange r{c.lowest, c.highest};
        EXPECT_EQ(r.press(c.button, 5), c.moved);
        EXPECT_EQ(r.IndexLowestT, c.newLowest);
        EXPECT_EQ(r.IndexHighestT, c.newHighest);
    }
    FitRange r;
    EXPECT_TRUE(r.selectTemperatures({10, 20, 30, 40, 50}, 15, 40));
    EXPECT_EQ(r.IndexLowestT, 1);
    EXPECT_EQ(r.IndexHighestT, 3);
    EXPECT_FALSE(r.selectTemperatures({10, 20, 30}, 15, 25)); // one point only
    EXPECT_EQ(r.IndexLowestT, 1);

    // A point picked on the chart: the nearer end moves there, never through
    // the other; a pick outside the points or on an end changes nothing.
    const struct {
        int lowest, highest, picked, newLowest, newHighest;
    } picks[] = {
        {0, 9, 2, 2, 9}, {0, 9, 7, 0, 7}, {3, 6, 9, 3, 9}, {3, 6, 6, 3, 6},
        {3, 4, 4, 3, 4}, {3, 6, 3, 3, 6}, {3, 6, -1, 3, 6}, {3, 6, 10, 3, 6},
    };
    for (const auto& c : picks) {
        FitRange f{c.lowest, c.highest};
        EXPECT_EQ(f.takeNearerBound(c.picked, 10), c.newLowest != c.lowest || c.newHighest != c.highest) << c.picked;
        EXPECT_EQ(f.IndexLowestT, c.newLowest) << c.picked;
        EXPECT_EQ(f.IndexHighestT, c.newHighest) << c.picked;
    }
    // 1000/T of 40 K is 25: the nearest point is the one at 40 K.
    EXPECT_EQ(FitRange::nearestPoint({10, 20, 40, 80}, 26), 2);
    EXPECT_EQ(FitRange::nearestPoint({}, 26), -1);
}

TEST(ConventionalOneImpurity, DensityCommentThresholdAndConductionType)
{
    const double above = std::nextafter(1e20, 2e20);
    struct Case {
        bool nType;
        double density;
        std::string first;
    } cases[] = {
        {true, 1e20, "Please compare the obtained donor density with the density in the saturation range of n(T)-1000/T."},
        {true, above, "The obtained donor density may not be reasonable, because it is too high."},
        {false, 1e20, "Please compare the obtained acceptor density with the density in the saturation range of p(T)-1000/T."},
        {false, above, "The obtained acceptor density may not be reasonable, because it is too high."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(densityComments(c.nType, c.density)[0], c.first);
    EXPECT_EQ(densityComments(false, 1)[2],
              "When the obtained acceptor density is not reasonable, the obtained acceptor level is not reliable either.");
}

TEST(ConventionalOneImpurity, SimulationStepsOfOneHundredthIn1000OverT)
{
    EXPECT_EQ(simulateOneImpurity(0.05, 1e16, 2, 5e15, 1000).temperature.size(), 1u);
    EXPECT_EQ(simulateOneImpurity(0.05, 1e16, 2, 5e15, 2500).temperature.size(), 1u);
    const SimulatedCurve c = simulateOneImpurity(0.05, 1e16, 2, 5e15, 500);
    ASSERT_GE(c.temperature.size(), 100u);
    ASSERT_LE(c.temperature.size(), 101u);
    EXPECT_EQ(c.temperature.front(), 500);
    EXPECT_LT(c.temperature.back(), 1000);
    EXPECT_NEAR(1000 / c.temperature[0] - 1000 / c.temperature[1], 0.01, 1e-9);
    // One donor of 1e16 at 500 K is fully ionised: n = N.
    EXPECT_NEAR(c.concentration.front() / 1e16, 1, 0.01);
    // Neutrality values so small that F(lo)*F(mid) underflows to 0: the
    // bisection still finds full ionisation, n = N.
    EXPECT_NEAR(simulateOneImpurity(0.05, 1e-200, 2, 1e-200, 300).concentration[0] / 1e-200, 1, 0.01);
    EXPECT_NEAR(simulateDonorAcceptor(0.05, 2e-200, 1e-200, 2, 1e-200, 300, 200).concentration[0] / 1e-200, 1, 0.01);
    const SimulatedCurve d = simulateDonorAcceptor(0.05, 1e16, 1e15, 2, 5e15, 300, 200);
    EXPECT_EQ(d.temperature.size(), 1u);
    EXPECT_NEAR(d.concentration.front() / 9e15, 1, 0.01);
}

TEST(ConventionalOneImpurity, TwoPointRangeIsExactAndPTypeUsesG4)
{
    // p-type, two points: the line passes through both, r = -1.
    OneImpurity o;
    o.open(points(false, {100, 200}, {1e14, 1e16}, 4e15));
    EXPECT_EQ(o.g, 4);
    EXPECT_DOUBLE_EQ(o.A, 0.5 * std::sqrt(4e15));
    ASSERT_EQ(o.evaluate(), "");
    EXPECT_NEAR(o.fit.correlation, -1, 1e-12);
    EXPECT_NEAR(o.yLo, 1e14 / std::pow(100, 0.75), 1e-6 * o.yLo);
    EXPECT_NEAR(o.yHi, 1e16 / std::pow(200, 0.75), 1e-6 * o.yHi);
    // slope of ln(n/T^.75) per 1000/T: the level is 2000 k/q times its fall.
    const double slope = (std::log(1e16 / std::pow(200, 0.75)) - std::log(1e14 / std::pow(100, 0.75))) / (5 - 10);
    EXPECT_NEAR(o.energyLevel, -2000 * 1.38054e-23 * slope / 1.6021e-19, 1e-12);
    const std::vector<std::string> ls = lines(o.fileText(Analysis(), "x.CNO"));
    EXPECT_EQ(std::count(ls.begin(), ls.end(), "% Degeneracy factor: 4"), 1);
    EXPECT_NEAR(valueAfter(ls, "% Acceptor level [eV]: "), o.energyLevel, 1e-12);
    EXPECT_NEAR(valueAfter(ls, "% Acceptor density [cm^-3]: ") / o.density, 1, 1e-12);

    // An n-type sample with one point above: the two-point range inside.
    OneImpurity n;
    n.open(points(true, {50, 60, 70}, {1e13, 2e13, 4e13}));
    EXPECT_EQ(n.g, 2);
    EXPECT_FALSE(n.press(FitRange::Button::IncreaseHigh));
    EXPECT_TRUE(n.press(FitRange::Button::DecreaseHigh));
    ASSERT_EQ(n.evaluate(), "");
    EXPECT_NEAR(n.fit.correlation, -1, 1e-12);
    // ">" under the low label with two points: unchanged, results reset.
    EXPECT_FALSE(n.press(FitRange::Button::IncreaseLow));
    EXPECT_EQ(n.range.IndexLowestT, 1);
    EXPECT_EQ(n.range.IndexHighestT, 2);
    EXPECT_FALSE(n.evaluated);
    EXPECT_EQ(n.energyLevel, 0);
    EXPECT_FALSE(n.simulation.temperature.empty()); // the curve stays
}

TEST(ConventionalOneImpurity, FitsWithoutFiniteResultsAreRefused)
{
    struct Case {
        DoubleArray T, n;
        const char* message;
    } cases[] = {
        {{100, 100, 100}, {1e14, 2e14, 3e14}, refusal::oneTemperature},
        {{100, 150, 200}, {1e14, 0, 3e14}, refusal::nonPositive},
        {{100, 150, 200}, {1e14, -1e14, 3e14}, refusal::nonPositive},
        {{100, 150, 200}, {1e300, 1e300, 1e300}, refusal::notFinite}, // n/T^0.75 flat: r undefined
    };
    for (const Case& c : cases) {
        OneImpurity o;
        o.open(points(true, c.T, c.n));
        EXPECT_EQ(o.evaluate(), c.message);
        EXPECT_FALSE(o.evaluated);
        EXPECT_EQ(o.density, 0);
        std::string error;
        EXPECT_FALSE(o.write(Analysis(), "/nonexistent/none.CNO", error));
        DonorAcceptor d;
        d.open(points(true, c.T, c.n));
        EXPECT_NE(d.evaluate(1e301), "");
        EXPECT_FALSE(d.evaluated);
    }
}

TEST(ConventionalDonorAcceptor, NetDensityMessagesAndPointsAtOrAboveItLeftOut)
{
    const Analysis a = synthetic({true, 5.25e15, 1e16, 0.045, 2, 1e15}, 20, 300, 5);
    DonorAcceptor d;
    d.open(a);
    EXPECT_EQ(d.netDensity, a.concentration.back());
    EXPECT_EQ(d.evaluate(0), "Please input the net density.");
    EXPECT_EQ(d.evaluate(a.concentration[0]), "Please input a large number as the net density.");
    EXPECT_EQ(d.evaluate(-1e16), "Please input a large number as the net density.");
    EXPECT_FALSE(d.evaluated);
    EXPECT_EQ(d.netDensity, a.concentration.back());

    // Points at or above N_net do not enter the fit, whatever they hold:
    // exactly N_net or far above it gives the same results.
    const double net = 9e15;
    Analysis at = a, far = a;
    int above = 0;
    for (std::size_t i = 0; i < a.concentration.size(); ++i)
        if (a.concentration[i] >= net * 0.98) {
            at.concentration[i] = net;
            far.concentration[i] = net * (2 + ++above);
        }
    ASSERT_GT(above, 1);
    DonorAcceptor e, f0;
    e.open(at);
    f0.open(far);
    double y = 0;
    EXPECT_FALSE(e.yOf(e.range.IndexHighestT, 0, y));
    ASSERT_EQ(e.evaluate(net), "");
    ASSERT_EQ(f0.evaluate(net), "");
    EXPECT_EQ(e.compensatingDensity, f0.compensatingDensity);
    EXPECT_EQ(e.fit.slope, f0.fit.slope);
    EXPECT_EQ(e.fit.correlation, f0.fit.correlation);
    EXPECT_EQ(e.simulation.concentration, f0.simulation.concentration);
    const Analysis& b = far;
    // A range whose every point lies at or above N_net gives no line.
    DonorAcceptor f;
    f.open(b);
    while (f.press(FitRange::Button::DecreaseHigh)) {
    }
    EXPECT_EQ(f.evaluate(net), refusal::oneTemperature);
}

TEST(ConventionalDonorAcceptor, PTypeFileAndTrialRange)
{
    const Analysis a = synthetic({false, 2.19e15, 2e17, 0.2, 4, 1e15}, 80, 600, 10);
    DonorAcceptor d;
    d.open(a);
    EXPECT_EQ(d.g, 4);
    ASSERT_EQ(d.evaluate(2e17 - 1e15), "");
    // The trial nearest the truth, on the search's grid of 0.01 decade.
    const double step = std::pow(10, 0.005) * (1 + 1e-9);
    EXPECT_LE(d.compensatingDensity / 1e15, step);
    EXPECT_GE(d.compensatingDensity / 1e15, 1 / step);
    const std::vector<std::string> ls = lines(d.fileText(a, "/tmp/s.CNC"));
    const auto at = [&](const std::string& s) { return std::find(ls.begin(), ls.end(), s) - ls.begin(); };
    const auto acceptor = std::find_if(ls.begin(), ls.end(), [](const std::string& l) {
        return l.rfind("% Acceptor density [cm^-3]: ", 0) == 0;
    });
    const auto donor = std::find_if(ls.begin(), ls.end(), [](const std::string& l) {
        return l.rfind("% Donor density [cm^-3]: ", 0) == 0;
    });
    EXPECT_LT(acceptor, donor);
    EXPECT_EQ(donor + 1 < ls.end() ? (donor + 1)->rfind("% (m*/m0)^3/2*(1/g) : ", 0) : 1u, 0u);
    // The own file line directly after the Fermi level file, g after the material.
    EXPECT_EQ(at("% One donor and one acceptor file: /tmp/s.CNC"), at("% Fermi level file: ") + 1);
    EXPECT_EQ(at("% Degeneracy factor: 4"), at("% " + a.fermiLevelComment) + 1);
    EXPECT_EQ(at("% Obateind results ") + 2, at("% ln(y) = a*(1000/T) + b "));
    EXPECT_EQ(ls.back(), numfmt::g(d.simulation.temperature.back()) + "   " +
                             numfmt::g(d.simulation.concentration.back()));
    EXPECT_EQ(ls.size() - d.simulation.temperature.size() - 1,
              static_cast<std::size_t>(at("% temperature [K]  Concentration [cm^-3] ")));
}

TEST(ConventionalFiles, FailedSaveKeepsThePreviousFileAndNamesIt)
{
    TempDir dir;
    OneImpurity o;
    o.open(points(true, {50, 60, 70}, {1e13, 1e14, 1e15}));
    ASSERT_EQ(o.evaluate(), "");
    const std::string path = dir.file("a.CNO");
    std::string error;
    ASSERT_TRUE(o.write(Analysis(), path, error)) << error;
    std::ifstream in(path, std::ios::binary);
    std::stringstream saved;
    saved << in.rdbuf();
    {
        testfiles::FullDisk full;
        ASSERT_TRUE(full.active());
        EXPECT_FALSE(o.write(Analysis(), path, error));
    }
    EXPECT_NE(error.find(path), std::string::npos) << error;
    std::ifstream again(path, std::ios::binary);
    std::stringstream kept;
    kept << again.rdbuf();
    EXPECT_EQ(kept.str(), saved.str());
    EXPECT_FALSE(o.write(Analysis(), dir.file("missing/a.CNO"), error));
    EXPECT_NE(error.find("a.CNO"), std::string::npos);
}

// The physics: samples solved from exact charge neutrality with known
// species. The freeze-out fit holds where N_comp << n << N: there n =
// sqrt(N N_c/g) exp(-dE/2kT) up to sqrt(1 - n/N) (down to -2.6 % at n = N/20)
// and (1 + N_comp/n) (below 1 % above 100 N_comp). The neglected factor grows
// towards high temperature, so the line extrapolated to 1000/T = 0
// underestimates N by up to about 12 % and dE by about 1 %. With the true net
// density, ln y is exactly straight at the true N_comp, so the compensation
// search finds the trial nearest it on its grid of 0.01 decade.
TEST(ConventionalPhysics, FreezeOutRangeGivesLevelAndDensity)
{
    struct Case {
        Species s;
        double tFrom, tTo, tStep;
        double levelTolerance, densityFactor; // relative, and factor either way
    } cases[] = {
        {{true, 5.25e15, 1e16, 0.045, 2, 1e11}, 12, 300, 2, 0.02, 1.15},
        {{true, 5.25e15, 1e17, 0.100, 2, 1e12}, 30, 400, 5, 0.02, 1.15},
        {{false, 2.19e15, 2e17, 0.200, 4, 1e13}, 60, 700, 5, 0.02, 1.15},
        {{true, 4.21e14, 1e15, 0.006, 2, 1e10}, 2, 60, 0.5, 0.02, 1.15},
    };
    for (const Case& c : cases) {
        const Analysis a = synthetic(c.s, c.tFrom, c.tTo, c.tStep);
        OneImpurity o;
        o.open(a);
        // The freeze-out range: 100 N_comp < n < N/20.
        FitRange r{-1, -1};
        for (int i = 0; i < a.dataCount; ++i)
            if (a.concentration[i] > 100 * c.s.nComp && a.concentration[i] < c.s.N / 20) {
                if (r.IndexLowestT < 0)
                    r.IndexLowestT = i;
                r.IndexHighestT = i;
            }
        ASSERT_GT(r.IndexHighestT - r.IndexLowestT, 4);
        o.range = r;
        ASSERT_EQ(o.evaluate(), "");
        std::printf("one impurity: N %g dE %g N_comp %g | T %g..%g K | dE %.5f N %.4g r %.6f\n", c.s.N, c.s.dE,
                    c.s.nComp, a.temperature[r.IndexLowestT], a.temperature[r.IndexHighestT], o.energyLevel,
                    o.density, o.fit.correlation);
        EXPECT_NEAR(o.energyLevel / c.s.dE, 1, c.levelTolerance);
        EXPECT_LT(std::fabs(std::log(o.density / c.s.N)), std::log(c.densityFactor));
        EXPECT_LT(o.fit.correlation, -0.999);
    }
}

TEST(ConventionalPhysics, CompensationSearchFindsTheCompensatingDensity)
{
    struct Case {
        Species s;
        double tFrom, tTo, tStep;
    } cases[] = {
        {{true, 5.25e15, 1e16, 0.045, 2, 1e15}, 15, 300, 5},
        {{true, 5.25e15, 5e16, 0.100, 2, 1e16}, 30, 400, 5},
        {{true, 5.25e15, 1e16, 0.045, 2, 1e14}, 15, 300, 5},
        {{false, 2.19e15, 2e17, 0.200, 4, 3e15}, 80, 700, 10},
    };
    const double step = std::pow(10, 0.005) * (1 + 1e-9); // half a grid step of the search
    for (const Case& c : cases) {
        const Analysis a = synthetic(c.s, c.tFrom, c.tTo, c.tStep);
        DonorAcceptor d;
        d.open(a);
        ASSERT_EQ(d.evaluate(c.s.N - c.s.nComp), "");
        const double G = c.s.dos0 / c.s.g / freeElectronDos0();
        std::printf("donor-acceptor: N %g dE %g N_comp %g | N_comp %.4g N_maj %.6g dE %.6f G %.4g (true %.4g) r %.9f\n",
                    c.s.N, c.s.dE, c.s.nComp, d.compensatingDensity, d.majorityDensity, d.energyLevel, d.factorG, G,
                    d.fit.correlation);
        EXPECT_LE(d.compensatingDensity / c.s.nComp, step);
        EXPECT_GE(d.compensatingDensity / c.s.nComp, 1 / step);
        // The trial nearest N_comp is off by up to 1.2 %, which tilts the
        // line slightly and moves its intercept by at most as much.
        EXPECT_NEAR(d.energyLevel / c.s.dE, 1, 0.005);
        EXPECT_LT(std::fabs(std::log(d.factorG / G)), 0.02);
        EXPECT_NEAR(d.majorityDensity / c.s.N, 1, 0.012 * c.s.nComp / c.s.N);
    }
}
