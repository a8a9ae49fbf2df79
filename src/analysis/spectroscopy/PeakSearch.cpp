// Automatic choice of E_ref and of the peak of a stage function, and the
// manual step to the neighbouring local maximum.
//
// The search moves E_ref (1 meV, then 0.1 meV, 10 ueV and 1 ueV steps) until
// the global maximum of the curve lies inside a window of grid indices
// [L, U], then looks beyond the nearest valley for a better local peak when
// the maximum is only the rising flank of exp(E_ref/kT).
#include <algorithm>
#include <cmath>
#include <vector>

#include "analysis/data/Analysis.h"

namespace {

constexpr int progressRange = 1093;
constexpr int coarseMoves = 1000;
constexpr int fineMoves = 11;
// Two local maxima closer than this many grid points count as one.
constexpr int peakSeparation = 50;

int truncToInt(double x) { return static_cast<int>(std::trunc(x)); }

// First index of the maximum of h[s..n-1]; a later value wins only when
// strictly greater.
int firstMaximum(const DoubleArray& h, int s)
{
    const int n = static_cast<int>(h.size());
    s = std::clamp(s, 0, n - 1);
    int m = s;
    for (int j = s + 1; j < n; ++j)
        if (h[j] > h[m])
            m = j;
    return m;
}

// Which candidates the selection of a refinement accepts.
struct Selection {
    bool firstPassFromFirst = false; // pass (a) scans the list in append order
    bool outsideBothSides = false;   // pass (b) accepts x < L or x > U
};

// Local-peak refinement from the maximum m toward lower temperature
// (down = true) or higher temperature. Returns the (possibly new) peak.
int refine(const DoubleArray& h, int m, int L, int U, int S, bool down, Selection sel)
{
    const int n = static_cast<int>(h.size());
    if (n == 0)
        return m;

    // 1. Walk down the flank of m to the bottom of the valley beyond it.
    double v = h[m];
    int i = m;
    if (down) {
        for (int j = m - peakSeparation; j >= std::max(L, 0); --j) {
            if (h[j] > v) {
                i = j;
                break;
            }
            v = h[j];
            i = j;
        }
    } else {
        for (int j = m + peakSeparation; j <= std::min(U, n - 1); ++j) {
            if (h[j] > v) {
                i = j;
                break;
            }
            v = h[j];
            i = j;
        }
    }

    // 2. Collect the local maxima beyond the valley, each higher than the one
    // before; a maximum followed within 50 points by a higher value is dropped.
    std::vector<int> list;
    if (down ? i > L : i < U) {
        bool rising = true;
        int last = down ? i - 1 : i + 1;
        const int step = down ? -1 : 1;
        const int from = i + step;
        const int to = down ? std::max(S, 0) + 1 : n - 1;
        for (int j = from; down ? j >= to : j <= to; j += step) {
            if (h[j] > v) {
                const bool close = down ? j > last - peakSeparation : j < last + peakSeparation;
                if (!rising && close) {
                    if (list.empty())
                        continue;
                    list.pop_back();
                }
                v = h[j];
                rising = true;
            } else if (rising) {
                last = j - step;
                list.push_back(last);
                rising = false;
            }
        }
    }
    if (list.empty())
        return m;

    // 3. Selection: (a) a candidate inside the window, (b) one beyond it, both
    // at least half as high as the current peak.
    const int count = static_cast<int>(list.size());
    for (int c = 0; c < count; ++c) {
        const int x = sel.firstPassFromFirst ? list[c] : list[count - 1 - c];
        if (L < x && x < U && h[x] > 0.5 * h[m]) {
            m = x;
            break;
        }
    }
    for (int c = 0; c < count; ++c) {
        const int x = list[c];
        bool beyond;
        if (sel.outsideBothSides)
            beyond = x < L || x > U;
        else
            beyond = down ? x < L : x > U;
        if (beyond && h[x] > 0.5 * h[m]) {
            m = x;
            break;
        }
    }
    return m;
}

} // namespace

