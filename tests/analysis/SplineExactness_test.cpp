#include "analysis/data/Analysis.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

Analysis withData(const DoubleArray& T, const DoubleArray& n, const DoubleArray& r, double smoothness = 5000)
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

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

using quad = __float128;

// log10 of the smoothing spline of `a` at each of `at`, from the full system
// in the truncated power basis: unknowns a, b, c_0..c_{m-1} with
//   c_j + w_j (a + b x_j + sum_{x_k < x_j} c_k (x_j - x_k)^3) = w_j y_j,
//   sum c_j = 0, sum c_j x_j = 0,
// solved by Gaussian elimination with partial pivoting and evaluated in
// quadruple precision, so that its own rounding is far below the tolerance.
std::vector<double> referenceLog(const Analysis& a, const DoubleArray& at)
{
    std::vector<quad> x, y, w;
    for (int i = a.firstDataIndex; i <= a.lastDataIndex; ++i) {
        x.push_back(a.temperature[i]);
        y.push_back(std::log10(a.concentration[i]));
        w.push_back(quad(a.reliability[i]) / 6 / a.smoothness);
    }
    const int m = static_cast<int>(x.size());
    const int n = m + 2;
    std::vector<std::vector<quad>> A(n, std::vector<quad>(n + 1, 0));
    for (int j = 0; j < m; ++j) {
        A[j][0] = w[j];
        A[j][1] = w[j] * x[j];
        A[j][2 + j] = 1;
        for (int k = 0; k < m; ++k)
            if (x[k] < x[j])
                A[j][2 + k] = w[j] * (x[j] - x[k]) * (x[j] - x[k]) * (x[j] - x[k]);
        A[j][n] = w[j] * y[j];
        A[m][2 + j] = 1;
        A[m + 1][2 + j] = x[j];
    }
    auto magnitude = [](quad v) { return v < 0 ? -v : v; };
    for (int col = 0; col < n; ++col) {
        int p = col;
        for (int r = col + 1; r < n; ++r)
            if (magnitude(A[r][col]) > magnitude(A[p][col]))
                p = r;
        std::swap(A[p], A[col]);
        for (int r = col + 1; r < n; ++r) {
            quad f = A[r][col] / A[col][col];
            for (int q = col; q <= n; ++q)
                A[r][q] -= f * A[col][q];
        }
    }
    std::vector<quad> u(n);
    for (int i = n - 1; i >= 0; --i) {
        quad v = A[i][n];
        for (int q = i + 1; q < n; ++q)
            v -= A[i][q] * u[q];
        u[i] = v / A[i][i];
    }
    std::vector<double> out;
    for (double T : at) {
        quad s = u[0] + u[1] * quad(T);
        for (int k = 0; k < m && x[k] < quad(T); ++k) {
            quad d = quad(T) - x[k];
            s += u[2 + k] * d * d * d;
        }
        out.push_back(static_cast<double>(s));
    }
    return out;
}

} // namespace

TEST(SplineExactness, GridIsTheExactSmoothingSplineOnTheExamples)
{
    for (const char* name : {"si_p_single.nT", "gaas_n_shallow.nT", "sic4h_n_two_donors.nT", "edge_duplicate_T.nT",
                             "edge_reliability.nT"}) {
        for (double smoothness : {5000.0, 100.0}) {
            SCOPED_TRACE(std::string(name) + " at " + std::to_string(smoothness));
            Analysis a;
            a.resetAll();
            a.experimentalDataFileName = testfiles::example(name);
            ASSERT_TRUE(a.readExperimentalData()) << a.lastError;
            a.smoothness = smoothness;
            ASSERT_TRUE(a.chooseSplinePoints() && a.computeSpline()) << a.lastError;
            const std::vector<double> reference = referenceLog(a, a.splineTemperature);
            double worst = 0, worstT = 0;
            for (int k = 0; k < a.splineCount; ++k) {
                double miss = std::fabs(a.splineConcentration[k] / std::pow(10.0, reference[k]) - 1);
                if (!(miss <= worst)) {
                    worst = miss;
                    worstT = a.splineTemperature[k];
                }
            }
            EXPECT_LT(worst, 5e-7) << "at " << worstT << " K";
        }
    }
}

TEST(SplineExactness, GridCountIsRoundedSoTheLastTenthStays)
{
    // 10 * 299.9 - 10 * 85 is just below 2149 in binary.
    Analysis a = withData({85, 200, 299.9}, {1e15, 2e15, 3e15}, {1, 1, 1});
    ASSERT_TRUE(a.chooseSplinePoints() && a.computeSpline()) << a.lastError;
    EXPECT_EQ(a.splineCount, 2150);
    EXPECT_EQ(a.splineTemperature.front(), 85);
    EXPECT_NEAR(a.splineTemperature.back(), 299.9, 1e-9);
}

