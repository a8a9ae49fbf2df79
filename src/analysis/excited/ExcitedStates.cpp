// The excited-states evaluation of the H1 species and its two result files.
#include "analysis/excited/ExcitedStates.h"

#include "analysis/base/Neutrality.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/PhysicalResult.h"
#include "analysis/base/Physics.h"
#include "analysis/base/Search.h"
#include "analysis/base/TextFile.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <sstream>

namespace {

const char* const notEvaluatedText = "The density and energy level could not be evaluated.";
const char* const firstNotEvaluatedText = "First density and energy level could not be evaluated.";
const char* const levelInRangeText = "The energy level is between 1 meV and 1500 meV";
const char* const levelShallowText = "The energy level might be shallower than 1 meV";
const char* const levelDeepText = "The energy level might be deeper than 1500 meV";
const char* const hyphenLine = "% ------------------------------------------------------------ ";

constexpr double rydberg = 13.6;           // eV
constexpr double shallowestLevel = 0.001;  // eV
constexpr double deepestLevel = 1.5;       // eV
constexpr double levelScanStep = 0.01;     // eV
constexpr int levelBisectionSteps = 31;
constexpr int ratioBisectionSteps = 11;
constexpr int fermiBisectionSteps = 30;

double rowValue(const DoubleArray& values, std::size_t j)
{
    return j < values.size() ? values[j] : 0.0;
}

// A title between two hyphen lines.
void putSection(std::ostream& out, const std::string& title)
{
    textfile::putLine(out, hyphenLine);
    textfile::putLine(out, title);
    textfile::putLine(out, hyphenLine);
}

// Excited levels 1..count-1 of `levels`, one line each.
void putExcitedLevels(std::ostream& out, const DoubleArray& levels, int count)
{
    for (int r = 1; r < count; ++r)
        textfile::putLine(out, "% " + std::to_string(r) + " Excited state energy [eV]: " +
                                   numfmt::general(rowValue(levels, static_cast<std::size_t>(r))));
}

// The three results lines under a section title.
void putResults(std::ostream& out, const std::string& title, double density, double level, double compensating)
{
    putSection(out, title);
    textfile::putLine(out, "% Density [cm^-3]: " + numfmt::general(density));
    textfile::putLine(out, "% Energy level [eV]: " + numfmt::general(level));
    textfile::putLine(out, "% Compensating density [cm^-3]: " + numfmt::general(compensating));
}

} // namespace

// ---- the distribution function ---------------------------------------------

void ExcitedStates::computeExcitedLevels()
{
    const int R = std::max(levelCount, 1);
    excitedLevels.assign(static_cast<std::size_t>(R), 0.0);
    const double m = a_.effectiveMass, eps = a_.dielectricConstant;
    excitedLevels[0] = rydberg * m / eps / eps;
    for (int r = 2; r <= R; ++r)
        excitedLevels[r - 1] = rydberg * m / eps / eps / r / r + levelShift * 0.001;
}

double ExcitedStates::averageExcitationEnergy(double kT, double dE) const
{
    const int R = std::min(levelCount, static_cast<int>(excitedLevels.size()));
    double weighted = 0, sum = 0;
    for (int r = 2; r <= R; ++r) {
        const double level = excitedLevels[r - 1];
        const double w = std::exp(-(dE - level) / kT);
        weighted += r * r * (dE - level) * w;
        sum += r * r * w;
    }
    return weighted / (1 + sum);
}

double ExcitedStates::ionisationDenominator(double kT, double fermi, double dE) const
{
    const int R = std::min(levelCount, static_cast<int>(excitedLevels.size()));
    // The excited terms first, then the ground term: the sum as written.
    double excited = 0;
    for (int r = 2; r <= R; ++r)
        excited += r * r * std::exp((excitedLevels[r - 1] - fermi) / kT);
    const double Z = std::exp((dE - fermi) / kT) + excited;
    const double g = a_.degeneracyFactor[0];
    return 1 + g * std::exp(-averageExcitationEnergy(kT, dE) / kT) * Z;
}

double ExcitedStates::reducedOccupancy(double kT, double fermi, double dE) const
{
    return std::exp((dE - fermi) / kT) / ionisationDenominator(kT, fermi, dE);
}

