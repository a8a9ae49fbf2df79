#include "analysis/data/Analysis.h"
#include "analysis/base/Deviation.h"
#include "TestFiles.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(Deviation, LargestRelativeDeviationOverTheWeightedPointsOnTheGrid)
{
    const std::vector<double> gridT{100, 200, 300};
    const std::vector<double> gridN{1e16, 1e17, 1e17};
    struct Case {
        const char* what;
        std::vector<double> T, n, w;
        int points;
        double largest, at;
    };
    const double mid = std::pow(10.0, 16.5); // log-interpolated at 150 K
    const Case cases[] = {
        {"on grid points", {100, 200}, {1e16, 0.8e17}, {1, 1}, 2, 0.25, 200},
        {"between grid points, in log10", {150}, {mid / 1.1}, {1}, 1, 0.1, 150},
        {"zero weight, outside the grid, non-positive left out",
         {100, 250, 50, 350, 300}, {2e16, 1e17, 1, 1, -1}, {0, 1, 1, 1, 1}, 1, 0, 250},
        {"nothing to compare", {50}, {1e16}, {1}, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const LargestDeviation d = largestDeviation(gridT, gridN, 3, c.T, c.n, c.w, 0);
        EXPECT_EQ(d.points, c.points) << c.what;
        EXPECT_NEAR(d.largest, c.largest, 1e-9) << c.what;
        EXPECT_DOUBLE_EQ(d.temperature, c.at) << c.what;
    }
    EXPECT_EQ(deviationSummary({1, 0.1274, 80}), "max. deviation 12.7 % at 80 K");
    EXPECT_EQ(deviationSummary({}), "");
}

TEST(Deviation, SplineCalculationReportsItsDeviation)
{
    // The default smoothness smooths the two-donor sample visibly; a small
    // one follows the points.
    struct Case {
        double smoothness;
        bool notable;
    };
    for (const Case& c : {Case{5000, true}, Case{1, false}}) {
        Analysis a;
        a.startUp(1);
        ASSERT_TRUE(a.loadExperimentalData(testfiles::example("sic4h_n_two_donors.nT")).ok);
        const SplineOutcome out = a.calculateDataForAnalysis(c.smoothness);
        ASSERT_TRUE(out.computed) << out.error;
        EXPECT_GT(out.deviation.points, 10);
        EXPECT_EQ(out.deviationNotable(), c.notable) << out.deviationText;
        EXPECT_EQ(out.deviationText.rfind("max. deviation ", 0), 0u) << out.deviationText;
    }
}
