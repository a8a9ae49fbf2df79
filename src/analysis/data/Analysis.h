// The analysis object: every piece of state of the one sample under analysis,
// from the measured points to the simulated concentration. Qt-free on purpose:
// the numerical core, the file formats and the batch program build on it alone.
#pragma once

#include <array>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "analysis/base/EvaluationType.h"
#include "analysis/data/Outcomes.h"

using DoubleArray = std::vector<double>;
// One growable array per spectroscopy slot (slot k belongs to stage k+1; the
// fourth slot follows the same formulas and is reset with the others).
using CurveSet = std::vector<DoubleArray>;

// Options of the shared result-file header (see writeHeaderBlock).
struct HeaderOptions {
    std::string title;                 // first line, written as given
    std::vector<std::string> modelLines; // after the version line (the model of the analysis)
    bool functionTypeLine = false;
    bool splineFileLine = false;
    bool fermiFileLine = false;
    std::string fermiFileValue;        // value of "% Fermi level file: "
    std::vector<std::pair<std::string, std::string>> ownFileLines; // label, value
    bool sampleGroup = false;
    bool splineGroup = false;
    bool materialGroup = false;
    // Material lines 25..27 only, then "% Degeneracy factor: ", then the
    // Fermi-level comment (the DHES layout).
    bool materialWithDegeneracyInside = false;
    // "% Degeneracy factor: " after the full material group (*.CNO, *.CNC).
    bool degeneracyAfterMaterial = false;
    double degeneracy = 1.0;

    // A result built on the Fermi level: its title, the spline and Fermi
    // level file lines, and the function type line where the H-function
    // defined the result.
    static HeaderOptions onFermiLevel(std::string title, std::string fermiFile, bool functionType)
    {
        HeaderOptions h;
        h.title = std::move(title);
        h.functionTypeLine = functionType;
        h.splineFileLine = true;
        h.fermiFileLine = true;
        h.fermiFileValue = std::move(fermiFile);
        return h;
    }
};

// Feedback of the long computations (E_ref search, evaluations, simulation).
// Bar 0 is the progress window, bar 1 the detailed progress window. The
// windows install an implementation that moves their bars and lets the GUI
// repaint; without one the computations run silently.
class ProgressReporter {
public:
    enum Bar { Main = 0, Detailed = 1 };
    virtual ~ProgressReporter() = default;
    virtual void show(int bar, int maximum) = 0;   // shown at position 0
    virtual void setPosition(int bar, int position) = 0;
    virtual void step(int bar, int by) = 0;
    virtual void close(int bar) = 0;
};

class Analysis {
public:
    Analysis();

    // ---- identity and options -------------------------------------------
    std::string evaluationType = evaltype::name(evaltype::kDefault); // as typed; see evaltype::of
    int functionType = 2; // 1 = S function, 2 = H function
    std::string versionInformation;
    std::string programTitle;
    unsigned char advancedMode = 0;
    unsigned char releaseFlag = 0;

    // ---- file names (full paths; empty = none) ---------------------------
    std::string originalFileName;
    std::string experimentalDataFileName;
    std::string splineFileName;
    std::string fermiLevelFileName;
    std::string h1FileName, h2FileName, h3FileName;
    std::string simulationFileName;
    std::string experimentalFermiLevelFileName;
    std::string experimentalH1FileName, experimentalH2FileName, experimentalH3FileName;

    // ---- sample description ---------------------------------------------
    std::string measurementName;
    std::string measurementDate;
    std::string analysisName;
    std::string analysisDate;
    std::string sampleNumber;
    std::string semiconductor;
    std::string conductionType;
    std::string comment;
    std::string fermiLevelComment;
    double sampleThickness = 0; // micron
    double magneticField = 0;   // T
    double current = 0;         // A

    // ---- experimental data ----------------------------------------------
    int dataCount = 0;
    DoubleArray temperature;   // K, file order
    DoubleArray concentration; // cm^-3
    DoubleArray reliability;   // weight; 0 excludes from the spline

    // ---- data for analysis (spline on a 0.1 K grid) ----------------------
    int firstDataIndex = 0;
    int lastDataIndex = 0;
    double smoothness = 5000;
    int splineCount = 0;
    DoubleArray splineTemperature;
    DoubleArray splineConcentration;