double ExcitedStates::simulatedH1(double x, double dE, double N, double n, double T) const
{
    const double kT = phys::thermalEnergy(T);
    const double X = std::exp(a_.referenceEnergy[0] / kT);
    const double Nc = a_.dos0 * std::pow(T, 1.5);
    const double rho = Nc / n;
    const double fermi = kT * std::log(rho);
    const double F = reducedOccupancy(kT, fermi, dE);
    const double A = std::pow(phys::q / phys::k, 1.5) * a_.dos0;
    return (N * std::exp(-dE / kT) * X * F - N * x * X / rho) * A / kT;
}

double ExcitedStates::simulatedPeakTemperature(double x, double dE, int ja, int jb) const
{
    const int M = gridSize();
    if (M == 0)
        return 0;
    ja = std::clamp(ja, 0, M - 1);
    jb = std::min(jb, M - 1);
    double largest = 0, result = a_.splineTemperature[ja];
    for (int j = ja; j <= jb; ++j) {
        const double v = simulatedH1(x, dE, 1, a_.splineConcentration[j], a_.splineTemperature[j]);
        if (v > largest) {
            largest = v;
            result = a_.splineTemperature[j];
        }
    }
    return result;
}

double ExcitedStates::levelFromPeakTemperature(double x, int ja, int jb)
{
    const double Tpk = a_.splineTemperature[peakIndex()];
    if (cached_) {
        prepareCompensationTerms(x, ja, jb);
        startLevelSearch(x, ja, jb);
    }
    const search::LevelFound found = search::levelForPeakTemperature(
        Tpk, {shallowestLevel, deepestLevel, levelScanStep, levelBisectionSteps},
        [&](double level) { return peakTemperature(x, level, ja, jb); },
        [&](bool deeper) {
            if (!cached_)
                return;
            if (deeper)
                lowerCeiling();
            else
                raiseFloor();
        });
    levelInRange = found.place == search::LevelPlace::InRange;
    rangeMessage = levelInRange ? levelInRangeText
                   : found.place == search::LevelPlace::Shallow ? levelShallowText
                                                                : levelDeepText;
    return found.level;
}

// ---- grid ranges ------------------------------------------------------------

int ExcitedStates::gridSize() const
{
    std::size_t n = std::min(a_.splineTemperature.size(), a_.splineConcentration.size());
    n = std::min(n, static_cast<std::size_t>(std::max(a_.splineCount, 0)));
    if (a_.hCurve.empty())
        return 0;
    return static_cast<int>(std::min(n, a_.hCurve[0].size()));
}

int ExcitedStates::peakIndex() const
{
    return std::clamp(a_.peakIndex[0], 0, std::max(gridSize() - 1, 0));
}

bool ExcitedStates::inputsReady() const
{
    return gridSize() > 0 && a_.peakIndex[0] >= 0 && a_.peakIndex[0] < gridSize() && a_.dos0 > 0;
}

namespace {
int firstIndexAtLeast(const DoubleArray& T, int M, double value)
{
    for (int j = 0; j < M; ++j)
        if (T[j] >= value)
            return j;
    return M - 1;
}
} // namespace

int ExcitedStates::peakSearchEnd() const
{
    const int M = gridSize(), p = peakIndex();
    const DoubleArray& H = a_.hCurve[0];
    const int limit = firstIndexAtLeast(a_.splineTemperature, M, a_.splineTemperature[p] + 50);
    int j = p + 20;
    double h = H[p];
    while (j <= limit && H[j] < h) {
        h = H[j];
        j += 20;
    }
    return j - 20;
}

int ExcitedStates::fitRangeStart() const
{
    const int p = peakIndex();
    const DoubleArray& H = a_.hCurve[0];
    int j = p - 100 > 0 ? p - 100 : p - 20;
    double h = H[p];
    while (j >= 0 && H[j] < h && H[j] > 0) {
        h = H[j];
        --j;
    }
    return j >= 0 ? j + 1 : 0;
}

