// Fitting one species to the peak of a stage curve: the peak-temperature
// search of a model species, the energy-level search, the compensation-ratio
// fit of a candidate range, the second H1 solution, the one-species
// concentration model and the peak-position route.
//
// Throughout: P = peakIndex[k], T_P and H_P the measured peak temperature and
// value, ratio = N_com/N, all model curves from compensatedSpeciesH/speciesH.
#include "Analysis.h"
#include "Physics.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const char* const levelInRangeText = "The energy level is between 1 meV and 1500 meV";
const char* const levelShallowText = "The energy level might be shallower than 1 meV";
const char* const levelDeepText = "The energy level might be deeper than 1500 meV";

constexpr double shallowestLevel = 0.001; // eV
constexpr double deepestLevel = 1.5;      // eV
constexpr double levelScanStep = 0.01;    // eV
constexpr int ratioBisectionSteps = 11;

} // namespace

int Analysis::evaluationGridSize() const
{
    std::size_t n = std::min(splineTemperature.size(), splineConcentration.size());
    n = std::min(n, static_cast<std::size_t>(std::max(splineCount, 0)));
    return static_cast<int>(n);
}

bool Analysis::evaluationInputsReady(int stage) const
{
    const int n = evaluationGridSize();
    return stage >= 0 && stage < 4 && n > 0 && static_cast<int>(hCurve.size()) > stage &&
           static_cast<int>(hCurve[stage].size()) >= n;
}

int Analysis::firstGridIndexAtLeast(double T) const
{
    const int n = evaluationGridSize();
    for (int j = 0; j < n; ++j)
        if (splineTemperature[j] >= T)
            return j;
    return n - 1;
}

int Analysis::evaluationPeakIndex(int stage) const
{
    const int n = evaluationGridSize();
    return std::clamp(peakIndex[stage], 0, std::max(n - 1, 0));
}

int Analysis::peakIndexOf(int stage, int from, int to, double ratio, double level)
{
    const int n = evaluationGridSize();
    if (n == 0)
        return -1;
    from = std::clamp(from, 0, n - 1);
    to = std::min(to, n - 1);
    int best = from;
    double bestValue = 0;
    for (int j = from; j <= to; ++j) {
        const double v = compensatedSpeciesH(stage, ratio, level, 1, splineConcentration[j],
                                             splineTemperature[j]);
        if (v > bestValue) {
            bestValue = v;
            best = j;
        }
    }
    return best;
}

double Analysis::peakTemperatureOf(int stage, int from, int to, double ratio, double level)
{
    const int j = peakIndexOf(stage, from, to, ratio, level);
    return j < 0 ? 0.0 : splineTemperature[j];
}

namespace {

// peakTemperatureOf(stage, from, to, ratio, level) for one range and ratio
// at many levels, as the level search asks for it: some fifty levels of
// thousands of grid points each, where exp(E_ref/kT) and T^1.5 took most of
// the time. Only exp(-level/kT) depends on the level; the other terms of each
// point are taken once from the working values compensatedSpeciesH leaves,
// and the value is formed with its operations in its order (unit density),
// so values and peak are bit for bit those of peakTemperatureOf.
class LevelPeakSearch {
public:
    // The grid must not be empty.
    LevelPeakSearch(Analysis& a, int stage, int from, int to, double ratio)
        : a_(a), stage_(stage), ratio_(ratio), g_(a.degeneracyFactor[stage]),
          hFunction_(a.functionType == 2), cached_(a.functionType == 1 || a.functionType == 2)
    {
        const int n = a.evaluationGridSize();
        from_ = std::clamp(from, 0, n - 1);
        to_ = std::min(to, n - 1);
        if (!cached_)
            return;
        points_.reserve(static_cast<std::size_t>(std::max(to_ - from_ + 1, 0)));
        for (int j = from_; j <= to_; ++j) {
            a.compensatedSpeciesH(stage, ratio, 0, 1, a.splineConcentration[j], a.splineTemperature[j]);
            Point p{a.thermalEnergy, a.erefFactor, a.dosRatio, a.dos0PerEv, 0};
            p.compensation = hFunction_ ? ratio * p.e / p.r : ratio * p.e;
            points_.push_back(p);
        }
    }

