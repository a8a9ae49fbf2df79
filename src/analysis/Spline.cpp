// The data for analysis: a smoothing cubic spline of log10(concentration)
// against temperature, evaluated on a 0.1 K grid.
//
// The spline is written in the truncated power basis
//   s(x) = a + b x + sum_j c_j (x - x_j)^3   (knots x_j < x)
// with c_j = w_j (y_j - s(x_j)), sum c_j = 0 and sum c_j x_j = 0. A forward
// recursion expresses every c_j as R_j - a P_j - b Q_j, so only a 2 x 2
// system remains. The recursion is exact in exact arithmetic but grows
// without bound when the weights are large against 1/(x_j - x_k)^3 (small
// smoothness, or many points over a wide range). Its numbers are kept where
// its own precision check passes; elsewhere the same spline comes from a
// banded solve for the second derivatives, and only when that fails too is
// the calculation refused.
#include "Analysis.h"
#include "NumberFormat.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// 1-based point number as in the data sheet, with its temperature.
std::string pointText(const Analysis& a, int i)
{
    return "point " + std::to_string(i + 1) + " (T = " + numfmt::general(a.temperature[i]) + " K)";
}

// s(at) = a + b at + sum of c_k (at - x_k)^3 over the knots x_k < at, summed
// in knot order onto `linear` = a + b at. Knots ascend, so the loop stops at
// the first knot at or above `at`. Products in extended precision, the
// running sum as a double.
double splineValue(const std::vector<double>& x, const std::vector<double>& c, double at,
                   double linear)
{
    double sum = linear;
    for (std::size_t k = 0; k < x.size() && x[k] < at; ++k) {
        long double d = static_cast<long double>(at) - x[k];
        sum += c[k] * (d * d * d);
    }
    return sum;
}

// Precision checks of the solution, in decades of the concentration.
// The knot equations c_j = w_j (y_j - s(x_j)) must hold to maxKnotMiss. The
// end conditions sum c_j = 0 and sum c_j x_j = 0 are measured by the cubic
// their violation would add over one span of the data; that is far larger
// than the error it causes inside the span, hence the loose maxEndMiss.
// Sound solutions miss both by rounding only; once the recursion has grown
// past the digits of a double they miss by orders of magnitude more with
// every halving of the smoothness. In trials over point counts of 4 to 120
// and spacings of 0.5 K to 20 K the two limits together kept the error of
// every accepted curve below 0.005 decades and rejected none that was
// better than 0.001 decades.
constexpr double maxKnotMiss = 1e-4;
constexpr double maxEndMiss = 10;

enum class FitStatus { Ok, Overflow, LostPrecision, TinyWeights };

struct Fit {
    FitStatus status = FitStatus::Ok;
    double a = 0;
    double b = 0;
    std::vector<double> c;
};

