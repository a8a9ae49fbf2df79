#include "analysis/base/Deviation.h"

#include "analysis/base/NumberFormat.h"

#include <algorithm>
#include <cmath>

std::vector<PointDeviation> pointDeviations(const std::vector<double>& gridTemperature,
                                            const std::vector<double>& gridValue, int grid,
                                            const std::vector<double>& temperature,
                                            const std::vector<double>& measured,
                                            const std::vector<double>& weight, double minWeight)
{
    std::vector<PointDeviation> out;
    grid = std::min({grid, static_cast<int>(gridTemperature.size()), static_cast<int>(gridValue.size())});
    if (grid < 1)
        return out;
    const auto first = gridTemperature.begin();
    const double t0 = gridTemperature[0];
    const double t1 = gridTemperature[grid - 1];
    const std::size_t n = std::min({temperature.size(), measured.size(), weight.size()});
    for (std::size_t i = 0; i < n; ++i) {
        const double T = temperature[i];
        const double m = measured[i];
        if (!(weight[i] > minWeight) || !(T >= t0 && T <= t1) || !(m > 0))
            continue;
        const int j = std::clamp(static_cast<int>(std::lower_bound(first, first + grid, T) - first), 1,
                                 std::max(grid - 1, 1));
        double value = gridValue[grid == 1 ? 0 : j];
        if (grid > 1) {
            const double ta = gridTemperature[j - 1], tb = gridTemperature[j];
            const double a = gridValue[j - 1], b = gridValue[j];
            if (a > 0 && b > 0 && tb > ta)
                value = std::pow(10.0, std::log10(a) + (std::log10(b) - std::log10(a)) * (T - ta) / (tb - ta));
        }
        const double deviation = value / m - 1;
        if (std::isfinite(deviation))
            out.push_back({T, deviation});
    }
    return out;
}

LargestDeviation largestDeviation(const std::vector<double>& gridTemperature,
                                  const std::vector<double>& gridValue, int grid,
                                  const std::vector<double>& temperature,
                                  const std::vector<double>& measured,
                                  const std::vector<double>& weight, double minWeight)
{
    LargestDeviation d;
    for (const PointDeviation& p : pointDeviations(gridTemperature, gridValue, grid, temperature, measured,
                                                   weight, minWeight)) {
        const double deviation = std::fabs(p.relative);
        ++d.points;
        if (d.points == 1 || deviation > d.largest) {
            d.largest = deviation;
            d.temperature = p.temperature;
        }
    }
    return d;
}

std::string deviationPercent(double relative)
{
    // Far off, the percentage is better read in powers of ten.
    const double p = 100 * relative;
    return numfmt::pattern(p, p < 1e5 ? "0.0" : "0.0E+00");
}

std::string deviationSummary(const LargestDeviation& d)
{
    if (d.points < 1)
        return std::string();
    return "max. deviation " + deviationPercent(d.largest) + " % at " +
           numfmt::general(d.temperature) + " K";
}
