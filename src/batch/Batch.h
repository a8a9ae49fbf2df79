// Headless batch analysis: runs the central method on experimental data files
// through the same core operations the main window's buttons run, with the
// default answers, so the files it writes are exactly those of the same
// clicks in the GUI. Needs the numerical core only: no widgets, no display.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "batch/BatchOptions.h"

class Analysis;

// The curve fitting of --fit: the species after the last press, with their
// standard errors (negative: not determined).
struct BatchFitSpecies {
    double energy = 0, energyError = -1;   // eV
    double density = 0, densityError = -1; // cm^-3
    double g = 0;
};
struct BatchFit {
    bool done = false;
    int presses = 0;
    int times = 0;                    // the window's "Curve Fitting N times"
    bool converged = false;           // the last press ended on a rejected step
    bool precise = false;
    double lowTemperature = 0, highTemperature = 0; // K, the range fitted
    double sumOfSquares = 0;
    std::vector<BatchFitSpecies> species;
    double compensatingDensity = 0, compensatingError = -1;
};

// The model the data support (--best-model): the chosen species with standard
// errors (negative: not determined) and the alternatives with their criterion.
struct BatchBestModelSpecies : BatchFitSpecies {
    bool determined = false;
};
struct BatchBestModelAlternative {
    int speciesCount = 0;
    std::string distribution;
    int levelCount = 0;
    int parameters = 0;
    double criterion = 0, rms = 0;
    bool chosen = false;
};
struct BatchBestModel {
    bool done = false;
    std::string criterionName;        // "BIC" or "AICc"
    double criterion = 0, rms = 0;
    std::string distribution;         // "fermi-dirac" or "excited-states"
    int levelCount = 0;               // R of the excited-states distribution
    std::vector<BatchBestModelSpecies> species;
    double compensatingDensity = 0, compensatingError = -1;
    std::vector<BatchBestModelAlternative> alternatives;
};

// The excited-states evaluation of the H1 species beside its Fermi-Dirac result.
struct BatchExcited {
    bool run = false;
    bool caution = false;             // the H1 evaluation raised the caution
    bool evaluated = false;           // a level within 1 .. 1500 meV was found
    double dielectricConstant = 0;
    int levelCount = 0;               // R of the chosen trial (r in precise mode)
    bool precise = false;
    double levelShift = 0;            // meV
    double density = 0, energyLevel = 0, compensatingDensity = 0;
    double fermiDiracDensity = 0, fermiDiracEnergyLevel = 0, fermiDiracCompensatingDensity = 0;
};

// One stage as the summary reports it.
struct BatchStage {
    std::string name;                 // "H1" .. "H3" or "S1" .. "S3"
    bool calculated = false;
    bool evaluated = false;
    bool saved = false;
    double referenceEnergy = 0;       // eV
    double peakTemperature = 0;       // K
    double peakValue = 0;
    double density = 0;               // cm^-3
    double energyLevel = 0;           // eV
    double compensatingDensity = 0;   // cm^-3, found by this stage
};

// One conventional analysis as the summary reports it.
struct BatchConventional {
    std::string analysis;             // "one impurity" or "donor-acceptor"
    bool done = false;
    int status = 0;                   // as BatchResult::status when not done
    std::string error;
    double lowestTemperature = 0, highestTemperature = 0; // K, of the fitting range
    double energyLevel = 0;           // eV
    double density = 0;               // majority dopant, cm^-3
    double compensatingDensity = 0;   // cm^-3 (0 for one impurity)
    double correlation = 0;           // r of the line
    std::string file;                 // *.CNO / *.CNC written
};

// One peak of the DHES as the window shows it after "Evaluation".
struct BatchDhesPeak {
    double fermiLevel = 0;            // eV, abscissa of the marker
    double temperature = 0;           // K
    double peakValue = 0;             // DHES at the marker, cm^-3
    double energyLevel = 0;           // eV
    double density = 0;               // cm^-3
    bool edge = false;                // at the first or last sample of the signal
    bool evaluated = true;            // false: an edge the search ran into, not evaluated
};

struct BatchMessage {
    std::string kind;                 // "error", "warning", "confirmation", "question", "conversion error"
    std::string text;
};

struct BatchResult {
    std::string input;
    int status = 0;                   // 0 done, 1 an analysis step failed, 2 file error
    std::string failure;              // what failed, for the table
    std::string semiconductor, conductionType;
    int dataCount = 0;
    int splineCount = 0;
    double smoothness = 0;            // the smoothness of the spline
    bool smoothnessChosen = false;    // by cross-validation (--smoothness auto)
    // The cross-validation score was smallest at an end of the searched
    // range: the smoothness is that end, not a minimum.
    bool smoothnessAtRangeEnd = false;
    std::vector<BatchStage> stages;
    bool dhes = false;                // the DHES was worked (--dhes)
    std::vector<BatchDhesPeak> dhesPeaks;
    double compensatingDensity = 0;   // in use at the end
    bool simulated = false;
    // Largest relative deviation of the simulation from the measured points
    // (reliability > reliability::kPlotted) and its temperature; -1 when not simulated.
    double largestDeviation = -1;
    double deviationTemperature = 0;
    std::vector<BatchConventional> conventional;
    BatchFit fit;
    BatchBestModel bestModel;
    BatchExcited excited;
    std::vector<BatchMessage> messages;
    std::vector<std::string> files;   // written by this run, in order
};

// The conventional analyses the options ask for, on the analysis object after
// its Fermi level, each written under the name its save dialog proposes
// (passed through `savePath`), with the windows' defaults.
std::vector<BatchConventional> runConventionalAnalyses(Analysis& analysis, const BatchOptions& options,
                                                       const std::function<std::string(const std::string&)>& savePath);
// Runs one file through the pipeline in this process on `analysis` (the
// first form on the program's analysis object C). Messages go to `err` as
// they come.
BatchResult runBatchFile(const std::string& path, const BatchOptions& options, std::ostream& err);
BatchResult runBatchFile(Analysis& analysis, const std::string& path, const BatchOptions& options,
                         std::ostream& err);

// The report's content beside the analysis object: the options, the further
// analyses of the run and its warnings (BatchReport.cpp).
namespace report { struct Content; }
report::Content batchReportContent(const Analysis& analysis, const BatchResult& result, const BatchOptions& options);
// The report of a run on `analysis`, under the name proposed for it in the
// output folder; recorded in the result's files (or as an error, status 2).
void writeBatchReport(Analysis& analysis, BatchResult& result, const BatchOptions& options, std::ostream& err);

// The folder a file's results go to: --output-dir, or the input's own.
std::string batchOutputFolder(const std::string& input, const BatchOptions& options);

// Runs every file (options.jobs at once, each in a process of its own), prints
// one table per file in input order (or the JSON summary) on `out` and the
// messages on `err`, file by file in input order; returns the exit status
// (the worst of the files).
int runBatch(const std::vector<std::string>& files, const BatchOptions& options,
             std::ostream& out, std::ostream& err);

std::string formatBatchTable(const BatchResult& result);
std::string formatBatchJson(const std::vector<BatchResult>& results);
// One element of the JSON array.
std::string formatBatchJsonEntry(const BatchResult& result);
// The JSON array of elements formatBatchJsonEntry wrote (in worker processes).
std::string joinBatchJson(const std::vector<std::string>& entries);

// SIGINT and SIGTERM end the batch at once, its workers with it, with the
// exit status 128 + the signal; the temporary file of a save in progress is
// removed.
void installBatchInterruptHandler();

// Entry point of vorn-batch.
int batchMain(int argc, char** argv);