    // ---- material parameters and Fermi level ------------------------------
    double conductionDos0 = 0; // cm^-3 K^-1.5
    double valenceDos0 = 0;
    double electronMass = 0;
    double holeMass = 0;
    double conductionMinima = 0;
    double valenceMaxima = 0;
    double dos0 = 0;            // effective density of states / T^1.5 in use
    double effectiveMass = 0;
    double equivalentMinima = 0;
    double dielectricConstant = 0;
    DoubleArray fermiLevel;             // eV below the majority band edge, per grid point
    DoubleArray experimentalFermiLevel; // the same at each experimental point

    // ---- spectroscopy stages (slot k = stage k+1) -------------------------
    CurveSet hCurve;
    CurveSet simulatedHCurve;
    CurveSet trialHCurve;
    CurveSet experimentalHCurve;
    std::array<double, 4> density{};
    std::array<double, 4> trialDensity{};
    std::array<double, 4> energyLevel{};
    std::array<double, 4> trialEnergyLevel{};
    std::array<double, 4> stageCompensatingDensity{};
    double compensatingDensity = 0;
    std::array<double, 4> degeneracyFactor{};
    std::array<double, 4> referenceEnergy{};
    std::array<double, 4> checkTemperature{};
    std::array<double, 5> candidateDeviation{};
    double lowestThermalEnergy = 0;
    std::array<int, 4> peakIndex{};
    std::array<int, 4> fitStartIndex{};
    int peakWindowStart = 0;
    int peakWindowEnd = 0;
    int hStartIndex = 0;
    int compensationStage = 0;
    unsigned char energyLevelInRange = 0;
    unsigned char compensationFixed = 0;
    unsigned char recalculationRequested = 0;
    unsigned char recalculationFailed = 0;
    unsigned char h2WindowHalved = 0;
    unsigned char autoCalculation = 1;
    std::array<std::string, 4> trialMessage;
    // The evaluation type each stage was evaluated with (evaluationType goes
    // back to "Type-B" once its results are saved); empty = not evaluated.
    std::array<std::string, 4> stageEvaluationType;
    std::array<std::string, 4> stageMessage;
    int energyBisectionSteps = 0;
    std::vector<DoubleArray> candidateCurves;
    unsigned char excitedStatesCaution = 0;
    DoubleArray firstFitCurve, secondFitCurve;

    // ---- simulation --------------------------------------------------------
    DoubleArray simulatedConcentration;
    DoubleArray simulatedFermiLevel;
    std::array<double, 4> simulationDensity{};
    std::array<double, 4> simulationEnergyLevel{};
    double simulationCompensatingDensity = 0;
    std::array<unsigned char, 5> simulationInclude{};
    int fermiBisectionSteps = 0;

    // ---- working values of the temperature being processed ----------------
    double erefFactor = 0;      // exp(E_ref/kT)
    double dosRatio = 0;        // N(T)/n(T)
    double thermalEnergy = 0;   // kT/q [eV]
    double dos0PerEv = 0;       // (q/k)^1.5 * dos0
    double effectiveDosAtT = 0; // dos0 * T^1.5

    // Not owned; null = no feedback. Use the progress* helpers below.
    ProgressReporter* progress = nullptr;
    void progressShow(int bar, int maximum) { if (progress) progress->show(bar, maximum); }
    void progressSet(int bar, int position) { if (progress) progress->setPosition(bar, position); }
    void progressStep(int bar, int by = 1) { if (progress) progress->step(bar, by); }
    void progressClose(int bar) { if (progress) progress->close(bar); }

    // Text of the last failure of a file or numerical operation, for the
    // caller's error box. Empty after a success.
    std::string lastError;

    // ---- workflow state beside the analysis (Workflow.cpp) -----------------
    // What the main window's pages hold besides the numbers. Only the
    // workflow operations below change these; the window renders them.
    SimulationInputs simulationInputs;
    bool useNegativeCompensation = false; // toggle of the H2 page
    int lastEvaluatedStage = -1;          // stage whose level came out below kT_min
    // The material was not in the table, or "Input or Change" was pressed:
    // the Fermi level waits for "Calculate Effective Density Of States".
    bool effectiveDosPending = false;

