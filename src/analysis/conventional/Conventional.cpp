// The conventional Arrhenius analyses and their *.CNO / *.CNC files.
#include "analysis/conventional/Conventional.h"

#include "analysis/base/NumberFormat.h"
#include "analysis/base/PhysicalResult.h"
#include "analysis/base/Physics.h"
#include "analysis/base/TextFile.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace conventional {

namespace refusal {
const char* const nonPositive =
    "The line cannot be fitted: a temperature or concentration in the fitting range is not positive.";
const char* const oneTemperature =
    "The line cannot be fitted: it needs points at two different temperatures at least.";
const char* const notFinite = "The fit over this range gives no finite result.";
} // namespace refusal

namespace {

// A curve of more points than this would come from a start temperature far
// below any measurement (1/T steps of 1e-5 from 0.5 K already give 200,000).
constexpr std::size_t maxCurvePoints = 2000000;

bool finite(std::initializer_list<double> values)
{
    return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

int pointCount(const Analysis& a)
{
    return std::max(0, std::min({a.dataCount, static_cast<int>(a.temperature.size()),
                                 static_cast<int>(a.concentration.size())}));
}

void copyPoints(const Analysis& a, DoubleArray& t, DoubleArray& n)
{
    const int count = pointCount(a);
    t.assign(a.temperature.begin(), a.temperature.begin() + count);
    n.assign(a.concentration.begin(), a.concentration.begin() + count);
}

// Steps of 1e-5 in 1/T from T0 while T stays below tEnd.
template <class Point>
void stepInverseTemperature(double T0, double tEnd, Point point)
{
    if (!(T0 > 0) || !std::isfinite(T0))
        return;
    double T = T0;
    double u = 1 / T;
    std::size_t produced = 0;
    do {
        point(T);
        u = u - 1e-5;
        T = 1 / u;
    } while (T < tEnd && u > 0 && ++produced < maxCurvePoints);
}

void appendPoint(SimulatedCurve& c, double T, double dos0, double E)
{
    const double kT = phys::thermalEnergy(T);
    const double Nc = dos0 * std::pow(T, 1.5);
    c.temperature.push_back(T);
    c.concentration.push_back(Nc * std::exp(-E / kT));
    c.fermiLevel.push_back(E);
}

const std::string hyphens60 = "% ------------------------------------------------------------ ";
const std::string hyphens56 = "% -------------------------------------------------------- ";

void writeConditions(std::ostream& out, const DoubleArray& T, const FitRange& r)
{
    using textfile::putLine;
    using numfmt::general;
    putLine(out, hyphens60);
    putLine(out, "% Conditions for analysis ");
    putLine(out, hyphens60);
    putLine(out, "% Lowest temperature [K]: " + general(T[r.IndexLowestT]));
    putLine(out, "% Index Of lowest temperature: " + std::to_string(r.IndexLowestT));
    putLine(out, "% Highest temperature [K]: " + general(T[r.IndexHighestT]));
    putLine(out, "% Index Of highest temperature: " + std::to_string(r.IndexHighestT));
}

void writeCurve(std::ostream& out, const SimulatedCurve& c)
{
    textfile::putLine(out, "% temperature [K]  Concentration [cm^-3] ");
    for (std::size_t i = 0; i < c.temperature.size(); ++i)
        textfile::putLine(out, numfmt::g(c.temperature[i]) + "   " + numfmt::g(c.concentration[i]));
}

HeaderOptions headerOptions(const Analysis& a, const std::string& title, const std::string& ownLabel,
                            const std::string& path, double g)
{
    HeaderOptions o = HeaderOptions::onFermiLevel(title, a.fermiLevelFileName, false);
    o.ownFileLines = {{ownLabel, path}};
    o.sampleGroup = true;
    o.materialGroup = true;
    o.degeneracyAfterMaterial = true;
    o.degeneracy = g;
    return o;
}

bool validRange(const FitRange& r, int count)
{
    return r.IndexLowestT >= 0 && r.IndexLowestT < r.IndexHighestT && r.IndexHighestT < count;
}

} // namespace

LineFit FreezeOutLineFit(const DoubleArray& x, const DoubleArray& y, int lo, int hi)
{
    double sx = 0, sy = 0, sxx = 0, sxy = 0, syy = 0;
    for (int i = lo; i <= hi; ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
        syy += y[i] * y[i];
    }
    const double m = hi - lo + 1;
    const double d = m * sxx - sx * sx;
    LineFit f;
    f.slope = (m * sxy - sx * sy) / d;
    f.intersection = (sxx * sy - sx * sxy) / d;
    f.correlation = (m * sxy - sx * sy) / std::sqrt(d) / std::sqrt(m * syy - sy * sy);
    return f;
}

SimulatedCurve simulateOneImpurity(double energyLevel, double density, double g, double dos0, double T0)
{
    SimulatedCurve c;
    stepInverseTemperature(T0, 1000, [&](double T) {
        const double kT = phys::thermalEnergy(T);
        const double Nc = dos0 * std::pow(T, 1.5);
        const double E = NeutralityBisection([&](double e) {
            return density / (1 + g * std::exp((energyLevel - e) / kT)) - Nc * std::exp(-e / kT);
        });
        appendPoint(c, T, dos0, E);
    });
    return c;
}

SimulatedCurve simulateDonorAcceptor(double energyLevel, double nMajority, double nComp, double g,
                                     double dos0, double T0, double tLast)
{
    SimulatedCurve c;
    stepInverseTemperature(T0, tLast, [&](double T) {
        const double kT = phys::thermalEnergy(T);
        const double Nc = dos0 * std::pow(T, 1.5);
        const double E = NeutralityBisection([&](double e) {
            return nMajority / (1 + g * std::exp((energyLevel - e) / kT)) - (Nc * std::exp(-e / kT) + nComp);
        });
        appendPoint(c, T, dos0, E);
    });
    return c;
}

std::array<std::string, 3> densityComments(bool nType, double density)
{
    const std::string dopant = nType ? "donor" : "acceptor";
    const std::string curve = nType ? "n(T)-1000/T" : "p(T)-1000/T";
    return {density > 1e20 ? "The obtained " + dopant + " density may not be reasonable, because it is too high."
                           : "Please compare the obtained " + dopant +
                                 " density with the density in the saturation range of " + curve + ".",
            "This is because the density in the saturation range of " + curve + " indicates a reasonable " +
                dopant + " density.",
            "When the obtained " + dopant + " density is not reasonable, the obtained " + dopant +
                " level is not reliable either."};
}

double freeElectronDos0()
{
    using namespace phys;
    return 2 * std::pow(2 * pi * m0 * k / (h * h), 1.5) * 1e-6;
}

// ---- the fitting range -------------------------------------------------------

bool FitRange::press(Button button, int count)
{
    switch (button) {
    case Button::DecreaseLow:
        if (IndexHighestT + 1 < count) {
            ++IndexHighestT;
            return true;
        }
        IndexHighestT = count - 1;
        return false;
    case Button::IncreaseLow:
        if (IndexLowestT < IndexHighestT - 1) {
            --IndexHighestT;
            return true;
        }
        return false;
    case Button::DecreaseHigh:
        if (IndexLowestT + 1 < IndexHighestT) {
            ++IndexLowestT;
            return true;
        }
        return false;
    case Button::IncreaseHigh:
        if (IndexLowestT - 1 >= 0) {
            --IndexLowestT;
            return true;
        }
        IndexLowestT = 0;
        return false;
    }
    return false;
}

bool FitRange::selectTemperatures(const DoubleArray& temperature, double tLow, double tHigh)
{
    int first = -1, last = -1;
    for (int i = 0; i < static_cast<int>(temperature.size()); ++i)
        if (temperature[i] >= tLow && temperature[i] <= tHigh) {
            if (first < 0)
                first = i;
            last = i;
        }
    if (first < 0 || last <= first)
        return false;
    IndexLowestT = first;
    IndexHighestT = last;
    return true;
}

bool FitRange::takeNearerBound(int index, int count)
{
    if (count < 2 || index < 0 || index >= count)
        return false;
    const FitRange before = *this;
    if (std::abs(index - IndexLowestT) <= std::abs(index - IndexHighestT))
        IndexLowestT = std::min(index, IndexHighestT - 1);
    else
        IndexHighestT = std::max(index, IndexLowestT + 1);
    return IndexLowestT != before.IndexLowestT || IndexHighestT != before.IndexHighestT;
}

int FitRange::nearestPoint(const DoubleArray& temperature, double inverseT)
{
    int best = -1;
    double distance = 0;
    for (int i = 0; i < static_cast<int>(temperature.size()); ++i) {
        if (!(temperature[i] > 0))
            continue;
        const double d = std::fabs(1000 / temperature[i] - inverseT);
        if (best < 0 || d < distance) {
            best = i;
            distance = d;
        }
    }
    return best;
}

// ---- only one impurity --------------------------------------------------------

void OneImpurity::open(const Analysis& a)
{
    nType = a.isNType();
    dos0 = a.dos0;
    g = nType ? 2 : 4;
    A = nType ? std::sqrt(0.5 * dos0) : 0.5 * std::sqrt(dos0);
    copyPoints(a, temperature, concentration);
    range.IndexHighestT = std::max(0, static_cast<int>(temperature.size()) - 1);
    range.IndexLowestT = 0;
    simulation = {};
    resetResults();
}

bool OneImpurity::press(FitRange::Button button)
{
    const bool moved = range.press(button, static_cast<int>(temperature.size()));
    resetResults();
    return moved;
}

bool OneImpurity::selectTemperatures(double tLow, double tHigh)
{
    if (!range.selectTemperatures(temperature, std::min(tLow, tHigh), std::max(tLow, tHigh)))
        return false;
    resetResults();
    return true;
}

bool OneImpurity::pickPoint(double inverseT)
{
    if (!range.takeNearerBound(FitRange::nearestPoint(temperature, inverseT), static_cast<int>(temperature.size())))
        return false;
    resetResults();
    return true;
}

void OneImpurity::resetResults()
{
    fit = {};
    xHi = yHi = xLo = yLo = 0;
    energyLevel = density = 0;
    comments = {};
    evaluated = false;
}

double OneImpurity::reducedConcentration(int i) const
{
    return concentration[i] / std::pow(temperature[i], 0.75);
}

std::string OneImpurity::evaluate()
{
    resetResults();
    const int count = static_cast<int>(temperature.size());
    if (!validRange(range, count))
        return refusal::oneTemperature;
    DoubleArray x(count), y(count);
    bool twoTemperatures = false;
    for (int i = range.IndexLowestT; i <= range.IndexHighestT; ++i) {
        if (!(temperature[i] > 0) || !(concentration[i] > 0))
            return refusal::nonPositive;
        x[i] = 1000 / temperature[i];
        y[i] = std::log(concentration[i] / std::pow(temperature[i], 0.75));
        twoTemperatures = twoTemperatures || x[i] != x[range.IndexLowestT];
    }
    if (!twoTemperatures)
        return refusal::oneTemperature;

    const LineFit f = FreezeOutLineFit(x, y, range.IndexLowestT, range.IndexHighestT);
    const double xh = x[range.IndexHighestT], xl = x[range.IndexLowestT];
    const double yh = std::exp(f.slope * xh + f.intersection);
    const double yl = std::exp(f.slope * xl + f.intersection);
    const double level = -2000 * phys::k * f.slope / phys::q;
    const double n = std::pow(std::exp(f.intersection) / A, 2);
    if (!finite({f.slope, f.intersection, f.correlation, yh, yl, level, n}))
        return refusal::notFinite;
    if (const std::string bad = physical::problem({{n, level}}, 0); !bad.empty())
        return physical::noPhysicalResult(bad);

    fit = f;
    xHi = xh, yHi = yh, xLo = xl, yLo = yl;
    energyLevel = level;
    density = n;
    comments = densityComments(nType, density);
    evaluated = true;
    simulation = simulateOneImpurity(energyLevel, density, g, dos0, temperature[0]);
    return {};
}

std::string OneImpurity::fileText(const Analysis& a, const std::string& path) const
{
    using textfile::putLine;
    using numfmt::general;
    std::ostringstream out;
    a.writeHeaderBlock(out, headerOptions(a, "% Only One Impurity", "% Conventional Analysis file: ", path, g));
    writeConditions(out, temperature, range);
    putLine(out, hyphens56);
    putLine(out, "% Obtained results ");
    putLine(out, hyphens56);
    putLine(out, "% ln(n) = a*(1000/T) + b ");
    putLine(out, "% Slope: " + general(fit.slope));
    putLine(out, "% Intersection: " + general(fit.intersection));
    putLine(out, "% Correlation coefficient: " + general(fit.correlation));
    const std::string kind = nType ? "Donor" : "Acceptor";
    putLine(out, "% " + kind + " level [eV]: " + general(energyLevel));
    putLine(out, "% " + kind + " density [cm^-3]: " + general(density));
    for (const std::string& c : comments)
        putLine(out, "% " + c);
    writeCurve(out, simulation);
    return out.str();
}

bool OneImpurity::write(const Analysis& a, const std::string& path, std::string& error) const
{
    if (!evaluated) {
        error = "There are no results to save to " + path + ".";
        return false;
    }
    return textfile::writeResult(path, fileText(a, path), error);
}

// ---- one donor and one acceptor ------------------------------------------------

void DonorAcceptor::open(const Analysis& a)
{
    nType = a.isNType();
    dos0 = a.dos0;
    g = nType ? 2 : 4;
    copyPoints(a, temperature, concentration);
    const int count = static_cast<int>(temperature.size());
    range.IndexHighestT = std::max(0, count - 1);
    range.IndexLowestT = 0;
    netDensity = count > 0 ? concentration[count - 1] : 0;
    simulation = {};
    factorG = 0;
    resetResults();
}

bool DonorAcceptor::press(FitRange::Button button)
{
    const bool moved = range.press(button, static_cast<int>(temperature.size()));
    resetResults();
    return moved;
}

bool DonorAcceptor::selectTemperatures(double tLow, double tHigh)
{
    if (!range.selectTemperatures(temperature, std::min(tLow, tHigh), std::max(tLow, tHigh)))
        return false;
    resetResults();
    return true;
}

bool DonorAcceptor::pickPoint(double inverseT)
{
    if (!range.takeNearerBound(FitRange::nearestPoint(temperature, inverseT), static_cast<int>(temperature.size())))
        return false;
    resetResults();
    return true;
}

void DonorAcceptor::resetResults()
{
    compensatingDensity = majorityDensity = 0;
    fit = {};
    xHi = yHi = xLo = yLo = 0;
    energyLevel = 0;
    evaluated = false;
}

bool DonorAcceptor::yOf(int i, double x, double& y) const
{
    const double n = concentration[i];
    if (!(n < netDensity))
        return false;
    y = (n + x) * n / (netDensity - n) / std::pow(temperature[i], 1.5);
    return true;
}

LineFit DonorAcceptor::fitFor(double trial) const
{
    DoubleArray x, y;
    for (int i = range.IndexLowestT; i <= range.IndexHighestT; ++i) {
        double yi = 0;
        if (yOf(i, trial, yi)) {
            x.push_back(1000 / temperature[i]);
            y.push_back(std::log(yi));
        }
    }
    return FreezeOutLineFit(x, y, 0, static_cast<int>(x.size()) - 1);
}

void DonorAcceptor::CompensationSearch()
{
    const double L = std::log10(netDensity) - 3;
    double best = 0;
    for (int i = 0; i <= 600; ++i) {
        const double x = std::pow(10.0, L + 0.01 * i);
        const double r = fitFor(x).correlation;
        if (r < best) {
            compensatingDensity = x;
            best = r;
        }
    }
    fit = fitFor(compensatingDensity);
    xHi = 1000 / temperature[range.IndexHighestT];
    yHi = std::exp(fit.slope * xHi + fit.intersection);
    xLo = 1000 / temperature[range.IndexLowestT];
    yLo = std::exp(fit.slope * xLo + fit.intersection);
}

std::string DonorAcceptor::evaluate(double typed)
{
    if (typed == 0)
        return "Please input the net density.";
    const int count = static_cast<int>(temperature.size());
    if (count == 0 || concentration[0] >= typed || !std::isfinite(typed))
        return "Please input a large number as the net density.";
    netDensity = typed;
    if (!validRange(range, count)) {
        resetResults();
        return refusal::oneTemperature;
    }
    // Which points of the range enter the fit, and can they give a line?
    double firstX = 0;
    int withY = 0;
    bool twoTemperatures = false;
    for (int i = range.IndexLowestT; i <= range.IndexHighestT; ++i) {
        if (!(temperature[i] > 0) || !(concentration[i] > 0)) {
            resetResults();
            return refusal::nonPositive;
        }
        double y = 0;
        if (!yOf(i, 0, y))
            continue;
        const double x = 1000 / temperature[i];
        if (withY++ == 0)
            firstX = x;
        twoTemperatures = twoTemperatures || x != firstX;
    }
    if (!twoTemperatures) {
        resetResults();
        return refusal::oneTemperature;
    }

    CompensationSearch();
    majorityDensity = netDensity + compensatingDensity;
    energyLevel = -1000 * phys::k * fit.slope / phys::q;
    const double G = std::exp(fit.intersection) / freeElectronDos0();
    if (!finite({fit.slope, fit.intersection, fit.correlation, yHi, yLo, energyLevel, G, majorityDensity})) {
        resetResults();
        return refusal::notFinite;
    }
    if (const std::string bad = physical::problem({{majorityDensity, energyLevel}}, compensatingDensity);
        !bad.empty()) {
        resetResults();
        return physical::noPhysicalResult(bad);
    }
    factorG = G;
    evaluated = true;
    simulation = simulateDonorAcceptor(energyLevel, majorityDensity, compensatingDensity, g, dos0, temperature[0],
                                       temperature[count - 1]);
    return {};
}

std::string DonorAcceptor::fileText(const Analysis& a, const std::string& path) const
{
    using textfile::putLine;
    using numfmt::general;
    std::ostringstream out;
    a.writeHeaderBlock(out,
                       headerOptions(a, "% One Donor and One Acceptor", "% One donor and one acceptor file: ", path, g));
    writeConditions(out, temperature, range);
    putLine(out, hyphens60);
    putLine(out, "% Obateind results ");
    putLine(out, hyphens60);
    putLine(out, "% ln(y) = a*(1000/T) + b ");
    putLine(out, "% Slope: " + general(fit.slope));
    putLine(out, "% Intersection: " + general(fit.intersection));
    putLine(out, "% Correlation coefficient: " + general(fit.correlation));
    if (nType) {
        putLine(out, "% Donor level [eV]: " + general(energyLevel));
        putLine(out, "% Donor density [cm^-3]: " + general(majorityDensity));
        putLine(out, "% Acceptor density [cm^-3]: " + general(compensatingDensity));
        putLine(out, "% (m*/m0)^3/2*(Mc/g) : " + general(factorG));
    } else {
        putLine(out, "% Acceptor level [eV]: " + general(energyLevel));
        putLine(out, "% Acceptor density [cm^-3]: " + general(majorityDensity));
        putLine(out, "% Donor density [cm^-3]: " + general(compensatingDensity));
        putLine(out, "% (m*/m0)^3/2*(1/g) : " + general(factorG));
    }
    writeCurve(out, simulation);
    return out.str();
}

bool DonorAcceptor::write(const Analysis& a, const std::string& path, std::string& error) const
{
    if (!evaluated) {
        error = "There are no results to save to " + path + ".";
        return false;
    }
    return textfile::writeResult(path, fileText(a, path), error);
}

} // namespace conventional
