// H and S functions of the spectroscopy stages, the single-species functions
// used for the simulated curves, and the manual E_ref of the H1 page.
//
// H_k(T) = n * n_k * exp(E_ref/kT) / (kT)^2.5,  S_k(T) = n_k * exp(E_ref/kT) / kT,
// where n_k is n minus the ionised part of every species found by the stages
// before k, plus the compensating density once an earlier stage fixed it.
#include <algorithm>
#include <cmath>

#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/Physics.h"

namespace {

constexpr int slotCount = 4;

int gridSize(const Analysis& a)
{
    std::size_t n = std::min(a.splineTemperature.size(), a.splineConcentration.size());
    if (a.splineCount >= 0)
        n = std::min(n, static_cast<std::size_t>(a.splineCount));
    return static_cast<int>(n);
}

// Everything the stage functions need at one (n, T), kept in the object's
// working values as well (they describe the last point computed).
struct PointTerms {
    double kT;
    double e;   // exp(E_ref/kT)
    double nc;  // N_C(T)
    double r;   // N_C/n
    double c1;  // N_C = c1 * kT^1.5
};

PointTerms pointTerms(Analysis& a, int stage, double n, double T)
{
    PointTerms p{};
    p.kT = phys::thermalEnergy(T);
    p.e = std::exp(a.referenceEnergy[stage] / p.kT);
    p.nc = a.dos0 * std::pow(T, 1.5);
    p.r = p.nc / n;
    p.c1 = std::pow(phys::q / phys::k, 1.5) * a.dos0;
    a.thermalEnergy = p.kT;
    a.erefFactor = p.e;
    a.effectiveDosAtT = p.nc;
    a.dosRatio = p.r;
    a.dos0PerEv = p.c1;
    return p;
}

// Stage function at one point; functionType must be 1 or 2.
double stageValue(Analysis& a, int stage, double n, double T)
{
    const PointTerms p = pointTerms(a, stage, n, T);
    const bool addCompensation = a.compensationStage >= 0 && a.compensationStage < stage;
    const double ck = addCompensation ? a.compensatingDensity : 0.0;
    double value;
    if (a.functionType == 2) {
        // Term by term: n^2 e/kT^2.5 - sum N_j X_j e C1/((X_j r + g_j) kT) + c e C1/(r kT).
        value = n * n * p.e / std::pow(p.kT, 2.5);
        for (int j = 0; j < stage; ++j) {
            const double x = std::exp(-a.energyLevel[j] / p.kT);
            value -= a.density[j] * x * p.e * p.c1 /
                     ((x * p.r + a.degeneracyFactor[j]) * p.kT);
        }
        value += ck * p.e * p.c1 / (p.r * p.kT);
    } else {
        double remaining = n;
        for (int j = 0; j < stage; ++j) {
            const double x = std::exp(-a.energyLevel[j] / p.kT);
            remaining -= a.density[j] * x * p.r / (x * p.r + a.degeneracyFactor[j]);
        }
        remaining += ck;
        value = remaining * p.e / p.kT;
    }
    // Non-positive (and undefined) values never reach a logarithm or a peak search.
    return value > 0 ? value : 0.0;
}

// The parts of stageValue that do not depend on E_ref, per grid point, for
// the E_ref search, which computes the same curve for up to a thousand
// reference energies. Every value is computed exactly as stageValue does, so
// the curve has the same bits; only E_ref's exponential is left per trial.
struct GridTerms {
    // What the terms were computed from.
    DoubleArray T, n;
    int stage = -1, functionType = 0, compensationStage = -1;
    double dos0 = 0, compensatingDensity = 0;
    std::vector<double> levels, densities, g;
    // Per point: kT, and for H n*n, kT^2.5, the ionised terms N_j x_j and
    // (x_j r + g_j) kT, the compensation's r kT; for S the remaining
    // concentration.
    DoubleArray kT, nn, kT25, rkT, remaining;
    std::vector<DoubleArray> nx, den;
    double c1 = 0;
};

bool sameTerms(const GridTerms& t, const Analysis& a, int stage, int n)
{
    if (t.stage != stage || t.functionType != a.functionType || t.compensationStage != a.compensationStage ||
        t.dos0 != a.dos0 || t.compensatingDensity != a.compensatingDensity ||
        static_cast<int>(t.T.size()) != n)
        return false;
    for (int j = 0; j < stage; ++j)
        if (t.levels[j] != a.energyLevel[j] || t.densities[j] != a.density[j] || t.g[j] != a.degeneracyFactor[j])
            return false;
    return std::equal(t.T.begin(), t.T.end(), a.splineTemperature.begin()) &&
           std::equal(t.n.begin(), t.n.end(), a.splineConcentration.begin());
}

const GridTerms& gridTerms(const Analysis& a, int stage, int n)
{
    static thread_local GridTerms t;
    if (sameTerms(t, a, stage, n))
        return t;
    t = GridTerms{};
    t.T.assign(a.splineTemperature.begin(), a.splineTemperature.begin() + n);
    t.n.assign(a.splineConcentration.begin(), a.splineConcentration.begin() + n);
    t.stage = stage;
    t.functionType = a.functionType;
    t.compensationStage = a.compensationStage;
    t.dos0 = a.dos0;
    t.compensatingDensity = a.compensatingDensity;
    for (int j = 0; j < stage; ++j) {
        t.levels.push_back(a.energyLevel[j]);
        t.densities.push_back(a.density[j]);
        t.g.push_back(a.degeneracyFactor[j]);
    }
    t.c1 = std::pow(phys::q / phys::k, 1.5) * a.dos0;
    const bool addCompensation = a.compensationStage >= 0 && a.compensationStage < stage;
    const double ck = addCompensation ? a.compensatingDensity : 0.0;
    t.kT.resize(n);
    t.nn.resize(n);
    t.kT25.resize(n);
    t.rkT.resize(n);
    t.remaining.resize(n);
    t.nx.assign(stage, DoubleArray(n));
    t.den.assign(stage, DoubleArray(n));
    for (int i = 0; i < n; ++i) {
        const double T = t.T[i], conc = t.n[i];
        const double kT = phys::thermalEnergy(T);
        const double r = a.dos0 * std::pow(T, 1.5) / conc;
        t.kT[i] = kT;
        t.nn[i] = conc * conc;
        t.kT25[i] = std::pow(kT, 2.5);
        t.rkT[i] = r * kT;
        double remaining = conc;
        for (int j = 0; j < stage; ++j) {
            const double x = std::exp(-a.energyLevel[j] / kT);
            t.nx[j][i] = a.density[j] * x;
            t.den[j][i] = (x * r + a.degeneracyFactor[j]) * kT;
            remaining -= a.density[j] * x * r / (x * r + a.degeneracyFactor[j]);
        }
        t.remaining[i] = remaining + ck;
    }
    return t;
}

// stageValue at grid point i from the cached terms.
double gridStageValue(const GridTerms& t, double eref, double ck, int i)
{
    const double e = std::exp(eref / t.kT[i]);
    double value;
    if (t.functionType == 2) {
        value = t.nn[i] * e / t.kT25[i];
        for (std::size_t j = 0; j < t.nx.size(); ++j)
            value -= t.nx[j][i] * e * t.c1 / t.den[j][i];
        value += ck * e * t.c1 / t.rkT[i];
    } else {
        value = t.remaining[i] * e / t.kT[i];
    }
    return value > 0 ? value : 0.0;
}

bool validStage(int stage) { return stage >= 0 && stage < slotCount; }

void ensureSlots(CurveSet& set)
{
    if (static_cast<int>(set.size()) < slotCount)
        set.resize(slotCount);
}

} // namespace