TEST(SplineExactness, GridOfMoreThanTwoMillionPointsIsRefused)
{
    Analysis wide = withData({1, 900000}, {1e15, 2e15}, {1, 1});
    Analysis good = withData({100, 110, 120}, {1e15, 2e15, 3e15}, {1, 1, 1});
    ASSERT_TRUE(good.chooseSplinePoints() && good.computeSpline()) << good.lastError;
    wide.splineCount = good.splineCount;
    wide.splineTemperature = good.splineTemperature;
    wide.splineConcentration = good.splineConcentration;
    ASSERT_TRUE(wide.chooseSplinePoints());
    EXPECT_FALSE(wide.computeSpline());
    EXPECT_EQ(wide.splineCount, 0);
    EXPECT_TRUE(wide.splineTemperature.empty() && wide.splineConcentration.empty());
    for (const char* part : {"1 K to 900000 K", "8999991 grid points", "at most 2000000"})
        EXPECT_TRUE(contains(wide.lastError, part)) << wide.lastError;

    // Exactly two million points are still calculated, one more is not.
    Analysis largest = withData({1, 200000.9}, {1e15, 2e15}, {1, 1});
    ASSERT_TRUE(largest.chooseSplinePoints() && largest.computeSpline()) << largest.lastError;
    EXPECT_EQ(largest.splineCount, 2000000);
    Analysis above = withData({1, 200001}, {1e15, 2e15}, {1, 1});
    EXPECT_FALSE(above.chooseSplinePoints() && above.computeSpline());
    EXPECT_TRUE(contains(above.lastError, "2000001 grid points")) << above.lastError;
}

namespace {

// One donor with compensation, n from charge neutrality:
// n (n + NA) / (ND - NA - n) = Nc / g exp(-E / kT).
double oneDonor(double T)
{
    const double ND = 1e16, NA = 1e14, E = 0.045, g = 2;
    const double phi = 5.25e15 * std::pow(T, 1.5) / g * std::exp(-E / (8.617333e-5 * T));
    return 2 * phi * (ND - NA) / ((NA + phi) + std::sqrt((NA + phi) * (NA + phi) + 4 * phi * (ND - NA)));
}

// The generalized cross-validation score of `a` at `smoothness`, from the
// influence of every point found by fitting the unit vector at that point:
// with c_j = w_j (y_j - s(x_j)), the residual is c_j / w_j and 1 - A_jj is
// the c_j / w_j of the fit to e_j.
double bruteForceGcv(const Analysis& a, double smoothness)
{
    DoubleArray x, y, w;
    for (int i = a.firstDataIndex; i <= a.lastDataIndex; ++i) {
        x.push_back(a.temperature[i]);
        y.push_back(std::log10(a.concentration[i]));
        w.push_back(a.reliability[i] / 6 / smoothness);
    }
    const std::size_t m = x.size();
    double fa, fb;
    DoubleArray c;
    EXPECT_TRUE(Analysis::splineByBandedSolve(x, y, w, fa, fb, c));
    double rss = 0, trace = 0;
    for (std::size_t j = 0; j < m; ++j) {
        rss += std::pow(c[j] / w[j], 2);
        DoubleArray unit(m, 0);
        unit[j] = 1;
        DoubleArray cj;
        EXPECT_TRUE(Analysis::splineByBandedSolve(x, unit, w, fa, fb, cj));
        trace += cj[j] / w[j];
    }
    return m * rss / (trace * trace);
}

} // namespace

TEST(SplineSmoothnessByGcv, ChoosesACurveCloserToTheTruthThanMuchStifferOrSofterOnes)
{
    std::mt19937 random(20240611);
    std::normal_distribution<double> gauss(0, 1);
    DoubleArray T, n;
    // From 60 K: below, the freeze-out bends so sharply that at 2 % noise
    // no smoothing beats interpolation.
    for (double t = 60; t <= 400; t += 2) {
        T.push_back(t);
        n.push_back(oneDonor(t) * std::exp(0.02 * gauss(random)));
    }
    Analysis a = withData(T, n, DoubleArray(T.size(), 1), 777);
    ASSERT_TRUE(a.chooseSplinePoints());
    const double chosen = a.chooseSmoothnessByGcv();
    ASSERT_GT(chosen, 0) << a.lastError;
    EXPECT_TRUE(a.lastError.empty());
    EXPECT_EQ(a.smoothness, 777);
    EXPECT_EQ(a.splineCount, 0);
    std::printf("GCV smoothness of the noisy one-donor data: %g\n", chosen);

    // The score it minimises is GCV.
    const double best = bruteForceGcv(a, chosen);
    EXPECT_LT(best, bruteForceGcv(a, chosen * 1.5));
    EXPECT_LT(best, bruteForceGcv(a, chosen / 1.5));

    auto rmsFromTruth = [&](double smoothness) {
        Analysis b = a;
        b.smoothness = smoothness;
        EXPECT_TRUE(b.computeSpline()) << b.lastError;
        double sum = 0;
        for (int k = 0; k < b.splineCount; ++k)
            sum += std::pow(std::log10(b.splineConcentration[k] / oneDonor(b.splineTemperature[k])), 2);
        return std::sqrt(sum / b.splineCount);
    };
    const double rms = rmsFromTruth(chosen);
    EXPECT_LT(rms, rmsFromTruth(chosen * 100));
    EXPECT_LT(rms, rmsFromTruth(chosen / 100));
}