    // ---- resets -------------------------------------------------------------
    // The reset cascade: clears `from` and every later stage (the resets of each stage
    // in pipeline order) and what the pages hold of them. ExperimentalData
    // is the general reset (resetAll and the workflow state).
    void resetFrom(PipelineStage from);
    void resetAll();
    void resetSpline();
    void resetFermiLevel();
    void resetSpectroscopy();
    void resetStage1();
    void resetStage2();
    void resetStage3();
    void resetSimulation();

    // ---- experimental data file (ExperimentalData.cpp) ---------------------
    bool readExperimentalData();
    bool writeExperimentalData();

    // ---- shared result-file header (HeaderBlock.cpp) ------------------------
    void writeHeaderBlock(std::ostream& out, const HeaderOptions& options) const;
    std::string functionTypeText() const;

    // ---- spline and data-for-analysis file (Spline.cpp) --------------------
    // [spline section]
    // Sets firstDataIndex / lastDataIndex to the first and last point with
    // reliability > 0 (0 when there is none). Returns false with lastError
    // when fewer than two points qualify; computeSpline then fails as well.
    bool chooseSplinePoints();
    // Smoothing spline of log10(concentration) over the points firstDataIndex
    // to lastDataIndex (weights from the reliabilities and smoothness), on a
    // 0.1 K grid into splineCount / splineTemperature / splineConcentration.
    // On failure (unsorted or non-positive data, fewer than two weighted
    // points, unusable smoothness, overflow, a grid of more than 2,000,000
    // points) returns false with lastError and leaves no spline: splineCount
    // 0, both arrays empty. The spline is exact (banded solve) and O(m).
    bool computeSpline();
    // Two solvers of the same spline, open to checks. Knots x ascending
    // (equal values allowed), values y, weights w >= 0 with positive weights
    // at two different x at least. Both give the coefficients of
    // s(x) = a + b x + sum_{x_j < x} c_j (x - x_j)^3 with
    // c_j = w_j (y_j - s(x_j)), sum c_j = 0, sum c_j x_j = 0.
    // splineByRecursion is the forward recursion (O(m^2), kept for checks);
    // false when it overflows or fails its precision check.
    // splineByBandedSolve solves the same spline through its second
    // derivatives (stable at any smoothness, O(m)); computeSpline uses it.
    // False only when its results are not finite.
    static bool splineByRecursion(const DoubleArray& x, const DoubleArray& y, const DoubleArray& w,
                                  double& a, double& b, DoubleArray& c);
    static bool splineByBandedSolve(const DoubleArray& x, const DoubleArray& y, const DoubleArray& w,
                                    double& a, double& b, DoubleArray& c);
    // The smoothness that minimises the generalized cross-validation score
    // of the spline computeSpline would fit over firstDataIndex to
    // lastDataIndex (log10 of the concentration, the reliabilities as
    // weights), searched from 1e-3 to 1e9 and rounded to three significant
    // digits. Returns 0 with lastError when the points fail computeSpline's
    // checks, fewer than three different temperatures carry weight, or no
    // score is finite. Changes nothing but lastError. 0.001 or 1E9 means the
    // score still fell at that end of the search.
    double chooseSmoothnessByGcv();
    // The *.spl file named by splineFileName (SplineFile.cpp). A failed write
    // keeps the old file; a failed read leaves no spline and changes nothing
    // else. The loaded experimental points and dataCount stay as they are.
    bool writeSplineFile();
    bool readSplineFile();

    // ---- material table and effective density of states (Material.cpp) ----
    // [material section]
    // True when conductionType is exactly "n-type"; every other text selects
    // the valence-band values (the readers leave only "n-type" or "p-type").
    bool isNType() const;
    // True when conductionType is exactly "p-type" (an empty type is neither).
    bool isPType() const;
    // A conduction type as typed or read: surrounding blanks, tabs and CR
    // removed, any case, a hyphen-like dash for the hyphen. True with
    // "n-type" or "p-type" in `canonical`; false for anything else.
    static bool canonicalConductionType(const std::string& text, std::string& canonical);
    // The readers' refusal of a conduction type (after "file, line N: ").
    static std::string conductionTypeRefusal(const std::string& text);
    // Table lookup of `semiconductor` (material::lookup): sets conductionDos0,
    // valenceDos0, electronMass, holeMass, conductionMinima, valenceMaxima and
    // dielectricConstant from the row, then dos0, effectiveMass and
    // equivalentMinima from the conduction band (n-type) or the valence band.
    // Returns whether a named row matched; false means the default row was
    // taken and the user should calculate N_0. Never fails.
    bool lookupMaterial();
    // dos0 = 2*equivalentMinima*(2*pi*m0*effectiveMass*k/h^2)^1.5*1e-6.
    // False (dos0 unchanged, lastError set) for a non-positive or non-finite
    // mass or number of minima.
    bool computeEffectiveDos();
    // "Calculate Effective Density Of States": effectiveMass = typedMass,
    // equivalentMinima = typedMinima for an n-type sample and 1 otherwise
    // (the caller need not read the minima edit then), computeEffectiveDos.
    // On failure all three fields keep their previous values.
    bool calculateEffectiveDos(double typedMass, double typedMinima);
    // Text of EditEffectiveDensityOfStates for dos0 (material::dosEditText).
    std::string effectiveDosText(bool fromFermiLevelFile = false) const;

