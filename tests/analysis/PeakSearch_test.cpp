// Automatic E_ref and peak search, and the manual peak steps.
//
// Most cases use a designed grid: 1001 points from 100 K to 200 K whose H1 at
// E_ref = 0 is a chosen shape f(T), so that H1 at E_ref is f(T) exp(E_ref/kT)
// and the expected E_ref and peak follow from f by hand. With N = 1001 the
// stage-1 window is L = trunc(100.1) = 100 (110 K), U = trunc(950.95) = 950
// (195 K).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <fstream>
#include <string>
#include <type_traits>
#include <vector>

#include "analysis/data/Analysis.h"
#include "TestFiles.h"

namespace {

constexpr double kB = 1.38054e-23;
constexpr double qe = 1.6021e-19;
constexpr double c = qe / kB; // E_ref/kT = E_ref * c / T
constexpr int N = 1001;
constexpr int L0 = 100, U0 = 950;

double kTof(double T) { return T * kB / qe; }
double gauss(double T, double centre, double width)
{
    const double x = (T - centre) / width;
    return std::exp(-x * x);
}
double gridT(int j) { return 100.0 + 0.1 * j; }

using Shape = std::function<double(double)>;

Analysis designed(const Shape& f)
{
    Analysis a;
    a.resetAll();
    a.resetSpectroscopy();
    a.splineCount = N;
    for (int j = 0; j < N; ++j) {
        const double T = gridT(j);
        a.splineTemperature.push_back(T);
        a.splineConcentration.push_back(std::sqrt(f(T) * std::pow(kTof(T), 2.5)));
    }
    return a;
}

// The designed H1 at E_ref, from the shape alone.
std::vector<double> shapeAt(const Shape& f, double eref)
{
    std::vector<double> h(N);
    for (int j = 0; j < N; ++j)
        h[j] = f(gridT(j)) * std::exp(eref * c / gridT(j));
    return h;
}

int argmaxIn(const std::vector<double>& h, int from, int to)
{
    int m = from;
    for (int j = from + 1; j <= to; ++j)
        if (h[j] > h[m])
            m = j;
    return m;
}

// The stored E_ref, curve and peak must belong together: recomputing the
// curve at the stored E_ref gives the stored curve.
void expectOneCurve(const Analysis& a, int k)
{
    Analysis copy = a;
    ASSERT_TRUE(copy.calculateHCurve(k));
    EXPECT_EQ(copy.hCurve[k], a.hCurve[k]) << "hCurve is not the curve at referenceEnergy";
}

struct RecordingProgress : ProgressReporter {
    int shows = 0, closes = 0, maximum = -1, position = 0, highest = 0;
    void show(int bar, int max) override
    {
        EXPECT_EQ(bar, Main);
        ++shows;
        maximum = max;
        position = 0;
    }
    void setPosition(int, int p) override
    {
        EXPECT_GE(p, position) << "the bar never moves back";
        position = p;
        highest = std::max(highest, p);
    }
    void step(int, int by) override
    {
        position += by;
        highest = std::max(highest, position);
    }
    void close(int) override { ++closes; }
};

} // namespace

// ---- E_ref search for stage 1 ----------------------------------------------

TEST(PeakSearch, MaximumInsideWindowReturnsZeroWithoutFinePhases)
{
    Analysis a = designed([](double T) { return gauss(T, 150, 5) + 1e-6; });
    RecordingProgress progress;
    a.progress = &progress;
    ASSERT_TRUE(a.autoCalculateStage(0));
    EXPECT_EQ(a.referenceEnergy[0], 0.0);
    EXPECT_EQ(a.peakIndex[0], 500);
    EXPECT_EQ(a.peakWindowStart, L0);
    EXPECT_EQ(a.peakWindowEnd, U0);
    EXPECT_EQ(a.hStartIndex, 0);
    // One curve, then the coarse phase's budget is padded; no fine phases.
    EXPECT_EQ(progress.shows, 1);
    EXPECT_EQ(progress.maximum, 1093);
    EXPECT_EQ(progress.position, 1000);
    EXPECT_EQ(progress.closes, 1);
    expectOneCurve(a, 0);
}

