// Evaluation of density and energy level of the species behind the peak of a
// stage curve: the five candidate fitting ranges, their deviations, the
// choice, the compensation bookkeeping, and what the "Evaluation" buttons
// make of the result.
#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/PhysicalResult.h"
#include "analysis/base/Physics.h"

#include <algorithm>
#include <cmath>

namespace {

const char* const notEvaluatedText = "The density and energy level could not be evaluated.";

// Squared log misfit of the one-species concentration model against the
// smoothed concentration at j = from, from+step, ... <= to.
double concentrationMisfit(const Analysis& a, int from, int to, int step, double compensating,
                           double level, double dens)
{
    double sum = 0;
    for (int j = from; j <= to; j += step) {
        const double d = std::log10(a.singleSpeciesConcentration(j, compensating, level, dens)) -
                         std::log10(a.splineConcentration[j]);
        sum += d * d;
    }
    return sum;
}

} // namespace

void Analysis::fillSimulatedCurve(int stage)
{
    const int n = evaluationGridSize();
    if (static_cast<int>(simulatedHCurve.size()) < 4)
        simulatedHCurve.resize(4);
    DoubleArray& curve = simulatedHCurve[stage];
    curve.assign(n, 0.0);
    const double ratio = stageCompensatingDensity[stage] / density[stage];
    for (int j = 0; j < n; ++j) {
        const double v = compensatedSpeciesH(stage, ratio, energyLevel[stage], density[stage],
                                             splineConcentration[j], splineTemperature[j]);
        curve[j] = v > 0 ? v : 0.0;
    }
}

bool Analysis::fitCandidate(int stage, int start)
{
    if (!fitWithCompensation(stage, start)) {
        excitedStatesCaution = 0;
        return false;
    }
    fillSimulatedCurve(stage);
    if (stageCompensatingDensity[stage] < 0 || stage != 0 || referenceEnergy[0] <= 0) {
        excitedStatesCaution = 0;
        return true;
    }

    // H1 with a positive E_ref may have a second solution at a larger
    // compensation ratio; keep whichever reproduces the concentration better.
    const CandidateFit first{energyLevel[0], density[0], stageCompensatingDensity[0],
                             energyLevelInRange, 0, stageMessage[0]};
    firstFitCurve = simulatedHCurve[0];
    auto restoreFirst = [&] {
        energyLevel[0] = first.energyLevel;
        density[0] = first.density;
        stageCompensatingDensity[0] = first.compensatingDensity;
        energyLevelInRange = first.energyLevelInRange;
        stageMessage[0] = first.message;
        simulatedHCurve[0] = firstFitCurve;
        excitedStatesCaution = 0;
    };
    const double ratio1 = first.compensatingDensity / first.density;
    const double g = std::pow(10.0, std::trunc(std::log10(ratio1)));
    // A ratio of 0 (or an undefined one) has no decade to start from.
    if (!(g > 0) || !std::isfinite(g) || g >= 1) {
        excitedStatesCaution = 0;
        return true;
    }
    if (!fitSecondSolution(0, start, g)) {
        restoreFirst();
        return true;
    }
    fillSimulatedCurve(0);
    secondFitCurve = simulatedHCurve[0];

    const int p = evaluationPeakIndex(0);
    const double s1 = concentrationMisfit(*this, start, p, 50, first.compensatingDensity,
                                          first.energyLevel, first.density);
    const double s2 = concentrationMisfit(*this, start, p, 50, stageCompensatingDensity[0],
                                          energyLevel[0], density[0]);
    if (s1 > s2) {
        excitedStatesCaution = 1;
    } else {
        restoreFirst();
    }
    return true;
}

int Analysis::flankStartIndex(int stage) const
{
    if (!evaluationInputsReady(stage))
        return 0;
    const DoubleArray& h = hCurve[stage];
    const int p = evaluationPeakIndex(stage);
    int j = p - 100 <= 0 ? p - 20 : p - 100;
    double previous = h[p];
    while (j >= 0 && h[j] < previous && h[j] > 0) {
        previous = h[j];
        --j;
    }
    return j < 0 ? 0 : j + 1;
}

std::array<int, 5> Analysis::candidateStartIndices(int stage) const
{
    std::array<int, 5> starts{};
    if (!evaluationInputsReady(stage))
        return starts;
    const int f = flankStartIndex(stage);
    const double tf = splineTemperature[f];
    const double step = 0.2 * (splineTemperature[evaluationPeakIndex(stage)] - tf);
    for (int i = 0; i < 5; ++i)
        starts[i] = firstGridIndexAtLeast(tf + i * step);
    return starts;
}