    // ---- Fermi level and its files (FermiLevel.cpp) ------------------------
    // [fermi section]
    // fermiLevel[k] = ln(dos0*T^1.5/n)*kT/q [eV] at every grid point. False
    // (fermiLevel emptied, lastError set) when dos0, a temperature or a
    // concentration is not positive, or the grid arrays are shorter than
    // splineCount.
    bool computeFermiLevel();
    // The same at the dataCount experimental points into experimentalFermiLevel.
    bool computeExperimentalFermiLevel();
    // Points (temperature, experimentalFermiLevel) of the Fermi chart's
    // experimental series: reliability above reliability::kTrusted only.
    std::vector<std::pair<double, double>> experimentalFermiLevelPoints() const;
    // *.fl named by fermiLevelFileName: the header, the column line and one
    // line per grid point. False with lastError naming the file when it cannot
    // be written or the Fermi level is missing; an old file then stays intact.
    bool writeFermiLevelFile();
    // *.flE named by experimentalFermiLevelFileName, one line per point.
    bool writeExperimentalFermiLevelFile();
    // Reads the *.fl named by fermiLevelFileName: sample description, spline
    // group, dos0, effectiveMass, equivalentMinima, fermiLevelComment and the
    // Fermi level of every grid point. The grid itself must be in memory and
    // the file must describe the same grid. On any failure (unreadable,
    // truncated, not a number, other grid, non-positive dos0) no other field
    // changes, lastError names the file and line. Both Fermi arrays are
    // emptied in every case (the experimental one is not in the file).
    bool readFermiLevelFile();

    // ---- H/S functions and peak search (HFunction.cpp, PeakSearch.cpp) -----
    // [hfunction section]
    // Stage function H_k (functionType 2) or S_k (functionType 1) of slot k
    // (0..3) on the grid into hCurve[k], zero below hStartIndex. With
    // autoCalculation = 0 the start index is derived here from the fixed
    // compensation; otherwise the caller's hStartIndex is used. False (and
    // lastError set) for an unknown functionType or a slot outside 0..3.
    bool calculateHCurve(int stage);
    // The same function at every experimental point into experimentalHCurve[k].
    bool calculateExperimentalH(int stage);
    // One uncompensated species (level [eV], density [cm^-3]) at (n, T) with
    // the stage's E_ref and degeneracy factor; -1 for an unknown functionType.
    double speciesH(int stage, double energyLevel, double density, double n, double T);
    // One species with compensation ratio N_com/N; not clipped, -1 for an
    // unknown functionType.
    double compensatedSpeciesH(int stage, double ratio, double energyLevel, double density,
                               double n, double T);

    // Manual E_ref of the H1 page: "<<", "<", ">", ">>".
    enum class ErefStep { DownCoarse, DownFine, UpFine, UpCoarse };
    static double referenceEnergyStepSize(ErefStep step);        // -0.001, -1e-6, +1e-6, +0.001
    static std::string referenceEnergyText(double eref);         // "0.######"
    // The edit text after one step from the typed value, rounded to six decimals.
    static std::string steppedReferenceEnergyText(double typed, ErefStep step);
    // Releases a fixed compensating density (compensationFixed 0, stage -1,
    // density 0). True when one was in use (compensationStage >= 0), so the
    // caller resets the H2/H3 captions.
    bool releaseCompensation();
    // H1 "Calculation" at a typed E_ref: resets stages 2, 3 and the simulation,
    // releases the compensation (compensationReleased tells whether one was in
    // use), switches autoCalculation off, computes H1 on the grid and at the
    // points, clears the recalculation flags and moves peakIndex[0] from 0 to
    // the first peak. False with lastError "H1 could not be calculated.".
    bool calculateStage1AtReferenceEnergy(double eref, bool* compensationReleased = nullptr);

