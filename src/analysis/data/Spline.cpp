// The data for analysis: a smoothing cubic spline of log10(concentration)
// against temperature, evaluated on a 0.1 K grid.
//
// The spline is defined in the truncated power basis
//   s(x) = a + b x + sum_j c_j (x - x_j)^3   (knots x_j < x)
// with c_j = w_j (y_j - s(x_j)), sum c_j = 0 and sum c_j x_j = 0. It is
// solved through its second derivatives at the knots (a banded system of
// fixed size), which is exact to rounding at every smoothness and O(m). The
// forward recursion in the truncated power basis is kept for checks only: it
// is O(m^2) and grows without bound when the weights are large against
// 1/(x_j - x_k)^3.
#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"

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
//   (R + T) M = Q^T y,   T = Q^T W^-1 Q / 6,
// a symmetric positive definite pentadiagonal system. Its size does not
// depend on the smoothness, so nothing grows the way the recursion does.
// Points of weight 0 carry c = 0, that is no knot: they are left out. Equal
// temperatures share one knot, which behaves like one point of the summed
// weight at the weighted mean of their values.
class BandedSpline {
public:
    bool ok = false;
    bool lostPrecision = false;       // a pivot of the factorisation was not positive
    std::vector<long double> X, g, M; // knots of positive weight
    std::vector<long double> W, c6;   // summed weight and 6 c of each knot
    double a = 0;
    double b = 0;
    std::vector<double> c; // one per input point
    // tr(I - A) over the knots, A the map from the knot values to g; only
    // when asked for.
    long double residualTrace = 0;

    // Sets ok. The arrays of an earlier solve are reused, so that the many
    // solves of the smoothness search allocate nothing.
    bool solve(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& w,
               bool withTrace = false);

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

private:
    std::vector<long double> Y, h, invH, t0, t1, t2, L1, L2, D, z;
    std::vector<std::size_t> knotOf;
};