bool Analysis::calculateHCurve(int stage)
{
    if (!validStage(stage)) {
        lastError = "Calculation of H could not be carried out.";
        return false;
    }
    ensureSlots(hCurve);
    const int n = gridSize(*this);
    DoubleArray& curve = hCurve[stage];
    // Every point from the start index on is written below; only the ones
    // before it are cleared (the E_ref search computes a thousand curves).
    curve.resize(n);

    if (autoCalculation != 1) {
        // The peak of the stage that fixed the compensation bounds this stage
        // from below: the curve starts just above it.
        hStartIndex = 0;
        if (compensationFixed == 1 && compensationStage < stage && compensationStage >= 0 &&
            compensationStage <= 2)
            hStartIndex = peakIndex[compensationStage] + 1;
    }
    if (functionType != 1 && functionType != 2) {
        curve.assign(n, 0.0);
        lastError = "Calculation of H could not be carried out.";
        return false;
    }
    std::fill(curve.begin(), curve.begin() + std::clamp(hStartIndex, 0, n), 0.0);
    const GridTerms& terms = gridTerms(*this, stage, n);
    const bool addCompensation = compensationStage >= 0 && compensationStage < stage;
    const double ck = addCompensation ? compensatingDensity : 0.0;
    for (int j = std::max(hStartIndex, 0); j < n; ++j) {
        curve[j] = gridStageValue(terms, referenceEnergy[stage], ck, j);
        // The working values describe the last point computed.
        if (j == n - 1 || !std::isfinite(curve[j]))
            stageValue(*this, stage, splineConcentration[j], splineTemperature[j]);
        // A concentration near the top of the double range makes H overflow;
        // a curve with infinities has no peak to evaluate.
        if (!std::isfinite(curve[j])) {
            lastError = "The function cannot be calculated at " + numfmt::general(splineTemperature[j]) +
                        " K: its value exceeds the range of numbers (concentration " +
                        numfmt::general(splineConcentration[j]) + " cm^-3).";
            curve.assign(n, 0.0);
            return false;
        }
    }
    lastError.clear();
    return true;
}