// Coefficients of the smoothing spline through (x_j, y_j) with weights w_j
// (knots ascending, at least two weights positive at different x).
Fit fitSpline(const std::vector<double>& x, const std::vector<double>& y,
              const std::vector<double>& w)
{
    const int m = static_cast<int>(x.size());
    Fit fit;

    // Forward recursion: c_j = R_j - a P_j - b Q_j. Products in extended
    // precision, running sums as doubles.
    std::vector<double> P(m), Q(m), R(m);
    P[0] = w[0];
    Q[0] = w[0] * x[0];
    R[0] = w[0] * y[0];
    for (int j = 1; j < m; ++j) {
        double sumP = 0, sumQ = 0, sumR = 0;
        for (int k = 0; k < j; ++k) {
            long double dx = static_cast<long double>(x[j]) - x[k];
            long double d = dx * dx * dx;
            sumP += P[k] * d;
            sumQ += Q[k] * d;
            sumR += R[k] * d;
        }
        P[j] = w[j] * (1 - sumP);
        Q[j] = w[j] * (x[j] - sumQ);
        R[j] = w[j] * (y[j] - sumR);
    }

    // End conditions sum c_j = 0 and sum c_j x_j = 0 by Cramer's rule.
    double sP = 0, sQ = 0, sR = 0, sxP = 0, sxQ = 0, sxR = 0;
    for (int j = 0; j < m; ++j) {
        sP += P[j];
        sQ += Q[j];
        sR += R[j];
        sxP += static_cast<long double>(x[j]) * P[j];
        sxQ += static_cast<long double>(x[j]) * Q[j];
        sxR += static_cast<long double>(x[j]) * R[j];
    }
    const double p1 = sP * sxQ;
    const double p2 = sQ * sxP;
    const double D = p1 - p2;
    if (!std::isfinite(p1) || !std::isfinite(p2) || !std::isfinite(D)) {
        fit.status = FitStatus::Overflow;
        return fit;
    }
    if (std::fabs(D) < std::numeric_limits<double>::min()) {
        // Either the weights are so small that the sums vanish, or two huge
        // products cancelled: the recursion has lost every digit.
        fit.status = std::max(std::fabs(p1), std::fabs(p2)) < 1e-290 ? FitStatus::TinyWeights
                                                                     : FitStatus::LostPrecision;
        return fit;
    }
    fit.a = (sR * sxQ - sQ * sxR) / D;
    fit.b = (sP * sxR - sR * sxP) / D;
    fit.c.resize(m);
    bool finite = std::isfinite(fit.a) && std::isfinite(fit.b);
    for (int j = 0; j < m && finite; ++j) {
        fit.c[j] = R[j] - fit.a * P[j] - fit.b * Q[j];
        finite = std::isfinite(fit.c[j]);
    }
    if (!finite) {
        fit.status = FitStatus::Overflow;
        return fit;
    }

    // The solution must satisfy its own equations. c_j = w_j (y_j - s(x_j))
    // holds for any a and b by construction, up to rounding; the end
    // conditions pin a and b down and suffer first when the recursion has
    // grown too large.
    double knotMiss = 0;
    for (int j = 0; j < m; ++j) {
        if (w[j] == 0)
            continue;
        double s = splineValue(x, fit.c, x[j], fit.a + fit.b * x[j]);
        double miss = std::fabs(fit.c[j] / w[j] - (y[j] - s));
        if (!(miss <= knotMiss))
            knotMiss = std::isnan(miss) ? HUGE_VAL : miss;
    }
    const double span = x[m - 1] - x[0];
    double sumC = 0, momentC = 0;
    for (int j = 0; j < m; ++j) {
        sumC += fit.c[j];
        momentC += fit.c[j] * (static_cast<long double>(x[m - 1]) - x[j]);
    }
    const double endMiss = std::fabs(sumC) * span * span * span + 3 * std::fabs(momentC) * span * span;
    if (!(knotMiss <= maxKnotMiss) || !(endMiss <= maxEndMiss))
        fit.status = FitStatus::LostPrecision;
    return fit;
}

// The same spline through its values g_i and second derivatives M_i at the
// knots (Reinsch). A natural cubic spline has M = 0 at both ends, is linear
// outside, and its first derivative is continuous: Q^T g = R M with the
// usual tridiagonal Q (n x n-2) and R (n-2 x n-2). The jump of s''' at knot
// i is (Q M)_i, and in the truncated power basis that jump is 6 c_i, so
// c_i = w_i (y_i - g_i) becomes g = y - W^-1 Q M / 6 and
//   (R + Q^T W^-1 Q / 6) M = Q^T y,
// a symmetric positive definite pentadiagonal system. Its size does not
// depend on the smoothness, so nothing grows the way the recursion does.
// Points of weight 0 carry c = 0, that is no knot: they are left out. Equal
// temperatures share one knot, which behaves like one point of the summed
// weight at the weighted mean of their values.
struct BandedSpline {
    bool ok = false;
    std::vector<long double> X, g, M; // knots of positive weight
    double a = 0;
    double b = 0;
    std::vector<double> c; // one per input knot

