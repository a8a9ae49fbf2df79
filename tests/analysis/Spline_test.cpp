#include "analysis/data/Analysis.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace {

Analysis withData(const DoubleArray& T, const DoubleArray& n, const DoubleArray& r,
                  double smoothness = 5000)
{
    Analysis a;
    a.resetAll();
    a.temperature = T;
    a.concentration = n;
    a.reliability = r;
    a.dataCount = static_cast<int>(T.size());
    a.smoothness = smoothness;
    return a;
}

Analysis fromExample(const std::string& name)
{
    Analysis a;
    a.resetAll();
    a.experimentalDataFileName = testfiles::example(name);
    EXPECT_TRUE(a.readExperimentalData()) << a.lastError;
    return a;
}

bool fit(Analysis& a)
{
    a.chooseSplinePoints();
    return a.computeSpline();
}

// log10 of the grid value at temperature T (which must be a grid point).
double gridLog(const Analysis& a, double T)
{
    long k = std::lround((T - a.splineTemperature.at(0)) * 10);
    EXPECT_GE(k, 0);
    EXPECT_LT(k, a.splineCount);
    EXPECT_NEAR(a.splineTemperature.at(k), T, 1e-9);
    return std::log10(a.splineConcentration.at(k));
}

// The spline defined by its equations, solved directly: unknowns a, b and
// c_0..c_{m-1} with c_j + w_j (a + b x_j + sum_{x_k<x_j} c_k (x_j-x_k)^3) =
// w_j y_j, sum c = 0, sum c x = 0. Gaussian elimination with partial
// pivoting in long double.
std::function<double(double)> directSpline(const DoubleArray& x, const DoubleArray& y,
                                           const DoubleArray& rel, double smoothness)
{
    const int m = static_cast<int>(x.size());
    const int n = m + 2;
    std::vector<std::vector<long double>> A(n, std::vector<long double>(n + 1, 0));
    for (int j = 0; j < m; ++j) {
        long double w = rel[j] / 6.0L / smoothness;
        A[j][0] = w;
        A[j][1] = w * x[j];
        A[j][2 + j] += 1;
        for (int k = 0; k < m; ++k)
            if (x[k] < x[j]) {
                long double d = (long double)x[j] - x[k];
                A[j][2 + k] += w * d * d * d;
            }
        A[j][n] = w * y[j];
    }
    for (int k = 0; k < m; ++k) {
        A[m][2 + k] = 1;
        A[m + 1][2 + k] = x[k];
    }
    for (int col = 0; col < n; ++col) {
        int p = col;
        for (int r = col + 1; r < n; ++r)
            if (std::fabs(A[r][col]) > std::fabs(A[p][col]))
                p = r;
        std::swap(A[p], A[col]);
        for (int r = 0; r < n; ++r) {
            if (r == col)
                continue;
            long double f = A[r][col] / A[col][col];
            for (int q = col; q <= n; ++q)
                A[r][q] -= f * A[col][q];
        }
    }
    std::vector<long double> u(n);
    for (int i = 0; i < n; ++i)
        u[i] = A[i][n] / A[i][i];
    return [x, u, m](double T) {
        long double s = u[0] + u[1] * T;
        for (int k = 0; k < m; ++k)
            if (x[k] < T) {
                long double d = (long double)T - x[k];
                s += u[2 + k] * d * d * d;
            }
        return static_cast<double>(s);
    };
}

// Wavy, freeze-out-like test data: log10 n rising by two decades with ripple.
struct Wavy {
    DoubleArray T, n, r, y;
};
Wavy wavyData()
{
    Wavy d;
    for (int i = 0; i < 16; ++i) {
        double T = 40 + 10 * i;
        double y = 14 + 2 / (1 + std::exp(-(T - 90) / 20)) + 0.05 * std::sin(1.7 * i);
        d.T.push_back(T);
        d.y.push_back(y);
        d.n.push_back(std::pow(10.0, y));
        d.r.push_back(i == 5 ? 0 : (i % 3 == 0 ? 0.5 : 1));
    }
    return d;
}

void expectNoSpline(const Analysis& a)
{
    EXPECT_EQ(a.splineCount, 0);
    EXPECT_TRUE(a.splineTemperature.empty());
    EXPECT_TRUE(a.splineConcentration.empty());
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Fills a valid spline first, so a failure must actively remove it.
void computeGoodSplineFirst(Analysis& a)
{
    Analysis good = withData({100, 110, 120}, {1e15, 2e15, 3e15}, {1, 1, 1});
    ASSERT_TRUE(fit(good)) << good.lastError;
    a.splineCount = good.splineCount;
    a.splineTemperature = good.splineTemperature;
    a.splineConcentration = good.splineConcentration;
}

} // namespace

// ---- the fitted curve ---------------------------------------------------------