TEST(PeakSearch, RisingFlankMovesErefUpUntilTheMaximumReachesU)
{
    // The rising flank of a peak at 230 K, beyond the grid. ln H is concave
    // for these E_ref, so argmax <= U exactly when H[950] >= H[951], i.e.
    // E c (1/T950 - 1/T951) >= ln f(T951) - ln f(T950); the 1e-6 phase stops
    // at the first step beyond that bound.
    const Shape f = [](double T) { return gauss(T, 230, 20); };
    Analysis a = designed(f);
    RecordingProgress progress;
    a.progress = &progress;
    ASSERT_TRUE(a.autoCalculateStage(0));
    const double bound = (std::log(f(gridT(951))) - std::log(f(gridT(950)))) /
                         (c * (1 / gridT(950) - 1 / gridT(951)));
    EXPECT_GT(a.referenceEnergy[0], 0.5);
    EXPECT_GE(a.referenceEnergy[0], bound - 1e-12);
    EXPECT_LT(a.referenceEnergy[0], bound + 1e-6 + 1e-12);
    EXPECT_EQ(a.peakIndex[0], U0);
    EXPECT_EQ(progress.position, 1033); // every phase padded to its budget
    EXPECT_EQ(progress.closes, 1);
    expectOneCurve(a, 0);
}

TEST(PeakSearch, MonotonicallyRisingH1EndsInTheEndPointRecovery)
{
    // f = exp((T-200)/10): exp(E/kT) only adds a convex term, so the maximum
    // jumps from N-1 straight to 0 where H[0] = H[N-1], at
    // E c (1/100 - 1/200) = 10. No E_ref below that shows a local peak, so
    // the recovery runs E_ref from 0 up to the searched value and stops at
    // its bound; the stored E_ref is that of the last curve computed.
    Analysis a = designed([](double T) { return std::exp((T - 200) / 10); });
    RecordingProgress progress;
    a.progress = &progress;
    ASSERT_TRUE(a.autoCalculateStage(0));
    const double crossing = 10 / (c * (1 / 100.0 - 1 / 200.0));
    EXPECT_GT(a.referenceEnergy[0], crossing - 0.0001 - 1e-9);
    EXPECT_LE(a.referenceEnergy[0], crossing + 1e-6 + 1e-12);
    EXPECT_EQ(a.peakIndex[0], N - 1);
    EXPECT_EQ(progress.maximum, 1093);
    EXPECT_LE(progress.highest, 1093); // the long recovery never overruns the bar
    EXPECT_EQ(progress.closes, 1);
    expectOneCurve(a, 0);
}

TEST(PeakSearch, FallingH1MovesErefDownUntilTheMaximumReachesL)
{
    // Mirror: argmax >= L needs H[100] > H[99] (a tie keeps the lower index).
    Analysis a = designed([](double T) { return std::exp(-(T - 100) / 10); });
    ASSERT_TRUE(a.autoCalculateStage(0));
    const double bound = -0.01 / (c * (1 / gridT(99) - 1 / gridT(100)));
    EXPECT_LT(a.referenceEnergy[0], bound + 1e-12);
    EXPECT_GT(a.referenceEnergy[0], bound - 1e-6 - 1e-12);
    // The downward refinement starts at L itself and has nothing below it.
    EXPECT_EQ(a.peakIndex[0], L0);
    expectOneCurve(a, 0);
}

TEST(PeakSearch, ErefRunningToOneEvFailsAndMarksTheRecalculation)
{
    // Rising by 0.2 per step: even 1 eV cannot pull the maximum below U.
    Analysis a = designed([](double T) { return std::exp((T - 200) / 0.5); });
    RecordingProgress progress;
    a.progress = &progress;
    a.recalculationRequested = 1;
    a.lastError = "old";
    EXPECT_FALSE(a.autoCalculateStage(0));
    EXPECT_TRUE(a.lastError.empty()); // no message: the flags tell the caller
    EXPECT_EQ(a.recalculationRequested, 0);
    EXPECT_EQ(a.recalculationFailed, 1);
    EXPECT_GE(a.referenceEnergy[0], 1.0 - 1e-9);
    EXPECT_EQ(progress.closes, 1);

    Analysis b = designed([](double T) { return std::exp((T - 200) / 0.5); });
    EXPECT_FALSE(b.autoCalculateStage(0));
    EXPECT_EQ(b.recalculationRequested, 0);
    EXPECT_EQ(b.recalculationFailed, 0); // only a requested recalculation fails
}