    double peakTemperature(double level) const
    {
        if (!cached_)
            return a_.peakTemperatureOf(stage_, from_, to_, ratio_, level);
        int best = from_;
        double bestValue = 0;
        for (int j = from_; j <= to_; ++j) {
            const Point& p = points_[j - from_];
            const double x = std::exp(-level / p.kT);
            const double v = hFunction_ ? (x * p.e / (x * p.r + g_) - p.compensation) * p.c1 / p.kT
                                        : (x * p.e * p.r / (x * p.r + g_) - p.compensation) / p.kT;
            if (v > bestValue) {
                bestValue = v;
                best = j;
            }
        }
        return a_.splineTemperature[best];
    }

private:
    struct Point {
        double kT, e, r, c1; // kT/q, exp(E_ref/kT), N_C/n, (q/k)^1.5 N_0
        double compensation; // the ratio term
    };
    Analysis& a_;
    int stage_;
    double ratio_, g_;
    bool hFunction_, cached_;
    int from_ = 0, to_ = -1;
    std::vector<Point> points_;
};

} // namespace

double Analysis::fitEnergyLevel(int stage, int from, int to, double ratio)
{
    if (stage < 0 || stage > 3)
        return 0;
    if (evaluationGridSize() == 0) {
        stageMessage[stage] = levelShallowText;
        energyLevelInRange = 0;
        return 0;
    }
    const double tp = splineTemperature[evaluationPeakIndex(stage)];
    const LevelPeakSearch model(*this, stage, from, to, ratio);
    if (model.peakTemperature(shallowestLevel) > tp) {
        stageMessage[stage] = levelShallowText;
        energyLevelInRange = 0;
        return 0;
    }
    // Coarse scan in 10 meV steps for the first level whose model peak is not
    // below the measured one, then bisection inside that step.
    double lo = shallowestLevel, hi;
    for (;;) {
        hi = lo + levelScanStep;
        if (hi >= deepestLevel) {
            stageMessage[stage] = levelDeepText;
            energyLevelInRange = 0;
            return deepestLevel;
        }
        if (model.peakTemperature(hi) >= tp)
            break;
        lo = hi;
    }
    stageMessage[stage] = levelInRangeText;
    energyLevelInRange = 1;
    double mid = (lo + hi) / 2;
    for (int i = 0; i < energyBisectionSteps + 1; ++i) {
        mid = (lo + hi) / 2;
        if (tp < model.peakTemperature(mid))
            hi = mid;
        else
            lo = mid;
    }
    return mid;
}

int Analysis::upperFitBound(int stage) const
{
    if (!evaluationInputsReady(stage))
        return 0;
    const DoubleArray& h = hCurve[stage];
    const int p = evaluationPeakIndex(stage);
    const int limit = firstGridIndexAtLeast(splineTemperature[p] + 50);
    int b = p;
    double previous = h[p];
    for (int j = p + 20; j <= limit; j += 20) {
        if (h[j] >= previous)
            break;
        b = j;
        previous = h[j];
    }
    return b;
}

int Analysis::lowerFitBound(int stage) const
{
    if (!evaluationInputsReady(stage))
        return 0;
    const DoubleArray& h = hCurve[stage];
    const int p = evaluationPeakIndex(stage);
    const int limit = firstGridIndexAtLeast(splineTemperature[p] - 50);
    int a = p;
    double previous = h[p];
    for (int j = p - 20; j >= limit && j >= 0; j -= 20) {
        if (h[j] >= previous)
            break;
        a = j;
        previous = h[j];
    }
    return a;
}

namespace {

// One trial of a ratio fit: the level that puts the model peak at T_P, the
// density that gives it the height H_P, and the model value at the start of
// the fitting range.
struct RatioTrial {
    Analysis& a;
    int stage, start, end;
    double peakValue, startValue;
    double nPeak, tPeak, nStart, tStart;
    double level = 0, density = 0, value = 0;

