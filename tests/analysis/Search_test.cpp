// The shared searches against closed-form models whose crossing is known.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>

#include "analysis/base/Search.h"

namespace {

using search::LevelPlace;

struct PeakCase {
    std::string name;
    std::function<double(double)> peak; // increasing in the level
    double target;
    LevelPlace place;
    double level; // the analytic root (InRange), 0 (Shallow) or 1.5 (Deep)
};

const PeakCase peakCases[] = {
    {"linear", [](double E) { return 40 + 1000 * E; }, 123.4, LevelPlace::InRange, 0.0834},
    {"square root", [](double E) { return 500 * std::sqrt(E); }, 250, LevelPlace::InRange, 0.25},
    {"inside the first step", [](double E) { return 1e4 * E; }, 50, LevelPlace::InRange, 0.005},
    {"exponential", [](double E) { return 20 * std::exp(3 * E); }, 20 * std::exp(3.3), LevelPlace::InRange, 1.1},
    {"peaks above at 1 meV", [](double E) { return 100 + E; }, 99, LevelPlace::Shallow, 0},
    {"never reaches", [](double E) { return 100 * E; }, 1000, LevelPlace::Deep, 1.5},
};

TEST(Search, LevelForPeakTemperatureFindsTheAnalyticRoot)
{
    for (const PeakCase& c : peakCases) {
        SCOPED_TRACE(c.name);
        int calls = 0;
        double last = 0;
        const search::LevelFound f = search::levelForPeakTemperature(
            c.target, {0.001, 1.5, 0.01, 31},
            [&](double E) {
                ++calls;
                last = E;
                return c.peak(E);
            },
            // A model prunes with these notes, so each must name the side of
            // the level just tried.
            [&](bool deeper) { EXPECT_EQ(deeper, c.peak(last) >= c.target) << last; });
        EXPECT_EQ(f.place, c.place);
        // 10 meV halved 31 times: below 5e-12 eV.
        EXPECT_NEAR(f.level, c.level, 1e-11);
        if (c.place == LevelPlace::InRange) {
            EXPECT_LE(calls, 1 + 150 + 31);
        }
    }
}

TEST(Search, LevelByHalvingFindsTheAnalyticRoot)
{
    for (const PeakCase& c : peakCases) {
        SCOPED_TRACE(c.name);
        int steps = 0;
        const search::LevelFound f =
            search::levelByHalving(c.target, 0.001, 1.5, 40, c.peak, [&] { ++steps; });
        EXPECT_EQ(f.place, c.place);
        if (c.place == LevelPlace::InRange) {
            EXPECT_EQ(steps, 40);
            EXPECT_NEAR(f.level, c.level, 1.5 / std::ldexp(1.0, 39));
        } else {
            EXPECT_EQ(steps, 1); // out of range is seen on the first step
        }
    }
}

struct WalkCase {
    std::string name;
    double start, bound, root; // Short on the inner side of root
    double outBeyond;          // Out beyond this magnitude (inf: never)
    int maxDecades;
    double ratio;              // expected crossing
    bool failed;
};

constexpr double inf = INFINITY;

const WalkCase walkCases[] = {
    {"positive root", 1e-10, 0.9, 3.7e-4, inf, 100, 3.7e-4, false},
    {"negative root", -1e-10, inf, -2.5e3, inf, 100, -2.5e3, false},
    {"from a first solution", 2e-3, 0.9, 0.05, inf, 100, 0.05, false},
    // The decade past the bound is never tried but closes the bisection.
    {"root between bound and its decade", 1e-10, 0.9, 0.95, inf, 100, 0.95, false},
    {"root beyond the decade of the bound", 1e-10, 0.9, 5, inf, 100, 1, false},
    // Out beyond 3e-6: the crossing is taken to be there.
    {"model out of range", 1e-10, 0.9, 1, 3e-6, 100, 3e-6, false},
    {"too many decades", -1e-10, inf, -1e5, inf, 10, 0, true},
    {"overflow ends the walk", -1e-10, inf, -inf, inf, 1000, -inf, false},
};

TEST(Search, WalkDecadesBracketsTheCrossing)
{
    for (const WalkCase& c : walkCases) {
        SCOPED_TRACE(c.name);
        search::DecadeWalk walk;
        walk.start = c.start;
        walk.bound = c.bound;
        walk.maxDecades = c.maxDecades;
        walk.halvings = 40;
        const search::WalkResult r = search::walkDecades(walk, [&](double x) {
            EXPECT_EQ(x > 0, c.start > 0) << x;
            if (std::abs(x) > c.outBeyond)
                return search::Trial::Out;
            return std::abs(x) < std::abs(c.root) ? search::Trial::Short : search::Trial::Past;
        });
        EXPECT_EQ(r.failed, c.failed);
        if (c.failed)
            continue;
        if (std::isinf(c.outBeyond)) {
            EXPECT_FALSE(r.lastOut);
        }
        const double found = r.lastOut ? r.inner : r.ratio;
        if (std::isinf(c.ratio)) {
            EXPECT_TRUE(std::isinf(found)) << found;
            continue;
        }
        // A decade halved 40 times in the logarithm: 10^(2^-40) - 1 ~ 2e-12.
        EXPECT_NEAR(found / c.ratio, 1, 1e-11) << found;
        EXPECT_LE(std::abs(r.inner), std::min(std::abs(c.root), c.outBeyond));
    }
}

} // namespace