TEST(SplineFit, StraightLineInLogNIsReproducedAtEverySmoothness)
{
    // A straight line has no curvature to penalise: a = 14, b = 0.01, c = 0.
    DoubleArray T, n, r;
    for (int i = 0; i < 11; ++i) {
        T.push_back(50 + 10 * i);
        n.push_back(std::pow(10.0, 14 + 0.01 * T.back()));
        r.push_back(i == 4 ? 0 : (i % 2 ? 0.5 : 1));
    }
    for (double s : {1e6, 5000.0, 500.0}) {
        Analysis a = withData(T, n, r, s);
        ASSERT_TRUE(fit(a)) << s << ": " << a.lastError;
        ASSERT_EQ(a.splineCount, 1001);
        for (int k = 0; k < a.splineCount; ++k) {
            double expected = std::pow(10.0, 14 + 0.01 * a.splineTemperature[k]);
            ASSERT_NEAR(a.splineConcentration[k] / expected, 1, 1e-7) << s << " at " << a.splineTemperature[k];
        }
    }
}

TEST(SplineFit, AgreesWithADirectSolutionOfTheSplineEquations)
{
    Wavy d = wavyData();
    for (double s : {1e5, 5000.0, 300.0}) {
        Analysis a = withData(d.T, d.n, d.r, s);
        ASSERT_TRUE(fit(a)) << s << ": " << a.lastError;
        auto reference = directSpline(d.T, d.y, d.r, s);
        for (int k = 0; k < a.splineCount; k += 7)
            ASSERT_NEAR(std::log10(a.splineConcentration[k]), reference(a.splineTemperature[k]), 1e-6)
                << s << " at " << a.splineTemperature[k];
    }
}

TEST(SplineFit, HugeSmoothnessGivesTheWeightedLeastSquaresLine)
{
    Wavy d = wavyData();
    double sw = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (std::size_t i = 0; i < d.T.size(); ++i) {
        sw += d.r[i];
        sx += d.r[i] * d.T[i];
        sy += d.r[i] * d.y[i];
        sxx += d.r[i] * d.T[i] * d.T[i];
        sxy += d.r[i] * d.T[i] * d.y[i];
    }
    double slope = (sw * sxy - sx * sy) / (sw * sxx - sx * sx);
    double intercept = (sy - slope * sx) / sw;

    Analysis a = withData(d.T, d.n, d.r, 1e13);
    ASSERT_TRUE(fit(a)) << a.lastError;
    for (int k = 0; k < a.splineCount; k += 10)
        ASSERT_NEAR(std::log10(a.splineConcentration[k]), intercept + slope * a.splineTemperature[k], 1e-6);
}

TEST(SplineFit, SmallerSmoothnessFollowsThePointsMoreClosely)
{
    Wavy d = wavyData();
    double previous = HUGE_VAL;
    for (double s : {1e7, 1e5, 1e4, 1000.0, 300.0}) {
        Analysis a = withData(d.T, d.n, d.r, s);
        ASSERT_TRUE(fit(a)) << s << ": " << a.lastError;
        double sum = 0;
        for (std::size_t i = 0; i < d.T.size(); ++i)
            sum += d.r[i] * std::pow(gridLog(a, d.T[i]) - d.y[i], 2);
        EXPECT_LT(sum, previous) << s;
        previous = sum;
    }
}

TEST(SplineFit, SmallSmoothnessApproachesTheInterpolatingSpline)
{
    // The natural cubic spline through three points, with one interior knot:
    // M1 = 6 (slope2 - slope1) / (2 (h1 + h2)).
    const DoubleArray x = {100, 110, 120};
    const DoubleArray y = {15, 15.5, 15.2};
    const double h1 = 10, h2 = 10;
    const double M1 = 6 * ((y[2] - y[1]) / h2 - (y[1] - y[0]) / h1) / (2 * (h1 + h2));
    auto interpolant = [&](double T) {
        if (T <= x[1])
            return M1 * std::pow(T - x[0], 3) / (6 * h1) + y[0] / h1 * (x[1] - T) +
                   (y[1] / h1 - M1 * h1 / 6) * (T - x[0]);
        return M1 * std::pow(x[2] - T, 3) / (6 * h2) + (y[1] / h2 - M1 * h2 / 6) * (x[2] - T) +
               y[2] / h2 * (T - x[1]);
    };
    DoubleArray n;
    for (double v : y)
        n.push_back(std::pow(10.0, v));

    double previous = HUGE_VAL;
    for (double s : {1000.0, 100.0, 10.0, 2.0}) {
        Analysis a = withData(x, n, {1, 1, 1}, s);
        ASSERT_TRUE(fit(a)) << s << ": " << a.lastError;
        double miss = 0;
        for (int j = 0; j < 3; ++j)
            miss = std::max(miss, std::fabs(gridLog(a, x[j]) - y[j]));
        EXPECT_LT(miss, previous) << s;
        previous = miss;
        if (s == 2.0) {
            EXPECT_LT(miss, 0.005);
            for (int k = 0; k < a.splineCount; ++k)
                ASSERT_NEAR(std::log10(a.splineConcentration[k]), interpolant(a.splineTemperature[k]), 0.01);
        }
    }
}