    bool run(double ratio)
    {
        a.progressStep(ProgressReporter::Detailed);
        level = a.fitEnergyLevel(stage, start, end, ratio);
        if (a.energyLevelInRange == 0)
            return false;
        density = peakValue / a.compensatedSpeciesH(stage, ratio, level, 1, nPeak, tPeak);
        value = a.compensatedSpeciesH(stage, ratio, level, density, nStart, tStart);
        return true;
    }
    // The last level search was out of range: fall back to the last good
    // ratio (its level search is the last one).
    void fallBack(double ratio)
    {
        a.progressStep(ProgressReporter::Detailed);
        level = a.fitEnergyLevel(stage, start, end, ratio);
    }
};

RatioTrial makeTrial(Analysis& a, int stage, int start, int end, int peak)
{
    RatioTrial t{a, stage, start, end, a.hCurve[stage][peak], a.hCurve[stage][start],
                 a.splineConcentration[peak], a.splineTemperature[peak],
                 a.splineConcentration[start], a.splineTemperature[start]};
    return t;
}

} // namespace

void Analysis::storeRatioFit(int stage, double ratio, double level)
{
    const int p = evaluationPeakIndex(stage);
    energyLevel[stage] = level;
    density[stage] = hCurve[stage][p] / compensatedSpeciesH(stage, ratio, level, 1,
                                                            splineConcentration[p],
                                                            splineTemperature[p]);
    stageCompensatingDensity[stage] = ratio * density[stage];
}

bool Analysis::fitWithCompensation(int stage, int start)
{
    const int n = evaluationGridSize();
    if (!evaluationInputsReady(stage))
        return false;
    start = std::clamp(start, 0, n - 1);
    const int p = evaluationPeakIndex(stage);
    progressSet(ProgressReporter::Detailed, 0);
    RatioTrial trial = makeTrial(*this, stage, start, upperFitBound(stage), p);
    const double h0 = trial.startValue;

    if (!trial.run(0))
        return false;

    double t = 0;
    bool lastOut = false;
    if (h0 <= trial.value) {
        // The uncompensated model lies above the curve at the range start:
        // positive compensation. Decades from 1e-10 until the model drops to
        // the curve, then geometric bisection inside the decade.
        double u = 1e-10, w = u;
        for (;;) {
            w = 10 * u;
            if (w > 0.9)
                break;
            if (!trial.run(w))
                break;
            if (h0 < trial.value)
                u = w;
            else
                break;
        }
        for (int i = 0; i < ratioBisectionSteps; ++i) {
            t = std::sqrt(u * w);
            lastOut = !trial.run(t);
            if (lastOut)
                w = t;
            else if (h0 < trial.value)
                u = t;
            else
                w = t;
        }
        if (lastOut) {
            trial.fallBack(u);
            t = u;
        }
    } else {
        // Negative compensation: the same on the negative axis, without a
        // bound on the ratio; a ratio that overflows ends the decades.
        double u = -1e-10, w = u;
        for (;;) {
            w = 10 * u;
            if (!std::isfinite(w))
                break;
            if (!trial.run(w))
                break;
            if (trial.value < h0)
                u = w;
            else
                break;
        }
        for (int i = 0; i < ratioBisectionSteps; ++i) {
            t = -std::sqrt(u * w);
            lastOut = !trial.run(t);
            if (lastOut)
                w = t;
            else if (trial.value < h0)
                u = t;
            else
                w = t;
        }
        if (lastOut) {
            trial.fallBack(u);
            t = u;
        }
    }

    storeRatioFit(stage, t, trial.level);
    if (autoCalculation == 0 && stageCompensatingDensity[stage] > 0) {
        compensationStage = stage;
        compensationFixed = 1;
        compensatingDensity = stageCompensatingDensity[stage];
    }
    return true;
}