bool BandedSpline::solve(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& w,
                         bool withTrace)
{
    ok = false;
    lostPrecision = false;
    residualTrace = 0;
    X.clear();
    Y.clear();
    W.clear();
    knotOf.assign(x.size(), 0);
    for (std::size_t j = 0; j < x.size(); ++j) {
        if (!(w[j] > 0))
            continue;
        if (!X.empty() && x[j] == X.back()) {
            long double sum = W.back() + w[j];
            Y.back() = (Y.back() * W.back() + static_cast<long double>(w[j]) * y[j]) / sum;
            W.back() = sum;
        } else {
            X.push_back(x[j]);
            Y.push_back(y[j]);
            W.push_back(w[j]);
        }
        knotOf[j] = X.size() - 1;
    }
    const std::size_t n = X.size();
    if (n < 2)
        return false;
    h.resize(n - 1);
    invH.resize(n - 1);
    for (std::size_t i = 0; i + 1 < n; ++i) {
        h[i] = X[i + 1] - X[i];
        invH[i] = 1 / h[i];
    }

    // Unknowns M_1 .. M_{n-2}; row p belongs to knot k = p + 1. Column k of
    // Q holds 1/h_{k-1}, -1/h_{k-1} - 1/h_k, 1/h_k in the rows of knots
    // k-1, k, k+1, which gives the bands of T directly.
    const std::size_t N = n - 2;
    t0.assign(N, 0);
    t1.assign(N, 0);
    t2.assign(N, 0);
    z.assign(N, 0);
    for (std::size_t p = 0; p < N; ++p) {
        const std::size_t k = p + 1;
        const long double left = invH[k - 1], right = invH[k];
        const long double dPrev = 1 / (6 * W[k - 1]), d = 1 / (6 * W[k]), dNext = 1 / (6 * W[k + 1]);
        t0[p] = dPrev * left * left + d * (left + right) * (left + right) + dNext * right * right;
        if (p + 1 < N)
            t1[p] = -d * (left + right) * right - dNext * right * (right + invH[k + 1]);
        if (p + 2 < N)
            t2[p] = dNext * right * invH[k + 1];
        z[p] = (Y[k + 1] - Y[k]) * right - (Y[k] - Y[k - 1]) * left; // Q^T y
    }

    // Banded L D L^T of R + T (R adds (h_{k-1} + h_k) / 3 on the diagonal
    // and h_k / 6 beside it), forward substitution in place.
    L1.assign(N, 0);
    L2.assign(N, 0);
    D.assign(N, 0);
    for (std::size_t p = 0; p < N; ++p) {
        if (p >= 2)
            L2[p] = t2[p - 2] / D[p - 2];
        if (p >= 1)
            L1[p] = (t1[p - 1] + h[p] / 6 - (p >= 2 ? L2[p] * L1[p - 1] * D[p - 2] : 0)) / D[p - 1];
        D[p] = t0[p] + (h[p] + h[p + 1]) / 3 - (p >= 1 ? L1[p] * L1[p] * D[p - 1] : 0) -
               (p >= 2 ? L2[p] * L2[p] * D[p - 2] : 0);
        if (!(D[p] > 0) || !std::isfinite(D[p])) {
            lostPrecision = std::isfinite(D[p]);
            return false;
        }
        z[p] -= (p >= 1 ? L1[p] * z[p - 1] : 0) + (p >= 2 ? L2[p] * z[p - 2] : 0);
    }
    M.assign(n, 0);
    for (std::size_t p = N; p-- > 0;) {
        long double v = z[p] / D[p];
        if (p + 1 < N)
            v -= L1[p + 1] * M[p + 2];
        if (p + 2 < N)
            v -= L2[p + 2] * M[p + 3];
        M[p + 1] = v;
    }
    g.resize(n);
    c6.resize(n); // the jump of the third derivative at each knot
    for (std::size_t j = 0; j < n; ++j) {
        c6[j] = (j + 1 < n ? (M[j + 1] - M[j]) * invH[j] : 0) - (j > 0 ? (M[j] - M[j - 1]) * invH[j - 1] : 0);
        g[j] = Y[j] - c6[j] / (6 * W[j]);
    }

    if (withTrace) {
        // I - A = W^-1 Q (R + T)^-1 Q^T / 6, so tr(I - A) = tr((R + T)^-1 T).
        // T has bandwidth 2, so only the five central bands of S = (R + T)^-1
        // are needed; they follow from L D L^T by the recursion of Hutchinson
        // and de Hoog, from the last row up, each row needing the two below.
        // Summed directly (not as n - tr A) it keeps its digits near
        // interpolation, where it is small.
        long double below0 = 0, below1 = 0, twoBelow0 = 0; // S(p+1,p+1), S(p+1,p+2), S(p+2,p+2)
        for (std::size_t p = N; p-- > 0;) {
            const long double l1 = p + 1 < N ? L1[p + 1] : 0;
            const long double l2 = p + 2 < N ? L2[p + 2] : 0;
            const long double s1 = -l1 * below0 - l2 * below1;
            const long double s2 = -l1 * below1 - l2 * twoBelow0;
            const long double s0 = 1 / D[p] - l1 * s1 - l2 * s2;
            residualTrace += s0 * t0[p] + 2 * (s1 * t1[p] + s2 * t2[p]);
            twoBelow0 = below0;
            below0 = s0;
            below1 = s1;
        }
    }

    // Back to the truncated power basis: s is a + b x up to the first knot.
    long double slope = (g[1] - g[0]) * invH[0] - h[0] * M[1] / 6;
    b = static_cast<double>(slope);
    a = static_cast<double>(g[0] - slope * X[0]);
    bool finite = std::isfinite(a) && std::isfinite(b) && std::isfinite(residualTrace);
    for (std::size_t j = 0; j < n && finite; ++j)
        finite = std::isfinite(g[j]) && std::isfinite(M[j]);
    // c from the jumps, not as w (y - g): near interpolation y - g is a
    // tiny difference that has lost its digits. Points sharing a knot split
    // its c as w_j (y_j - g) = w_j (y_j - Y) + (w_j / W) (Y - g).
    c.assign(x.size(), 0);
    for (std::size_t j = 0; j < x.size() && finite; ++j) {
        if (w[j] > 0) {
            std::size_t k = knotOf[j];
            c[j] = static_cast<double>(w[j] * (y[j] - Y[k]) + w[j] / W[k] * c6[k] / 6);
        }
        finite = std::isfinite(c[j]);
    }
    ok = finite;
    return ok;
}