ExcitedStates::CheckPoints ExcitedStates::checkPoints() const
{
    CheckPoints c;
    const int M = gridSize();
    c.start = fitRangeStart();
    const double Ts = a_.splineTemperature[c.start];
    const double step = 0.2 * (a_.splineTemperature[peakIndex()] - Ts);
    c.first = firstIndexAtLeast(a_.splineTemperature, M, Ts + 1 * step);
    c.second = firstIndexAtLeast(a_.splineTemperature, M, Ts + 2 * step);
    return c;
}

// ---- the evaluation -----------------------------------------------------------

bool ExcitedStates::evaluateAtCheckPoint(int jc)
{
    using Bar = ProgressReporter::Bar;
    a_.progressShow(Bar::Detailed, 23);
    if (useCaches)
        prepareTerms();
    cached_ = useCaches;
    struct CacheScope {
        bool& flag;
        ~CacheScope() { flag = false; }
    } scope{cached_};
    const int p = peakIndex(), jb = peakSearchEnd();
    const double Tpk = a_.splineTemperature[p], Hpk = a_.hCurve[0][p];
    const double npk = a_.splineConcentration[p];
    const double Tc = a_.splineTemperature[jc], nc = a_.splineConcentration[jc];
    const double Hc = a_.hCurve[0][jc];

    double level = 0;
    // The level for ratio x, then the simulated H1 at the check point of the
    // species scaled to the measured peak value.
    auto levelAt = [&](double x) { level = levelFromPeakTemperature(x, jc, jb); };
    auto S = [&](double x) {
        const double N = Hpk / simulatedH1(x, level, 1, npk, Tpk);
        return simulatedH1(x, level, N, nc, Tc);
    };
    auto fail = [&] {
        messages.push_back({true, notEvaluatedText});
        return false;
    };

    levelAt(0);
    a_.progressStep(Bar::Detailed);
    if (!levelInRange)
        return fail();

    // The measured H1 above the uncompensated curve: a negative ratio.
    const bool negative = Hc > S(0);
    search::DecadeWalk walk;
    walk.start = negative ? -1e-10 : 1e-10;
    if (!negative)
        walk.bound = 0.9;
    walk.maxDecades = decadeLimit;
    walk.halvings = ratioBisectionSteps;
    const search::WalkResult r = search::walkDecades(walk, [&](double x) {
        levelAt(x);
        a_.progressStep(Bar::Detailed);
        if (!levelInRange)
            return search::Trial::Out;
        const bool short_ = negative ? Hc > S(x) : Hc < S(x);
        return short_ ? search::Trial::Short : search::Trial::Past;
    });
    if (r.failed)
        return fail();
    double x = r.ratio;
    if (r.lastOut) {
        x = r.inner;
        levelAt(x);
    }
    dopantLevel = level;
    dopantDensity = Hpk / simulatedH1(x, dopantLevel, 1, npk, Tpk);
    dopantCompensatingDensity = x * dopantDensity;
    // A result that is not a number is no result.
    if (!std::isfinite(dopantLevel) || !std::isfinite(dopantDensity) ||
        !std::isfinite(dopantCompensatingDensity))
        return fail();
    return true;
}