TEST(PeakSearch, CurveFailureReportsAndClosesProgress)
{
    Analysis a = designed([](double T) { return gauss(T, 150, 5); });
    RecordingProgress progress;
    a.progress = &progress;
    a.functionType = 7;
    EXPECT_FALSE(a.autoCalculateStage(0));
    EXPECT_EQ(a.lastError, "Calculation of H could not be carried out.");
    EXPECT_EQ(progress.closes, progress.shows);

    Analysis empty;
    empty.resetAll();
    EXPECT_FALSE(empty.autoCalculateStage(0));
    EXPECT_EQ(empty.lastError, "Calculation of H could not be carried out.");
}

TEST(PeakSearch, SFunctionSearchesTheSameWay)
{
    // S = n exp(E/kT)/kT: with n = f kT the S curve at E_ref = 0 is f.
    Analysis a = designed([](double) { return 1.0; });
    for (int j = 0; j < N; ++j)
        a.splineConcentration[j] = gauss(gridT(j), 120, 4) * kTof(gridT(j)) * 1e15;
    a.functionType = 1;
    ASSERT_TRUE(a.autoCalculateStage(0));
    EXPECT_EQ(a.referenceEnergy[0], 0.0);
    EXPECT_EQ(a.peakIndex[0], 200);

    // The rising flank of a peak beyond the grid behaves like the H case above.
    const Shape f = [](double T) { return gauss(T, 230, 20); };
    for (int j = 0; j < N; ++j)
        a.splineConcentration[j] = f(gridT(j)) * kTof(gridT(j)) * 1e15;
    ASSERT_TRUE(a.autoCalculateStage(0));
    const double bound = (std::log(f(gridT(951))) - std::log(f(gridT(950)))) /
                         (c * (1 / gridT(950) - 1 / gridT(951)));
    EXPECT_GE(a.referenceEnergy[0], bound - 1e-12);
    EXPECT_LT(a.referenceEnergy[0], bound + 1e-6 + 1e-12);
    EXPECT_EQ(a.peakIndex[0], U0);
}

// ---- local-peak refinements ---------------------------------------------------

namespace {

// Amplitude that makes a feature at temperature T have height `rel` when
// E_ref = eref.
double amp(double rel, double T, double eref) { return rel * std::exp(-eref * c / T); }

} // namespace

TEST(PeakSearch, DownwardRefinementPrefersAPeakInsideTheWindow)
{
    // A steep wall at 100 K (index 0) is the maximum at E_ref = 0, so E_ref goes
    // negative; a feature at 198 K (index 980 > U) overtakes the wall near
    // -0.05 eV while a peak at 150 K is at 0.75 of it. The wall rises to index
    // 1 without a fall and never becomes a candidate; the 150 K peak does,
    // lies inside [L, U] and is above half of the maximum.
    const double e = -0.05;
    Shape f = [=](double T) {
        return amp(1, 100, e) * std::exp(-(T - 100) / 3) + amp(0.75, 150, e) * gauss(T, 150, 3) +
               amp(1, 198, e) * gauss(T, 198, 2) + 1e-12;
    };
    ASSERT_EQ(argmaxIn(shapeAt(f, 0), 0, N - 1), 0);
    Analysis a = designed(f);
    ASSERT_TRUE(a.autoCalculateStage(0));
    const double E = a.referenceEnergy[0];
    EXPECT_LT(E, -0.04);
    EXPECT_GT(E, -0.06);
    const DoubleArray& h = a.hCurve[0];
    const int global = argmaxIn(h, 0, N - 1);
    EXPECT_GT(global, U0); // the search itself ended on the 198 K feature
    EXPECT_EQ(a.peakIndex[0], argmaxIn(h, 400, 600));
    EXPECT_NEAR(a.peakIndex[0], 500, 2);
    expectOneCurve(a, 0);
}

