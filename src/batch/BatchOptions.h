// The options of vorn-batch: what each run is asked to do, parsed from the
// command line by one table that also writes the help text.
#pragma once

#include "analysis/base/EvaluationType.h"

#include <string>
#include <vector>

// An instrument's own text file converted to a data file before the analysis,
// as the converter window's "Save" does it (--columns and what goes with it).
struct BatchConversion {
    int temperatureColumn = 0;        // 1-based; 0 = the inputs are data files
    int concentrationColumn = 0;
    int reliabilityColumn = 0;        // 0 = every point has full weight
    std::string conductionType;       // "n-type" or "p-type"
    std::string sampleNumber;
    double thickness = 0, magneticField = 0, current = 0;
    // The N column holds R_H or the Hall voltage (--quantity), with the
    // 1-based columns of current and field (0 = --current, --field).
    int quantity = 0;                 // 0 concentration, 1 Hall coefficient, 2 Hall voltage
    int currentColumn = 0, fieldColumn = 0;
    double hallFactor = 1;
    bool celsius = false, gauss = false;
    bool active() const { return temperatureColumn > 0; }
};

struct BatchOptions {
    double smoothness = 5000;
    bool autoSmoothness = false;      // --smoothness auto: chosen by cross-validation
    int functionType = 2;             // 1 = S, 2 = H
    std::string evaluationType = evaltype::name(evaltype::kDefault);
    std::vector<double> degeneracy;   // g1, g2, g3; empty = as the conduction type sets them
    bool answerYes = false;           // answer of the recalculation question
    std::string outputDir;            // empty = the input's folder
    bool json = false;
    bool report = false;              // --report: the HTML report of each sample
    bool quiet = false;               // errors only on standard error, no tables
    bool progress = false;            // progress lines on standard error (a terminal)
    int jobs = 0;                     // files analysed at once; 0 = one per core
    // A material the table does not know (or a different N_0 for one it does).
    double dos0 = 0;                  // N_0 [cm^-3 K^-1.5]; 0 = not given
    double mass = 0;                  // effective mass / m0; 0 = not given
    double minima = 0;                // equivalent minima; 0 = not given
    std::string material;             // replaces the file's material name
    // Conventional analyses after the Fermi level, over the points whose
    // temperatures lie in [low, high] K (all points when not given).
    struct TemperatureRange {
        bool given = false;
        double low = 0, high = 0;
    };
    bool oneImpurity = false;         // --one-impurity[=T_LOW:T_HIGH]
    TemperatureRange oneImpurityRange;
    double netDensity = 0;            // --donor-acceptor=N_NET[:T_LOW:T_HIGH]; 0 = not asked
    TemperatureRange donorAcceptorRange;
    bool dhes = false;                // --dhes: the DHES peaks after the Fermi level
    bool fit = false;                 // --fit: curve fitting after the simulation
    bool fitPrecise = false;          // --fit-precise: its Fermi level with 30 halvings
    bool bestModel = false;           // --best-model: the model the data support, after the rest
    BatchConversion conversion;
    // The excited-states window after the H1 evaluation: when the caution is
    // raised (--excited) or always (--excited=always).
    enum class Excited { Off, OnCaution, Always };
    Excited excited = Excited::Off;
    double dielectricConstant = 0;    // 0 = the material table's
    // Development setting of the excited-states window (a build with
    // releaseFlag 0 only): precise mode with this highest level r (0 = the
    // automatic evaluation) and the shift of the excited levels [meV].
    int releaseFlag = 1;              // the build setting; parsing refuses the two below when 1
    int highestLevel = 0;
    double levelShift = 0;
    bool levelShiftGiven = false;
    bool overwrite = false;           // --overwrite: a conversion may replace an existing data file
    // Every input of this invocation: no result of any file replaces one.
    std::vector<std::string> runInputs;
};

// The option values "T_LOW:T_HIGH" and "N_NET[:T_LOW:T_HIGH]"; false with a
// message in `error`.
bool parseTemperatureRange(const std::string& text, BatchOptions::TemperatureRange& range, std::string& error);
bool parseDonorAcceptor(const std::string& text, BatchOptions& options, std::string& error);

// Parses the command line (without argv[0]). Returns 0 to run, or the exit
// status to stop with (help and version: 0 with `stop` set; usage errors: 2
// with a message in `error`).
int parseBatchArguments(const std::vector<std::string>& args, BatchOptions& options,
                        std::vector<std::string>& files, bool& stop, std::string& error);

// The help text of --help, written from the same table the parsing reads.
std::string batchUsage();
