// The first species evaluated again with a distribution function that lets
// the neutral dopant occupy its hydrogen-like excited states, and the
// Fermi-Dirac comparison beside it: the numbers and files of the
// excited-states window. Qt-free: the window and vorn-batch drive the same
// object.
//
// Energies are depths below the majority band edge [eV], temperatures in K,
// densities in cm^-3. The object reads the analysis object it is given and
// writes only its own state, except `dielectricConstant` (evaluate()).
#pragma once

#include "analysis/data/Analysis.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <string>
#include <vector>

class ExcitedStates {
public:
    static constexpr int trialCount = 18;
    // The decade walks of the compensation ratio stop here (1e-10 .. 1e30):
    // a ratio beyond that is no result, and no input can make them endless.
    static constexpr int maxDecades = 40;

    explicit ExcitedStates(Analysis& analysis) : a_(analysis) {}

    // ---- state of the evaluation -------------------------------------------
    int levelCount = 2;        // R, highest level r considered
    double levelShift = 0;     // shift of the excited levels [meV]
    DoubleArray excitedLevels; // [r-1] = level r; [0] the ground state without core corrections
    double dopantLevel = 0, dopantDensity = 0, dopantCompensatingDensity = 0;
    bool levelInRange = false;
    std::string rangeMessage;
    std::vector<DoubleArray> trialCurves;
    std::array<double, trialCount> trialDeviation{};
    DoubleArray simulatedH1Curve;
    DoubleArray excitedConcentration, excitedFermiLevel;
    // Error boxes raised by the evaluation, in the order they came.
    std::vector<OutcomeMessage> messages;

    // ---- the Fermi-Dirac comparison (stage-1 results of the analysis) ------
    double densityH1 = 0, energyLevelH1 = 0, compensatingDensityH1 = 0;
    DoubleArray fermiDiracConcentration, fermiDiracFermiLevel;
    std::string simNFileName, excFileName;

    // ---- the distribution function ------------------------------------------
    // levelCount levels: 13.6 m/eps^2 for r = 1, 13.6 m/eps^2/r^2 + shift for r >= 2.
    void computeExcitedLevels();
    // Mean excitation energy of the neutral dopant above its ground level.
    double averageExcitationEnergy(double kT, double dopantLevelEv) const;
    // 1 + g exp(-E_ex/kT) Z: the ionised fraction is its inverse.
    double ionisationDenominator(double kT, double fermiLevelEv, double dopantLevelEv) const;
    double reducedOccupancy(double kT, double fermiLevelEv, double dopantLevelEv) const;
    // H1 of one species of density N and level dE with compensation x*N at a
    // grid point (T, n); may be negative.
    double simulatedH1(double x, double dE, double N, double n, double T) const;
    // Temperature of the largest positive value over grid indices ja..jb of
    // the unit-density curve (first index wins ties; T_ja when none is positive).
    double simulatedPeakTemperature(double x, double dE, int ja, int jb) const;
    // Level whose curve peaks at the measured H1 peak; sets levelInRange and
    // rangeMessage (0 when shallower than 1 meV, 1.5 when deeper than 1500 meV).
    double levelFromPeakTemperature(double x, int ja, int jb);

    // ---- grid ranges (from the measured H1) ---------------------------------
    int gridSize() const;
    int peakIndex() const;
    int peakSearchEnd() const;
    int fitRangeStart() const;
    struct CheckPoints {
        int start = 0, first = 0, second = 0; // js, jc1, jc2
    };
    CheckPoints checkPoints() const;
    // All inputs there: a grid, H1 on it, a peak inside it, positive N_0.
    bool inputsReady() const;
    // The bound of the decade walks (maxDecades; lower only to test the bound).
    int decadeLimit = maxDecades;
    // The caches and bounds of the level searches (off only to compare).
    bool useCaches = true;
    // The trial with the smallest deviation >= 0 (below 1e300); the lowest
    // index wins ties; -1 when none qualifies.
    template <std::size_t n> static int chooseTrial(const std::array<double, n>& deviation)
    {
        double bound = 1e300;
        int chosen = -1;
        for (std::size_t o = 0; o < n; ++o)
            if (deviation[o] >= 0 && deviation[o] < bound) {
                bound = deviation[o];
                chosen = static_cast<int>(o);
            }
        return chosen;
    }