double Analysis::deviationOf(int stage, int candidate, int start, int flankStart) const
{
    if (!evaluationInputsReady(stage) || candidate < 0 || candidate > 4 ||
        static_cast<int>(candidateCurves.size()) <= candidate)
        return NAN;
    const DoubleArray& h = hCurve[stage];
    const DoubleArray& sim = candidateCurves[candidate];
    const int p = evaluationPeakIndex(stage);
    const int s = (p - flankStart) / 5;
    // A stage whose peak lies below an earlier one: only the fixed range
    // right under the peak is comparable across candidates.
    const bool belowEarlierPeak =
        (stage == 1 && peakIndex[1] < peakIndex[0]) ||
        (stage == 2 && peakIndex[2] < std::max(peakIndex[0], peakIndex[1]));
    int from;
    double divisor;
    if (belowEarlierPeak) {
        from = p - 5 * s;
        divisor = 5.0 * s;
    } else {
        from = start - s * candidate / 4;
        divisor = static_cast<double>(p - from);
    }
    from = std::max(from, 0);
    const int last = std::min({p, static_cast<int>(h.size()) - 1, static_cast<int>(sim.size()) - 1});
    double sum = 0, squares = 0;
    for (int j = from; j <= last; ++j) {
        const double d = h[j] - sim[j];
        sum += d;
        squares += d * d;
    }
    const EvaluationType type = evaltype::of(evaluationType); // any other text: Type-B
    if (type == EvaluationType::A)
        return std::fabs(sum) / divisor;
    const double typeB = std::sqrt(squares) / divisor;
    if (type == EvaluationType::C)
        return typeB / (5 - candidate);
    if (type == EvaluationType::D)
        return typeB / ((5 - candidate) * (5 - candidate));
    return typeB;
}

int Analysis::chooseCandidate() const
{
    int best = -1;
    for (int i = 0; i < 5; ++i) {
        const double d = candidateDeviation[i];
        if (!(d >= 0 && d < 1e300))
            continue;
        if (best < 0 || d < candidateDeviation[best])
            best = i;
    }
    return best;
}

bool Analysis::evaluateStage(int stage)
{
    lastError.clear();
    const int n = evaluationGridSize();
    if (!evaluationInputsReady(stage) || peakIndex[stage] < 0 || peakIndex[stage] >= n) {
        lastError = notEvaluatedText;
        return false;
    }
    lowestThermalEnergy = phys::thermalEnergy(splineTemperature[0]);
    const int f = flankStartIndex(stage);
    const std::array<int, 5> starts = candidateStartIndices(stage);

    if (compensationFixed == 0) {
        const int entryStage = compensationStage;
        const double entryCompensation = compensatingDensity;
        excitedStatesCaution = 0;
        progressShow(ProgressReporter::Main, 11);
        progressShow(ProgressReporter::Detailed, 23);
        candidateDeviation.fill(0);
        candidateCurves.assign(5, DoubleArray{});
        std::array<CandidateFit, 5> fits{};

        for (int i = 0; i < 5; ++i) {
            progressStep(ProgressReporter::Main);
            if (!fitCandidate(stage, starts[i])) {
                candidateDeviation[i] = -1;
                fits[i].energyLevelInRange = energyLevelInRange;
                energyLevelInRange = 1;
                continue;
            }
            CandidateFit& c = fits[i];
            c.energyLevel = energyLevel[stage];
            c.density = density[stage];
            c.compensatingDensity = stageCompensatingDensity[stage];
            c.energyLevelInRange = energyLevelInRange;
            c.excitedStatesCaution = excitedStatesCaution;
            c.message = stageMessage[stage];
            DoubleArray& curve = candidateCurves[i];
            curve.assign(n, 0.0);
            const double ratio = c.compensatingDensity / c.density;
            for (int j = 0; j < n; ++j)
                curve[j] = compensatedSpeciesH(stage, ratio, c.energyLevel, c.density,
                                               splineConcentration[j], splineTemperature[j]);
        }

        bool anyCaution = false;
        for (const CandidateFit& c : fits)
            anyCaution = anyCaution || c.excitedStatesCaution == 1;
        const bool byConcentration = stage == 0 && anyCaution && referenceEnergy[0] > 0;
        const int p = peakIndex[stage];
        for (int i = 0; i < 5; ++i) {
            progressStep(ProgressReporter::Main);
            if (candidateDeviation[i] == -1)
                continue;
            candidateDeviation[i] =
                byConcentration
                    ? concentrationMisfit(*this, starts[0], p, 2, fits[i].compensatingDensity,
                                          fits[i].energyLevel, fits[i].density)
                    : deviationOf(stage, i, starts[i], f);
        }
        progressClose(ProgressReporter::Main);
        progressClose(ProgressReporter::Detailed);
        excitedStatesCaution = 0;

        const int winner = chooseCandidate();
        // Without automatic E_ref every candidate with a positive N_com fixed
        // the compensation as it went, so the value in use is the last such
        // candidate's. Only the chosen candidate may fix it.
        if (compensationFixed == 1) {
            if (winner >= 0 && fits[winner].compensatingDensity > 0) {
                compensatingDensity = fits[winner].compensatingDensity;
            } else {
                compensationFixed = 0;
                compensationStage = entryStage;
                compensatingDensity = entryCompensation;
            }
        }
        if (winner < 0) {
            energyLevelInRange = 0;
            if (stage == 1 && stageCompensatingDensity[0] < 0 && recalculationRequested == 0) {
                // Calculate H2 again with the (negative) H1 compensation
                // instead; the caller announces that, not a failure.
                recalculationRequested = 1;
                compensationFixed = 1;
                compensationStage = 0;
                return false;
            }
            lastError = notEvaluatedText;
            return false;
        }
        const CandidateFit& w = fits[winner];
        excitedStatesCaution = w.excitedStatesCaution;
        energyLevel[stage] = w.energyLevel;
        density[stage] = w.density;
        stageCompensatingDensity[stage] = w.compensatingDensity;
        // The message has to describe the winner, not the last candidate tried.
        stageMessage[stage] = w.message;
        if (static_cast<int>(simulatedHCurve.size()) < 4)
            simulatedHCurve.resize(4);
        simulatedHCurve[stage] = candidateCurves[winner];
        checkTemperature[stage] = splineTemperature[starts[winner]];
        fitStartIndex[stage] = starts[winner];
        energyLevelInRange = w.energyLevelInRange;
    }

    return settleCompensation(stage);
}