TEST(PeakSearch, DownwardRefinementTakesAPeakBelowTheWindow)
{
    // As above with a real peak at 104 K (index 40 < L) instead of the wall.
    const double e = -0.05;
    Shape f = [=](double T) {
        return amp(1, 104, e) * gauss(T, 104, 1) + amp(1, 198, e) * gauss(T, 198, 2) + 1e-12;
    };
    ASSERT_EQ(argmaxIn(shapeAt(f, 0), 0, N - 1), 40);
    Analysis a = designed(f);
    ASSERT_TRUE(a.autoCalculateStage(0));
    EXPECT_LT(a.referenceEnergy[0], -0.04);
    EXPECT_EQ(a.peakIndex[0], argmaxIn(a.hCurve[0], 0, 99));
    EXPECT_NEAR(a.peakIndex[0], 40, 1);
    expectOneCurve(a, 0);
}

TEST(PeakSearch, TwoMaximaCloserThanFiftyPointsCountAsOne)
{
    // Two peaks below L: X at 109 K (index 90, 0.75 of the maximum) and Y,
    // higher, further down. Pass (b) takes the first candidate found going
    // down, X, unless X was dropped because the curve rose above it again
    // within 50 points on the way to Y.
    const double e = -0.05;
    auto shape = [=](double yT) -> Shape {
        return [=](double T) {
            return amp(1, yT, e) * gauss(T, yT, 0.5) + amp(0.75, 109, e) * gauss(T, 109, 0.5) +
                   amp(1, 198, e) * gauss(T, 198, 2) + 1e-12;
        };
    };
    // Y at 106 K: 30 points below X, X is dropped, Y wins.
    Analysis close = designed(shape(106));
    ASSERT_TRUE(close.autoCalculateStage(0));
    EXPECT_LT(close.referenceEnergy[0], -0.04);
    EXPECT_EQ(close.peakIndex[0], 60);
    // Y at 101 K: 80 points below X, both are candidates and X is found first.
    Analysis apart = designed(shape(101));
    ASSERT_TRUE(apart.autoCalculateStage(0));
    EXPECT_LT(apart.referenceEnergy[0], -0.04);
    EXPECT_EQ(apart.peakIndex[0], 90);
}

TEST(PeakSearch, UpwardRefinementPrefersAPeakInsideTheWindow)
{
    // Mirror: a steep wall at 200 K (index 1000) is the maximum at E_ref = 0,
    // E_ref goes positive, a peak at 102 K (index 20 < L) overtakes the wall
    // near +0.05 eV, and a peak at 130 K (0.75 of it) lies inside [L, U].
    const double e = 0.05;
    Shape f = [=](double T) {
        return amp(1, 200, e) * std::exp((T - 200) / 3) + amp(1, 102, e) * gauss(T, 102, 1) +
               amp(0.75, 130, e) * gauss(T, 130, 3) + 1e-12;
    };
    ASSERT_EQ(argmaxIn(shapeAt(f, 0), 0, N - 1), N - 1);
    Analysis a = designed(f);
    ASSERT_TRUE(a.autoCalculateStage(0));
    EXPECT_GT(a.referenceEnergy[0], 0.04);
    EXPECT_LT(a.referenceEnergy[0], 0.06);
    EXPECT_LT(argmaxIn(a.hCurve[0], 0, N - 1), L0);
    EXPECT_EQ(a.peakIndex[0], argmaxIn(a.hCurve[0], 200, 400));
    EXPECT_NEAR(a.peakIndex[0], 300, 2);
    expectOneCurve(a, 0);
}

TEST(PeakSearch, UpwardRefinementOfStage2NeedsTheWindowAboveTheFitStart)
{
    const double e = 0.05;
    Shape f = [=](double T) {
        return amp(1, 200, e) * std::exp((T - 200) / 3) + amp(1, 102, e) * gauss(T, 102, 1) +
               amp(0.75, 130, e) * gauss(T, 130, 3) + 1e-12;
    };
    // H2 with the compensation open, E_ref of H1 = 0 and no first species:
    // the curve is the same, L = min(t(A0/1.8), t(N/10)), U = 950.
    Analysis a = designed(f);
    a.referenceEnergy[0] = 0;
    a.fitStartIndex[0] = 400;
    ASSERT_TRUE(a.autoCalculateStage(1));
    EXPECT_EQ(a.peakWindowStart, 100);
    EXPECT_EQ(a.peakWindowEnd, 950);
    EXPECT_NEAR(a.peakIndex[1], 300, 2);
    // U = 950 does not exceed A0 = 960: the maximum at 102 K is kept.
    Analysis b = designed(f);
    b.fitStartIndex[0] = 960;
    ASSERT_TRUE(b.autoCalculateStage(1));
    EXPECT_EQ(b.peakIndex[1], argmaxIn(b.hCurve[1], 0, N - 1));
    EXPECT_NEAR(b.peakIndex[1], 20, 1);
}

