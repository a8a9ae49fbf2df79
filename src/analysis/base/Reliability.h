// The reliability (weight) thresholds that decide which measured points a
// chart draws, a simulation is compared with and a fit uses. Each caller keeps
// its own comparison (> or >=): the thresholds are shared, the edge is not.
#pragma once

namespace reliability {

// Points drawn as measured points and compared with the simulation.
inline constexpr double kPlotted = 0.9;
// Points trusted for the H-function stage charts, the experimental Fermi
// level and the curve fit.
inline constexpr double kTrusted = 0.95;

} // namespace reliability