TEST(SplineFit, PointWithReliabilityZeroDoesNotMoveTheCurve)
{
    Wavy d = wavyData();
    ASSERT_EQ(d.r[5], 0);
    Analysis a = withData(d.T, d.n, d.r);
    ASSERT_TRUE(fit(a)) << a.lastError;
    Analysis b = withData(d.T, d.n, d.r);
    b.concentration[5] *= 37; // an outlier that must not matter
    ASSERT_TRUE(fit(b)) << b.lastError;
    EXPECT_EQ(a.splineTemperature, b.splineTemperature);
    EXPECT_EQ(a.splineConcentration, b.splineConcentration);
}

TEST(SplineFit, EqualTemperaturesActLikeOnePointOfTheCombinedWeight)
{
    Wavy d = wavyData();
    Analysis single = withData(d.T, d.n, d.r);
    single.reliability[8] = 2;
    ASSERT_TRUE(fit(single)) << single.lastError;

    DoubleArray T = d.T, n = d.n, r = d.r;
    T.insert(T.begin() + 8, T[8]);
    n.insert(n.begin() + 8, n[8]);
    r[8] = 1;
    r.insert(r.begin() + 8, 1.0);
    Analysis twice = withData(T, n, r);
    ASSERT_TRUE(fit(twice)) << twice.lastError;
    ASSERT_EQ(twice.splineCount, single.splineCount);
    for (int k = 0; k < single.splineCount; ++k)
        ASSERT_NEAR(std::log10(twice.splineConcentration[k]), std::log10(single.splineConcentration[k]), 1e-10);
}

// ---- the 0.1 K grid ---------------------------------------------------------------

TEST(SplineGrid, WholeKelvinEndsGiveTheFullGrid)
{
    Analysis a = withData({85, 150, 300}, {1e15, 2e15, 3e15}, {1, 1, 1});
    ASSERT_TRUE(fit(a)) << a.lastError;
    ASSERT_EQ(a.splineCount, 2151);
    ASSERT_EQ(a.splineTemperature.size(), 2151u);
    ASSERT_EQ(a.splineConcentration.size(), 2151u);
    EXPECT_EQ(a.splineTemperature.front(), 85);
    EXPECT_DOUBLE_EQ(a.splineTemperature.back(), 300);
    for (int k = 0; k < a.splineCount; ++k)
        ASSERT_EQ(a.splineTemperature[k], k * 0.1 + 85.0);
}

TEST(SplineGrid, EndsBetweenTenthsMoveInwardToTheNextTenth)
{
    // 85.05 -> ceil(850.5)/10 = 85.1, 300.02 -> floor(3000.2)/10 = 300.
    Analysis a = withData({85.05, 200, 300.02}, {1e15, 2e15, 3e15}, {1, 1, 1});
    ASSERT_TRUE(fit(a)) << a.lastError;
    EXPECT_EQ(a.splineTemperature.front(), 85.1);
    EXPECT_DOUBLE_EQ(a.splineTemperature.back(), 300);
    EXPECT_EQ(a.splineCount, 2150);

    // A range that holds one multiple of 0.1 K gives one grid point.
    Analysis one = withData({100, 100.05}, {1e15, 1.1e15}, {1, 1});
    ASSERT_TRUE(fit(one)) << one.lastError;
    ASSERT_EQ(one.splineCount, 1);
    EXPECT_EQ(one.splineTemperature[0], 100);
    // Two points: the spline is the straight line through them.
    EXPECT_NEAR(one.splineConcentration[0], 1e15, 1e15 * 1e-6);
}

TEST(SplineGrid, CountIsRoundedInExtendedPrecision)
{
    // Tenths are not exact in binary. The count is formed from the stored
    // Tmin and Tmax in extended precision, so their representation errors
    // survive: 299.9 and 299.7 are stored slightly below, 85.1 and 85.3
    // slightly below as well, and 10*Tmax - 10*Tmin lands just under an
    // integer; rounding keeps the last tenth that truncation would drop.
    {
        Analysis a = withData({85.05, 200, 299.97}, {1e15, 2e15, 3e15}, {1, 1, 1});
        ASSERT_TRUE(fit(a)) << a.lastError;
        EXPECT_EQ(a.splineTemperature.front(), 85.1);
        ASSERT_LT(10.0L * 299.9 - 10.0L * 85.1, 2148.0L);
        EXPECT_EQ(a.splineCount, 2149);
        EXPECT_NEAR(a.splineTemperature.back(), 299.9, 1e-9);
    }
    {
        Analysis a = withData({85.3, 200, 299.7}, {1e15, 2e15, 3e15}, {1, 1, 1});
        ASSERT_TRUE(fit(a)) << a.lastError;
        EXPECT_EQ(a.splineTemperature.front(), 85.3);
        ASSERT_LT(10.0L * 299.7 - 10.0L * 85.3, 2144.0L);
        EXPECT_EQ(a.splineCount, 2145);
        EXPECT_NEAR(a.splineTemperature.back(), 299.7, 1e-9);
    }
    {
        // Here the errors go the other way and every tenth is kept.
        Analysis a = withData({85.1, 200, 300}, {1e15, 2e15, 3e15}, {1, 1, 1});
        ASSERT_TRUE(fit(a)) << a.lastError;
        ASSERT_GT(10.0L * 300 - 10.0L * 85.1, 2149.0L);
        EXPECT_EQ(a.splineCount, 2150);
        EXPECT_NEAR(a.splineTemperature.back(), 300, 1e-9);
    }
}

