#pragma once
// The two searches the evaluations share: the energy level whose model peak
// lies at a measured temperature, and the compensation ratio walked out in
// decades and then bisected geometrically. Each caller supplies its model as
// a function; the searches themselves hold no physics.
#include <climits>
#include <functional>
#include <limits>

namespace search {

enum class LevelPlace { InRange, Shallow, Deep };

struct LevelFound {
    double level = 0;
    LevelPlace place = LevelPlace::InRange;
};

// The model peak temperature for a level (eV).
using PeakAt = std::function<double(double level)>;
// Told after each model call which bound the level just tried became
// (true: the deeper bound), so a model may prune what the bounds settle.
using BoundNote = std::function<void(bool deeper)>;

struct LevelScan {
    double shallowest = 0, deepest = 0, step = 0; // eV
    int halvings = 0;
};

// Levels from the shallowest in steps until the model peak is no longer
// below target, then halvings inside that step. Shallow (level 0) when the
// shallowest level already peaks above target, Deep (level = deepest) when
// no step below the deepest level reaches it.
LevelFound levelForPeakTemperature(double target, const LevelScan& scan, const PeakAt& peakAt,
                                   const BoundNote& note = {});

// Plain halving of [shallowest, deepest] that checks on every step that the
// bounds still bracket target; onStep runs before each step. The level is the
// middle of the last bounds.
LevelFound levelByHalving(double target, double shallowest, double deepest, int halvings,
                          const PeakAt& peakAt, const std::function<void()>& onStep = {});

// One trial of a ratio: Out when the model cannot be evaluated there, Short
// when the crossing sought lies further out, Past when it was passed.
enum class Trial { Out, Short, Past };
using TrialAt = std::function<Trial(double ratio)>;

struct DecadeWalk {
    double start = 0;          // inner bound, not tried; its sign is the walk's
    double bound = std::numeric_limits<double>::infinity(); // a decade beyond |bound| is not tried
    int maxDecades = INT_MAX;  // more trials than this fail the walk
    int halvings = 0;          // geometric bisections of the last decade
};

struct WalkResult {
    double ratio = 0;  // the last ratio tried in the bisection
    double inner = 0;  // the inner bound at the end
    bool lastOut = false;
    bool failed = false;
};

// Ratios start*10, start*100, ... while Short (stopping at the first Out or
// Past, a non-finite ratio or one beyond bound), then halvings of the last
// decade at the geometric mean of its bounds (of the walk's sign). A caller
// whose last trial was Out falls back to inner.
WalkResult walkDecades(const DecadeWalk& walk, const TrialAt& trial);

} // namespace search
