// Fine adjustment of the simulated species by a damped Gauss-Newton fit of
// the simulated concentration to the measured points, and the standard
// errors of the adjusted parameters. The session below is the whole state of
// the curve-fitting window without its widgets: the window renders it, the
// batch program drives it the same way, so both write the same *.cft bytes.
#pragma once

#include "analysis/data/Outcomes.h"

#include <array>
#include <string>
#include <vector>

class Analysis;
class ProgressReporter;

namespace curvefit {

// Halvings of the Fermi-level bisection: the fitting's own, and the precise
// choice (what every other simulation of the program uses).
constexpr int defaultHalvings = 15;
constexpr int preciseHalvings = 30;
constexpr int maxAcceptedSteps = 100;

struct Species {
    double energy = 0;  // eV below the majority band edge
    double density = 0; // cm^-3
    double g = 0;       // degeneracy factor
};

// Species 0..count-1 and the compensating density.
struct ParameterSet {
    std::array<Species, 4> species{};
    int count = 0;
    double compensating = 0;
};

// Depth of the Fermi level [eV] by charge neutrality at temperature T.
double fermiLevel(const ParameterSet& p, double dos0, double T, int halvings);
// dos0*T^1.5*exp(-E_F/kT) at that Fermi level.
double concentrationAt(double dos0, double T, double fermi);

// The points lo..hi of a fit: temperatures and measured concentrations.
struct FitPoints {
    const std::vector<double>* T = nullptr;
    const std::vector<double>* n = nullptr;
    int lo = 0, hi = -1;
    int count() const { return hi - lo + 1; }
};

// Simulated concentration at the points (fermi receives E_F per point) and
// the unweighted sum of squared differences from the measurement.
double sumOfSquares(const ParameterSet& p, double dos0, const FitPoints& pts, int halvings,
                    std::vector<double>* fermi = nullptr);

// Row-major Jacobian (rows lo..hi, columns N_comp, N_1..N_K, dE_1..dE_K).
// fixedFermi: the derivative of the ionised charge at the given Fermi levels
// (the fitting step's). Otherwise the full derivative of the simulated
// concentration, with the Fermi level moving with the parameters.
std::vector<double> jacobian(const ParameterSet& p, double dos0, const FitPoints& pts,
                             const std::vector<double>& fermi, bool fixedFermi);

// Solves A x = b (P x P, row-major) by Gaussian elimination without
// pivoting, the fitting step's solver; a zero pivot yields non-finite values.
std::vector<double> solveWithoutPivoting(std::vector<double> A, std::vector<double> b, int P);

// One fitting step on `trial` with step weight w; `fermi` holds E_F of the
// trial set at the points.
void fittingStep(ParameterSet& trial, double dos0, const FitPoints& pts, const std::vector<double>& fermi,
                 double w);

// Standard errors of the parameters (order as the Jacobian's columns) at the
// fitted set: sigma^2 = S/(m - P), covariance sigma^2 (J^T J)^-1 with the
// full-derivative J, solved by a singular value decomposition of the
// column-scaled J. A parameter the data cannot fix (singular matrix, or
// m <= P) is not determined.
struct StandardErrors {
    std::vector<double> error;      // per parameter
    std::vector<bool> determined;   // false: "not determined"
    double sigma2 = 0;
};
StandardErrors standardErrors(const ParameterSet& p, double dos0, const FitPoints& pts, double S);

// The window's state and its buttons.
class Session {
public:
    struct Row {
        bool ticked = false, enabled = true;
        std::string energy = "0", density = "0", g = "1"; // the editable fields
        std::string energyError, densityError;           // "± ..." beside them
    };

    // ---- copied from the analysis object at opening
    bool nType = true;
    std::string sampleNumber;
    double dos0 = 0;
    std::vector<double> T, n;             // selected points (reliability > 0.95)
    std::vector<double> gridT;            // analysis grid
    std::array<Species, 4> reference{};   // sorted by level
    int referenceCount = 0;               // K0
    double referenceCompensating = 0;
    bool advanced = false;

    // ---- fit state
    ParameterSet working, trial;
    double weight = 0.1;
    int times = 1;
    int lo = 0, hi = -1;
    bool precise = false;                 // 30 halvings instead of 15
    std::vector<double> fitConcentration, fitFermiLevel; // last grid simulation
    std::string fileName;                 // last *.cft written
    double lastSumOfSquares = 0;
    StandardErrors errors;

    // ---- controls
    std::array<Row, 3> rows;
    std::string compensating = "0", compensatingError;
    bool weightEditable = false;          // shown when the build is not the shipped one
    std::string weightText = "0.1";
    bool fitEnabled = true;
    std::string fitCaption = "Curve Fitting";
    bool saveEnabled = false, simFigureEnabled = false, curveFigureEnabled = false;

    int halvings() const { return precise ? preciseHalvings : defaultHalvings; }
    int pointCount() const { return static_cast<int>(T.size()); }
    FitPoints points() const { return {&T, &n, lo, hi}; }

    // The opening operation: reads the analysis, simulates the reference
    // species on the grid (the curve before adjustment). Messages: fewer than
    // two usable points.
    std::vector<OutcomeMessage> open(const Analysis& a, ProgressReporter* progress);
    // "Initialize" and the four range buttons (each resets first).
    void initialize();
    void decreaseLow();
    void increaseLow();
    void decreaseHigh();
    void increaseHigh();

    // "Curve Fitting"; refused (pressed false, no failedText) while the
    // button is disabled.
    struct PressOutcome {
        bool pressed = false;       // false: failedText is not a number, nothing changed
        std::string failedText;
        int acceptedSteps = 0;
        bool rejected = false;      // ended on a step that did not lower S
        std::string refusal;        // the fitted set is not physical (nothing changed)
    };
    PressOutcome press(ProgressReporter* progress);

    // Name the save dialog proposes: the simulation file with ".cft".
    static std::string saveProposal(const Analysis& a);
    // The *.cft file at `path`; on success it becomes the file name, Save is
    // disabled and the figure buttons enabled. On failure the error names the
    // file and the previous file survives.
    FileOutcome save(const Analysis& a, const std::string& path);
    std::string fileText(const Analysis& a) const;
    // physical::problem of the species in use; empty when they are physical.
    std::string physicalProblem() const;

    // The fit curve of a parameter set on the grid.
    void simulateGrid(const ParameterSet& p, ProgressReporter* progress);

private:
    void reset();
    void setCheckBoxes();
    void showReferenceInFields();
};

// Display texts of the window.
std::string errorText(double v, bool determined, bool energy);

} // namespace curvefit