    // Automatic E_ref and peak search of stage 0, 1 or 2 (PeakSearch.cpp).
    // True: referenceEnergy, hCurve and peakIndex of the stage describe one
    // and the same curve. False: lastError holds a message when the curve
    // could not be computed; otherwise the recalculation flags tell the caller
    // what happened (E_ref ran to +-1 eV, or H2/H3 peaked at a grid end).
    bool autoCalculateStage(int stage);
    // Steps peakIndex[k] to the neighbouring local maximum of hCurve[k].
    bool nextPeakUp(int stage);
    bool nextPeakDown(int stage);
    bool stepToNextPeak(int stage, int step); // step +1: up, -1: down

    // ---- evaluation of density and energy level (Evaluation.cpp) -----------
    // [evaluation section]
    // Density and energy level of the species behind peakIndex[k] of
    // hCurve[k]. While the compensating density is open, five fitting ranges
    // on the low-temperature flank are fitted (ratio N_com/N, level, density)
    // and the one deviating least by evaluationType wins; once it is fixed by
    // a stage <= k, the level comes from the peak position alone. True with
    // energyLevelInRange = 0: the level lies outside 1 meV .. 1500 meV and
    // stageMessage[k] says which way. False: nothing usable; lastError holds
    // the message, or is empty for the silent H2 recalculation request
    // (recalculationRequested set).
    bool evaluateStage(int stage);
    // Level by bisection so that one uncompensated species peaks at T_P,
    // density from the peak value (trialEnergyLevel/trialDensity/trialMessage;
    // copied into the stage while the compensation is fixed). False only for
    // an unknown functionType or a stage without curve.
    bool fitPeakPosition(int stage);
    // Step 3 of evaluateStage: the peak-position route when the compensation
    // is fixed by a stage <= k, else fixing it from this stage's result
    // (positive N_com, or the second negative E_ref / N_com from stage 0 on).
    bool settleCompensation(int stage);

    // Building blocks; grid indices are inclusive, ratio = N_com/N, levels eV.
    // Temperature (index) of the maximum of the unit-density model species
    // over grid indices from..to; the first maximum wins, 0 never does.
    double peakTemperatureOf(int stage, int from, int to, double ratio, double energyLevel);
    int peakIndexOf(int stage, int from, int to, double ratio, double energyLevel);
    // Level whose model peak over from..to lies at T_P; sets stageMessage[k]
    // and energyLevelInRange; 0 (shallower than 1 meV) or 1.5 (deeper than
    // 1500 meV) when out of range. energyBisectionSteps + 1 halvings.
    double fitEnergyLevel(int stage, int from, int to, double ratio);
    // a(k), b(k): ends of the falling flanks around the peak in steps of 20
    // grid points, at most 50 K away.
    int lowerFitBound(int stage) const;
    int upperFitBound(int stage) const;
    // Ratio fit for the range starting at `start`: the model also matches
    // hCurve[k][start]. Writes energyLevel, density, stageCompensatingDensity
    // of the stage. False when the uncompensated level is out of range.
    bool fitWithCompensation(int stage, int start);
    // The larger-ratio solution of H1, searched upward from `ratio`.
    bool fitSecondSolution(int stage, int start, double ratio);
    // Carrier concentration at grid index j of one species (degeneracy
    // factor of species 0) with compensation, by charge neutrality
    // (fermiBisectionSteps halvings on 0 .. 1.5 eV).
    double singleSpeciesConcentration(int index, double compensatingDensity, double energyLevel,
                                      double density) const;
    // fitWithCompensation plus the red line; for H1 with E_ref > 0 also the
    // second solution, kept (excitedStatesCaution = 1) when it reproduces
    // the concentration better.
    bool fitCandidate(int stage, int start);
    // f: lower end of the falling flank below the peak; the five candidate
    // ranges start at T_f + i*(T_P - T_f)/5.
    int flankStartIndex(int stage) const;
    std::array<int, 5> candidateStartIndices(int stage) const;
    // Deviation of candidateCurves[candidate] from hCurve[k] by evaluationType
    // ("Type-A" .. "Type-D"; any other text counts as "Type-B").
    double deviationOf(int stage, int candidate, int start, int flankStart) const;
    // Index of the smallest candidateDeviation in [0, 1e300); ties go to the
    // lower index; -1 when there is none.
    int chooseCandidate() const;
    // Smallest j with splineTemperature[j] >= T, or the last index.
    int firstGridIndexAtLeast(double T) const;
    int evaluationGridSize() const;
    // Slot 0..3 with a grid and a stage curve covering it.
    bool evaluationInputsReady(int stage) const;