    long double valueAt(long double t) const
    {
        const std::size_t n = X.size();
        if (t <= X[0]) {
            long double h = X[1] - X[0];
            long double slope = (g[1] - g[0]) / h - h * (2 * M[0] + M[1]) / 6;
            return g[0] + slope * (t - X[0]);
        }
        if (t >= X[n - 1]) {
            long double h = X[n - 1] - X[n - 2];
            long double slope = (g[n - 1] - g[n - 2]) / h + h * (M[n - 2] + 2 * M[n - 1]) / 6;
            return g[n - 1] + slope * (t - X[n - 1]);
        }
        std::size_t i = static_cast<std::size_t>(std::upper_bound(X.begin(), X.end(), t) - X.begin()) - 1;
        long double h = X[i + 1] - X[i];
        long double u = t - X[i];
        long double v = X[i + 1] - t;
        return (u * g[i + 1] + v * g[i]) / h -
               u * v / 6 * ((1 + u / h) * M[i + 1] + (1 + v / h) * M[i]);
    }
};

BandedSpline bandedSpline(const std::vector<double>& x, const std::vector<double>& y,
                          const std::vector<double>& w)
{
    BandedSpline s;
    std::vector<long double> Y, W;
    std::vector<std::size_t> knotOf(x.size(), 0);
    for (std::size_t j = 0; j < x.size(); ++j) {
        if (!(w[j] > 0))
            continue;
        knotOf[j] = s.X.size() - (!s.X.empty() && x[j] == s.X.back() ? 1 : 0);
        if (!s.X.empty() && x[j] == s.X.back()) {
            long double sum = W.back() + w[j];
            Y.back() = (Y.back() * W.back() + static_cast<long double>(w[j]) * y[j]) / sum;
            W.back() = sum;
        } else {
            s.X.push_back(x[j]);
            Y.push_back(y[j]);
            W.push_back(w[j]);
        }
    }
    const std::size_t n = s.X.size();
    if (n < 2)
        return s;
    std::vector<long double> h(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i)
        h[i] = s.X[i + 1] - s.X[i];

    // Unknowns M_1 .. M_{n-2}; row p of the band belongs to knot p + 1.
    const std::size_t N = n - 2;
    std::vector<long double> d0(N, 0), d1(N, 0), d2(N, 0), rhs(N, 0);
    auto add = [&](std::size_t k1, std::size_t k2, long double v) { // knots k1 <= k2
        std::size_t p = k1 - 1;
        (k2 == k1 ? d0 : k2 == k1 + 1 ? d1 : d2)[p] += v;
    };
    for (std::size_t p = 0; p < N; ++p) {
        d0[p] += (h[p] + h[p + 1]) / 3;
        if (p + 1 < N)
            d1[p] += h[p + 1] / 6;
    }
    // Row j of Q has its entries in the columns of knots j-1, j and j+1.
    auto q = [&](std::size_t j, std::size_t k) -> long double {
        if (k + 1 == j)
            return 1 / h[k];
        if (k == j)
            return -1 / h[j - 1] - 1 / h[j];
        return 1 / h[j]; // k == j + 1
    };
    for (std::size_t j = 0; j < n; ++j) {
        std::size_t lo = std::max<std::size_t>(j == 0 ? 1 : j - 1, 1);
        std::size_t hi = std::min(j + 1, n - 2);
        for (std::size_t k1 = lo; k1 <= hi; ++k1) {
            rhs[k1 - 1] += q(j, k1) * Y[j];
            for (std::size_t k2 = k1; k2 <= hi; ++k2)
                add(k1, k2, q(j, k1) * q(j, k2) / (6 * W[j]));
        }
    }

    // Banded L D L^T.
    std::vector<long double> L1(N, 0), L2(N, 0), D(N, 0), z(N, 0);
    for (std::size_t p = 0; p < N; ++p) {
        if (p >= 2)
            L2[p] = d2[p - 2] / D[p - 2];
        if (p >= 1)
            L1[p] = (d1[p - 1] - (p >= 2 ? L2[p] * L1[p - 1] * D[p - 2] : 0)) / D[p - 1];
        D[p] = d0[p] - (p >= 1 ? L1[p] * L1[p] * D[p - 1] : 0) - (p >= 2 ? L2[p] * L2[p] * D[p - 2] : 0);
        if (!(D[p] > 0) || !std::isfinite(D[p]))
            return s;
        z[p] = rhs[p] - (p >= 1 ? L1[p] * z[p - 1] : 0) - (p >= 2 ? L2[p] * z[p - 2] : 0);
    }
    s.M.assign(n, 0);
    for (std::size_t p = N; p-- > 0;) {
        long double v = z[p] / D[p];
        if (p + 1 < N)
            v -= L1[p + 1] * s.M[p + 2];
        if (p + 2 < N)
            v -= L2[p + 2] * s.M[p + 3];
        s.M[p + 1] = v;
    }
    s.g.resize(n);
    std::vector<long double> c6(n); // 6 c of each knot: the jump of the third derivative
    for (std::size_t j = 0; j < n; ++j) {
        c6[j] = (j + 1 < n ? (s.M[j + 1] - s.M[j]) / h[j] : 0) -
                (j > 0 ? (s.M[j] - s.M[j - 1]) / h[j - 1] : 0);
        s.g[j] = Y[j] - c6[j] / (6 * W[j]);
    }

    // Back to the truncated power basis: s is a + b x up to the first knot.
    long double slope = (s.g[1] - s.g[0]) / h[0] - h[0] * s.M[1] / 6;
    s.b = static_cast<double>(slope);
    s.a = static_cast<double>(s.g[0] - slope * s.X[0]);
    bool finite = std::isfinite(s.a) && std::isfinite(s.b);
    for (std::size_t j = 0; j < n && finite; ++j)
        finite = std::isfinite(s.g[j]) && std::isfinite(s.M[j]);
    // c from the jumps, not as w (y - g): near interpolation y - g is a
    // tiny difference that has lost its digits. Points sharing a knot split
    // its c as w_j (y_j - g) = w_j (y_j - Y) + (w_j / W) (Y - g).
    s.c.assign(x.size(), 0);
    for (std::size_t j = 0; j < x.size() && finite; ++j) {
        if (w[j] > 0) {
            std::size_t q = knotOf[j];
            s.c[j] = static_cast<double>(w[j] * (y[j] - Y[q]) + w[j] / W[q] * c6[q] / 6);
        }
        finite = std::isfinite(s.c[j]);
    }
    s.ok = finite;
    return s;
}

