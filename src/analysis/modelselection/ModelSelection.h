// The model the data support: every species model from one to four species
// (and, for p-type samples, the first acceptor with its hydrogen-like
// excited states) fitted to the measured points by a damped least-squares
// search in log density and level, the number of species and the
// distribution chosen by an information criterion, and honest standard
// errors from the covariance at the optimum.
//
// Residuals are log10(n_fit) - log10(n_meas), weighted by the reliability:
// the noise of Hall data is relative. Energies are depths below the
// majority band edge [eV], densities in cm^-3.
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

class Analysis;

namespace modelsel {

constexpr int maxSpecies = 4;
// Halvings of the Fermi-level bisection on [0, 1.5] eV: past the resolution
// of a double, so the fit sees the model and not the solver's steps.
constexpr int fermiHalvings = 60;
// R of the excited-states distribution, as the excited-states analysis tries it.
constexpr int minLevelCount = 2, maxLevelCount = 10;
// A model with more parameters replaces a simpler one only when its
// criterion is lower by more than this (6: "strong" evidence on the usual
// scale of BIC differences).
constexpr double criterionMargin = 6.0;
// Below this many points the criterion is AICc, otherwise BIC.
constexpr int fewPoints = 25;
// A species is "not determined by these data" when its density's standard
// error exceeds the density or its level's exceeds this [eV].
constexpr double undeterminedLevelError = 0.020;

enum class Distribution { FermiDirac, ExcitedStates };
std::string distributionName(Distribution d); // "fermi-dirac" / "excited-states"

struct Species {
    double density = 0; // cm^-3
    double level = 0;   // eV
    double g = 1;       // degeneracy factor
};

struct Model {
    std::vector<Species> species;
    double compensating = 0; // cm^-3, fully ionised, of the other type
    Distribution distribution = Distribution::FermiDirac;
    int levelCount = 0;      // R of the first species' excited states
};

// The measured points and what the model needs of the material.
struct Data {
    std::vector<double> T, n, w; // points with positive reliability
    double dos0 = 0;             // cm^-3 K^-1.5
    std::array<double, maxSpecies> g{2, 2, 2, 2}; // degeneracy of species 1..4
    double effectiveMass = 0, dielectricConstant = 0;
    bool excitedStates = false;  // offer the excited-states alternative
    int points() const { return static_cast<int>(T.size()); }
};

// The analysis object's points of positive reliability and its material.
// The degeneracy factors are those of the stages, the excited-states
// alternative is offered for p-type samples with a known mass and
// dielectric constant.
Data dataFrom(const Analysis& a, const std::array<double, 3>& stageDegeneracy);

// The degeneracy factor a stage page shows for the conduction type.
double typeDegeneracy(const Analysis& a);
// Those of the three stages: an evaluated stage's own, else the type's.
std::array<double, 3> stageDegeneracies(const Analysis& a);

// Depth of the Fermi level [eV] and the concentration of the model at T.
double fermiLevel(const Model& m, const Data& d, double T);
double concentration(const Model& m, const Data& d, double T);

// The model along `count` temperatures from tLow to tHigh: the
// concentration and the ionised density of each species.
struct Curves {
    std::vector<double> T, n;
    std::vector<std::vector<double>> ionised; // [species][point]
};
Curves modelCurves(const Model& m, const Data& d, double tLow, double tHigh, int count);

struct SpeciesResult {
    Species species;
    double densityError = -1, levelError = -1; // negative: not determined at all
    bool determined = false;
};

struct Fit {
    bool ok = false;
    Model model;
    int parameters = 0, points = 0;
    double sumOfSquares = 0;  // weighted, of log10 residuals
    double criterion = 0;
    double rms = 0;           // weighted RMS of the log10 residuals
    std::vector<SpeciesResult> species;
    double compensatingError = -1;
    bool compensatingDetermined = false;
    // Correlation of the fitted parameters, row-major, named as in
    // parameterNames ("log N1", "E1", ..., "log Ncomp").
    std::vector<std::string> parameterNames;
    std::vector<double> correlation;
    std::vector<double> T, measured, fitted; // the points and the model there
    std::vector<double> residual; // log10 n_meas - log10 n_fit per point
};

struct Alternative {
    int speciesCount = 0;
    Distribution distribution = Distribution::FermiDirac;
    int levelCount = 0;
    int parameters = 0;
    double criterion = 0;
    double rms = 0;
    bool chosen = false;
};

struct Selection {
    bool ok = false;
    bool cancelled = false;
    std::string message;       // why nothing was chosen
    std::string criterionName; // "BIC" or "AICc"
    Fit chosen;
    std::vector<Alternative> alternatives; // every model fitted, in order of parameters
};

// Progress: called with the work done and its total; returning false
// cancels the search (the selection then reports cancelled and nothing else).
using Progress = std::function<bool(int done, int total)>;

// The search: every seed refined, a coarse grid of levels for each added
// species, then the choice. Seeds may hold any number of species.
Selection selectModel(const Data& d, const std::vector<Model>& seeds, const Progress& progress = {});

// The least-squares refinement of one model (its distribution and R fixed).
Fit refine(const Data& d, const Model& start, int maxIterations = 200);

// What the analysis already found: the evaluated stages, the simulated
// species. Degeneracies from `d`.
std::vector<Model> seedsFrom(const Analysis& a, const Data& d);
// The spectroscopy run again at another smoothness on a copy of the analysis
// (spline, Fermi level, H1 to H3 with the default answers, no files), as a
// seed; empty when it does not reach an evaluated H1.
std::vector<Model> spectroscopySeeds(const Analysis& a, double smoothness, const Data& d);

// Every start the program already has: the analysis's own results, the
// spectroscopy again at the default and at the cross-validated smoothness,
// and the caller's (DHES peaks, conventional analyses).
std::vector<Model> collectSeeds(const Analysis& a, const Data& d, const std::vector<Model>& extra = {});

// The result file: the shared header, the chosen model with its errors and
// verdicts, the correlation matrix, the alternatives, the points.
std::string resultText(const Analysis& a, const Selection& s);
std::string saveProposal(const Analysis& a); // the simulation's (or data's) name with ".mdl"
bool save(const Analysis& a, const Selection& s, const std::string& path, std::string& error);

// Display texts.
std::string verdictText(const SpeciesResult& s); // "determined" / "not determined by these data"
// A standard error as the tables show it: "not determined" when negative.
std::string errorText(double error, bool energy);

} // namespace modelsel
