// Warnings of an analysis: what the windows show in boxes starting
// "Warning: " and what the reports list, from one place.
#pragma once

#include "analysis/data/Analysis.h"

#include <string>
#include <vector>

// The simulation's warning for its largest deviation from the measured
// points (above 20 %), without "Warning: "; empty otherwise.
std::string simulationDeviationWarning(const LargestDeviation& d);

// The warnings the analysis in `a` raises now, without "Warning: ": the
// plausibility warnings of each evaluated stage, then the simulation's.
std::vector<std::string> analysisWarnings(const Analysis& a);