template <class LevelFor> bool ExcitedStates::runTrials(int count, int progressMaximum, LevelFor levelFor)
{
    using Bar = ProgressReporter::Bar;
    if (!inputsReady()) {
        levelInRange = false;
        messages.push_back({true, notEvaluatedText});
        return false;
    }
    const CheckPoints cp = checkPoints();
    const int M = gridSize(), p = peakIndex();
    const DoubleArray& H = a_.hCurve[0];
    a_.progressShow(Bar::Main, progressMaximum);
    a_.progressShow(Bar::Detailed, 23);
    for (int o = 0; o < count; ++o)
        trialDeviation[o] = 0;
    trialCurves.assign(trialCount, DoubleArray());
    clearLevelTerms(); // the grid may have changed since the last evaluation
    scanKey_.clear();
    std::array<TrialResult, trialCount> results{};

    for (int o = 0; o < count; ++o) {
        a_.progressStep(Bar::Main, 2);
        levelCount = levelFor(o);
        computeExcitedLevels();
        if (!evaluateAtCheckPoint(o % 2 == 0 ? cp.first : cp.second)) {
            trialDeviation[o] = -1;
            continue;
        }
        results[o] = {dopantLevel, dopantDensity, dopantCompensatingDensity, levelInRange};
        DoubleArray& curve = trialCurves[o];
        curve.resize(static_cast<std::size_t>(M));
        const double x = dopantCompensatingDensity / dopantDensity;
        for (int j = 0; j < M; ++j)
            curve[j] = simulatedH1(x, dopantLevel, dopantDensity, a_.splineConcentration[j],
                                   a_.splineTemperature[j]);
    }

    for (int o = 0; o < count; ++o) {
        a_.progressStep(Bar::Main, 1);
        if (trialDeviation[o] == -1)
            continue;
        int K = 0;
        double sum = 0;
        for (int j = cp.start; j <= p; j += 2) {
            const double v = trialCurves[o][j];
            if (v > 0) {
                ++K;
                sum += (v - H[j]) * (v - H[j]);
            }
        }
        trialDeviation[o] = std::sqrt(sum) / K; // not a number when K = 0: never chosen
    }

    std::array<double, trialCount> deviation;
    deviation.fill(-1);
    std::copy(trialDeviation.begin(), trialDeviation.begin() + count, deviation.begin());
    const int chosen = chooseTrial(deviation);
    if (chosen < 0) {
        levelInRange = false;
        messages.push_back({true, notEvaluatedText});
        a_.progressClose(Bar::Main);
        a_.progressClose(Bar::Detailed);
        return false;
    }
    const TrialResult& best = results[chosen];
    dopantLevel = best.level;
    dopantDensity = best.density;
    dopantCompensatingDensity = best.compensating;
    levelInRange = best.inRange;
    simulatedH1Curve = trialCurves[chosen];
    levelCount = levelFor(chosen);
    a_.progressClose(Bar::Main);
    a_.progressClose(Bar::Detailed);
    return true;
}

bool ExcitedStates::evaluateExcitedStates()
{
    return runTrials(trialCount, 54, [](int o) { return 2 + o / 2; });
}

bool ExcitedStates::evaluatePrecise(int r)
{
    if (r < 1) {
        messages.push_back({true, "The value of r should be a positive number."});
        return false;
    }
    if (r > maxHighestLevel) {
        messages.push_back({true, "The value of r should not be larger than " + std::to_string(maxHighestLevel) + "."});
        return false;
    }
    return runTrials(2, 6, [r](int) { return r; });
}

void ExcitedStates::simulateExcitedStates()
{
    const int M = gridSize();
    excitedConcentration.assign(static_cast<std::size_t>(M), 0.0);
    excitedFermiLevel.assign(static_cast<std::size_t>(M), 0.0);
    for (int j = 0; j < M; ++j) {
        const double T = a_.splineTemperature[j];
        const double kT = phys::thermalEnergy(T);
        const double Nc = a_.dos0 * std::pow(T, 1.5);
        auto balance = [&](double E) {
            return dopantDensity / ionisationDenominator(kT, E, dopantLevel) -
                   (Nc * std::exp(-E / kT) + dopantCompensatingDensity);
        };
        const double E = neutrality::solveFermiLevel(balance, fermiBisectionSteps);
        excitedFermiLevel[j] = E;
        excitedConcentration[j] = Nc * std::exp(-E / kT);
    }
}

void ExcitedStates::simulateFermiDirac()
{
    const int M = std::min({std::max(a_.splineCount, 0), static_cast<int>(a_.splineTemperature.size())});
    fermiDiracConcentration.assign(static_cast<std::size_t>(M), 0.0);
    fermiDiracFermiLevel.assign(static_cast<std::size_t>(M), 0.0);
    a_.progressShow(ProgressReporter::Main, M);
    const double g = a_.degeneracyFactor[0];
    for (int j = 0; j < M; ++j) {
        a_.progressStep(ProgressReporter::Main);
        const double T = a_.splineTemperature[j];
        const double kT = phys::thermalEnergy(T);
        const double Nc = a_.dos0 * std::pow(T, 1.5);
        auto balance = [&](double E) {
            return densityH1 / (1 + g * std::exp((energyLevelH1 - E) / kT)) -
                   (compensatingDensityH1 + Nc * std::exp(-E / kT));
        };
        const double E = neutrality::solveFermiLevel(balance, fermiBisectionSteps);
        fermiDiracFermiLevel[j] = E;
        fermiDiracConcentration[j] = Nc * std::exp(-E / kT);
    }
    a_.progressClose(ProgressReporter::Main);
}