bool Analysis::settleCompensation(int stage)
{
    if (stage < 0 || stage > 3) {
        lastError = notEvaluatedText;
        return false;
    }
    if (compensationFixed == 1 && compensationStage <= stage) {
        if (!fitPeakPosition(stage)) {
            lastError = notEvaluatedText;
            return false;
        }
        const int n = evaluationGridSize();
        for (CurveSet* set : {&trialHCurve, &simulatedHCurve})
            if (static_cast<int>(set->size()) < 4)
                set->resize(4);
        DoubleArray& trial = trialHCurve[stage];
        trial.assign(n, 0.0);
        for (int j = 0; j < n; ++j) {
            const double v = speciesH(stage, trialEnergyLevel[stage], trialDensity[stage],
                                      splineConcentration[j], splineTemperature[j]);
            trial[j] = v > 0 ? v : 0.0;
        }
        simulatedHCurve[stage] = trial;
        stageCompensatingDensity[stage] = 0;
    } else if (compensationFixed == 1) {
        // Fixed by a later stage: this stage keeps its results.
    } else if (stageCompensatingDensity[stage] > 0) {
        compensationStage = stage;
        compensationFixed = 1;
        compensatingDensity = stageCompensatingDensity[stage];
    } else if (stage >= 1) {
        // A negative compensation is taken only when two stages point to it:
        // the second negative E_ref, else the second negative N_com.
        auto fixAtSecond = [&](auto isNegative) {
            int count = 0;
            for (int j = 0; j <= stage; ++j) {
                if (isNegative(j) && ++count == 2) {
                    compensationFixed = 1;
                    compensationStage = j;
                    compensatingDensity = stageCompensatingDensity[j];
                    return true;
                }
            }
            return false;
        };
        if (!fixAtSecond([&](int j) { return referenceEnergy[j] < 0; }))
            fixAtSecond([&](int j) { return stageCompensatingDensity[j] < 0; });
    }
    return true;
}

// ---- what the "Evaluation" buttons make of the result --------------------------