TEST(SplineSmoothnessByGcv, NeedsThreeWeightedTemperatures)
{
    struct Case {
        DoubleArray T, r;
    } cases[] = {
        {{100, 120}, {1, 1}},
        {{100, 100, 120}, {1, 1, 1}},
        {{100, 110, 120}, {1, 0, 1}},
    };
    for (const Case& c : cases) {
        Analysis a = withData(c.T, DoubleArray(c.T.size(), 1e15), c.r);
        a.firstDataIndex = 0;
        a.lastDataIndex = static_cast<int>(c.T.size()) - 1;
        EXPECT_EQ(a.chooseSmoothnessByGcv(), 0);
        EXPECT_TRUE(contains(a.lastError, "Fewer than three points")) << a.lastError;
    }
    Analysis unsorted = withData({100, 120, 110}, {1e15, 2e15, 3e15}, {1, 1, 1});
    unsorted.lastDataIndex = 2;
    EXPECT_EQ(unsorted.chooseSmoothnessByGcv(), 0);
    EXPECT_TRUE(contains(unsorted.lastError, "do not ascend")) << unsorted.lastError;
}

TEST(SplineExactness, HundredThousandPointsAreQuickAndExact)
{
    // 10 K to 1000 K: a 9901-point grid. A straight line in log10 n is every
    // spline's own, so the long banded system must give it back unchanged.
    const int m = 100000;
    DoubleArray T(m), n(m);
    for (int j = 0; j < m; ++j) {
        T[j] = 10 + 990.0 * j / (m - 1);
        n[j] = std::pow(10.0, 14 + 0.002 * T[j]);
    }
    Analysis a = withData(T, n, DoubleArray(m, 1));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(a.chooseSplinePoints() && a.computeSpline()) << a.lastError;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("spline of %d points: %.3f s\n", m, seconds);
    EXPECT_LT(seconds, 5);
    ASSERT_EQ(a.splineCount, 9901);
    for (int k = 0; k < a.splineCount; ++k)
        ASSERT_NEAR(std::log10(a.splineConcentration[k]), 14 + 0.002 * a.splineTemperature[k], 1e-9)
            << a.splineTemperature[k];
}

// "Auto" against the brute-force score over the searched decades, on data
// with 0.5 to 2 % noise: where the brute-force minimum lies inside, the choice
// is within a quarter decade of it; where it lies at the interpolating end,
// the outcome says so instead of presenting the end as a choice.
TEST(SplineSmoothnessByGcv, AgreesWithBruteForceAndNamesARangeEnd)
{
    struct Case {
        double sigma, from, to, step;
    };
    for (const Case& c : {Case{0.005, 30, 400, 5}, Case{0.01, 30, 400, 10}, Case{0.02, 30, 400, 20},
                          Case{0.005, 100, 400, 3}, Case{0.01, 100, 400, 5}, Case{0.02, 150, 400, 3}}) {
        std::mt19937 random(static_cast<unsigned>(c.sigma * 1e4 + c.from));
        std::normal_distribution<double> gauss(0, 1);
        DoubleArray T, n;
        for (double t = c.from; t <= c.to; t += c.step) {
            T.push_back(t);
            n.push_back(oneDonor(t) * std::exp(c.sigma * gauss(random)));
        }
        Analysis a = withData(T, n, DoubleArray(T.size(), 1), 5000);
        const SmoothnessOutcome out = a.automaticSmoothness();
        ASSERT_GT(out.value, 0) << out.error;
        double bestLog = -3, best = HUGE_VAL;
        for (double at = -3; at <= 9 + 1e-9; at += 0.25) {
            const double score = bruteForceGcv(a, std::pow(10.0, at));
            if (score < best)
                best = score, bestLog = at;
        }
        const std::string what = "noise " + std::to_string(c.sigma) + " from " + std::to_string(c.from) + " K";
        if (bestLog <= -3) {
            EXPECT_EQ(out.value, 0.001) << what;
            EXPECT_FALSE(out.note.empty()) << what;
        } else {
            EXPECT_NEAR(std::log10(out.value), bestLog, 0.3) << what;
            EXPECT_TRUE(out.note.empty()) << what;
            EXPECT_LE(bruteForceGcv(a, out.value), best * 1.0001) << what;
        }
    }
}
