// The data for analysis: a smoothing cubic spline of log10(concentration)
// against temperature, evaluated on a 0.1 K grid.
//
// The spline is written in the truncated power basis
//   s(x) = a + b x + sum_j c_j (x - x_j)^3   (knots x_j < x)
// with c_j = w_j (y_j - s(x_j)), sum c_j = 0 and sum c_j x_j = 0. A forward
// recursion expresses every c_j as R_j - a P_j - b Q_j, so only a 2 x 2
// system remains. The recursion is exact in exact arithmetic but grows
// without bound when the weights are large against 1/(x_j - x_k)^3 (small
// smoothness); the checks below turn that into an error instead of a curve
// made of rounding noise.
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

// Advice after a failed fit: the next power-of-two multiple of the
// smoothness that gives a sound fit, when there is one within reach.
std::string largerSmoothnessAdvice(const std::vector<double>& x, const std::vector<double>& y,
                                   const std::vector<double>& w, double smoothness)
{
    std::vector<double> scaled = w;
    double factor = 1;
    for (int step = 0; step < 40; ++step) {
        factor *= 2;
        for (std::size_t j = 0; j < w.size(); ++j)
            scaled[j] = w[j] / factor;
        if (fitSpline(x, y, scaled).status == FitStatus::Ok) {
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
    Fit fit = fitSpline(x, y, w);
    if (fit.status == FitStatus::TinyWeights) {
        lastError = "The end conditions of the spline form a singular 2 x 2 system: the weights "
                    "are too small (smoothness " + numfmt::general(smoothness) +
                    "). Use a smaller smoothness or larger reliabilities.";
        return false;
    }
    if (fit.status != FitStatus::Ok) {
        lastError = std::string(fit.status == FitStatus::Overflow
                                    ? "The spline calculation overflowed"
                                    : "The spline calculation lost its precision") +
                    ": the smoothness " + numfmt::general(smoothness) +
                    " is too small for the spacing of the temperatures. " +
                    largerSmoothnessAdvice(x, y, w, smoothness);
        return false;
    }
    const double a = fit.a;
    const double b = fit.b;
    const std::vector<double>& c = fit.c;

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
        double v = splineValue(x, c, t, a + b * t);
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