    // ---- the evaluation -------------------------------------------------------
    // Density, level and compensation reproducing the measured H1 at check
    // point jc with the current levels. False (with its message) when the
    // uncompensated level is out of range, the ratio runs beyond the decade
    // bound, or a result is not a number.
    bool evaluateAtCheckPoint(int jc);
    // R = 2..10 at both check points; the trial closest to the measured H1
    // below the peak is kept (lowest trial on ties).
    bool evaluateExcitedStates();
    // n(T) and E_F(T) on the grid with the result.
    void simulateExcitedStates();
    // The stage-1 species alone with the Fermi-Dirac function on the grid.
    void simulateFermiDirac();

    // ---- the development setting ------------------------------------------------
    // Precise mode: "Evaluation" with a typed highest level r and both check
    // points (two trials); levelCount keeps r. False with the messages of
    // the automatic evaluation, or refused for r outside 1..maxHighestLevel.
    static constexpr int maxHighestLevel = 100;
    bool preciseMode = false;
    int highestLevel = 7;
    bool evaluatePrecise(int r);
    // Levels 1..10 with the current shift, for the pages that list them; the
    // evaluation's own levels stay as they are.
    DoubleArray displayLevels() const;
    // "Simulation" of the page "Simulatoin": the ticked levels (any order)
    // become levels 2..q+1, deepest first, of a dopant of density N and level
    // dE with compensation Na; beside it the same dopant with the
    // Fermi-Dirac function.
    void simulateWithEditedLevels(const std::vector<double>& ticked, double N, double dE, double Na);
    DoubleArray simulationLevels; // [0] unused, [1..q] the sorted levels
    int simulationLevelCount = 1; // q + 1
    double simulationInputDensity = 0, simulationInputLevel = 0, simulationInputCompensatingDensity = 0;
    DoubleArray simulatedExcitedConcentration, simulatedExcitedFermiLevel, simulatedExcitedH1, simulatedAverageEnergy;
    DoubleArray simulatedFermiDiracConcentration, simulatedFermiDiracFermiLevel, simulatedFermiDiracH1;
    std::string sieFileName;
    static constexpr int sieFilterIndex = 4;
    std::string sieProposal() const;
    FileOutcome saveSie(const std::string& path);
    std::string sieText() const;

    // ---- what the window's operations do to the state -------------------------
    // Before every showing: copies the stage-1 results, runs the Fermi-Dirac
    // simulation and forgets every earlier result.
    void prepare();
    // On closing: every array emptied.
    void clear();
    // "Evaluation" with the typed dielectric constant (written to the analysis).
    struct EvaluationOutcome {
        bool evaluated = false; // the evaluation found a trial
        bool inRange = false;   // ... and its level is within 1 .. 1500 meV: results shown
        std::vector<OutcomeMessage> messages; // error boxes, in order
    };
    // In precise mode (development setting) with highestLevel; levelShift
    // as set by the caller.
    EvaluationOutcome evaluate(double dielectricConstant);
    // One row of the *.exc table (T, H1, sim H1, sim n, sim E_F, sim E_ex) and
    // how many rows hold a value that is not finite and are left out.
    std::array<double, 6> excRow(std::size_t j) const;
    int excRowsLeftOut() const;
    // The results (results labels of the window) as the window shows them.
    std::string densityText() const;
    std::string energyLevelText() const;
    std::string compensatingDensityText() const;

    // ---- files ------------------------------------------------------------------
    // The save dialog: proposals and filter indices.
    std::string simNProposal() const;
    std::string excProposal() const;
    static constexpr int simNFilterIndex = 1, excFilterIndex = 2, figureFilterIndex = 3;
    // Writes to `path` (the path becomes simNFileName / excFileName). On
    // failure nothing changes, the old file stays, and `error` names the file.
    FileOutcome saveSimN(const std::string& path);
    FileOutcome saveExc(const std::string& path);
    std::string simNText() const;
    std::string excText() const;

private:
    Analysis& a_;