// ---- H1 end-point recovery ----------------------------------------------------

namespace {

// A wall at 100 K on a flat background, optionally with a broad bump at
// 150 K. At E_ref = 0 the wall is the maximum; going negative, the tilt
// exp(-|E| c / T) lets the far end (index 1000) overtake it while the curve is
// rising everywhere on [L, N-51], so the downward refinement finds no valley
// and the maximum stays at the grid end.
Shape wallShape(bool bump)
{
    return [=](double T) {
        return 1.264 * std::exp(-(T - 100) / 2) + 1.0 + (bump ? 0.2 * gauss(T, 150, 50) : 0.0);
    };
}

// E_ref at which H[1000] overtakes H[0] on the designed shape.
double crossing(const Shape& f)
{
    return -std::log(f(100) / f(200)) / (c * (1 / 100.0 - 1 / 200.0));
}

bool risingOn(const std::vector<double>& h, int from, int to)
{
    for (int j = from; j < to; ++j)
        if (!(h[j + 1] > h[j]))
            return false;
    return true;
}

} // namespace

TEST(PeakSearch, EndPointRecoveryFindsThePeakAtZeroEref)
{
    const Shape f = wallShape(true);
    const double ec = crossing(f);
    // Design checks: the far end overtakes the wall while the curve rises on
    // [L, N-51]; at E_ref = 0 the bump is a local maximum above half of H[0].
    const std::vector<double> atCrossing = shapeAt(f, ec - 2e-6);
    ASSERT_EQ(argmaxIn(atCrossing, 0, N - 1), N - 1);
    ASSERT_TRUE(risingOn(atCrossing, L0, N - 51));
    const std::vector<double> atZero = shapeAt(f, 0);
    const int bump = argmaxIn(atZero, 200, 800);
    ASSERT_GT(atZero[bump], atZero[bump - 1]);
    ASSERT_GT(atZero[bump], atZero[bump + 1]);
    ASSERT_GT(atZero[bump], 0.5 * atZero[0]);

    Analysis a = designed(f);
    ASSERT_TRUE(a.autoCalculateStage(0));
    // The first recovery curve (E_ref = 0) already has its peak inside the window.
    EXPECT_EQ(a.referenceEnergy[0], 0.0);
    EXPECT_EQ(a.peakIndex[0], bump);
    expectOneCurve(a, 0);
}

TEST(PeakSearch, EndPointRecoveryThatRunsToItsBoundKeepsOneCurve)
{
    // Without the bump no E_ref between 0 and the searched value shows a local
    // peak: the loop runs to its bound. The stored E_ref is that of the last
    // curve computed, one 0.1 meV step short of the bound, not beyond it.
    const Shape f = wallShape(false);
    const double ec = crossing(f);
    ASSERT_TRUE(risingOn(shapeAt(f, ec - 2e-6), L0, N - 51));
    Analysis a = designed(f);
    RecordingProgress progress;
    a.progress = &progress;
    ASSERT_TRUE(a.autoCalculateStage(0));
    const double E = a.referenceEnergy[0];
    EXPECT_GT(E, ec - 1e-6 - 1e-12);
    EXPECT_LE(E, ec + 0.0001 + 1e-9);
    // The result sits at a grid end: the caller disables the evaluation.
    EXPECT_EQ(a.peakIndex[0], 0);
    EXPECT_LE(progress.highest, 1093);
    EXPECT_EQ(progress.closes, 1);
    expectOneCurve(a, 0);
}

// ---- peak window of stages 2 and 3 -----------------------------------------------

namespace {

Analysis windowCase()
{
    // Any curve will do: only the window and the start index are checked.
    return designed([](double T) { return gauss(T, 150, 5) + 1e-6; });
}

} // namespace

