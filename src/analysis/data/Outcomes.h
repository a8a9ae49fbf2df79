// What the buttons of the main window do to the analysis, without the
// widgets: each operation makes the decisions (resets, recalculation chain,
// compensation, messages and their order) and returns an outcome that the
// window renders and the batch program follows. Qt-free like the rest of
// the core.
#pragma once

#include "analysis/base/Deviation.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

// The stages of the pipeline, in order. Resetting from a stage clears it and
// every later one.
enum class PipelineStage { ExperimentalData, DataForAnalysis, FermiLevel, Stage1, Stage2, Stage3, Simulation };

// The first stage whose page no longer shows what the analysis holds after an
// operation, carried by its outcome: the window clears that page and every
// later one before it shows the outcome. Empty: every page stays valid.
using PageReset = std::optional<PipelineStage>;

// One message box, in the order the user sees them.
struct OutcomeMessage {
    bool error = true; // false: confirmation box
    std::string text;
};

// What the Simulation page holds as the user sees it: the ticks and the typed
// texts of the three species and of the compensating density. The simulation
// reads these texts, so a value handed over in a display format (numfmt::density,
// energy, degeneracy) is simulated as rounded there, in the window and in the
// batch program alike.
struct SimulationInputs {
    std::array<bool, 3> speciesTicked{};
    std::array<std::string, 3> density{"0", "0", "0"};
    std::array<std::string, 3> energy{"0", "0", "0"};
    std::array<std::string, 3> degeneracy{"1", "1", "1"};
    bool compensationTicked = false;
    std::string compensating = "0";

    // Species k untouched by the user: unticked, "0", "0", "1".
    void resetSpecies(int k);
    // Compensating density unticked, "0".
    void resetCompensation();
    // What the page resets of stage k (0..2) clear: species k..2 and the
    // compensating density; k = 3 (the Simulation page alone) only unticks it.
    void resetFromStage(int k);
};

// A load or save button: did it work, and what the user is told.
struct FileOutcome {
    bool ok = false;
    std::string error; // the error box when !ok (may be empty after a cancel)
    PageReset resetFrom; // loads and new data: what the window clears
};

// The function type window switched S <-> H.
struct FunctionTypeOutcome {
    bool stage1Ready = false; // H1 can start at once
    PageReset resetFrom;
};

// "Calculation" of the data for analysis.
struct SplineOutcome {
    bool computed = false;
    std::string error;
    PageReset resetFrom;
    // How closely the spline follows the weighted measured points:
    // deviation.points = 0 when none lies on the grid.
    LargestDeviation deviation;
    std::string deviationText; // "max. deviation 12.7 % at 80 K"
    // Above this the smoothness is worth lowering.
    static constexpr double kNotableDeviation = 0.05;
    bool deviationNotable() const { return deviation.points > 0 && deviation.largest > kNotableDeviation; }
};

// "Auto" beside the smoothness: the smoothness chosen by generalized
// cross-validation of the same spline.
struct SmoothnessOutcome {
    double value = 0;   // 0 when none could be chosen (then error)
    std::string error;
    // The score still fell at an end of the searched range (nearly
    // interpolating, or nearly a straight line); empty otherwise.
    std::string note;
};

// "Save (*.spl)" and loading a *.spl file: the file, then the material table.
struct DataForAnalysisOutcome {
    bool ok = false;
    std::string error;
    PageReset resetFrom;
    // False: the material is not in the table; its N_0 waits for "Calculate
    // Effective Density Of States".
    bool materialKnown = true;
};

// "Calculation" of the Fermi level.
struct FermiLevelOutcome {
    bool computed = false;        // the grid result exists (Save enabled)
    bool experimentalDrawn = false; // Advanced mode: the points were computed
    std::string error;            // shown after the page was updated
    bool refused = false;         // N_0 not established: nothing changed
    PageReset resetFrom;
};

// "Calculation" of stage k (ButtonCalcH1/H2/H3).
struct StageCalculationOutcome {
    enum class Kind {
        Calculated,     // the curve is there: draw it, its peak and E_ref
        CalculateAgain, // the button offers "Calculation again"
        Finished,       // "Evaluation has been finished!": the button stays disabled
        Failed          // the curve could not be calculated
    };
    Kind kind = Kind::Failed;
    PageReset resetFrom;
    std::vector<OutcomeMessage> messages; // shown first, in this order
    // The stage's button afterwards: enabled, and with "Calculation again".
    bool calculationEnabled = false;
    bool calculateAgain = false;
    // Calculated: 0 < P_k < N-1, so "Evaluation" (and the peak steps) can run.
    bool peakInside = false;
    // Captions of the later stages' buttons back to "Calculation".
    bool laterCaptionsReset = false;
    // The compensating-density label of this page (LabelComDensityH2/H3)
    // when it changed; empty = unchanged.
    std::string compensationLabel;
    // Calculated: the Yes/No question to ask once the page shows the curve;
    // on Yes call answerRecalculationQuestion(k). Empty = no question.
    std::string question;
};

// What "Evaluation again" or the recalculation question's Yes leaves on the
// page of stage k: the compensating density now in use.
struct RecalculationOutcome {
    bool applied = false;
    std::string compensationLabel; // numfmt::density
    PageReset resetFrom;
};

// "Save Obtained Results" of stage s, after the dialog.
struct StageSaveOutcome {
    bool ok = false;
    std::string error;
    bool enableNextStage = false;     // the next stage's "Calculation"
    bool evaluationCompleted = false; // then "Evaluation has been completed!"
};

// "Simulation".
struct SimulationOutcome {
    bool simulated = false;
    // A text of the page that is not a number stops before the simulation;
    // the values before it in page order are taken. -1 when none failed.
    int failedField = -1;
    std::string failedText;
    std::vector<OutcomeMessage> messages; // after the charts are drawn
    // The largest relative deviation from the measured points (-1: none to
    // compare) and its temperature; above 20 % a warning is among the messages.
    double largestDeviation = -1;
    double deviationTemperature = 0;
    // "Largest deviation from the measured points: 12.3 % at 85 K".
    std::string deviationText;
};

// The order in which "Simulation" reads the fields of the page.
enum class SimulationField {
    Density1, Energy1, Degeneracy1, Density2, Energy2, Degeneracy2,
    Density3, Energy3, Degeneracy3, Compensating, Count
};
