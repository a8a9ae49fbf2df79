// The analysis object: every piece of state of the one sample under analysis,
// from the measured points to the simulated concentration. Qt-free on purpose:
// the numerical core, the file formats and the batch program build on it alone.
#pragma once

#include <array>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

using DoubleArray = std::vector<double>;
// One growable array per spectroscopy slot (slot k belongs to stage k+1; the
// fourth slot follows the same formulas and is reset with the others).
using CurveSet = std::vector<DoubleArray>;

// Options of the shared result-file header (see writeHeaderBlock).
struct HeaderOptions {
    std::string title;                 // first line, written as given
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
    std::string evaluationType = "Type-B";
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

    // ---- resets (the cascade is run by the callers in pipeline order) -----
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

    // ---- material table and effective density of states (Material.cpp) ----
    // [material section]

    // ---- Fermi level and its files (FermiLevel.cpp) ------------------------
    // [fermi section]

    // ---- H/S functions and peak search (HFunction.cpp, PeakSearch.cpp) -----
    // [hfunction section]

    // ---- evaluation of density and energy level (Evaluation.cpp) -----------
    // [evaluation section]

    // ---- stage result files, simulation, summary (StageFiles.cpp, Simulation.cpp)
    // [results section]

    // ---- obtained-results summary and remarks texts (Summary.cpp) ----------
    // [summary section]

private:
    void resetStageSlot(int slot);
};

// The one analysis object of the program.
extern Analysis C;