bool Analysis::fitSecondSolution(int stage, int start, double ratio)
{
    const int n = evaluationGridSize();
    if (!evaluationInputsReady(stage))
        return false;
    start = std::clamp(start, 0, n - 1);
    const int p = evaluationPeakIndex(stage);
    progressSet(ProgressReporter::Detailed, 0);
    RatioTrial trial = makeTrial(*this, stage, start, upperFitBound(stage), p);
    const double h0 = trial.startValue;

    if (!trial.run(ratio)) {
        energyLevelInRange = 1;
        return false;
    }
    // Above the first solution the model lies below the curve; the second
    // crossing is where it comes back up to it.
    double u = ratio, w = u;
    for (;;) {
        w = 10 * u;
        if (w > 0.9)
            break;
        if (!trial.run(w))
            break;
        if (trial.value < h0)
            u = w;
        else
            break;
    }
    double t = 0;
    bool lastOut = false;
    for (int i = 0; i < ratioBisectionSteps; ++i) {
        t = std::sqrt(u * w);
        lastOut = !trial.run(t);
        if (lastOut)
            w = t;
        else if (h0 > trial.value)
            u = t;
        else
            w = t;
    }
    if (lastOut) {
        trial.fallBack(u);
        t = u;
    }
    if (energyLevelInRange == 0) {
        energyLevelInRange = 1;
        return false;
    }
    storeRatioFit(stage, t, trial.level);
    return true;
}

double Analysis::singleSpeciesConcentration(int index, double compensating, double level,
                                            double dens) const
{
    if (index < 0 || index >= evaluationGridSize())
        return NAN;
    const double T = splineTemperature[index];
    const double kT = phys::thermalEnergy(T);
    const double nc = dos0 * std::pow(T, 1.5);
    const double g = degeneracyFactor[0];
    auto neutrality = [&](double x) {
        return dens / (1 + g * std::exp((level - x) / kT)) - (nc * std::exp(-x / kT) + compensating);
    };
    // Signs are compared instead of the product f(lo)*f(mid), which can
    // underflow to 0 for two tiny values of equal sign.
    double lo = 0, hi = 1.5, mid = (lo + hi) / 2;
    double fLo = neutrality(lo);
    for (int i = 0; i < fermiBisectionSteps; ++i) {
        mid = (lo + hi) / 2;
        const double fMid = neutrality(mid);
        if (fMid == 0)
            break;
        if ((fLo > 0 && fMid > 0) || (fLo < 0 && fMid < 0)) {
            lo = mid;
            fLo = fMid;
        } else {
            hi = mid;
        }
    }
    return nc * std::exp(-mid / kT);
}

bool Analysis::fitPeakPosition(int stage)
{
    if (!evaluationInputsReady(stage))
        return false;
    if (functionType != 1 && functionType != 2)
        return false;
    const int p = evaluationPeakIndex(stage);
    const double tp = splineTemperature[p];
    const int a = lowerFitBound(stage);
    const int b = upperFitBound(stage);
    double lo = shallowestLevel, hi = deepestLevel;

    progressShow(ProgressReporter::Main, 14);
    for (int i = 0; i < 14; ++i) {
        progressStep(ProgressReporter::Main);
        const double mid = (lo + hi) / 2;
        if (tp < peakTemperatureOf(stage, a, b, 0, lo)) {
            trialMessage[stage] = levelShallowText;
            energyLevelInRange = 0;
            break;
        }
        if (tp > peakTemperatureOf(stage, a, b, 0, hi)) {
            trialMessage[stage] = levelDeepText;
            energyLevelInRange = 0;
            break;
        }
        trialMessage[stage] = levelInRangeText;
        energyLevelInRange = 1;
        if (tp < peakTemperatureOf(stage, a, b, 0, mid))
            hi = mid;
        else
            lo = mid;
    }
    progressClose(ProgressReporter::Main);

    if (energyLevelInRange == 1) {
        const double level = (lo + hi) / 2;
        trialEnergyLevel[stage] = level;
        // The density that gives the model its measured height at the model's
        // own peak temperature.
        const int j = peakIndexOf(stage, a, b, 0, level);
        const double T = splineTemperature[j];
        const double kT = phys::thermalEnergy(T);
        const double r = dos0 * std::pow(T, 1.5) / splineConcentration[j];
        const double x = std::exp(-level / kT);
        const double scale = functionType == 2 ? std::pow(phys::q / phys::k, 1.5) * dos0 : r;
        trialDensity[stage] = (x * r + degeneracyFactor[stage]) * hCurve[stage][p] * kT *
                              std::exp((level - referenceEnergy[stage]) / kT) / scale;
    }
    if (compensationFixed == 1) {
        energyLevel[stage] = trialEnergyLevel[stage];
        density[stage] = trialDensity[stage];
        stageMessage[stage] = trialMessage[stage];
    }
    return true;
}