// The spline by the recursion where that passes its check, otherwise by the
// banded solve.
struct Curve {
    Fit fit;
    BandedSpline banded;
    bool stable = false;

    bool ok() const { return stable ? banded.ok : fit.status == FitStatus::Ok; }
    double value(const std::vector<double>& x, double t) const
    {
        return stable ? static_cast<double>(banded.valueAt(t)) : splineValue(x, fit.c, t, fit.a + fit.b * t);
    }
};

Curve solveCurve(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& w)
{
    Curve curve;
    curve.fit = fitSpline(x, y, w);
    if (curve.fit.status == FitStatus::Overflow || curve.fit.status == FitStatus::LostPrecision) {
        curve.banded = bandedSpline(x, y, w);
        curve.stable = true;
    }
    return curve;
}

// Advice after a failed fit: the next power-of-two multiple of the
// smoothness whose curve gives valid concentrations over the grid, when
// there is one within reach. Long grids are sampled, to keep this quick.
std::string largerSmoothnessAdvice(const std::vector<double>& x, const std::vector<double>& y,
                                   const std::vector<double>& w, double smoothness)
{
    const double tMin = std::ceil(10 * x.front()) / 10;
    const double tMax = std::floor(10 * x.back()) / 10;
    const double span = 10 * (tMax - tMin);
    const long long count = span < 1 ? 1 : span < 1e7 ? static_cast<long long>(span) + 1 : 10000000LL;
    const long long stride = std::max(1LL, count / 20000);
    std::vector<double> scaled = w;
    double factor = 1;
    for (int step = 0; step < 40; ++step) {
        factor *= 2;
        for (std::size_t j = 0; j < w.size(); ++j)
            scaled[j] = w[j] / factor;
        Curve curve = solveCurve(x, y, scaled);
        bool valid = curve.ok();
        for (long long k = 0; k < count && valid; k += stride) {
            double n = std::pow(10.0, curve.value(x, k * 0.1 + tMin));
            valid = std::isfinite(n) && n > 0;
        }
        if (valid) {
            // A round suggestion: two significant digits, rounded up.
            double value = smoothness * factor;
            double unit = std::pow(10.0, std::floor(std::log10(value)) - 1);
            return "Use a larger smoothness (for example " +
                   numfmt::general(std::ceil(value / unit) * unit) + ").";
        }
    }
    return "Use a larger smoothness.";
}

} // namespace

