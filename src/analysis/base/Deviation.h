// How far a curve on a temperature grid lies from measured points: the
// largest relative deviation |curve/measured - 1| and where it occurs. The
// curve is interpolated between grid points in log10, since concentrations
// vary exponentially with temperature.
#pragma once

#include <string>
#include <vector>

struct LargestDeviation {
    int points = 0;         // measured points compared (0: none)
    double largest = 0;     // relative, 0.127 for 12.7 %
    double temperature = 0; // where the largest deviation lies
};

// The signed relative deviation curve/measured - 1 at each measured point
// that counts (see largestDeviation), in the points' order.
struct PointDeviation {
    double temperature = 0;
    double relative = 0;
};
std::vector<PointDeviation> pointDeviations(const std::vector<double>& gridTemperature,
                                            const std::vector<double>& gridValue, int grid,
                                            const std::vector<double>& temperature,
                                            const std::vector<double>& measured,
                                            const std::vector<double>& weight, double minWeight);

// Points i with weight[i] > minWeight, a positive measured value and a
// temperature inside the first `grid` grid temperatures (ascending).
LargestDeviation largestDeviation(const std::vector<double>& gridTemperature,
                                  const std::vector<double>& gridValue, int grid,
                                  const std::vector<double>& temperature,
                                  const std::vector<double>& measured,
                                  const std::vector<double>& weight, double minWeight);

// A relative deviation in percent, "12.7" (powers of ten when far off).
std::string deviationPercent(double relative);

// "max. deviation 12.7 % at 80 K".
std::string deviationSummary(const LargestDeviation& d);
