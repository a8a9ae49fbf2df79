// Simulation of the majority-carrier concentration from the species found by
// the spectroscopy (or typed on the simulation page), and its *.simH / *.simS
// file.
#include "analysis/base/Reliability.h"
#include "analysis/data/Analysis.h"
#include "analysis/base/Neutrality.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/Physics.h"
#include "analysis/base/TextFile.h"

#include <algorithm>
#include <cmath>
#include <sstream>

bool Analysis::simulateConcentration()
{
    const int n = std::min(std::max(splineCount, 0), static_cast<int>(splineTemperature.size()));
    simulatedFermiLevel.assign(static_cast<std::size_t>(n), 0.0);
    simulatedConcentration.assign(static_cast<std::size_t>(n), 0.0);
    progressShow(ProgressReporter::Main, n);
    const double compensation = simulationInclude[4] ? simulationCompensatingDensity : 0.0;
    for (int j = 0; j < n; ++j) {
        progressStep(ProgressReporter::Main);
        const double T = splineTemperature[j];
        const double kT = phys::thermalEnergy(T);
        const double Nc = dos0 * std::pow(T, 1.5);
        auto balance = [&](double x) {
            double ionised = 0;
            for (int i = 0; i < 4; ++i)
                if (simulationInclude[i])
                    ionised += simulationDensity[i] /
                               (1 + degeneracyFactor[i] * std::exp((simulationEnergyLevel[i] - x) / kT));
            return ionised - (Nc * std::exp(-x / kT) + compensation);
        };
        const double x = neutrality::solveFermiLevel(balance, fermiBisectionSteps);
        simulatedFermiLevel[j] = x;
        simulatedConcentration[j] = Nc * std::exp(-x / kT);
    }
    progressClose(ProgressReporter::Main);
    return true;
}

Analysis::SimulationDeviation Analysis::simulationDeviation() const
{
    // The measured points of the file (dataCount of them) with reliability above 0.9.
    const std::size_t n = static_cast<std::size_t>(std::max(dataCount, 0));
    auto first = [n](const DoubleArray& v) { return DoubleArray(v.begin(), v.begin() + std::min(n, v.size())); };
    return largestDeviation(splineTemperature, simulatedConcentration, std::max(splineCount, 0),
                            first(temperature), first(concentration), first(reliability), reliability::kPlotted);
}

bool Analysis::writeSimulation()
{
    lastError.clear();
    const std::size_t grid = static_cast<std::size_t>(std::max(splineCount, 0));
    if (splineTemperature.size() < grid || simulatedConcentration.size() < grid ||
        simulatedFermiLevel.size() < grid) {
        lastError = "The simulation has not been carried out for every temperature; " +
                    (simulationFileName.empty() ? std::string("the file") : simulationFileName) +
                    " was not written.";
        return false;
    }
    using numfmt::general;
    using textfile::putLine;
    std::ostringstream out;
    writeHeaderBlock(out, HeaderOptions::onFermiLevel("% Simulation of Majority-Carrier Concentartion "
                                                      "(Auto-evaluation version)",
                                                      fermiLevelFileName, true));
    // Every species is listed, taking part or not, so the file records the
    // whole page.
    const char* const ordinal[3] = {"First", "Second", "Third"};
    for (int i = 0; i < 3; ++i) {
        const std::string o = std::string("% ") + ordinal[i];
        putLine(out, o + " density [cm^-3]: " + general(simulationDensity[i]));
        putLine(out, o + " energy level [eV]: " + general(simulationEnergyLevel[i]));
        putLine(out, o + " degeneracy factor: " + general(degeneracyFactor[i]));
    }
    putLine(out, "% Compenating density [cm^-3]: " + general(simulationCompensatingDensity));
    putLine(out, "% Temperature [K]   Simulated carrier concentration [cm^-3]   Simulated Fermi level [eV] ");
    for (std::size_t j = 0; j < grid; ++j)
        putLine(out, numfmt::g(splineTemperature[j]) + "     " + numfmt::g(simulatedConcentration[j]) +
                         "     " + numfmt::g(simulatedFermiLevel[j]));
    return textfile::writeResult(simulationFileName, out.str(), lastError);
}

Analysis::SaveProposal Analysis::simulationSaveProposal() const
{
    return {replaceExtension(h1FileName, functionType == 1 ? ".simS" : ".simH"), 6};
}

bool Analysis::saveSimulation(const std::string& path)
{
    const std::string previous = simulationFileName;
    simulationFileName = path;
    if (!writeSimulation()) {
        simulationFileName = previous;
        return false;
    }
    return true;
}

std::vector<int> Analysis::indicesStrictlyBetween(const DoubleArray& values, double smallest,
                                                  double largest)
{
    std::vector<int> out;
    for (std::size_t j = 0; j < values.size(); ++j)
        if (values[j] > smallest && values[j] < largest)
            out.push_back(static_cast<int>(j));
    return out;
}

std::vector<int> Analysis::indicesInsideRangeOf(const DoubleArray& values, const DoubleArray& series)
{
    if (series.empty())
        return {};
    double smallest = series[0], largest = series[0];
    for (double v : series) {
        smallest = std::min(smallest, v);
        largest = std::max(largest, v);
    }
    return indicesStrictlyBetween(values, smallest, largest);
}

std::vector<int> Analysis::simulationLinePoints() const
{
    // The charts' first series: the measured points that are plotted.
    DoubleArray plotted;
    const int n = std::min({dataCount, static_cast<int>(concentration.size()),
                            static_cast<int>(reliability.size())});
    for (int i = 0; i < n; ++i)
        if (!(reliability[i] < reliability::kPlotted))
            plotted.push_back(concentration[i]);
    return indicesInsideRangeOf(simulatedConcentration, plotted);
}