Analysis::EvaluationOutcome Analysis::runEvaluation(int stage)
{
    static const char* const failureTexts[] = {
        "First density and energy level could not be evaluated.",
        "Second density and energy level could not be evaluated.",
        "Third density and energy level could not be evaluated.",
        "Fourth density and energy level could not be evaluated.",
    };
    EvaluationOutcome out;
    const bool ok = evaluateStage(stage);
    const int slot = std::clamp(stage, 0, 3);

    if (ok && energyLevelInRange == 1 && !physicalResult(stage)) {
        // A negative or non-finite density, or a level outside 1 .. 1500 meV,
        // is no evaluated result: it must not be saved or simulated.
        out.messages.push_back({true, physical::noPhysicalResult(physical::problem(
                                          {{density[slot], energyLevel[slot]}}, stageCompensatingDensity[slot])) +
                                          " Try another smoothness of the spline."});
        out.messages.push_back({true, failureTexts[slot]});
        density[slot] = energyLevel[slot] = stageCompensatingDensity[slot] = 0;
        if (slot < static_cast<int>(simulatedHCurve.size()))
            simulatedHCurve[slot].clear();
        out.kind = EvaluationOutcome::Kind::Failed;
        return out;
    }
    if (ok && energyLevelInRange == 1) {
        out.kind = EvaluationOutcome::Kind::Evaluated;
        out.warnings = plausibilityWarnings(stage);
        if (stage == 0)
            resetStage2();
        if (stage <= 1)
            resetStage3();
        resetSimulation();
        out.densityText = numfmt::density(density[slot]);
        out.energyText = numfmt::energy(energyLevel[slot]);
        out.compensatingText = numfmt::density(stageCompensatingDensity[slot]);
        out.showCaution = stage == 0 && excitedStatesCaution == 1;
        out.levelBelowLowestThermalEnergy = energyLevel[slot] < lowestThermalEnergy;
        return out;
    }
    if (ok) {
        out.kind = EvaluationOutcome::Kind::LevelOutOfRange;
        out.messages.push_back({true, stageMessage[slot]});
        out.densityText = out.energyText = out.compensatingText = "0";
        return out;
    }
    if (!lastError.empty())
        out.messages.push_back({true, lastError});
    if (stage == 1 && recalculationRequested == 1) {
        out.kind = EvaluationOutcome::Kind::RecalculationRequested;
        compensatingDensity = stageCompensatingDensity[0];
        out.messages.push_back({false, "Calculation of reasonable H2 is carried out again."});
        return out;
    }
    out.kind = EvaluationOutcome::Kind::Failed;
    out.messages.push_back({true, failureTexts[slot]});
    return out;
}

bool Analysis::physicalResult(int stage) const
{
    if (stage < 0 || stage > 3)
        return false;
    return physical::problem({{density[stage], energyLevel[stage]}}, stageCompensatingDensity[stage]).empty();
}

std::vector<OutcomeMessage> Analysis::plausibilityWarnings(int stage) const
{
    static const char* const ordinal[] = {"first", "second", "third", "fourth"};
    std::vector<OutcomeMessage> warnings;
    if (stage < 0 || stage > 3)
        return warnings;
    // The measured points the spline was fitted to.
    double largest = 0, lowestT = 0;
    bool any = false;
    const int n = std::min({dataCount, static_cast<int>(temperature.size()),
                            static_cast<int>(concentration.size()), static_cast<int>(reliability.size())});
    for (int i = 0; i < n; ++i) {
        if (!(reliability[i] > 0))
            continue;
        largest = std::max(largest, concentration[i]);
        lowestT = any ? std::min(lowestT, temperature[i]) : temperature[i];
        any = true;
    }
    if (!any)
        return warnings;
    const std::string which = ordinal[stage];
    if (density[stage] > 100 * largest)
        warnings.push_back({false, "Warning: the density of the " + which + " species (" +
                           numfmt::density(density[stage]) +
                           " cm^-3) is more than 100 times the largest measured concentration (" +
                           numfmt::density(largest) +
                           " cm^-3). The result depends on the smoothness of the spline; try "
                           "another smoothness before relying on it."});
    const double threeKT = 3 * phys::thermalEnergy(lowestT);
    if (energyLevel[stage] < threeKT)
        warnings.push_back({false, "Warning: the energy level of the " + which + " species (" +
                           numfmt::energy(energyLevel[stage]) +
                           " eV) is below 3 kT at the lowest measured temperature (" +
                           numfmt::general(lowestT) + " K, 3 kT = " + numfmt::energy(threeKT) +
                           " eV). The data hardly determine a level this shallow."});
    return warnings;
}

std::vector<std::pair<double, double>> Analysis::redLinePoints(int stage) const
{
    std::vector<std::pair<double, double>> points;
    if (stage < 0 || stage > 3 || static_cast<int>(hCurve.size()) <= stage ||
        static_cast<int>(simulatedHCurve.size()) <= stage || hCurve[stage].empty())
        return points;
    const DoubleArray& black = hCurve[stage];
    const auto [lo, hi] = std::minmax_element(black.begin(), black.end());
    const DoubleArray& red = simulatedHCurve[stage];
    const int n = std::min(static_cast<int>(red.size()), evaluationGridSize());
    for (int j : indicesStrictlyBetween(red, *lo, *hi))
        if (j < n)
            points.emplace_back(splineTemperature[j], red[j]);
    return points;
}

bool Analysis::applyEvaluationAgain(int stage)
{
    if (stage < 1 || stage > 3)
        return false;
    compensationFixed = 1;
    compensationStage = stage - 1;
    compensatingDensity = stageCompensatingDensity[stage - 1];
    return true;
}

void Analysis::setNegativeCompensation(bool use)
{
    if (use) {
        compensationStage = 0;
        compensationFixed = 1;
        compensatingDensity = stageCompensatingDensity[0];
    } else {
        compensationStage = -1;
        compensationFixed = 0;
        compensatingDensity = 0;
    }
}