bool Analysis::autoCalculateStage(int k)
{
    if (k < 0 || k > 2) {
        lastError = "Calculation of H could not be carried out.";
        return false;
    }
    if (static_cast<int>(hCurve.size()) < 4)
        hCurve.resize(4);
    const int N = static_cast<int>(
        std::min({splineTemperature.size(), splineConcentration.size(),
                  static_cast<std::size_t>(std::max(splineCount, 0))}));
    if (N <= 0) {
        lastError = "Calculation of H could not be carried out.";
        return false;
    }
    const double n = N;
    const int P0 = peakIndex[0], P1 = peakIndex[1];
    const int A0 = fitStartIndex[0], A1 = fitStartIndex[1];
    const double E0 = referenceEnergy[0], E1 = referenceEnergy[1];
    const bool halvedRow = k == 1 && h2WindowHalved == 1;

    // 1. Peak window [L, U].
    int L = peakWindowStart;
    int U = peakWindowEnd;
    if (!halvedRow)
        U = truncToInt(n - n / 20);
    if (k == 0) {
        L = truncToInt(n / 10);
        U = truncToInt(n - n / 20);
    } else if (k == 1) {
        if (halvedRow) {
            U = A0 / 2;
        } else if (compensationFixed == 0 || compensationStage == 1) {
            if (E0 < 0) {
                L = truncToInt(A0 / 1.8);
            } else if (E0 == 0) {
                L = std::min(truncToInt(A0 / 1.8), truncToInt(n / 10));
            } else {
                L = std::min(truncToInt(A0 / 1.8), truncToInt(n / 10));
                U = truncToInt(P0 - n / 20);
            }
        } else {
            L = truncToInt(n / 10 + P0);
        }
    } else {
        if (compensationFixed == 0 || compensationStage == 2) {
            if (E1 < 0) {
                L = std::min(L, truncToInt(A1 / 1.8));
            } else if (E1 == 0) {
                L = std::min(L, truncToInt(A1 / 1.8));
                U = std::min(U, truncToInt(P1 - n / 20));
            } else {
                U = std::min(U, truncToInt(P1 - n / 20));
            }
        } else {
            L = std::max(L, truncToInt(n / 10 + P1));
        }
    }
    const bool fixedBefore = compensationFixed == 1 && compensationStage >= 0 &&
                             compensationStage < k;
    if (!halvedRow && fixedBefore)
        L = std::max(L, truncToInt(n / 10 + peakIndex[compensationStage]));
    peakWindowStart = L;
    peakWindowEnd = U;

    // 2. Start index: above the peak of the stage before once the
    // compensation is fixed.
    int S = 0;
    if (k >= 1 && compensationFixed == 1 && compensationStage < k) {
        S = peakIndex[k - 1];
        if (!halvedRow && compensationStage >= 0)
            S = std::max(S, peakIndex[compensationStage]);
    }
    hStartIndex = S;

    // 3. Progress: one unit per curve, each phase padded to its budget.
    progressShow(ProgressReporter::Main, progressRange);
    int position = 0;
    auto advance = [&](int by) {
        by = std::min(by, progressRange - position);
        if (by > 0) {
            position += by;
            progressStep(ProgressReporter::Main, by);
        }
    };
    auto padTo = [&](int target) {
        target = std::min(target, progressRange);
        if (target > position) {
            position = target;
            progressSet(ProgressReporter::Main, position);
        }
    };
    auto finish = [&](bool ok) {
        progressClose(ProgressReporter::Main);
        return ok;
    };

    double& E = referenceEnergy[k];
    DoubleArray& H = hCurve[k];
    double curveE = 0; // E_ref of the curve now in hCurve[k]
    int m = 0;
    // The curve at the present E_ref and its maximum; the search range starts
    // at hStartIndex as the curve computation left it.
    auto trial = [&]() {
        if (!calculateHCurve(k))
            return false;
        curveE = E;
        advance(1);
        m = firstMaximum(H, hStartIndex);
        return true;
    };
    auto failCurve = [&]() {
        lastError = "Calculation of H could not be carried out.";
        return finish(false);
    };
    // One phase: returns the number of moves made; -1 when the curve failed.
    auto phase = [&](double step, int maxMoves, int budgetEnd) {
        int moves = 0;
        for (; moves < maxMoves; ++moves) {
            if (!trial())
                return -1;
            if (m < L && E <= 0)
                E -= step;
            else if (m > U && E >= 0)
                E += step;
            else
                break;
        }
        padTo(budgetEnd);
        return moves;
    };
    auto towardZero = [&](double step) { E += E > 0 ? -step : step; };

    // 4. E_ref search.
    E = 0;
    const int coarse = phase(0.001, coarseMoves, coarseMoves);
    if (coarse < 0)
        return failCurve();
    // All 1000 moves made means E_ref has run to +-1 eV (counted, since the
    // summed steps need not land exactly on 1).
    if (coarse >= coarseMoves || E <= -1 || E >= 1) {
        if (recalculationRequested == 1) {
            recalculationRequested = 0;
            recalculationFailed = 1;
        }
        lastError.clear();
        return finish(false);
    }
    if (E != 0) {
        towardZero(0.001);
        if (phase(0.0001, fineMoves, coarseMoves + fineMoves) < 0)
            return failCurve();
        towardZero(0.0001);
        if (phase(0.00001, fineMoves, coarseMoves + 2 * fineMoves) < 0)
            return failCurve();
        towardZero(0.00001);
        if (phase(0.000001, fineMoves, coarseMoves + 3 * fineMoves) < 0)
            return failCurve();
        // A phase that used all its moves stepped once past its last curve:
        // keep the E_ref that curve and its maximum belong to.
        E = curveE;
    }
    // 5. Local-peak refinement.
    auto edgeRule = [&]() {
        if (recalculationRequested == 0) {
            recalculationRequested = 1;
            compensationFixed = 1;
            compensationStage = k - 1;
        } else {
            // The recalculation with the earlier compensation ended at the edge
            // again: asking once more would only repeat it.
            recalculationRequested = 0;
            recalculationFailed = 1;
        }
        lastError.clear();
        return finish(false);
    };
    const Selection normal{};
    if (E < 0) {
        if (k >= 1 && (m <= 0 || m >= N - 1))
            return edgeRule();
        if (m > U || compensationFixed == 0)
            m = refine(H, m, L, U, hStartIndex, true, normal);
    } else if (E > 0) {
        if (k == 0) {
            if (m < L)
                m = refine(H, m, L, U, hStartIndex, false, normal);
        } else {
            if (m <= 0 || m >= N - 1)
                return edgeRule();
            if (m + peakSeparation < N - 1 && (k != 1 || U > A0))
                m = refine(H, m, L, U, hStartIndex, false, normal);
        }
    }

    // 6. H1 whose peak sits at a grid end: scan E_ref from 0 toward the
    // searched value for a curve with a local peak inside the window.
    if (k == 0 && (m == 0 || m == N - 1)) {
        const bool lowEnd = m == 0;
        const double target = E;
        const Selection recovery{true, true};
        E = 0;
        do {
            if (!trial())
                return failCurve();
            m = lowEnd ? refine(H, N - 1, L, U, hStartIndex, true, recovery)
                       : refine(H, 0, L, U, hStartIndex, false, recovery);
            if (L < m && m < U)
                break;
            E += lowEnd ? 0.0001 : -0.0001;
        } while (lowEnd ? E < target : E > target);
        // A loop that ran to its bound stepped past its last curve.
        E = curveE;
    }

    // 7. Result.
    peakIndex[k] = m;
    lastError.clear();
    return finish(true);
}

bool Analysis::nextPeakUp(int k) { return stepToNextPeak(k, +1); }

bool Analysis::nextPeakDown(int k) { return stepToNextPeak(k, -1); }

bool Analysis::stepToNextPeak(int k, int step)
{
    if (k < 0 || k > 3 || static_cast<int>(hCurve.size()) <= k)
        return true;
    const DoubleArray& h = hCurve[k];
    const int n = static_cast<int>(h.size());
    if (n == 0) {
        peakIndex[k] = 0;
        return true;
    }
    // Down the slope from the present peak, then up to the next top; the
    // end of the curve when no rise follows.
    auto inside = [n](int j) { return j >= 0 && j < n; };
    const int from = std::clamp(peakIndex[k], 0, n - 1);
    double prev = h[from];
    int j = from + step;
    while (inside(j) && h[j] < prev) {
        prev = h[j];
        j += step;
    }
    if (!inside(j)) {
        peakIndex[k] = step > 0 ? n - 1 : 0;
        return true;
    }
    while (inside(j + step) && h[j + step] > h[j])
        j += step;
    peakIndex[k] = j;
    return true;
}