    // One candidate's result, remembered across the five fits.
    struct CandidateFit {
        double energyLevel = 0;
        double density = 0;
        double compensatingDensity = 0;
        unsigned char energyLevelInRange = 0;
        unsigned char excitedStatesCaution = 0;
        std::string message;
    };

    // The "Evaluation" button of stage k without its widgets: runs
    // evaluateStage (degeneracyFactor[k] must already hold the typed g) and
    // does the object's part of the outcome. Evaluated: the later stages and
    // the simulation are reset. RecalculationRequested (H2 only):
    // compensatingDensity = stageCompensatingDensity[0].
    struct EvaluationOutcome {
        enum class Kind { Evaluated, LevelOutOfRange, RecalculationRequested, Failed };
        using Message = OutcomeMessage;
        Kind kind = Kind::Failed;
        std::vector<Message> messages; // to be shown in this order
        // Result labels (density, level, compensating density); "0" each
        // when the level is out of range, empty when they stay as they are.
        std::string densityText, energyText, compensatingText;
        // Evaluated, but doubtful (boxes after the results are shown).
        std::vector<Message> warnings;
        bool showCaution = false; // H1: "Caution", then the excited-states window
        // energyLevel[k] < lowestThermalEnergy: the stage becomes the last
        // evaluated one; H2/H3 show the remarks window.
        bool levelBelowLowestThermalEnergy = false;
        PageReset resetFrom; // Evaluated: the later stages
    };
    EvaluationOutcome runEvaluation(int stage);
    // physical::problem finds nothing in the stage's result: anything else is
    // never reported as evaluated.
    bool physicalResult(int stage) const;
    // Possible but doubtful results of stage k: a density above 100 times
    // the largest measured concentration, a level below 3 kT at the lowest
    // measured temperature (points with reliability > 0).
    std::vector<OutcomeMessage> plausibilityWarnings(int stage) const;
    // Red line of the stage chart: (T_j, simulatedHCurve[k][j]) for the j
    // whose value lies strictly between the smallest and largest of hCurve[k].
    std::vector<std::pair<double, double>> redLinePoints(int stage) const;
    // "Evaluation again" of the remarks window for stage k = 1, 2: the
    // compensating density of stage k-1 is fixed. False (nothing changed)
    // for a stage without a stage before it.
    bool applyEvaluationAgain(int stage);
    // "Use Negative Compensating Density" toggle of the H2 page: fix the H1
    // compensating density, or release it.
    void setNegativeCompensation(bool use);
    // Internal pieces shared by the evaluation files.
    int evaluationPeakIndex(int stage) const;
    void storeRatioFit(int stage, double ratio, double energyLevel);
    void fillSimulatedCurve(int stage);

