// Fitting one species to the peak of a stage curve: the peak-temperature
// search of a model species, the energy-level search, the compensation-ratio
// fit of a candidate range, the second H1 solution, the one-species
// concentration model and the peak-position route.
//
// Throughout: P = peakIndex[k], T_P and H_P the measured peak temperature and
// value, ratio = N_com/N, all model curves from compensatedSpeciesH/speciesH.
#include "analysis/data/Analysis.h"
#include "analysis/base/Neutrality.h"
#include "analysis/base/Physics.h"
#include "analysis/base/Search.h"

#include <algorithm>
#include <bit>
#include <cstdint>
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

// The level-independent terms of each grid point at a stage's E_ref, as
// compensatedSpeciesH forms them (kT, exp(E_ref/kT), N_C, N_C/n, c1). Every
// level search of an evaluation asks for the same ones, and their exp and
// pow cost more than the search itself. An entry is reused only while E_ref,
// dos0 and the point's T and n are bit for bit those it was formed from.
struct GridTermsCache {
    struct Entry {
        std::uint64_t T = 0, n = 0;
        double kT = 0, e = 0, nc = 0, r = 0, c1 = 0;
        bool valid = false;
    };
    std::uint64_t eref = 0, dos0 = 0;
    std::vector<Entry> entries;

    const Entry& at(Analysis& a, int stage, int j)
    {
        Entry& c = entries[static_cast<std::size_t>(j)];
        const std::uint64_t T = std::bit_cast<std::uint64_t>(a.splineTemperature[j]);
        const std::uint64_t n = std::bit_cast<std::uint64_t>(a.splineConcentration[j]);
        if (!c.valid || c.T != T || c.n != n) {
            a.compensatedSpeciesH(stage, 0, 0, 1, a.splineConcentration[j], a.splineTemperature[j]);
            c = Entry{T, n, a.thermalEnergy, a.erefFactor, a.effectiveDosAtT, a.dosRatio, a.dos0PerEv, true};
        }
        return c;
    }
    // The working values compensatedSpeciesH leaves after point j.
    void leaveWorkingValues(Analysis& a, int j) const
    {
        const Entry& c = entries[static_cast<std::size_t>(j)];
        a.thermalEnergy = c.kT;
        a.erefFactor = c.e;
        a.effectiveDosAtT = c.nc;
        a.dosRatio = c.r;
        a.dos0PerEv = c.c1;
    }
};

GridTermsCache& gridTermsFor(const Analysis& a, int stage)
{
    thread_local GridTermsCache cache;
    const std::uint64_t eref = std::bit_cast<std::uint64_t>(a.referenceEnergy[stage]);
    const std::uint64_t dos0 = std::bit_cast<std::uint64_t>(a.dos0);
    const std::size_t n = static_cast<std::size_t>(a.evaluationGridSize());
    if (cache.eref != eref || cache.dos0 != dos0 || cache.entries.size() != n) {
        cache.eref = eref;
        cache.dos0 = dos0;
        cache.entries.assign(n, GridTermsCache::Entry{});
    }
    return cache;
}

// Bounds of the level search: far above the few ulps by which a rounded
// value, or exp, can stray from the exact one, small enough to settle nearly
// every point.
constexpr double roundingAllowance = 1e-11;
constexpr double boundSlack = 1e-12;
constexpr double tinyX = 1e-300; // covers x in the subnormal range

// The loop of LevelPeakSearch::stepBounds, apart so that the compiler may
// take the arrays as distinct and vectorise it.
void boundsOneStepDeeper(std::size_t n, double g, const double* __restrict floorValue,
                         const double* __restrict floorX, const double* __restrict stepFactor,
                         const double* __restrict numerator, const double* __restrict ratioR,
                         const double* __restrict compensation, const double* __restrict allowance,
                         const double* __restrict scale, double* __restrict value, double* __restrict x)
{
    for (std::size_t i = 0; i < n; ++i) {
        const double xi = floorX[i] * stepFactor[i] + tinyX;
        const double t = xi * numerator[i] / (xi * ratioR[i] + g);
        const double v = (t - compensation[i] + roundingAllowance * t + allowance[i]) * scale[i];
        const double f = floorValue[i];
        value[i] = v < f ? v : f;
        x[i] = xi;
    }
}