    // The level searches of an evaluation ask for the same terms again and
    // again; these caches hand them back bit for bit as simulatedH1 forms
    // them (excited_fingerprint proves it).
    struct PointTerms {
        double kT = 0, X = 0, rho = 0, fermi = 0, excited = 0;
        // Sums over the excited levels of r^2 e^(E_r/kT) and r^2 E_r e^(E_r/kT),
        // and e^(-E_F/kT); factored when all three are finite.
        double weight = 0, levelWeight = 0, inverseRho = 0, inverseKT = 0;
        bool factored = false;
    };
    std::vector<PointTerms> terms_; // per grid point, for the current levels
    double termsA_ = 0;
    // The compensation-independent part N e^(-dE/kT) X F (N = 1) of each
    // level tried, per grid point of [from, to], formed when first needed,
    // with q and the excited sum of the bounds. The level searches of one
    // evaluation try the same levels again and again: the upward scan always
    // steps through 0.011, 0.021, ..., and the bisections of nearby ratios
    // halve the same brackets. Kept across the trials with the same levels,
    // bounded in size: the least recently used level makes room for a new
    // one. The bound holds a whole scan (150 levels) and a bisection; a
    // larger one is slower, not faster.
    struct LevelTerms {
        DoubleArray values, q, sum;       // [j - from]
        std::vector<unsigned char> known; // 1 where the terms are formed, else 0
        int from = 0, to = -1;
        std::uint64_t lastUse = 0;
    };
    std::unordered_map<std::uint64_t, LevelTerms> levelTerms_;
    std::uint64_t useCounter_ = 0;
    static constexpr std::size_t maxLevelTerms = 200;
    std::vector<double> scanKey_;   // levels, R, g, grid, E_ref and N_0 the terms belong to
    // N x X / rho (N = 1) over [from, to] for the ratio of the level search
    // in progress: every level it tries subtracts the same compensation term.
    DoubleArray compensationTerms_;
    double compensationRatio_ = 0;
    int compensationFrom_ = 0, compensationTo_ = -1;
    bool cached_ = false;           // inside evaluateAtCheckPoint: the caches are valid
    void prepareTerms();
    struct UnitTerms {
        double unit, q, sum;
        bool factored; // else q and sum are 0
    };
    UnitTerms unitTerms(double dE, int j) const;
    // The same term with one exp per excited level, as simulatedH1 forms it.
    double directUnitTerm(double dE, int j) const;
    double cachedH1(double x, double unit, int j) const;
    void prepareCompensationTerms(double x, int ja, int jb);
    double peakTemperature(double x, double dE, int ja, int jb);
    // The bounds of the level search in progress (one ratio, one range), per
    // point of the range: the unit term's bound for F <= 1 times A/kT (top),
    // the compensation term times A/kT (taken a little small), 1/kT, A/kT,
    // and at the point's floor (the last level below the sought one at which
    // its terms were known) that level, q, 1/(1 + s) and s; scratch for the
    // bounds of the scale and of the value at the level asked.
    struct Bounds {
        bool usable = false;
        double x = 0, deepestExcitedLevel = 0;
        int from = 0, to = -1;
        DoubleArray top, compensation, inverseKT, perKT, floorLevel, floorQ, floorRate, floorSum, scale, value;
        // The ends of the levels still possible (lower: the last level
        // below the sought one; upper: the last one above it, once the scan
        // has passed it). Bracketed: the points that may still hold the
        // peak (active), their bounds over the bracket, the margin for all its
        // levels, and a value some point reaches at every level in it.
        bool haveLower = false, bracketed = false;
        double lower = 0, upper = 0, largestScale = 0, margin = 0, reached = 0, highestFloor = 0;
        std::vector<int> active;
        DoubleArray bracketBound;
    } bounds_;
    struct LastCall {
        double level = 0; // its bits are the key of its terms
        bool valid = false;
    } lastCall_;
    int lastPeak_ = -1;
    // The points not settled by their bounds, their values, and those near the largest value.
    std::vector<int> candidates_, near_;
    DoubleArray candidateValues_;
    void startLevelSearch(double x, int ja, int jb);
    void raiseFloor();   // the last level tried became the lower end
    void lowerCeiling(); // ... the upper end
    double bracketBound(std::size_t k) const;
    void narrowBracket();
    LevelTerms& levelTermsFor(double dE, int ja, int jb);
    std::vector<LevelTerms> spare_; // storage of dropped levels, for new ones
    LevelTerms spareLevelTerms();
    void clearLevelTerms();
    void formUnitTerm(LevelTerms& t, double dE, int j) const;
    bool boundedPeak(LevelTerms& t, double x, double dE, int ja, int jb);
    struct TrialResult {
        double level = 0, density = 0, compensating = 0;
        bool inRange = false;
    };
    // The shared header with this window's model lines and its own file lines.
    std::string headerText(const std::string& title, const std::vector<std::string>& modelLines,
                           const std::vector<std::pair<std::string, std::string>>& fileLines) const;
    std::string conditionsText() const;
    // The *.sie file writes the shift label with ';' where *.exc has ':'.
    std::string energiesText(char shiftSeparator) const;
    // Trials o = 0..count-1 with R = levelFor(o) at the first check point
    // for even o and the second for odd o; the closest one is kept.
    template <class LevelFor> bool runTrials(int count, int progressMaximum, LevelFor levelFor);
};