    // ---- stage result files, simulation, summary (StageFiles.cpp, Simulation.cpp)
    // [results section]
    // Stage s = 0, 1, 2 is H1/S1 .. H3/S3. Its results file holds the stage
    // curve and its red line on the grid; its experimental file the stage
    // function at the measured points.
    enum class StageFile { Results, Experimental };
    // Write the file named by the stage's path field (h1FileName ..,
    // experimentalH1FileName ..). False with lastError naming the file when
    // it cannot be written or the stage is incomplete; an existing file then
    // stays as it was.
    bool writeStageResults(int stage);
    bool writeStageExperimental(int stage);
    // ".H1" .. ".H3E", or ".S1" .. ".S3E" when functionType = 1.
    std::string stageFileExtension(int stage, StageFile kind) const;
    std::string& stageFileName(int stage, StageFile kind);
    // Proposed name and 1-based filter index of the main save dialog.
    struct SaveProposal {
        std::string fileName;
        int filterIndex = 0;
    };
    SaveProposal stageSaveProposal(int stage, StageFile kind) const;
    // Core of the save buttons once the user accepted `path`: stores it in
    // the path field (the file's header names itself) and writes. On failure
    // the field gets its old value back. A results save that succeeded sets
    // evaluationType back to "Type-B".
    bool saveStageFile(int stage, StageFile kind, const std::string& path);
    // After the results of stage s were saved: does the next stage have
    // anything left to find? (300 grid points above the red line.)
    bool needsNextStage(int stage) const;
    // What a results save of stage s hands to the pages.
    struct StageSaveFollowUp {
        bool enableNextStage = false;      // ButtonCalcH2 / ButtonCalcH3
        bool evaluationCompleted = false;  // "Evaluation has been completed!"
        int simulationSpecies = 0;         // species 0 .. n-1 go to the simulation page
        double pageCompensatingDensity = 0; // for EditSCDensity
        bool tickCompensation = false;     // CheckBox4 ticked, else it keeps its state
    };
    StageSaveFollowUp stageSaveFollowUp(int stage) const;

    // Charge neutrality at every grid temperature from the simulation inputs
    // (species 0..3 with simulationInclude[i], compensation with
    // simulationInclude[4]); fills simulatedFermiLevel and
    // simulatedConcentration. Always true.
    bool simulateConcentration();
    // How well the simulation reproduces the measurement: the largest
    // relative deviation |simulated/measured - 1| over the points with
    // reliability > reliability::kPlotted inside the grid (log-interpolated between grid
    // points), and its temperature. points = 0 when there is none.
    using SimulationDeviation = LargestDeviation;
    SimulationDeviation simulationDeviation() const;
    // The *.simH / *.simS file named by simulationFileName.
    bool writeSimulation();
    // h1FileName with ".simS" (functionType 1) or ".simH"; filter 6.
    SaveProposal simulationSaveProposal() const;
    // Stores the path in simulationFileName and writes; the old name comes
    // back on failure.
    bool saveSimulation(const std::string& path);
    // Grid indices whose simulated concentration lies strictly between the
    // smallest and largest plotted measured concentration (reliability >=
    // reliability::kPlotted): the black line of both simulation charts.
    std::vector<int> simulationLinePoints() const;
    // Indices j with smallest < values[j] < largest (chart lines drawn only
    // inside the range of a chart's first series).
    static std::vector<int> indicesStrictlyBetween(const DoubleArray& values, double smallest,
                                                   double largest);
    // Indices j with values[j] strictly inside the range of `series` (the
    // values of a chart's first series); none when the series is empty.
    static std::vector<int> indicesInsideRangeOf(const DoubleArray& values, const DoubleArray& series);
    // The path with its extension (from the last '.' of the file name on)
    // replaced by `extension`, which carries its own dot or is a suffix such
    // as "Con1.bmp"; a name without extension gets it appended.
    static std::string replaceExtension(const std::string& path, const std::string& extension);

    // ---- obtained-results summary and remarks texts (Summary.cpp) ----------
    // [summary section]
    // The 21 lines of the obtained-results summary, values from this object.
    std::vector<std::string> obtainedResultsLines() const;
    // The same 21 lines with their labels only (the window before any refill).
    static std::vector<std::string> obtainedResultsLabels();
    // Name proposed for the summary: the Fermi-level file (or, before there is
    // one, the experimental data file) with ".datS" or ".datH" by function type.
    std::string obtainedResultsFileName() const;
    // Writes `lines` (CR LF each) to `path` through writeAtomic; false with
    // lastError on failure. The one-argument form writes obtainedResultsLines().
    bool writeObtainedResults(const std::string& path, const std::vector<std::string>& lines);
    bool writeObtainedResults(const std::string& path);
    // The four texts of the remarks window for stage s (1 = H2, 2 = H3). Stage
    // 0 (an H1 level below kT_min) gets only the stage-independent explanation.
    // Any other stage returns false and leaves `texts` as it was.
    bool remarksTexts(int stage, std::array<std::string, 4>& texts) const;