bool Analysis::calculateExperimentalH(int stage)
{
    if (!validStage(stage)) {
        lastError = "Calculation of H could not be carried out.";
        return false;
    }
    ensureSlots(experimentalHCurve);
    std::size_t count = std::min(temperature.size(), concentration.size());
    count = std::min(count, static_cast<std::size_t>(std::max(dataCount, 0)));
    DoubleArray& curve = experimentalHCurve[stage];
    curve.assign(count, 0.0);
    if (functionType != 1 && functionType != 2) {
        lastError = "Calculation of H could not be carried out.";
        return false;
    }
    for (std::size_t i = 0; i < count; ++i)
        curve[i] = stageValue(*this, stage, concentration[i], temperature[i]);
    lastError.clear();
    return true;
}

double Analysis::speciesH(int stage, double level, double dens, double n, double T)
{
    if (!validStage(stage) || (functionType != 1 && functionType != 2))
        return -1;
    const PointTerms p = pointTerms(*this, stage, n, T);
    const double x = std::exp(-level / p.kT);
    const double g = degeneracyFactor[stage];
    if (functionType == 2)
        return dens * x * p.e * p.c1 / ((x * p.r + g) * p.kT);
    return dens * x * p.e * p.r / ((x * p.r + g) * p.kT);
}

double Analysis::compensatedSpeciesH(int stage, double ratio, double level, double dens,
                                     double n, double T)
{
    if (!validStage(stage) || (functionType != 1 && functionType != 2))
        return -1;
    const PointTerms p = pointTerms(*this, stage, n, T);
    const double x = std::exp(-level / p.kT);
    const double g = degeneracyFactor[stage];
    if (functionType == 2)
        return (dens * x * p.e / (x * p.r + g) - ratio * dens * p.e / p.r) * p.c1 / p.kT;
    return (dens * x * p.e * p.r / (x * p.r + g) - ratio * dens * p.e) / p.kT;
}

// ---- manual E_ref of the H1 page --------------------------------------------

double Analysis::referenceEnergyStepSize(ErefStep step)
{
    switch (step) {
    case ErefStep::DownCoarse: return -0.001;
    case ErefStep::DownFine: return -1e-6;
    case ErefStep::UpFine: return 1e-6;
    case ErefStep::UpCoarse: return 0.001;
    }
    return 0;
}

std::string Analysis::referenceEnergyText(double eref)
{
    return numfmt::pattern(eref, "0.######");
}

std::string Analysis::steppedReferenceEnergyText(double typed, ErefStep step)
{
    return referenceEnergyText(typed + referenceEnergyStepSize(step));
}

bool Analysis::releaseCompensation()
{
    if (compensationStage < 0)
        return false;
    compensationFixed = 0;
    compensationStage = -1;
    compensatingDensity = 0;
    return true;
}

bool Analysis::calculateStage1AtReferenceEnergy(double eref, bool* compensationReleased)
{
    referenceEnergy[0] = eref;
    resetStage2();
    resetStage3();
    resetSimulation();
    const bool released = releaseCompensation();
    if (compensationReleased)
        *compensationReleased = released;
    // A typed E_ref: the curve derives its own start index from now on.
    autoCalculation = 0;
    if (!calculateHCurve(0)) {
        lastError = "H1 could not be calculated.";
        return false;
    }
    recalculationRequested = 0;
    recalculationFailed = 0;
    calculateExperimentalH(0); // cannot fail once the grid curve succeeded
    peakIndex[0] = 0;
    nextPeakUp(0);
    lastError.clear();
    return true;
}
