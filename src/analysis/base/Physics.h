// Physical constants of the whole program. The results files of earlier
// versions were computed with exactly these values, so they must not be
// replaced by newer CODATA values.
#pragma once

namespace phys {
constexpr double k = 1.38054e-23;      // Boltzmann constant [J/K]
constexpr double q = 1.6021e-19;       // elementary charge [C]
constexpr double m0 = 9.1091e-31;      // electron rest mass [kg]
constexpr double h = 6.6256e-34;       // Planck constant [J s]
constexpr double pi = 3.1415927;
constexpr double eps0 = 8.854e-12;     // vacuum permittivity [F/m]

// Thermal energy kT/q in eV; multiplied first, then divided, as everywhere.
inline double thermalEnergy(double T) { return T * k / q; }
} // namespace phys