    // ---- workflow: the main window's buttons without widgets (Workflow.cpp)
    // What creating the main window does to the object: the build setting,
    // the version texts, Normal mode and the general reset.
    void startUp(int releaseFlag);
    // Normal or Advanced mode: advancedMode and the " [manual mode]" suffix
    // of versionInformation and programTitle (never stacked).
    void setAdvancedMode(bool advanced);
    // Each runs the object's part of one button press (after its dialog was
    // answered) and returns what the page shows next.
    // "Load Data": the data file at `path` read as new experimental data,
    // after the general reset (resetFrom(ExperimentalData)) that precedes the
    // open dialog. On failure nothing is loaded.
    FileOutcome loadExperimentalData(const std::string& path);
    // "Auto" beside the smoothness: chooses the spline's points and the
    // smoothness by generalized cross-validation; changes nothing else.
    SmoothnessOutcome automaticSmoothness();
    // "Calculation" of the data for analysis with the typed smoothness.
    SplineOutcome calculateDataForAnalysis(double smoothnessValue);
    // Names the save dialogs propose: the data file with ".spl", the *.spl
    // with ".fl". The batch program takes them as they are.
    std::string splineFileProposal() const { return replaceExtension(experimentalDataFileName, ".spl"); }
    std::string fermiLevelFileProposal() const { return replaceExtension(splineFileName, ".fl"); }
    // What a save dialog with a default extension returns for a typed name:
    // a file part without extension gets "." + extension (a trailing dot
    // just the extension); a name with one stays as typed.
    static std::string withDefaultExtension(const std::string& path, const std::string& extension);
    // "Save (*.spl)": writes the file, then looks the material up.
    DataForAnalysisOutcome saveDataForAnalysis(const std::string& path);
    // File > "Data for Analysis(*.spl)".
    DataForAnalysisOutcome loadDataForAnalysis(const std::string& path);
    // "Input or Change" of the material parameters.
    void beginEffectiveDosInput();
    // "Calculate Effective Density Of States" with the typed values (the
    // minima are not read for a p-type sample).
    FileOutcome calculateEffectiveDosInput(double typedMass, double typedMinima);
    // N_0 given directly (the batch program's --dos0).
    FileOutcome setEffectiveDos(double value);
    FermiLevelOutcome calculateFermiLevelStage();
    FileOutcome saveFermiLevel(const std::string& path);
    FileOutcome saveExperimentalFermiLevel(const std::string& path);
    // File > "Fermi Level (*.fl)".
    FileOutcome loadFermiLevel(const std::string& path);
    // "Calculation" of stage k = 0, 1, 2.
    StageCalculationOutcome calculateStage(int stage);
    // Yes to the recalculation question of stage 1 or 2.
    RecalculationOutcome answerRecalculationQuestion(int stage);
    // Precise "Calculation" of H1 at a typed E_ref (Advanced mode).
    StageCalculationOutcome calculateStage1At(double eref);
    // "<" / ">" of the Change Peak row.
    void stepPeak(int stage, bool up);
    // "Evaluation" of stage k with the typed degeneracy factor.
    EvaluationOutcome evaluate(int stage, double g);
    // "Evaluation again" of the remarks window right after the evaluation of
    // stage 1 or 2 (the H1/H2 compensating density is fixed and ticked on the
    // Simulation page), and from the Simulation page's "See Remarks!" (which
    // also clears the later stages).
    RecalculationOutcome evaluateAgain(int stage);
    RecalculationOutcome evaluateAgainFromSimulationPage(int stage);
    // "Use Negative Compensating Density" / "Do not Use Negative Value".
    void toggleNegativeCompensation();
    // "Save Obtained Results" of stage s to `path`.
    StageSaveOutcome saveStageResults(int stage, const std::string& path);
    // "Simulation" from the page's inputs.
    SimulationOutcome runSimulation();
    // Text typed into the Simulation page (the window forwards each edit).
    void setSimulationInput(SimulationField field, const std::string& text);
    void setSimulationTick(int box, bool ticked); // 0..2 species, 3 compensation
    const std::string& simulationInputText(SimulationField field) const;
    // Function type switched (1 = S, 2 = H).
    FunctionTypeOutcome changeFunctionType(int type);
    // A new function type may start stage 1 at once: there is a grid.
    bool stage1Ready() const;

private:
    void resetStageSlot(int slot);
    // The end of the falling flank on one side of the peak (+1 upwards,
    // -1 downwards in temperature).
    int fitBoundTowards(int stage, int direction) const;
};

// The one analysis object of the program.
extern Analysis C;