// peakTemperatureOf(stage, from, to, ratio, level) for one range and ratio
// at many levels, as the level search asks for it: some fifty levels of
// thousands of grid points each.
//
// Only exp(-level/kT) depends on the level; the other terms of each point are
// taken once from the working values compensatedSpeciesH leaves, and the
// value is formed with its operations in its order (unit density), so values
// are bit for bit those of peakTemperatureOf.
//
// Most exps are not needed to find the peak. A point's model value rises with
// x = exp(-level/kT), and x only falls as the level deepens. So from the
// values at a shallower "floor" level the search has an upper bound of each
// point's value: the floor value itself, or, a whole coarse step deeper, the
// value at the floor's x times exp(-step/kT). A point whose bound (plus a
// rounding allowance) is below the best value already found cannot be the
// peak, and its exp is not taken. The peak of the level before is evaluated
// first, so that nearly every other point is settled by its bound.
// Once the search has a deeper "ceiling" level too, every later level lies
// between the two, where no value is below the ceiling's best; points whose
// floor bound is below that are dropped for good.
// The peak chosen is that of the plain scan: the largest positive value, the
// first of equal ones, else the range start.
class LevelPeakSearch {
public:
    // The grid must not be empty. `step` is the coarse step of the level scan.
    LevelPeakSearch(Analysis& a, int stage, int from, int to, double ratio, double step)
        : a_(a), stage_(stage), ratio_(ratio), g_(a.degeneracyFactor[stage]),
          hFunction_(a.functionType == 2), cached_(a.functionType == 1 || a.functionType == 2),
          prunable_(g_ > 0 && std::isfinite(g_) && step > 0),
          // Somewhat less than the step, so that the step's factor stays an
          // upper bound whatever the rounding of the levels and of exp.
          boundedStep_(step * (1 - 2e-9))
    {
        const int n = a.evaluationGridSize();
        from_ = std::clamp(from, 0, n - 1);
        to_ = std::min(to, n - 1);
        lastBest_ = from_;
        if (!cached_)
            return;
        const std::size_t count = static_cast<std::size_t>(std::max(to_ - from_ + 1, 0));
        points_.reserve(count);
        GridTermsCache& cache = gridTermsFor(a, stage);
        for (int j = from_; j <= to_; ++j) {
            const GridTermsCache::Entry& c = cache.at(a, stage, j);
            Point p{c.kT, c.e, c.r, c.c1, 0};
            p.compensation = hFunction_ ? ratio * p.e / p.r : ratio * p.e;
            // The bounds need values that rise with x and finite terms.
            prunable_ = prunable_ && p.kT > 0 && std::isfinite(p.kT) && p.e >= 0 &&
                        std::isfinite(p.e) && p.r >= 0 && std::isfinite(p.r) && p.c1 >= 0 &&
                        std::isfinite(p.c1) && std::isfinite(p.compensation);
            points_.push_back(p);
        }
        if (to_ >= from_)
            cache.leaveWorkingValues(a, to_);
        if (!prunable_)
            return;
        stepFactor_.resize(count);
        numerator_.resize(count);
        ratioR_.resize(count);
        compensation_.resize(count);
        allowance_.resize(count);
        scale_.resize(count);
        for (std::size_t i = 0; i < count; ++i) {
            const Point& p = points_[i];
            stepFactor_[i] = std::exp(-boundedStep_ / p.kT) * (1 + boundSlack);
            numerator_[i] = hFunction_ ? p.e : p.e * p.r;
            ratioR_[i] = p.r;
            compensation_[i] = p.compensation;
            allowance_[i] = roundingAllowance * std::abs(p.compensation);
            scale_[i] = (hFunction_ ? p.c1 / p.kT : 1 / p.kT) * (1 + boundSlack);
        }
        floorValue_.resize(count);
        floorX_.resize(count);
        lastValue_.resize(count);
        lastX_.resize(count);
        active_.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            active_[i] = static_cast<int>(i);
    }

