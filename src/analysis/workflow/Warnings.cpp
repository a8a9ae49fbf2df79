#include "analysis/workflow/Warnings.h"

#include "analysis/base/Deviation.h"
#include "analysis/base/NumberFormat.h"

#include <algorithm>

std::string simulationDeviationWarning(const LargestDeviation& d)
{
    if (d.points < 1 || !(d.largest > 0.2))
        return std::string();
    return "the simulated concentration deviates from the measured one by up to " + deviationPercent(d.largest) +
           " % (at " + numfmt::general(d.temperature) +
           " K). The species found do not explain the measurement well; check the smoothness of the spline and "
           "the stages, or let \"Best Model\" (Other Analyses) find the species the data support.";
}

std::vector<std::string> analysisWarnings(const Analysis& a)
{
    std::vector<std::string> out;
    const std::string prefix = "Warning: ";
    for (int k = 0; k < 3; ++k) {
        if (a.stageEvaluationType[k].empty())
            continue;
        for (const OutcomeMessage& w : a.plausibilityWarnings(k))
            out.push_back(w.text.rfind(prefix, 0) == 0 ? w.text.substr(prefix.size()) : w.text);
    }
    const int grid = std::min(a.splineCount, static_cast<int>(a.splineTemperature.size()));
    if (grid > 0 && static_cast<int>(a.simulatedConcentration.size()) >= grid) {
        const std::string w = simulationDeviationWarning(a.simulationDeviation());
        if (!w.empty())
            out.push_back(w);
    }
    return out;
}