// The window [L, U] and start index S of stages 2 and 3, row by row of the
// rules. E_ref, the fit start and the peak are those of the stage before;
// kKeep leaves a value as a fresh analysis has it.
TEST(PeakWindow, RowsOfStages2And3)
{
    constexpr int kKeep = -99;
    struct Row {
        const char* rule;
        int stage, halved, previousL;
        double eref;
        int fitStart, peak0, peak1, fixed, fixedBy;
        int L, U, S;
    } rows[] = {
        {"h2WindowHalved: U = A0/2, L kept, not raised by the fixed compensation",
         1, 1, 123, 0, 801, 700, kKeep, 1, 0, 123, 400, 700},
        {"open, E_ref,0 < 0: L = t(A0/1.8)", 1, kKeep, kKeep, -0.01, 360, kKeep, kKeep, kKeep, kKeep, 200, 950, 0},
        {"E_ref,0 = 0: L = min(t(A0/1.8), t(N/10))", 1, kKeep, kKeep, 0, 360, kKeep, kKeep, kKeep, kKeep, 100, 950, 0},
        {"E_ref,0 = 0, the other minimum", 1, kKeep, kKeep, 0, 90, kKeep, kKeep, kKeep, kKeep, 50, 950, 0},
        {"E_ref,0 > 0: U = t(P0 - N/20); stage 1 fixing N_com counts as open",
         1, kKeep, kKeep, 0.02, 360, 600, kKeep, 1, 1, 100, 549, 0},
        {"fixed by stage 0: L = t(N/10 + P0), S = P0", 1, kKeep, kKeep, -0.02, 360, 300, kKeep, 1, 0, 400, 950, 300},
        {"open, E_ref,1 < 0: L = min(previous L, t(A1/1.8))",
         2, kKeep, 300, -0.01, 360, kKeep, kKeep, kKeep, kKeep, 200, 950, 0},
        {"open, E_ref,1 < 0, previous L the smaller",
         2, kKeep, 150, -0.01, 360, kKeep, kKeep, kKeep, kKeep, 150, 950, 0},
        {"E_ref,1 = 0: L = min(previous, t(A1/1.8)), U = min(U, t(P1 - N/20))",
         2, kKeep, 250, 0, 360, kKeep, 700, kKeep, kKeep, 200, 649, 0},
        // Fixed by this stage itself: no start above an earlier peak.
        {"E_ref,1 > 0: L unchanged; fixed by stage 2 counts as open", 2, kKeep, 150, 0.01, 100, kKeep, 700, 1, 2, 150,
         649, 0},
        {"fixed by stage 1: L = max(previous, t(N/10 + P1)), S = P1",
         2, kKeep, 150, 0, kKeep, kKeep, 200, 1, 1, 300, 950, 200},
        {"fixed by stage 0 with P0 above P1: L raised to t(N/10 + P0), S = P0",
         2, kKeep, 150, 0, kKeep, 400, 200, 1, 0, 500, 950, 400},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.rule);
        Analysis a = windowCase();
        const auto set = [](auto& field, int value) {
            if (value != kKeep)
                field = static_cast<std::remove_reference_t<decltype(field)>>(value);
        };
        set(a.h2WindowHalved, r.halved);
        set(a.peakWindowStart, r.previousL);
        a.referenceEnergy[r.stage - 1] = r.eref;
        set(a.fitStartIndex[r.stage - 1], r.fitStart);
        set(a.peakIndex[0], r.peak0);
        set(a.peakIndex[1], r.peak1);
        set(a.compensationFixed, r.fixed);
        set(a.compensationStage, r.fixedBy);
        a.autoCalculateStage(r.stage);
        EXPECT_EQ(a.peakWindowStart, r.L);
        EXPECT_EQ(a.peakWindowEnd, r.U);
        EXPECT_EQ(a.hStartIndex, r.S);
    }
}

// ---- edge rule of stages 2 and 3 -------------------------------------------------