    double peakTemperature(double level)
    {
        if (!cached_)
            return a_.peakTemperatureOf(stage_, from_, to_, ratio_, level);
        const bool bounded = prunable_ && haveFloor_ && level >= floorLevel_;
        const bool wholeStep = bounded && level - floorLevel_ >= boundedStep_ * (1 + 1e-12);
        int seed = from_;
        if (bounded) {
            // The bounds at this level go to last*_ first; an evaluated point
            // replaces its own.
            if (wholeStep)
                stepBounds();
            else
                for (const int i : active_) {
                    lastValue_[i] = floorValue_[i];
                    lastX_[i] = floorX_[i] * (1 + boundSlack) + tinyX;
                }
            // The peak moves little from one level to the next.
            seed = lastBest_;
        }
        int best = from_;
        double bestValue = 0;
        auto visit = [&](int i) {
            if (bounded && lastValue_[i] < bestValue)
                return;
            const Point& p = points_[i];
            const double x = std::exp(-level / p.kT);
            const double v = hFunction_ ? (x * p.e / (x * p.r + g_) - p.compensation) * p.c1 / p.kT
                                        : (x * p.e * p.r / (x * p.r + g_) - p.compensation) / p.kT;
            const int j = from_ + i;
            if (prunable_) {
                lastValue_[i] = v + allowance(i, x);
                lastX_[i] = x;
            }
            if (v > bestValue || (v == bestValue && v > 0 && j < best)) {
                bestValue = v;
                best = j;
            }
        };
        if (prunable_) {
            visit(seed - from_);
            forEachActive([&](int i) {
                if (i != seed - from_)
                    visit(i);
            });
        } else {
            for (int i = 0; i <= to_ - from_; ++i)
                visit(i);
        }
        lastLevel_ = level;
        lastBest_ = best;
        lastBestValue_ = bestValue;
        return a_.splineTemperature[best];
    }

    // The level of the last peakTemperature call becomes the floor: every
    // later call is at a level at least as deep.
    void raiseFloor()
    {
        if (!prunable_)
            return;
        floorValue_.swap(lastValue_);
        floorX_.swap(lastX_);
        floorLevel_ = lastLevel_;
        haveFloor_ = true;
        dropSettled();
    }

    // The level of the last call becomes the ceiling: every later call is at
    // a level between the floor and it.
    void lowerCeiling()
    {
        if (!prunable_ || lastBestValue_ <= 0)
            return;
        const int i = lastBest_ - from_;
        const double x = std::exp(-lastLevel_ / points_[static_cast<std::size_t>(i)].kT);
        // No value at a shallower level is below the ceiling's best, but
        // for rounding.
        ceilingThreshold_ = lastBestValue_ - 2 * allowance(i, x);
        haveCeiling_ = true;
        dropSettled();
    }

private:
    struct Point {
        double kT, e, r, c1; // kT/q, exp(E_ref/kT), N_C/n, (q/k)^1.5 N_0
        double compensation; // the ratio term
    };

    // The value's bound at an upper bound x of a point's x, less the value.
    double allowance(int i, double x) const
    {
        const double t = x * numerator_[i] / (x * ratioR_[i] + g_);
        return (roundingAllowance * t + allowance_[i]) * scale_[i];
    }

    // Bounds a whole coarse step below the floor, for every point: one
    // straight loop the compiler can vectorise.
    void stepBounds()
    {
        boundsOneStepDeeper(points_.size(), g_, floorValue_.data(), floorX_.data(), stepFactor_.data(),
                            numerator_.data(), ratioR_.data(), compensation_.data(), allowance_.data(),
                            scale_.data(), lastValue_.data(), lastX_.data());
    }

    // Until points are dropped, without the index list.
    template <class F>
    void forEachActive(F f) const
    {
        if (active_.size() == points_.size()) {
            const int n = static_cast<int>(points_.size());
            for (int i = 0; i < n; ++i)
                f(i);
        } else {
            for (const int i : active_)
                f(i);
        }
    }

    void dropSettled()
    {
        if (!haveFloor_ || !haveCeiling_)
            return;
        std::erase_if(active_, [&](int i) { return floorValue_[i] < ceilingThreshold_; });
    }

