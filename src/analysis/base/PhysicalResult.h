// What every analysis must have found before a result is shown, printed or
// written, and what the readers accept as measured values. A number outside
// these bounds is a failed analysis or a typing error, never a sample.
#pragma once

#include <string>
#include <vector>

namespace physical {

// Densities [cm^-3]: above the atomic density of every solid there is none.
constexpr double maxDensity = 1e23;
// Energy levels [eV] below the band edge.
constexpr double minLevel = 0.001;
constexpr double maxLevel = 1.5;

// Measured values a data file may hold: temperatures 0 < T <= maxTemperature
// [K], concentrations within [minConcentration, maxConcentration] [cm^-3].
// A typo such as 199999 K would otherwise stretch the 0.1 K grid without end.
constexpr double maxTemperature = 3000;
constexpr double minConcentration = 1e-30;
constexpr double maxConcentration = 1e25;
// Points of one sample: far more than any Hall measurement takes, and few
// enough that every analysis of them ends within seconds.
constexpr int maxDataCount = 10000;

// One species of a result.
struct Species {
    double density = 0;  // cm^-3
    double level = 0;    // eV
};

// Empty when every density is positive, finite and at most maxDensity, every
// level within [minLevel, maxLevel] and the compensating density finite;
// otherwise the first value that is not, e.g. "energy level -0.0105 eV".
std::string problem(const std::vector<Species>& species, double compensatingDensity);
// A single density checked on its own (a DHES peak, a typed net density).
std::string densityProblem(double density, const std::string& name = "density");
// The message of an analysis whose result is not physical.
std::string noPhysicalResult(const std::string& problem);

// Empty when the measured point is accepted; otherwise what is wrong with it.
std::string temperatureProblem(double temperature);
std::string concentrationProblem(double concentration);

} // namespace physical