TEST(PeakSearch, Stage2EdgeRuleRequestsRecalculationThenGivesUp)
{
    // A spike at index 0 overtakes a wall at 200 K once E_ref is positive: the
    // search ends with E_ref > 0 and the maximum at the grid end.
    const double e = 0.03;
    Shape f = [=](double T) {
        return amp(1, 100, e) * std::exp(-(T - 100) / 0.3) +
               amp(1, 200, e) * std::exp((T - 200) / 3) + 1e-12;
    };
    Analysis a = designed(f);
    a.fitStartIndex[0] = 500;
    a.lastError = "old";
    EXPECT_FALSE(a.autoCalculateStage(1));
    EXPECT_GT(a.referenceEnergy[1], 0);
    EXPECT_TRUE(a.lastError.empty());
    EXPECT_EQ(a.recalculationRequested, 1);
    EXPECT_EQ(a.compensationFixed, 1);
    EXPECT_EQ(a.compensationStage, 0);
    EXPECT_EQ(a.recalculationFailed, 0);

    // The repeated search (compensation of stage 0 in use, here 0) ends at the
    // edge again: no second request, the recalculation is marked failed.
    EXPECT_FALSE(a.autoCalculateStage(1));
    EXPECT_TRUE(a.lastError.empty());
    EXPECT_EQ(a.recalculationRequested, 0);
    EXPECT_EQ(a.recalculationFailed, 1);
    EXPECT_EQ(a.compensationFixed, 1);
    EXPECT_EQ(a.compensationStage, 0);
}

TEST(PeakSearch, Stage3EdgeRuleAtTheHighEndWithNegativeEref)
{
    // A wall at 100 K is the maximum at E_ref = 0; going negative the far end
    // overtakes it: E_ref < 0 with the maximum at N-1.
    Shape f = [](double T) { return 1.5 * std::exp(-(T - 100) / 2) + 1.0; };
    Analysis a = designed(f);
    a.peakWindowStart = 100;
    a.referenceEnergy[1] = -0.01; // window [min(100, t(360/1.8)), 950]
    a.fitStartIndex[1] = 360;
    EXPECT_FALSE(a.autoCalculateStage(2));
    EXPECT_EQ(a.peakWindowStart, 100);
    EXPECT_EQ(a.peakWindowEnd, 950);
    EXPECT_LT(a.referenceEnergy[2], 0);
    EXPECT_EQ(a.recalculationRequested, 1);
    EXPECT_EQ(a.compensationFixed, 1);
    EXPECT_EQ(a.compensationStage, 1);
}

// ---- manual peak steps ----------------------------------------------------------

TEST(PeakSteps, MoveToTheNeighbouringMaximum)
{
    Analysis a;
    a.resetAll();
    // maxima at 2 and 6, minimum at 4
    a.hCurve[0] = {1, 2, 5, 3, 1, 4, 7, 6, 5};
    a.peakIndex[0] = 2;
    a.nextPeakUp(0);
    EXPECT_EQ(a.peakIndex[0], 6);
    a.nextPeakUp(0); // falls to the end
    EXPECT_EQ(a.peakIndex[0], 8);
    a.nextPeakDown(0);
    EXPECT_EQ(a.peakIndex[0], 6);
    a.nextPeakDown(0);
    EXPECT_EQ(a.peakIndex[0], 2);
    a.nextPeakDown(0);
    EXPECT_EQ(a.peakIndex[0], 0);
    // From a point on a rising flank the step climbs to its top.
    a.peakIndex[0] = 4;
    a.nextPeakUp(0);
    EXPECT_EQ(a.peakIndex[0], 6);
}

TEST(PeakSteps, MonotoneCurvesGoToTheEnds)
{
    Analysis a;
    a.resetAll();
    a.hCurve[1] = {9, 8, 7, 6, 5, 4};
    a.peakIndex[1] = 1;
    EXPECT_TRUE(a.nextPeakUp(1));
    EXPECT_EQ(a.peakIndex[1], 5);
    a.hCurve[1] = {1, 2, 3, 4, 5, 6};
    a.peakIndex[1] = 4;
    EXPECT_TRUE(a.nextPeakDown(1));
    EXPECT_EQ(a.peakIndex[1], 0);
    // Out-of-range start indices are clamped; an empty curve gives 0.
    a.peakIndex[1] = 99;
    a.nextPeakDown(1);
    EXPECT_EQ(a.peakIndex[1], 0);
    a.peakIndex[1] = -5;
    a.nextPeakUp(1);
    EXPECT_EQ(a.peakIndex[1], 5);
    a.hCurve[2].clear();
    a.peakIndex[2] = 3;
    EXPECT_TRUE(a.nextPeakUp(2));
    EXPECT_EQ(a.peakIndex[2], 0);
}

