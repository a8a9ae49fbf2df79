#include "analysis/base/PhysicalResult.h"

#include "analysis/base/NumberFormat.h"

#include <cmath>

namespace physical {

std::string densityProblem(double density, const std::string& name)
{
    if (std::isfinite(density) && density > 0 && density <= maxDensity)
        return {};
    return name + " " + numfmt::general(density) + " cm^-3 (a density is positive and at most " +
           numfmt::general(maxDensity) + " cm^-3)";
}

std::string problem(const std::vector<Species>& species, double compensatingDensity)
{
    for (const Species& s : species) {
        if (std::string d = densityProblem(s.density); !d.empty())
            return d;
        if (!(std::isfinite(s.level) && s.level >= minLevel && s.level <= maxLevel))
            return "energy level " + numfmt::general(s.level) + " eV (a level lies between " +
                   numfmt::general(minLevel * 1000) + " and " + numfmt::general(maxLevel * 1000) + " meV)";
    }
    if (!std::isfinite(compensatingDensity))
        return "compensating density " + numfmt::general(compensatingDensity) + " cm^-3";
    return {};
}

std::string noPhysicalResult(const std::string& problem)
{
    return "The analysis gave no physical result: " + problem + ". Nothing is written.";
}

std::string temperatureProblem(double temperature)
{
    if (temperature > 0 && temperature <= maxTemperature)
        return {};
    return "the temperature " + numfmt::general(temperature) + " K is outside 0 < T <= " +
           numfmt::general(maxTemperature) + " K.";
}

std::string concentrationProblem(double concentration)
{
    if (concentration >= minConcentration && concentration <= maxConcentration)
        return {};
    return "the concentration " + numfmt::general(concentration) + " cm^-3 is outside " +
           numfmt::general(minConcentration) + " to " + numfmt::general(maxConcentration) + " cm^-3.";
}

} // namespace physical