TEST(SplineGrid, UnweightedEndPointsAreOutsideTheFittedRange)
{
    Analysis a = fromExample("edge_reliability.nT");
    ASSERT_TRUE(a.chooseSplinePoints()) << a.lastError;
    EXPECT_EQ(a.firstDataIndex, 1);
    EXPECT_EQ(a.lastDataIndex, a.dataCount - 2);
    ASSERT_TRUE(a.computeSpline()) << a.lastError;
    EXPECT_EQ(a.splineTemperature.front(), 40);
    EXPECT_DOUBLE_EQ(a.splineTemperature.back(), 390);
    EXPECT_EQ(a.splineCount, 3501);
}

TEST(SplineGrid, ChoosingThePointsTakesFirstAndLastPositiveReliability)
{
    Analysis a = withData({10, 20, 30, 40, 50, 60}, {1, 1, 1, 1, 1, 1}, {0, 0.5, 0, 0, 2, 0});
    EXPECT_TRUE(a.chooseSplinePoints()) << a.lastError;
    EXPECT_EQ(a.firstDataIndex, 1);
    EXPECT_EQ(a.lastDataIndex, 4);
    EXPECT_TRUE(a.lastError.empty());

    Analysis one = withData({10, 20, 30}, {1, 1, 1}, {0, 1, 0});
    EXPECT_FALSE(one.chooseSplinePoints());
    EXPECT_EQ(one.firstDataIndex, 1);
    EXPECT_EQ(one.lastDataIndex, 1);
    EXPECT_TRUE(contains(one.lastError, "Fewer than two points"));

    Analysis none = withData({10, 20, 30}, {1, 1, 1}, {0, 0, 0});
    none.firstDataIndex = 2;
    none.lastDataIndex = 2;
    EXPECT_FALSE(none.chooseSplinePoints());
    EXPECT_EQ(none.firstDataIndex, 0);
    EXPECT_EQ(none.lastDataIndex, 0);
}

// ---- refused calculations ---------------------------------------------------------