bool Analysis::splineByRecursion(const DoubleArray& x, const DoubleArray& y, const DoubleArray& w,
                                 double& a, double& b, DoubleArray& c)
{
    if (x.size() < 2 || y.size() != x.size() || w.size() != x.size())
        return false;
    Fit fit = fitSpline(x, y, w);
    if (fit.status != FitStatus::Ok)
        return false;
    a = fit.a;
    b = fit.b;
    c = std::move(fit.c);
    return true;
}

bool Analysis::splineByBandedSolve(const DoubleArray& x, const DoubleArray& y, const DoubleArray& w,
                                   double& a, double& b, DoubleArray& c)
{
    if (x.size() < 2 || y.size() != x.size() || w.size() != x.size())
        return false;
    BandedSpline s = bandedSpline(x, y, w);
    if (!s.ok)
        return false;
    a = s.a;
    b = s.b;
    c = std::move(s.c);
    return true;
}

bool Analysis::chooseSplinePoints()
{
    lastError.clear();
    int n = dataCount;
    if (n > static_cast<int>(reliability.size()))
        n = static_cast<int>(reliability.size());
    int first = -1;
    int last = -1;
    for (int i = 0; i < n; ++i) {
        if (reliability[i] > 0) {
            if (first < 0)
                first = i;
            last = i;
        }
    }
    firstDataIndex = first < 0 ? 0 : first;
    lastDataIndex = last < 0 ? 0 : last;
    if (first < 0 || first == last) {
        lastError = "Fewer than two points have a reliability above 0, so no spline can be "
                    "calculated. Give at least two points a reliability above 0.";
        return false;
    }
    return true;
}