// ---- physics check on synthetic data ------------------------------------------

namespace {

// n of one donor (N, dE, g) with a fully ionised compensating acceptor NA:
// n + NA = N / (1 + g n / N_C exp(dE/kT)), a quadratic in n.
double donorConcentration(double T, double N, double dE, double g, double NA, double dos0)
{
    const double phi = dos0 * std::pow(T, 1.5) / g * std::exp(-dE / kTof(T));
    const double b = NA + phi;
    return 2 * phi * (N - NA) / (b + std::sqrt(b * b + 4 * phi * (N - NA)));
}

} // namespace

TEST(PeakSearchPhysics, SingleDonorPeakOfH1)
{
    // si_p_single: n-type Si, one donor N = 1e16 cm^-3, 45 meV, g = 2, with a
    // compensating acceptor of 1e14 cm^-3, N_C0 = 5.25e15 (its truth file).
    // The grid is log10(n) interpolated by the cubic through the four nearest
    // measured points (5 K apart, noise-free). A linear interpolation would pin
    // the peak to a knot, and the smoothing spline at its usable smoothness
    // bends the freeze-out region too much for a check at the 1 K level.
    const double ND = 1e16, dE = 0.045, g = 2, NA = 1e14, dos0 = 5.25e15;
    Analysis a;
    a.resetAll();
    a.experimentalDataFileName = testfiles::example("si_p_single.nT");
    ASSERT_TRUE(a.readExperimentalData()) << a.lastError;
    ASSERT_EQ(a.dataCount, 75);
    a.resetSpectroscopy();
    a.dos0 = dos0;
    const DoubleArray& t = a.temperature;
    for (int k = 0;; ++k) {
        const double T = t.front() + 0.1 * k;
        if (T > t.back() + 1e-9)
            break;
        std::size_t i = 1;
        while (i + 1 < t.size() && t[i] < T)
            ++i;
        // Lagrange cubic through points first..first+3 around [t[i-1], t[i]].
        const std::size_t first = std::min(i < 2 ? 0 : i - 2, t.size() - 4);
        double y = 0;
        for (std::size_t p = first; p < first + 4; ++p) {
            double w = 1;
            for (std::size_t q = first; q < first + 4; ++q)
                if (q != p)
                    w *= (T - t[q]) / (t[p] - t[q]);
            y += w * std::log10(a.concentration[p]);
        }
        a.splineTemperature.push_back(T);
        a.splineConcentration.push_back(std::pow(10.0, y));
    }
    a.splineCount = static_cast<int>(a.splineTemperature.size());
    ASSERT_EQ(a.splineCount, 3701);

    ASSERT_TRUE(a.autoCalculateStage(0)) << a.lastError;
    const int n = a.splineCount;
    const int P = a.peakIndex[0];
    const double E = a.referenceEnergy[0];
    EXPECT_GT(P, a.peakWindowStart);
    EXPECT_LT(P, a.peakWindowEnd);

    // H of the true concentration at the same E_ref on the same grid. At
    // E_ref = 0 (the peak lies inside the window from the start) H = n^2/kT^2.5
    // peaks where d ln n / d ln T = 1.25, on the saturation knee near 108 K.
    std::vector<double> h(n);
    for (int j = 0; j < n; ++j) {
        const double T = a.splineTemperature[j];
        const double nt = donorConcentration(T, ND, dE, g, NA, dos0);
        h[j] = nt * nt * std::exp(E / kTof(T)) / std::pow(kTof(T), 2.5);
    }
    const int trueP = argmaxIn(h, 0, n - 1);
    EXPECT_EQ(E, 0.0);
    EXPECT_NEAR(a.splineTemperature[trueP], 108, 2);
    EXPECT_NEAR(a.splineTemperature[P], a.splineTemperature[trueP], 1.0);
    expectOneCurve(a, 0);
}