// Each refusal removes the spline computed before and says why. `first` < 0:
// the points chosen as the window chooses them; otherwise the given indices.
TEST(SplineFailure, RefusedInputsLeaveNoSplineAndSayWhy)
{
    const DoubleArray T3{100, 110, 120}, n3{1e15, 2e15, 3e15}, T4{100, 110, 120, 130}, one3{1, 1, 1};
    struct Case {
        const char* what;
        DoubleArray T, n, r;
        double smoothness;
        int first, last;
        std::vector<std::string> said;
    } cases[] = {
        {"one weighted point", T4, {1e15, 2e15, 3e15, 4e15}, {0, 1, 0, 0}, 5000, 0, 3,
         {"Fewer than two points", "reliability above 0"}},
        // Two weighted points at the same temperature do not fix a line either.
        {"one weighted temperature", {100, 100, 120}, n3, {1, 1, 0}, 5000, 0, 2, {"Fewer than two points"}},
        {"all weights zero", T3, n3, {0, 0, 0}, 5000, 0, 2, {"all spline weights are zero"}},
        {"descending", {100, 120, 110, 130}, {1e15, 2e15, 3e15, 4e15}, {1, 1, 1, 1}, 5000, -1, 0,
         {"do not ascend", "point 3 (T = 110 K)", "Sort the data"}},
        {"zero density", T4, {1e15, 0, 3e15, 4e15}, {1, 1, 1, 1}, 5000, -1, 0,
         {"point 2 (T = 110 K)", "positive concentrations"}},
        {"negative density", T4, {1e15, -2e15, 3e15, 4e15}, {1, 1, 1, 1}, 5000, -1, 0,
         {"point 2 (T = 110 K)", "positive concentrations"}},
        {"zero density, weight 0", T4, {1e15, 0, 3e15, 4e15}, {1, 0, 1, 1}, 5000, -1, 0,
         {"point 2 (T = 110 K)", "positive concentrations"}},
        {"negative density, weight 0", T4, {1e15, -2e15, 3e15, 4e15}, {1, 0, 1, 1}, 5000, -1, 0,
         {"point 2 (T = 110 K)", "positive concentrations"}},
        {"smoothness 0", T3, n3, one3, 0.0, -1, 0, {"smoothness", "positive number"}},
        {"smoothness negative", T3, n3, one3, -5000.0, -1, 0, {"smoothness", "positive number"}},
        {"smoothness NaN", T3, n3, one3, std::nan(""), -1, 0, {"smoothness", "positive number"}},
        {"smoothness infinite", T3, n3, one3, HUGE_VAL, -1, 0, {"smoothness", "positive number"}},
        {"singular system", T3, n3, one3, 1e300, -1, 0, {"singular", "smaller smoothness"}},
        // Even the straight line exceeds 1e308 at 100 K: the advice names no number.
        {"no smoothness helps", T3, {1e300, 1e300, 1e-300}, one3, 1e-6, -1, 0, {"Use a larger smoothness."}},
        {"negative reliability", T3, n3, {1, -1, 1}, 5000, 0, 2, {"reliability of point 2"}},
        {"last index outside the data", T3, n3, one3, 5000, 0, 3, {}},
        {"indices crossed", T3, n3, one3, 5000, 2, 1, {}},
        {"no grid point", {100.01, 100.05}, {1e15, 2e15}, {1, 1}, 5000, -1, 0, {"no multiple of 0.1 K"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Analysis a = withData(c.T, c.n, c.r, c.smoothness);
        computeGoodSplineFirst(a);
        if (c.first >= 0) {
            a.firstDataIndex = c.first;
            a.lastDataIndex = c.last;
        }
        EXPECT_FALSE(c.first >= 0 ? a.computeSpline() : fit(a));
        expectNoSpline(a);
        for (const std::string& part : c.said)
            EXPECT_TRUE(contains(a.lastError, part)) << a.lastError;
    }

    Analysis file = fromExample("edge_descending.nT");
    EXPECT_FALSE(fit(file));
    expectNoSpline(file);
    EXPECT_TRUE(contains(file.lastError, "Sort the data")) << file.lastError;

    // Outside the fitted range neither the order nor the sign matters.
    Analysis order = withData({500, 100, 110, 120}, {1e15, 1e15, 2e15, 3e15}, {0, 1, 1, 1});
    EXPECT_TRUE(fit(order)) << order.lastError;
    Analysis sign = withData({90, 100, 110, 120}, {0, 1e15, 2e15, 3e15}, {0, 1, 1, 1});
    EXPECT_TRUE(fit(sign)) << sign.lastError;
}

// ---- realistic data -----------------------------------------------------------------

// The silicon check runs on the program's own analysis object; it is given
// back as it was, also when a check fails half-way.
class SplineRealism : public ::testing::Test {
protected:
    void SetUp() override { saved = C; }
    void TearDown() override { C = saved; }
    Analysis saved;
};

TEST_F(SplineRealism, SiliconExampleAtTheDefaultSmoothness)
{
    C.resetAll();
    C.experimentalDataFileName = testfiles::example("si_p_single.nT");
    ASSERT_TRUE(C.readExperimentalData()) << C.lastError;
    ASSERT_EQ(C.smoothness, 5000);
    ASSERT_TRUE(fit(C)) << C.lastError;
    EXPECT_EQ(C.firstDataIndex, 0);
    EXPECT_EQ(C.lastDataIndex, 74);
    EXPECT_EQ(C.splineCount, 3701);
    EXPECT_EQ(C.splineTemperature.front(), 30);
    EXPECT_DOUBLE_EQ(C.splineTemperature.back(), 400);
    // Above the freeze-out the curve passes within a few percent of the
    // points; below 110 K log10 n rises by up to 1.8 decades in 10 K, too
    // steep for this stiffness (the lower smoothness check below).
    for (int i = 0; i < C.dataCount; ++i) {
        if (C.temperature[i] < 110)
            continue;
        double ratio = std::pow(10.0, gridLog(C, C.temperature[i])) / C.concentration[i];
        EXPECT_NEAR(ratio, 1, C.temperature[i] >= 200 ? 0.001 : 0.05) << C.temperature[i];
    }
    for (double value : C.splineConcentration)
        ASSERT_TRUE(value > 1e11 && value < 1e17) << value;

    Analysis noisy = fromExample("si_p_single_noise1.nT");
    ASSERT_TRUE(fit(noisy)) << noisy.lastError;
    for (int i = 0; i < noisy.dataCount; ++i) {
        if (noisy.temperature[i] < 110)
            continue;
        double ratio = std::pow(10.0, gridLog(noisy, noisy.temperature[i])) / noisy.concentration[i];
        EXPECT_NEAR(ratio, 1, 0.05) << noisy.temperature[i];
    }

    // The freeze-out end: a lower smoothness follows it more closely.
    Analysis softer = fromExample("si_p_single.nT");
    softer.smoothness = 3000;
    ASSERT_TRUE(fit(softer)) << softer.lastError;
    for (double T : {30.0, 45.0, 60.0})
        EXPECT_LT(std::fabs(gridLog(softer, T) - std::log10(C.concentration[(int(T) - 30) / 5])),
                  std::fabs(gridLog(C, T) - std::log10(C.concentration[(int(T) - 30) / 5])))
            << T;
}

TEST_F(SplineRealism, OtherExamplesFit)
{
    for (const char* name : {"edge_duplicate_T.nT", "gaas_n_shallow.nT", "sic4h_p_al.pT", "edge_two_points.nT"}) {
        Analysis a = fromExample(name);
        EXPECT_TRUE(fit(a)) << name << ": " << a.lastError;
        EXPECT_GT(a.splineCount, 1000) << name;
    }
}

// ---- the banded solve (where the recursion loses its digits) ----------------------

namespace {

struct Points {
    DoubleArray x, y, w;
};

// The fitted points of `a` (firstDataIndex to lastDataIndex) with their weights.
Points pointsOf(const Analysis& a)
{
    Points p;
    for (int i = a.firstDataIndex; i <= a.lastDataIndex; ++i) {
        p.x.push_back(a.temperature[i]);
        p.y.push_back(std::log10(a.concentration[i]));
        p.w.push_back(a.reliability[i] * (1.0 / 6.0) / a.smoothness);
    }
    return p;
}

struct Coefficients {
    double a = 0, b = 0;
    DoubleArray c;
};

Coefficients banded(const Points& p)
{
    Coefficients k;
    EXPECT_TRUE(Analysis::splineByBandedSolve(p.x, p.y, p.w, k.a, k.b, k.c));
    EXPECT_EQ(k.c.size(), p.x.size());
    return k;
}

bool recursionAccepts(const Points& p)
{
    double a, b;
    DoubleArray c;
    return Analysis::splineByRecursion(p.x, p.y, p.w, a, b, c);
}

// s(T) from the coefficients, in long double.
long double truncatedValue(const Points& p, const Coefficients& k, long double T)
{
    long double s = k.a + k.b * T;
    for (std::size_t j = 0; j < p.x.size() && p.x[j] < T; ++j) {
        long double d = T - p.x[j];
        s += k.c[j] * d * d * d;
    }
    return s;
}

// The spline's own equations, each measured in decades: the knot equations
// directly, the end conditions by the cubic and quadratic their violation
// would add over one span of the data.
void expectSplineEquations(const Points& p, const Coefficients& k, double tolerance)
{
    long double sum = 0, moment = 0;
    for (std::size_t j = 0; j < p.x.size(); ++j) {
        if (p.w[j] == 0) {
            EXPECT_EQ(k.c[j], 0) << "zero weight at " << p.x[j];
        } else {
            EXPECT_NEAR(double(k.c[j] / p.w[j] - (p.y[j] - truncatedValue(p, k, p.x[j]))), 0, tolerance)
                << "knot " << p.x[j];
        }
        sum += k.c[j];
        moment += k.c[j] * ((long double)p.x[j] - p.x[0]);
    }
    const double span = p.x.back() - p.x.front();
    EXPECT_NEAR(double(sum * span * span * span), 0, tolerance);
    EXPECT_NEAR(double(3 * moment * span * span), 0, tolerance);
}

// The grid of `a` is the spline given by the coefficients.
void expectGridIsTheSpline(const Analysis& a, const Points& p, const Coefficients& k, double tolerance)
{
    ASSERT_GT(a.splineCount, 0);
    for (int g = 0; g < a.splineCount; ++g)
        ASSERT_NEAR(std::log10(a.splineConcentration[g]), double(truncatedValue(p, k, a.splineTemperature[g])),
                    tolerance)
            << a.splineTemperature[g];
}

} // namespace

TEST(SplineBandedSolve, AgreesWithTheRecursionWhereTheRecursionIsAccurate)
{
    struct Case {
        Analysis a;
        double agreement; // decades
    };
    std::vector<Case> cases;
    Wavy d = wavyData();
    for (double s : {1e5, 5000.0, 300.0})
        cases.push_back({withData(d.T, d.n, d.r, s), s < 1000 ? 1e-7 : 1e-9});
    for (const char* name : {"si_p_single.nT", "gaas_n_shallow.nT", "edge_duplicate_T.nT", "edge_reliability.nT",
                             "sic4h_n_two_donors.nT"}) {
        cases.push_back({fromExample(name), 1e-9});
        cases.back().a.smoothness = 1e7;
    }
    // With lower smoothness or more points the recursion passes its check
    // but has already lost digits: at 5000 over 60 to 80 points it strays by
    // up to about 1e-5 decades, while the banded solve matches an
    // independent solution to rounding.
    for (const char* name : {"si_p_single.nT", "gaas_n_shallow.nT", "edge_duplicate_T.nT", "edge_reliability.nT"}) {
        cases.push_back({fromExample(name), 3e-5});
        cases.back().a.smoothness = 5000;
    }
    for (Case& t : cases) {
        Analysis& a = t.a;
        SCOPED_TRACE(a.experimentalDataFileName + " at " + std::to_string(a.smoothness));
        a.lastError = "stale";
        ASSERT_TRUE(fit(a)) << a.lastError;
        EXPECT_TRUE(a.lastError.empty());
        Points p = pointsOf(a);
        ASSERT_TRUE(recursionAccepts(p));
        Coefficients k = banded(p);
        expectSplineEquations(p, k, 1e-9);
        // The grid came from the recursion.
        expectGridIsTheSpline(a, p, k, t.agreement);
        auto reference = directSpline(p.x, p.y, DoubleArray(a.reliability.begin() + a.firstDataIndex,
                                                            a.reliability.begin() + a.lastDataIndex + 1),
                                      a.smoothness);
        for (int g = 0; g < a.splineCount; g += 11) {
            double T = a.splineTemperature[g];
            ASSERT_NEAR(double(truncatedValue(p, k, T)), reference(T), 1e-10) << T;
        }
    }
}

TEST(SplineBandedSolve, SiCExampleAtTheDefaultSmoothnessGivesACurve)
{
    // 80 K to 600 K in 5 K steps: at 5000 the recursion grows by about 1e12
    // and would be off by a decade near 590 K. The calculation used to be
    // refused; the banded solve gives the spline instead.
    Analysis a = fromExample("sic4h_n_two_donors.nT");
    a.smoothness = 5000;
    computeGoodSplineFirst(a);
    a.lastError = "stale";
    ASSERT_TRUE(fit(a)) << a.lastError;
    EXPECT_TRUE(a.lastError.empty()) << a.lastError;
    EXPECT_EQ(a.splineCount, 5201);
    EXPECT_EQ(a.splineTemperature.front(), 80);
    EXPECT_NEAR(a.splineTemperature.back(), 600, 1e-9);

    Points p = pointsOf(a);
    ASSERT_FALSE(recursionAccepts(p));
    Coefficients k = banded(p);
    expectSplineEquations(p, k, 1e-9);
    expectGridIsTheSpline(a, p, k, 1e-9);

    // An independent solution of the same equations.
    auto reference = directSpline(p.x, p.y, a.reliability, a.smoothness);
    for (int g = 0; g < a.splineCount; g += 13)
        ASSERT_NEAR(std::log10(a.splineConcentration[g]), reference(a.splineTemperature[g]), 1e-6)
            << a.splineTemperature[g];

    // Noise-free data: above the freeze-out the curve follows the points.
    for (int i = 0; i < a.dataCount; ++i) {
        if (a.temperature[i] <= 150)
            continue;
        double ratio = std::pow(10.0, gridLog(a, a.temperature[i])) / a.concentration[i];
        EXPECT_NEAR(ratio, 1, 0.02) << a.temperature[i];
    }
}

TEST(SplineBandedSolve, ZeroWeightsAndEqualTemperatures)
{
    Analysis base = fromExample("sic4h_n_two_donors.nT");
    ASSERT_EQ(base.dataCount, 105);
    base.smoothness = 5000;
    base.reliability[0] = 0; // a leading zero weight inside the fitted range
    base.reliability[20] = 0;
    base.reliability[21] = 0;
    base.reliability[60] = 0;
    for (int i = 30; i < 50; ++i)
        base.reliability[i] = i % 2 ? 0.5 : 1;
    base.firstDataIndex = 0;
    base.lastDataIndex = base.dataCount - 1;
    Analysis a = base;
    ASSERT_TRUE(a.computeSpline()) << a.lastError;
    Points p = pointsOf(a);
    ASSERT_FALSE(recursionAccepts(p));
    Coefficients k = banded(p);
    expectSplineEquations(p, k, 1e-9); // also c = 0 at every zero weight
    expectGridIsTheSpline(a, p, k, 1e-9);
    EXPECT_EQ(a.splineTemperature.front(), 80); // the grid still starts at the first point

    // Outliers at zero weight do not move the curve.
    Analysis outliers = base;
    outliers.concentration[0] *= 50;
    outliers.concentration[20] /= 30;
    outliers.concentration[60] *= 7;
    ASSERT_TRUE(outliers.computeSpline()) << outliers.lastError;
    ASSERT_EQ(outliers.splineCount, a.splineCount);
    for (int g = 0; g < a.splineCount; ++g)
        ASSERT_NEAR(std::log10(outliers.splineConcentration[g]), std::log10(a.splineConcentration[g]), 1e-12);

    // Two points at one temperature act like one point of the summed weight
    // at the weighted mean of their log10 values: w1 (y1 - s) + w2 (y2 - s)
    // = (w1 + w2) (ymean - s).
    const int at = 70;
    const double y1 = std::log10(base.concentration[at]) + 0.03;
    const double y2 = std::log10(base.concentration[at]) - 0.01;
    Analysis pair = base;
    pair.concentration[at] = std::pow(10.0, y1);
    pair.reliability[at] = 1;
    pair.temperature.insert(pair.temperature.begin() + at + 1, pair.temperature[at]);
    pair.concentration.insert(pair.concentration.begin() + at + 1, std::pow(10.0, y2));
    pair.reliability.insert(pair.reliability.begin() + at + 1, 3.0);
    ++pair.dataCount;
    pair.lastDataIndex = pair.dataCount - 1;
    Analysis merged = base;
    merged.concentration[at] = std::pow(10.0, (1 * y1 + 3 * y2) / 4);
    merged.reliability[at] = 4;
    ASSERT_TRUE(pair.computeSpline()) << pair.lastError;
    ASSERT_TRUE(merged.computeSpline()) << merged.lastError;
    ASSERT_EQ(pair.splineCount, merged.splineCount);
    for (int g = 0; g < merged.splineCount; ++g)
        ASSERT_NEAR(std::log10(pair.splineConcentration[g]), std::log10(merged.splineConcentration[g]), 1e-10);
    Points pp = pointsOf(pair);
    ASSERT_FALSE(recursionAccepts(pp));
    Coefficients kp = banded(pp);
    expectSplineEquations(pp, kp, 1e-9);
    expectGridIsTheSpline(pair, pp, kp, 1e-9);
}

TEST(SplineBandedSolve, VerySmallSmoothnessGivesNearInterpolation)
{
    // Points 20 K apart at smoothness 1: the recursion cannot hold the end
    // conditions; this used to be refused.
    Analysis few = withData({100, 120, 140, 160, 180}, {1e15, 3e15, 2e15, 1e16, 8e15}, {1, 1, 1, 1, 1}, 1);
    ASSERT_TRUE(fit(few)) << few.lastError;
    EXPECT_TRUE(few.lastError.empty());
    Points pf = pointsOf(few);
    ASSERT_FALSE(recursionAccepts(pf));
    auto reference = directSpline(pf.x, pf.y, few.reliability, 1);
    for (int g = 0; g < few.splineCount; ++g)
        ASSERT_NEAR(std::log10(few.splineConcentration[g]), reference(few.splineTemperature[g]), 1e-7)
            << few.splineTemperature[g];
    for (std::size_t j = 0; j < pf.x.size(); ++j)
        EXPECT_NEAR(gridLog(few, pf.x[j]), pf.y[j], 0.01) << pf.x[j];

    // The SiC example at 10 K spacing and smoothness 1, and the silicon
    // example at 1e-5 (where the recursion overflows outright): the curve
    // passes through the points.
    Analysis sic = fromExample("sic4h_n_two_donors.nT");
    for (int i = sic.dataCount - 1; i >= 0; i -= 2)
        sic.reliability[i] = 0;
    sic.smoothness = 1;
    Analysis si = fromExample("si_p_single.nT");
    si.smoothness = 1e-5;
    for (Analysis* a : {&sic, &si}) {
        ASSERT_TRUE(fit(*a)) << a->lastError;
        EXPECT_TRUE(a->lastError.empty());
        Points p = pointsOf(*a);
        ASSERT_FALSE(recursionAccepts(p));
        Coefficients k = banded(p);
        expectSplineEquations(p, k, 1e-9);
        for (std::size_t j = 0; j < p.x.size(); ++j) {
            if (p.w[j] > 0) {
                EXPECT_NEAR(gridLog(*a, p.x[j]), p.y[j], a->smoothness == 1 ? 1e-3 : 1e-6) << p.x[j];
            }
        }
        for (double n : a->splineConcentration)
            ASSERT_TRUE(n > 1e11 && n < 1e20) << n;
    }
}

TEST(SplineFailure, RefusedWhenTheSplineLeavesTheRangeOfNumbers)
{
    // Near-interpolation overshoots beyond 1e308 between the middle points
    // (the recursion fails its check here, so this is the banded curve); a
    // stiffer curve stays below.
    Analysis a = withData({100, 110, 120, 130}, {1e300, 1e308, 1e308, 1e300}, {1, 1, 1, 1}, 1e-6);
    ASSERT_TRUE(a.chooseSplinePoints());
    ASSERT_FALSE(recursionAccepts(pointsOf(a)));
    computeGoodSplineFirst(a);
    EXPECT_FALSE(fit(a));
    expectNoSpline(a);
    EXPECT_TRUE(contains(a.lastError, "no valid concentration")) << a.lastError;
    EXPECT_TRUE(contains(a.lastError, "larger smoothness")) << a.lastError;
    // The advice names a smoothness that works.
    const std::string key = "for example ";
    std::size_t at = a.lastError.find(key);
    ASSERT_NE(at, std::string::npos) << a.lastError;
    double suggested = std::stod(a.lastError.substr(at + key.size()));
    EXPECT_GT(suggested, 1e-6);
    a.smoothness = suggested;
    EXPECT_TRUE(fit(a)) << a.lastError;
    EXPECT_TRUE(a.lastError.empty());
    // Where no smoothness helps, see RefusedInputsLeaveNoSplineAndSayWhy.
}