    Analysis& a_;
    int stage_;
    double ratio_, g_;
    bool hFunction_, cached_, prunable_;
    double boundedStep_;
    int from_ = 0, to_ = -1;
    std::vector<Point> points_;
    // For the bounds, per point: exp(-step/kT) rounded up, the numerator
    // factor and N_C/n of the level term, the ratio term, its rounding
    // allowance, and the value's last factor (c1/kT or 1/kT) rounded up.
    std::vector<double> stepFactor_, numerator_, ratioR_, compensation_, allowance_, scale_;
    // Upper bounds of each point's value and x at the floor and at the last
    // level asked.
    std::vector<double> floorValue_, floorX_, lastValue_, lastX_;
    std::vector<int> active_; // the points that may still be a peak
    double floorLevel_ = 0, lastLevel_ = 0, lastBestValue_ = 0, ceilingThreshold_ = 0;
    int lastBest_ = 0;
    bool haveFloor_ = false, haveCeiling_ = false;
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
    LevelPeakSearch model(*this, stage, from, to, ratio, levelScanStep);
    // Coarse scan in 10 meV steps for the first level whose model peak is not
    // below the measured one, then bisection inside that step.
    const search::LevelFound found = search::levelForPeakTemperature(
        tp, {shallowestLevel, deepestLevel, levelScanStep, energyBisectionSteps + 1},
        [&](double level) { return model.peakTemperature(level); },
        [&](bool deeper) {
            if (deeper)
                model.lowerCeiling();
            else
                model.raiseFloor();
        });
    if (found.place != search::LevelPlace::InRange) {
        stageMessage[stage] = found.place == search::LevelPlace::Shallow ? levelShallowText : levelDeepText;
        energyLevelInRange = 0;
        return found.level;
    }
    stageMessage[stage] = levelInRangeText;
    energyLevelInRange = 1;
    return found.level;
}

int Analysis::fitBoundTowards(int stage, int direction) const
{
    if (!evaluationInputsReady(stage))
        return 0;
    const DoubleArray& h = hCurve[stage];
    const int p = evaluationPeakIndex(stage);
    const int limit = firstGridIndexAtLeast(splineTemperature[p] + 50 * direction);
    // Every 20th point away from the peak while the curve keeps falling,
    // at most 50 K; the grid start bounds the walk downwards.
    int bound = p;
    double previous = h[p];
    for (int j = p + 20 * direction; direction > 0 ? j <= limit : j >= limit && j >= 0;
         j += 20 * direction) {
        if (h[j] >= previous)
            break;
        bound = j;
        previous = h[j];
    }
    return bound;
}

int Analysis::upperFitBound(int stage) const
{
    return fitBoundTowards(stage, 1);
}

int Analysis::lowerFitBound(int stage) const
{
    return fitBoundTowards(stage, -1);
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

    // Above the curve at the range start (uncompensated model): positive
    // compensation, decades from 1e-10 until the model drops to the curve,
    // then geometric bisection inside the decade. Below it: the same on the
    // negative axis without a bound; a ratio that overflows ends the decades.
    const bool positive = h0 <= trial.value;
    search::DecadeWalk walk;
    walk.start = positive ? 1e-10 : -1e-10;
    if (positive)
        walk.bound = 0.9;
    walk.halvings = ratioBisectionSteps;
    const search::WalkResult r = search::walkDecades(walk, [&](double x) {
        if (!trial.run(x))
            return search::Trial::Out;
        const bool above = positive ? h0 < trial.value : trial.value < h0;
        return above ? search::Trial::Short : search::Trial::Past;
    });
    double t = r.ratio;
    if (r.lastOut) {
        trial.fallBack(r.inner);
        t = r.inner;
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
    search::DecadeWalk walk;
    walk.start = ratio;
    walk.bound = 0.9;
    walk.halvings = ratioBisectionSteps;
    const search::WalkResult r = search::walkDecades(walk, [&](double x) {
        if (!trial.run(x))
            return search::Trial::Out;
        return trial.value < h0 ? search::Trial::Short : search::Trial::Past;
    });
    double t = r.ratio;
    if (r.lastOut) {
        trial.fallBack(r.inner);
        t = r.inner;
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
    auto balance = [&](double x) {
        return dens / (1 + g * std::exp((level - x) / kT)) - (nc * std::exp(-x / kT) + compensating);
    };
    return nc * std::exp(-neutrality::solveFermiLevel(balance, fermiBisectionSteps) / kT);
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
    progressShow(ProgressReporter::Main, 14);
    const search::LevelFound found = search::levelByHalving(
        tp, shallowestLevel, deepestLevel, 14,
        [&](double level) { return peakTemperatureOf(stage, a, b, 0, level); },
        [&] { progressStep(ProgressReporter::Main); });
    progressClose(ProgressReporter::Main);
    trialMessage[stage] = found.place == search::LevelPlace::InRange ? levelInRangeText
                          : found.place == search::LevelPlace::Shallow ? levelShallowText
                                                                       : levelDeepText;
    energyLevelInRange = found.place == search::LevelPlace::InRange ? 1 : 0;

    if (energyLevelInRange == 1) {
        const double level = found.level;
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
