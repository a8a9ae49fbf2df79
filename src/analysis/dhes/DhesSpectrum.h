// Differential Hall-effect spectroscopy: kT times the derivative of the
// majority-carrier concentration with respect to the Fermi level, plotted
// against the Fermi level. Each species gives a peak whose position and height
// yield its level and density. The state of the DHES window and what each of
// its buttons does to it live here; the window only renders them. Nothing of
// the analysis object is changed.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "analysis/data/Analysis.h"

namespace dhes {

constexpr int peakCount = 4;

struct Peak {
    int index = 0;            // position of the marker in the DHES array
    double energyLevel = 0;   // eV
    double density = 0;       // cm^-3
    // A curve with one element is empty: the peak counts as evaluated while
    // its theoretical curve holds more than one value.
    DoubleArray theoretical{0.0};
    DoubleArray approximate{0.0};
    // Evaluated at the first or last sample of the signal (see atEdge).
    bool edge = false;
    bool evaluated() const { return theoretical.size() > 1; }
};

// Which controls are enabled, as the button presses leave them.
struct Controls {
    std::array<bool, peakCount> previous{}, next{}, evaluation{}, clear{}, draw{};
    bool sum = false;
    bool save = false;
    bool saveFigure = false;
};

// What the chart shows besides the curves: the markers drawn, per peak.
struct State {
    DoubleArray temperature;   // grid T_i (the G points)
    DoubleArray fermi;         // Fermi level F_i on the grid [eV]
    DoubleArray dhes;          // measured D[j], j = 0 .. G-2 [cm^-3]
    DoubleArray abscissa;      // X[j] [eV]
    double degeneracy = 2;     // 2 for n-type, 4 for p-type
    bool nType = true;
    std::array<Peak, peakCount> peaks;
    std::array<bool, peakCount> markerShown{};
    DoubleArray sum{0.0};
    bool sumShown = false;
    std::string fileName;      // last *.DHES written
    std::string refusal;       // workPeaks: why its last evaluation gave no peak
    Controls controls;
};

// The measured DHES of a grid: D[j] = (n[j+1]-n[j]) * kT_avg / (F[j+1]-F[j]),
// repeating the previous value (0 at the first point) where the Fermi level
// does not change; X[j] the mean of the two Fermi levels.
void measuredDhes(const DoubleArray& temperature, const DoubleArray& concentration,
                  const DoubleArray& fermi, DoubleArray& dhes, DoubleArray& abscissa);

// The peak walks of the marker at `index` in `values` (downhill to the valley,
// then uphill to the next maximum; a walk ends at the first sample that fails
// to improve while lying more than 50 samples beyond the current extreme).
int previousPeak(const DoubleArray& values, int index);
int nextPeak(const DoubleArray& values, int index);

// True when `index` stands on a maximum found inside the data: higher than
// the sample before it, and not the last sample (where the maximum may lie
// beyond the measured range).
bool isInteriorMaximum(const DoubleArray& values, int index);

// A marker on the first or last sample of the signal: the maximum there is
// no peak found inside the data. It may lie beyond the measured range, or be
// the end effect of the spline (the smoothed curve bends at its ends, and
// the derivative of the DHES magnifies that into a spike), so the level and
// density evaluated from it are doubtful.
bool atEdge(const DoubleArray& values, int index);
// The warning shown when peak s+1 was evaluated at an edge.
std::string edgeWarning(const State& st, int s);

// Signal of one species of level `level` and density `density`: the
// theoretical curve (with the change of kT along the Fermi level; where the
// Fermi level does not change, the previous value, 0 at the first point) and
// the approximate one (kT fixed).
DoubleArray theoreticalCurve(const DoubleArray& temperature, const DoubleArray& fermi, double level,
                             double density, double degeneracy);
DoubleArray approximateCurve(const DoubleArray& temperature, const DoubleArray& fermi, double level,
                             double density, double degeneracy);

// ---- the window's operations (slot s = 0 .. 3 is peak s+1) ----------------
// Opening: the grid of `a`, D and X, every peak reset, the controls of a
// fresh window.
State open(const Analysis& a);
void previousPeakPressed(State& st, int s);
void nextPeakPressed(State& st, int s);
// "Evaluation": empty on success; otherwise the message of a result that is
// not physical (the slot then stays empty).
std::string evaluationPressed(State& st, int s);
void clearPressed(State& st, int s);
void drawPressed(State& st, int s);
// "Sum of each Signal": the sum of the evaluated theoretical curves.
void sumPressed(State& st);
extern const char* const sumMessage;

// The *.DHES file at `path`. False with `error` naming the file when it cannot
// be written; the previous file then survives.
std::string fileText(const Analysis& a, const State& st, const std::string& path);
bool writeFile(const Analysis& a, const State& st, const std::string& path, std::string& error);
// "Save (*.DHES)" once the dialog was confirmed: writes, and on success takes
// the path as the file name and moves the save controls on.
bool savePressed(const Analysis& a, State& st, const std::string& path, std::string& error);
// The name the save dialog proposes: the data file with ".DHES".
std::string saveProposal(const Analysis& a);
// The figure's proposal: the last *.DHES with "DHES.bmp" for its extension.
std::string figureProposal(const State& st);

// What the batch program does: from the low-Fermi-level end, for each slot in
// turn "Next Peak" until the marker lies beyond the previous peak's (or no
// longer moves), then "Evaluation"; it stops when no further peak is found or
// after four. When the search for a further peak disabled "Sum of each
// Signal", "Evaluation" of the last peak found is pressed again. Returns the
// number of peaks evaluated.
int workPeaks(State& st);
// After workPeaks found `s` peaks: the search for one more ended on the last
// sample of the signal while it still rises there. `edge` then holds what
// "Evaluation" would give at that marker (marked as an edge); the state
// keeps its results.
bool edgePeak(const State& st, int s, Peak& edge);

} // namespace dhes