bool Analysis::computeSpline()
{
    lastError.clear();
    splineCount = 0;
    splineTemperature.clear();
    splineConcentration.clear();

    // ---- inputs -----------------------------------------------------------
    if (!std::isfinite(smoothness) || smoothness <= 0) {
        lastError = "The smoothness " + numfmt::general(smoothness) +
                    " cannot be used; enter a positive number (the default is 5000).";
        return false;
    }
    if (dataCount < 0 || temperature.size() < std::size_t(dataCount) ||
        concentration.size() < std::size_t(dataCount) || reliability.size() < std::size_t(dataCount)) {
        lastError = "The experimental data are incomplete; load or enter the data again.";
        return false;
    }
    if (firstDataIndex < 0 || lastDataIndex >= dataCount || firstDataIndex > lastDataIndex) {
        lastError = "The points chosen for the spline (index " + std::to_string(firstDataIndex) +
                    " to " + std::to_string(lastDataIndex) + ") are not among the " +
                    std::to_string(dataCount) + " experimental points.";
        return false;
    }
    const int first = firstDataIndex;
    const int last = lastDataIndex;
    for (int i = first; i <= last; ++i) {
        if (!std::isfinite(temperature[i]) || !std::isfinite(concentration[i]) ||
            !std::isfinite(reliability[i])) {
            lastError = "Point " + std::to_string(i + 1) +
                        " holds a value that is not a finite number; correct the data.";
            return false;
        }
    }
    for (int i = first + 1; i <= last; ++i) {
        // Equal temperatures are fine: their knots coincide and the fit treats
        // them like one point of the combined weight.
        if (temperature[i] < temperature[i - 1]) {
            lastError = "The temperatures do not ascend: " + pointText(*this, i) + " follows " +
                        pointText(*this, i - 1) +
                        ". Sort the data by ascending temperature and calculate again.";
            return false;
        }
    }
    for (int i = first; i <= last; ++i) {
        if (concentration[i] <= 0) {
            lastError = "The concentration of " + pointText(*this, i) + " is " +
                        numfmt::general(concentration[i]) +
                        "; the spline needs positive concentrations. Correct the point or "
                        "remove it from the data.";
            return false;
        }
        if (reliability[i] < 0) {
            lastError = "The reliability of " + pointText(*this, i) + " is " +
                        numfmt::general(reliability[i]) +
                        "; reliabilities must be 0 or positive. Correct the point.";
            return false;
        }
    }
    int weighted = 0;
    bool twoTemperatures = false;
    double firstWeightedT = 0;
    for (int i = first; i <= last; ++i) {
        if (reliability[i] > 0) {
            if (weighted == 0)
                firstWeightedT = temperature[i];
            else if (temperature[i] != firstWeightedT)
                twoTemperatures = true;
            ++weighted;
        }
    }
    if (weighted == 0) {
        lastError = "Every point from " + std::to_string(first + 1) + " to " + std::to_string(last + 1) +
                    " has reliability 0, so all spline weights are zero. Give at least two points "
                    "a reliability above 0.";
        return false;
    }
    if (!twoTemperatures) {
        lastError = "Fewer than two points (at different temperatures) have a reliability above 0, "
                    "so no spline can be calculated. Give at least two points a reliability above 0.";
        return false;
    }

    // ---- the fit ---------------------------------------------------------------
    const int m = last - first + 1;
    std::vector<double> x(m), y(m), w(m);
    for (int j = 0; j < m; ++j) {
        int i = first + j;
        x[j] = temperature[i];
        y[j] = std::log10(concentration[i]);
        w[j] = reliability[i] * (1.0 / 6.0) / smoothness;
    }
    const Curve curve = solveCurve(x, y, w);
    const Fit& fit = curve.fit;
    if (fit.status == FitStatus::TinyWeights) {
        lastError = "The end conditions of the spline form a singular 2 x 2 system: the weights "
                    "are too small (smoothness " + numfmt::general(smoothness) +
                    "). Use a smaller smoothness or larger reliabilities.";
        return false;
    }
    // Where the recursion has lost its digits, the banded solve gives the
    // same spline; its numbers differ from the recursion's in the last
    // digits, so it only steps in where the recursion cannot be trusted.
    if (!curve.ok()) {
        lastError = std::string(fit.status == FitStatus::Overflow
                                    ? "The spline calculation overflowed"
                                    : "The spline calculation lost its precision") +
                    ": the smoothness " + numfmt::general(smoothness) +
                    " is too small for the spacing of the temperatures. " +
                    largerSmoothnessAdvice(x, y, w, smoothness);
        return false;
    }

    // ---- the 0.1 K grid -----------------------------------------------------
    const double tMin = std::ceil(10 * x[0]) / 10;
    const double tMax = std::floor(10 * x[m - 1]) / 10;
    if (tMin > tMax) {
        // Truncation toward zero would turn -0.99.. into a one-point grid
        // beyond the last point.
        lastError = "The points chosen for the spline (" + numfmt::general(x[0]) + " K to " +
                    numfmt::general(x[m - 1]) + " K) contain no multiple of 0.1 K, so the grid "
                    "would be empty. Include points over a wider temperature range.";
        return false;
    }
    const long double gridSpan = 10.0L * tMax - 10.0L * tMin;
    if (!(gridSpan < 1e7L)) {
        lastError = "The temperature range " + numfmt::general(x[0]) + " K to " +
                    numfmt::general(x[m - 1]) + " K is too wide for a 0.1 K grid.";
        return false;
    }
    const long long count = std::max(1LL, static_cast<long long>(std::trunc(gridSpan)) + 1);
    DoubleArray gridT(static_cast<std::size_t>(count));
    DoubleArray gridN(static_cast<std::size_t>(count));
    for (long long k = 0; k < count; ++k) {
        double t = k * 0.1 + tMin;
        double v = curve.value(x, t);
        double n = std::pow(10.0, v);
        if (!std::isfinite(v) || !std::isfinite(n) || n <= 0) {
            lastError = "The spline gives no valid concentration at " + numfmt::general(t) +
                        " K (log10 = " + numfmt::general(v) + "). " +
                        largerSmoothnessAdvice(x, y, w, smoothness);
            return false;
        }
        gridT[k] = t;
        gridN[k] = n;
    }
    splineTemperature = std::move(gridT);
    splineConcentration = std::move(gridN);
    splineCount = static_cast<int>(count);
    return true;
}