// ---- the window's operations ----------------------------------------------------

void ExcitedStates::clear()
{
    excitedLevels.clear();
    trialCurves.clear();
    trialDeviation.fill(0);
    simulatedH1Curve.clear();
    excitedConcentration.clear();
    excitedFermiLevel.clear();
    fermiDiracConcentration.clear();
    fermiDiracFermiLevel.clear();
    messages.clear();
    terms_.clear();
    levelTerms_.clear();
    spare_.clear();
    scanKey_.clear();
}

void ExcitedStates::prepare()
{
    clear();
    trialCurves.assign(trialCount, DoubleArray());
    levelShift = 0;
    preciseMode = false;
    levelCount = 2;
    dopantLevel = dopantDensity = dopantCompensatingDensity = 0;
    levelInRange = false;
    rangeMessage.clear();
    densityH1 = a_.density[0];
    energyLevelH1 = a_.energyLevel[0];
    compensatingDensityH1 = a_.stageCompensatingDensity[0];
    simulateFermiDirac();
}

ExcitedStates::EvaluationOutcome ExcitedStates::evaluate(double dielectricConstant)
{
    EvaluationOutcome out;
    a_.dielectricConstant = dielectricConstant;
    messages.clear();
    if (preciseMode && (highestLevel < 1 || highestLevel > maxHighestLevel)) {
        evaluatePrecise(highestLevel); // refused with its message
        out.messages = messages;
        return out;
    }
    out.evaluated = preciseMode ? evaluatePrecise(highestLevel) : evaluateExcitedStates();
    if (!out.evaluated) {
        messages.push_back({true, firstNotEvaluatedText});
    } else if (levelInRange) {
        if (const std::string bad = physical::problem({{dopantDensity, dopantLevel}}, dopantCompensatingDensity);
            !bad.empty()) {
            levelInRange = false;
            messages.push_back({true, physical::noPhysicalResult(bad)});
            out.messages = messages;
            return out;
        }
        simulateExcitedStates();
        out.inRange = true;
        if (const int left = excRowsLeftOut(); left > 0)
            messages.push_back({false, std::to_string(left) + " of the " + std::to_string(std::max(a_.splineCount, 0)) +
                                           " grid points cannot be computed with the excited states (the "
                                           "numbers overflow there) and are left out of the *.exc file."});
    } else {
        messages.push_back({true, rangeMessage});
    }
    out.messages = messages;
    return out;
}

std::string ExcitedStates::densityText() const { return numfmt::density(dopantDensity); }
std::string ExcitedStates::energyLevelText() const { return numfmt::energy(dopantLevel); }
std::string ExcitedStates::compensatingDensityText() const
{
    return numfmt::density(dopantCompensatingDensity);
}

// ---- files -----------------------------------------------------------------------

std::string ExcitedStates::simNProposal() const
{
    return Analysis::replaceExtension(a_.fermiLevelFileName, ".simN");
}

std::string ExcitedStates::excProposal() const
{
    return Analysis::replaceExtension(a_.fermiLevelFileName, ".exc");
}

std::string ExcitedStates::headerText(const std::string& title, const std::vector<std::string>& modelLines,
                                      const std::vector<std::pair<std::string, std::string>>& fileLines) const
{
    HeaderOptions h = HeaderOptions::onFermiLevel(title, a_.fermiLevelFileName, false);
    h.modelLines = modelLines;
    h.ownFileLines = fileLines;
    h.sampleGroup = true;
    h.splineGroup = true;
    h.materialGroup = true;
    std::ostringstream block;
    a_.writeHeaderBlock(block, h);
    return block.str();
}

std::string ExcitedStates::conditionsText() const
{
    using numfmt::general;
    using textfile::putLine;
    std::ostringstream out;
    const int M = gridSize();
    const int p = std::clamp(a_.peakIndex[0], 0, std::max(M - 1, 0));
    const double Tpk = M > 0 ? a_.splineTemperature[p] : 0;
    const double Hpk = M > 0 ? a_.hCurve[0][p] : 0;
    putSection(out, "% Conditions for analysis of H1 ");
    putLine(out, "% E_ref for H1 [eV]: " + general(a_.referenceEnergy[0]));
    putLine(out, "% Peak temperature of H1 [K]: " + general(Tpk));
    putLine(out, "% Peak value of H1 [cm^-6 eV^-2.5]: " + general(Hpk));
    putLine(out, "% Degeneracy factor for H1: " + general(a_.degeneracyFactor[0]));
    putLine(out, "% Check temperature of H1 [K]: " + general(a_.checkTemperature[0]));
    return out.str();
}