BandedSpline bandedSpline(const std::vector<double>& x, const std::vector<double>& y, const std::vector<double>& w)
{
    BandedSpline s;
    s.solve(x, y, w);
    return s;
}

// The grid of 0.1 K steps from the first to the last fitted temperature:
// both ends moved inward to a multiple of 0.1 K. The count is rounded, not
// truncated: 10 Tmax - 10 Tmin can land a rounding error below the integer it
// stands for.
struct Grid {
    double tMin = 0;
    double tMax = 0;
    long double span = 0; // in steps
    long long count() const { return std::llround(span) + 1; }
};

Grid gridFor(double first, double last)
{
    Grid grid;
    grid.tMin = std::ceil(10 * first) / 10;
    grid.tMax = std::floor(10 * last) / 10;
    grid.span = 10.0L * grid.tMax - 10.0L * grid.tMin;
    return grid;
}

// Far more than any measurement needs (200,000 K at 0.1 K), and small
// enough that the two arrays stay in memory.
constexpr long long maxGridPoints = 2000000;

// Advice after a failed fit: the next power-of-two multiple of the
// smoothness whose curve gives valid concentrations over the grid, when
// there is one within reach. Long grids are sampled, to keep this quick.
std::string largerSmoothnessAdvice(const std::vector<double>& x, const std::vector<double>& y,
                                   const std::vector<double>& w, double smoothness)
{
    const Grid grid = gridFor(x.front(), x.back());
    const long long count = std::clamp(grid.count(), 1LL, maxGridPoints);
    const long long stride = std::max(1LL, count / 20000);
    std::vector<double> scaled = w;
    BandedSpline curve;
    double factor = 1;
    for (int step = 0; step < 40; ++step) {
        factor *= 2;
        for (std::size_t j = 0; j < w.size(); ++j)
            scaled[j] = w[j] / factor;
        bool valid = curve.solve(x, y, scaled);
        for (long long k = 0; k < count && valid; k += stride) {
            double n = std::pow(10.0, static_cast<double>(curve.valueAt(k * 0.1 + grid.tMin)));
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

// The checks of the experimental points firstDataIndex to lastDataIndex
// that every spline needs, whatever its smoothness: the message of the
// first that fails, or "".
std::string splineDataProblem(const Analysis& a)
{
    if (a.dataCount < 0 || a.temperature.size() < std::size_t(a.dataCount) ||
        a.concentration.size() < std::size_t(a.dataCount) || a.reliability.size() < std::size_t(a.dataCount))
        return "The experimental data are incomplete; load or enter the data again.";
    const int first = a.firstDataIndex;
    const int last = a.lastDataIndex;
    if (first < 0 || last >= a.dataCount || first > last)
        return "The points chosen for the spline (index " + std::to_string(first) + " to " +
               std::to_string(last) + ") are not among the " + std::to_string(a.dataCount) +
               " experimental points.";
    for (int i = first; i <= last; ++i) {
        if (!std::isfinite(a.temperature[i]) || !std::isfinite(a.concentration[i]) ||
            !std::isfinite(a.reliability[i]))
            return "Point " + std::to_string(i + 1) + " holds a value that is not a finite number; correct the data.";
    }
    for (int i = first + 1; i <= last; ++i) {
        // Equal temperatures are fine: their knots coincide and the fit treats
        // them like one point of the combined weight.
        if (a.temperature[i] < a.temperature[i - 1])
            return "The temperatures do not ascend: " + pointText(a, i) + " follows " + pointText(a, i - 1) +
                   ". Sort the data by ascending temperature and calculate again.";
    }
    for (int i = first; i <= last; ++i) {
        if (a.concentration[i] <= 0)
            return "The concentration of " + pointText(a, i) + " is " + numfmt::general(a.concentration[i]) +
                   "; the spline needs positive concentrations. Correct the point or remove it from the data.";
        if (a.reliability[i] < 0)
            return "The reliability of " + pointText(a, i) + " is " + numfmt::general(a.reliability[i]) +
                   "; reliabilities must be 0 or positive. Correct the point.";
    }
    int weighted = 0;
    bool twoTemperatures = false;
    double firstWeightedT = 0;
    for (int i = first; i <= last; ++i) {
        if (a.reliability[i] > 0) {
            if (weighted == 0)
                firstWeightedT = a.temperature[i];
            else if (a.temperature[i] != firstWeightedT)
                twoTemperatures = true;
            ++weighted;
        }
    }
    if (weighted == 0)
        return "Every point from " + std::to_string(first + 1) + " to " + std::to_string(last + 1) +
               " has reliability 0, so all spline weights are zero. Give at least two points a "
               "reliability above 0.";
    if (!twoTemperatures)
        return "Fewer than two points (at different temperatures) have a reliability above 0, so no "
               "spline can be calculated. Give at least two points a reliability above 0.";
    return "";
}

// Three significant digits: what the smoothness box shows.
double roundTo3Digits(double value)
{
    const int e = static_cast<int>(std::floor(std::log10(value))) - 2;
    // Dividing by an exact power of ten rounds once; multiplying by 10^-k
    // would round twice.
    return e >= 0 ? std::round(value / std::pow(10.0, e)) * std::pow(10.0, e)
                  : std::round(value * std::pow(10.0, -e)) / std::pow(10.0, -e);
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
    lastError = splineDataProblem(*this);
    if (!lastError.empty())
        return false;
    const int first = firstDataIndex;
    const int last = lastDataIndex;

    // ---- the 0.1 K grid, before anything is allocated for it ----------------
    const double lowT = temperature[first];
    const double highT = temperature[last];
    const Grid grid = gridFor(lowT, highT);
    if (grid.tMin > grid.tMax) {
        // Truncation toward zero would turn -0.99.. into a one-point grid
        // beyond the last point.
        lastError = "The points chosen for the spline (" + numfmt::general(lowT) + " K to " +
                    numfmt::general(highT) + " K) contain no multiple of 0.1 K, so the grid "
                    "would be empty. Include points over a wider temperature range.";
        return false;
    }
    if (!(grid.span < maxGridPoints - 0.5L)) {
        const std::string needed =
            grid.span < 1e15L ? std::to_string(grid.count()) : "more than " + std::to_string(maxGridPoints);
        lastError = "The temperature range " + numfmt::general(lowT) + " K to " + numfmt::general(highT) +
                    " K needs " + needed + " grid points of 0.1 K; at most " + std::to_string(maxGridPoints) +
                    " can be calculated. Give the points outside a narrower range reliability 0.";
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
    // As the smoothness grows the spline tends to the weighted least-squares
    // line. Its normal equations, the end conditions in the truncated power
    // basis, have the determinant sum w * sum w x^2 - (sum w x)^2; weights
    // so small that this underflows in double (a smoothness far beyond any
    // use) are refused rather than fitted.
    {
        double sw = 0, swx = 0, swxx = 0;
        for (int j = 0; j < m; ++j) {
            sw += w[j];
            swx += w[j] * x[j];
            swxx += static_cast<long double>(x[j]) * x[j] * w[j];
        }
        const double p1 = sw * swxx, p2 = swx * swx;
        if (std::fabs(p1 - p2) < std::numeric_limits<double>::min() && std::max(p1, p2) < 1e-290) {
            lastError = "The end conditions of the spline form a singular 2 x 2 system: the weights "
                        "are too small (smoothness " + numfmt::general(smoothness) +
                        "). Use a smaller smoothness or larger reliabilities.";
            return false;
        }
    }
    const BandedSpline curve = bandedSpline(x, y, w);
    if (!curve.ok) {
        lastError = std::string(curve.lostPrecision ? "The spline calculation lost its precision"
                                                    : "The spline calculation overflowed") +
                    ": the smoothness " + numfmt::general(smoothness) +
                    " is too small for the spacing of the temperatures. " +
                    largerSmoothnessAdvice(x, y, w, smoothness);
        return false;
    }

    // ---- values on the grid -----------------------------------------------------
    const long long count = grid.count();
    DoubleArray gridT(static_cast<std::size_t>(count));
    DoubleArray gridN(static_cast<std::size_t>(count));
    for (long long k = 0; k < count; ++k) {
        double t = k * 0.1 + grid.tMin;
        double v = static_cast<double>(curve.valueAt(t));
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

double Analysis::chooseSmoothnessByGcv()
{
    lastError = splineDataProblem(*this);
    if (!lastError.empty())
        return 0;

    // The points that carry weight; the others have no residual and no
    // influence, so they count nowhere.
    std::vector<double> x, y, rel;
    double relSum = 0;
    int temperatures = 0;
    for (int i = firstDataIndex; i <= lastDataIndex; ++i) {
        if (!(reliability[i] > 0))
            continue;
        if (x.empty() || temperature[i] != x.back())
            ++temperatures;
        x.push_back(temperature[i]);
        y.push_back(std::log10(concentration[i]));
        rel.push_back(reliability[i]);
        relSum += reliability[i];
    }
    if (temperatures < 3) {
        lastError = "Fewer than three points (at different temperatures) have a reliability above 0; "
                    "through two every spline is the same straight line, so there is no smoothness "
                    "to choose.";
        return 0;
    }
    const std::size_t m = x.size();

    // Points at one temperature share a knot at their weighted mean; their
    // scatter about it is part of every residual sum, whatever the smoothness.
    long double scatter = 0;
    for (std::size_t j = 0; j < m;) {
        std::size_t end = j;
        long double sw = 0, swy = 0;
        for (; end < m && x[end] == x[j]; ++end) {
            sw += rel[end];
            swy += rel[end] * static_cast<long double>(y[end]);
        }
        for (std::size_t k = j; k < end; ++k) {
            long double d = y[k] - swy / sw;
            scatter += rel[k] * d * d;
        }
        j = end;
    }

    // GCV(s) = (1/m) sum r_j (y_j - g_j)^2 / (tr(I - A) / m)^2 with the
    // reliabilities r_j scaled to mean 1. Over the points, tr(I - A) is the
    // trace over the knots plus one for each point that joins the knot of an
    // earlier one.
    std::vector<double> w(m);
    BandedSpline s;
    auto gcv = [&](double logSmoothness) {
        const double smoothness = std::pow(10.0, logSmoothness);
        for (std::size_t j = 0; j < m; ++j)
            w[j] = rel[j] * (1.0 / 6.0) / smoothness;
        if (!s.solve(x, y, w, true))
            return HUGE_VAL;
        // Knot residual Y - g = c6 / (6 W), weighted by the summed
        // reliability 6 s W.
        long double rss = scatter;
        for (std::size_t k = 0; k < s.X.size(); ++k)
            rss += smoothness * s.c6[k] * s.c6[k] / (6 * s.W[k]);
        rss *= m / relSum;
        const long double trace = static_cast<long double>(m - s.X.size()) + s.residualTrace;
        const double score = static_cast<double>(m * rss / (trace * trace));
        return std::isfinite(score) && trace > 0 ? score : HUGE_VAL;
    };

    // A coarse scan over twelve decades, then golden sections about the
    // best point of the scan.
    constexpr double lowest = -3, highest = 9, step = 0.25;
    double bestLog = 0, bestScore = HUGE_VAL;
    for (double at = lowest; at <= highest + 1e-9; at += step) {
        const double score = gcv(at);
        if (score < bestScore) {
            bestScore = score;
            bestLog = at;
        }
    }
    if (!(bestScore < HUGE_VAL)) {
        lastError = "The cross-validation score could not be calculated at any smoothness from 0.001 to "
                    "1E9; enter a smoothness instead.";
        return 0;
    }
    double lo = std::max(lowest, bestLog - step);
    double hi = std::min(highest, bestLog + step);
    const double ratio = (std::sqrt(5.0) - 1) / 2;
    double u = hi - ratio * (hi - lo), v = lo + ratio * (hi - lo);
    double fu = gcv(u), fv = gcv(v);
    while (hi - lo > 1e-4) {
        if (fu <= fv) {
            hi = v;
            v = u;
            fv = fu;
            u = hi - ratio * (hi - lo);
            fu = gcv(u);
        } else {
            lo = u;
            u = v;
            fu = fv;
            v = lo + ratio * (hi - lo);
            fv = gcv(v);
        }
    }
    const double refined = fu <= fv ? u : v;
    if (std::min(fu, fv) < bestScore)
        bestLog = refined;
    return roundTo3Digits(std::pow(10.0, bestLog));
}