// The excited levels and the results (the *.exc and *.sie files; the *.sie
// file writes its shift label with a semicolon).
std::string ExcitedStates::energiesText(char shiftSeparator) const
{
    using numfmt::general;
    using textfile::putLine;
    std::ostringstream out;
    putSection(out, "% Energies of the excited states");
    putLine(out, "% Ground state energy without core corrections [eV]: " + general(rowValue(excitedLevels, 0)));
    putLine(out, std::string("% Shift of excited state level from Ev [eV]") + shiftSeparator + " " +
                     general(levelShift * 0.001));
    putExcitedLevels(out, excitedLevels, levelCount);
    putResults(out, "% Obtained results with the influence of the excited states", dopantDensity, dopantLevel,
               dopantCompensatingDensity);
    return out.str();
}

std::string ExcitedStates::simNText() const
{
    using numfmt::general;
    using textfile::putLine;
    std::ostringstream out;
    out << headerText("% Simulation of Majority-Carrier Concentartion (Auto-evaluation version)",
                      {"% VORN for deep dopants", "% Function Type: H(T,Eref)=n(T)^2*exp(Eref/kT)/(kT)^2.5"},
                      {});
    out << conditionsText();
    // This file's label of the compensating density has always been spelt so.
    putSection(out, "% Obtained results with the influence of the excited states");
    putLine(out, "% Density [cm^-3]: " + general(a_.density[0]));
    putLine(out, "% Energy level [eV]: " + general(a_.energyLevel[0]));
    putLine(out, "% Compenating density [cm^-3]: " + general(a_.stageCompensatingDensity[0]));
    putLine(out, "% Temperature [K]   Simulated carrier concentration [cm^-3]   Simulated Fermi level [eV] ");
    // The simulation of the main window when it covers the grid; before it
    // has run, this window's own simulation of the same stage-1 species.
    const std::size_t grid = static_cast<std::size_t>(std::max(a_.splineCount, 0));
    const bool mainSimulation = a_.simulatedConcentration.size() >= grid && a_.simulatedFermiLevel.size() >= grid;
    const DoubleArray& n = mainSimulation ? a_.simulatedConcentration : fermiDiracConcentration;
    const DoubleArray& E = mainSimulation ? a_.simulatedFermiLevel : fermiDiracFermiLevel;
    for (std::size_t j = 0; j < grid; ++j)
        putLine(out, numfmt::g(rowValue(a_.splineTemperature, j)) + "     " + numfmt::g(rowValue(n, j)) +
                         "     " + numfmt::g(rowValue(E, j)));
    return out.str();
}

std::string ExcitedStates::excText() const
{
    using numfmt::general;
    using textfile::putLine;
    std::ostringstream out;
    out << headerText("% First Analysis (Automatic Evaluation Version " + a_.evaluationType + " )",
                      {"% VORN with consideration of infulence of excited states on majority carrier "
                       "conncentration",
                       "% With the average energy level"},
                      {{"% H1 file: ", excFileName}});
    out << conditionsText();
    out << energiesText(':');
    putLine(out, a_.isNType() ? "% T    H1(T,E_ref)      sim H1(T,E_ref)   sim n(T)    sim E_F  sim E_ex  "
                              : "% T    H1(T,E_ref)      sim H1(T,E_ref)   sim p(T)    sim E_F  sim E_ex  ");
    putLine(out, "% [K]  [cm^-6 eV^-2.5]  [cm^-6 eV^-2.5]   [cm^-3]     [eV]     [eV] ");
    const std::size_t grid = static_cast<std::size_t>(std::max(a_.splineCount, 0));
    for (std::size_t j = 0; j < grid; ++j) {
        const std::array<double, 6> row = excRow(j);
        if (!std::all_of(row.begin(), row.end(), [](double v) { return std::isfinite(v); }))
            continue; // counted by excRowsLeftOut
        std::string line;
        for (double v : row)
            line += (line.empty() ? "" : "     ") + numfmt::g(v);
        putLine(out, line);
    }
    return out.str();
}

std::array<double, 6> ExcitedStates::excRow(std::size_t j) const
{
    const DoubleArray empty;
    const DoubleArray& H = a_.hCurve.empty() ? empty : a_.hCurve[0];
    const double T = rowValue(a_.splineTemperature, j);
    return {T, rowValue(H, j), rowValue(simulatedH1Curve, j), rowValue(excitedConcentration, j),
            rowValue(excitedFermiLevel, j), averageExcitationEnergy(phys::thermalEnergy(T), dopantLevel)};
}

int ExcitedStates::excRowsLeftOut() const
{
    int left = 0;
    for (std::size_t j = 0; j < static_cast<std::size_t>(std::max(a_.splineCount, 0)); ++j) {
        const std::array<double, 6> row = excRow(j);
        left += !std::all_of(row.begin(), row.end(), [](double v) { return std::isfinite(v); });
    }
    return left;
}

FileOutcome ExcitedStates::saveSimN(const std::string& path)
{
    FileOutcome out;
    const std::string previous = simNFileName;
    simNFileName = path;
    out.ok = textfile::writeResult(path, simNText(), out.error);
    if (!out.ok)
        simNFileName = previous;
    return out;
}

FileOutcome ExcitedStates::saveExc(const std::string& path)
{
    FileOutcome out;
    if (!levelInRange || simulatedH1Curve.empty()) {
        out.error = "There are no results with the excited states to save; " + path + " was not written.";
        return out;
    }
    const std::string previous = excFileName;
    excFileName = path; // the file names itself in its header
    out.ok = textfile::writeResult(path, excText(), out.error);
    if (!out.ok)
        excFileName = previous;
    return out;
}

// ---- the development setting ------------------------------------------------------

DoubleArray ExcitedStates::displayLevels() const
{
    ExcitedStates display(a_);
    display.levelCount = 10;
    display.levelShift = levelShift;
    display.computeExcitedLevels();
    return display.excitedLevels;
}

void ExcitedStates::simulateWithEditedLevels(const std::vector<double>& ticked, double N, double dE, double Na)
{
    // Deepest first; a later equal value does not overtake an earlier one.
    std::vector<double> rest = ticked;
    simulationLevels.assign(1, 0.0);
    while (!rest.empty()) {
        std::size_t deepest = 0;
        for (std::size_t i = 1; i < rest.size(); ++i)
            if (rest[i] > rest[deepest])
                deepest = i;
        simulationLevels.push_back(rest[deepest]);
        rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(deepest));
    }
    const int q = static_cast<int>(ticked.size());
    simulationLevelCount = q + 1;
    simulationInputDensity = N;
    simulationInputLevel = dE;
    simulationInputCompensatingDensity = Na;

    const int M = std::min(std::max(a_.splineCount, 0), static_cast<int>(a_.splineTemperature.size()));
    auto h1 = [&](const DoubleArray& n, DoubleArray& H) {
        H.assign(static_cast<std::size_t>(M), 0.0);
        a_.progressShow(ProgressReporter::Main, M);
        for (int j = 0; j < M && j < static_cast<int>(n.size()); ++j) {
            a_.progressStep(ProgressReporter::Main);
            const double kT = phys::thermalEnergy(a_.splineTemperature[j]);
            H[j] = std::exp(a_.referenceEnergy[0] / kT) * n[j] * n[j] / std::pow(kT, 2.5);
        }
        a_.progressClose(ProgressReporter::Main);
    };

    ExcitedStates fermiDirac(a_);
    fermiDirac.densityH1 = N;
    fermiDirac.energyLevelH1 = dE;
    fermiDirac.compensatingDensityH1 = Na;
    fermiDirac.simulateFermiDirac();
    simulatedFermiDiracConcentration = fermiDirac.fermiDiracConcentration;
    simulatedFermiDiracFermiLevel = fermiDirac.fermiDiracFermiLevel;
    h1(simulatedFermiDiracConcentration, simulatedFermiDiracH1);

    ExcitedStates excited(a_);
    excited.levelCount = q + 1;
    excited.excitedLevels.assign(1, rowValue(excitedLevels, 0));
    excited.excitedLevels.insert(excited.excitedLevels.end(), simulationLevels.begin() + 1, simulationLevels.end());
    excited.dopantLevel = dE;
    excited.dopantDensity = N;
    excited.dopantCompensatingDensity = Na;
    excited.simulateExcitedStates();
    simulatedExcitedConcentration = excited.excitedConcentration;
    simulatedExcitedFermiLevel = excited.excitedFermiLevel;
    h1(simulatedExcitedConcentration, simulatedExcitedH1);
    simulatedAverageEnergy.assign(simulatedExcitedConcentration.size(), 0.0);
    for (std::size_t j = 0; j < simulatedAverageEnergy.size(); ++j)
        simulatedAverageEnergy[j] = excited.averageExcitationEnergy(phys::thermalEnergy(a_.splineTemperature[j]), dE);
}

std::string ExcitedStates::sieProposal() const
{
    return Analysis::replaceExtension(a_.fermiLevelFileName, ".sie");
}

std::string ExcitedStates::sieText() const
{
    using numfmt::general;
    using textfile::putLine;
    std::ostringstream out;
    out << headerText("% First Analysis (Automatic Evaluation Version " + a_.evaluationType + " )",
                      {"% VORN with consideration of infulence of excited states on majority carrier "
                       "conncentration",
                       "% With the average energy level"},
                      {{"% H1 file: ", excFileName}, {"% H1 file for Smulation: ", sieFileName}});
    out << conditionsText();
    out << energiesText(';');
    putSection(out, "% Energies of the excited states for simulation ");
    putExcitedLevels(out, simulationLevels, simulationLevelCount);
    putResults(out, "% Obtained results with the influence of the excited states for simulation ",
               simulationInputDensity, simulationInputLevel, simulationInputCompensatingDensity);
    if (a_.isNType()) {
        putLine(out, "% T    H1(T,E_ref)      sim H1(T,E_ref)   sim n(T)    sim E_F  sim E_ex  Fermi-Dirac  sim "
                     "H1T,E_ref)    sim n(T)   sim E_F ");
        putLine(out, "% [K]  [cm^-6 eV^-2.5]  [cm^-6 eV^-2.5]   [cm^-3]     [eV]     [eV]                   "
                     "[cm^-6 eV^-2.5]   [cm^-3]    [eV]    ");
    } else {
        putLine(out, "% T    H1(T,E_ref)      sim H1(T,E_ref)   sim p(T)    sim E_F  sim E_ex  Fermi-Dirac  sim "
                     "H1            sim p(T)   sim E_F ");
        putLine(out, "% [K]  [cm^-6 eV^-2.5]  [cm^-6 eV^-2.5]   [cm^-3]     [eV]     [eV]                   "
                     "[cm^-6 eV^-2.5]   [cm^-3]    [eV]     ");
    }
    const std::size_t grid = static_cast<std::size_t>(std::max(a_.splineCount, 0));
    const DoubleArray empty;
    const DoubleArray& H = a_.hCurve.empty() ? empty : a_.hCurve[0];
    for (std::size_t j = 0; j < grid; ++j) {
        std::string row = numfmt::g(rowValue(a_.splineTemperature, j));
        for (const DoubleArray* column :
             {&H, &simulatedExcitedH1, &simulatedExcitedConcentration, &simulatedExcitedFermiLevel,
              &simulatedAverageEnergy, &simulatedFermiDiracH1, &simulatedFermiDiracConcentration,
              &simulatedFermiDiracFermiLevel})
            row += "     " + numfmt::g(rowValue(*column, j));
        putLine(out, row);
    }
    return out.str();
}

FileOutcome ExcitedStates::saveSie(const std::string& path)
{
    FileOutcome out;
    if (simulatedExcitedConcentration.empty()) {
        out.error = "There is no simulation with edited levels to save; " + path + " was not written.";
        return out;
    }
    const std::string previous = sieFileName;
    sieFileName = path;
    out.ok = textfile::writeResult(path, sieText(), out.error);
    if (!out.ok)
        sieFileName = previous;
    return out;
}
