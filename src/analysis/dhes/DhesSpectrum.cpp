#include "analysis/dhes/DhesSpectrum.h"

#include "analysis/base/NumberFormat.h"
#include "analysis/base/PhysicalResult.h"
#include "analysis/base/Physics.h"
#include "analysis/base/TextFile.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace dhes {

const char* const sumMessage =
    "A sum of signals should be in good agreement with the black line, if these obtained values are "
    "reasonable.";

void measuredDhes(const DoubleArray& T, const DoubleArray& n, const DoubleArray& F, DoubleArray& dhes,
                  DoubleArray& abscissa)
{
    const std::size_t g = std::min({T.size(), n.size(), F.size()});
    dhes.assign(g > 1 ? g - 1 : 0, 0.0);
    abscissa.assign(dhes.size(), 0.0);
    for (std::size_t j = 0; j < dhes.size(); ++j) {
        const double kTavg = (phys::thermalEnergy(T[j]) + phys::thermalEnergy(T[j + 1])) / 2;
        if (F[j + 1] != F[j])
            dhes[j] = (n[j + 1] - n[j]) * kTavg / (F[j + 1] - F[j]);
        else
            dhes[j] = j == 0 ? 0.0 : dhes[j - 1];
        abscissa[j] = (F[j] + F[j + 1]) / 2;
    }
}

int previousPeak(const DoubleArray& D, int p)
{
    if (p < 1 || p >= static_cast<int>(D.size()))
        return p;
    double v = D[p];
    int q = p;
    bool f = false;
    for (int r = p - 1; r >= 1; --r) { // downhill to the valley
        if (D[r] > v) {
            if (!f)
                f = true;
            else if (r < q - 50)
                break;
        } else {
            v = D[r];
            q = r;
            f = false;
        }
    }
    f = false;
    for (int r = q - 1; r >= 0; --r) { // uphill to the maximum
        if (D[r] > v) {
            v = D[r];
            q = r;
            f = false;
        } else if (!f) {
            f = true;
        } else if (r < q - 50 || r == 0) {
            break;
        }
    }
    return q;
}

int nextPeak(const DoubleArray& D, int p)
{
    const int L = static_cast<int>(D.size());
    if (p < 0 || p >= L)
        return p;
    double v = D[p];
    int q = p;
    bool f = false;
    for (int r = p + 1; r < L - 1; ++r) {
        if (D[r] > v) {
            if (!f)
                f = true;
            else if (r > q + 50)
                break;
        } else {
            v = D[r];
            q = r;
            f = false;
        }
    }
    f = false;
    for (int r = q + 1; r <= L - 1; ++r) {
        if (D[r] > v) {
            v = D[r];
            q = r;
            f = false;
        } else if (!f) {
            f = true;
        } else if (r > q + 50 || r >= L - 1) {
            break;
        }
    }
    return q;
}

bool isInteriorMaximum(const DoubleArray& D, int index)
{
    return index >= 1 && index + 1 < static_cast<int>(D.size()) && D[index] > D[index - 1];
}

bool atEdge(const DoubleArray& D, int index)
{
    return !D.empty() && (index <= 0 || index + 1 >= static_cast<int>(D.size()));
}

std::string edgeWarning(const State& st, int s)
{
    static const char* const names[peakCount] = {"first", "second", "third", "fourth"};
    const int i = st.peaks[s].index;
    const std::string at =
        i >= 0 && i < static_cast<int>(st.temperature.size()) ? ", T = " + numfmt::general(st.temperature[i]) + " K" : "";
    return std::string("The ") + names[s % peakCount] + " peak lies at the " + (i <= 0 ? "first" : "last") +
           " point of the DHES signal (an end of the spline" + at +
           ").\nA maximum there may lie beyond the measured range or be an artefact of the spline's end: "
           "its energy level and density are doubtful.";
}

namespace {

// e N g / (e g + 1)^2 as written, or its limit N / (e g) where the product
// overflows (a level far above the Fermi level at low temperature).
double occupancySignal(double x, double N, double g)
{
    const double e = std::exp(x);
    const double b = e * N * g / (e * g + 1) / (e * g + 1);
    if (std::isfinite(b))
        return b;
    const double y = e * g;
    return N / (y + 2 + 1 / y);
}

std::size_t gridPoints(const DoubleArray& T, const DoubleArray& F) { return std::min(T.size(), F.size()); }

} // namespace

DoubleArray theoreticalCurve(const DoubleArray& T, const DoubleArray& F, double level, double N, double g)
{
    const std::size_t G = gridPoints(T, F);
    DoubleArray th(G > 1 ? G - 1 : 0, 0.0);
    for (std::size_t j = 0; j < th.size(); ++j) {
        // No slope where the Fermi level stands still: the measured rule.
        if (F[j + 1] == F[j]) {
            th[j] = j == 0 ? 0.0 : th[j - 1];
            continue;
        }
        const double kT = phys::thermalEnergy(T[j]);
        const double B = occupancySignal((level - F[j]) / kT, N, g);
        const double w = (phys::thermalEnergy(T[j + 1]) - kT) / (F[j + 1] - F[j]);
        th[j] = (1 + (level - F[j]) * w / kT) * B;
    }
    return th;
}

DoubleArray approximateCurve(const DoubleArray& T, const DoubleArray& F, double level, double N, double g)
{
    const std::size_t G = gridPoints(T, F);
    DoubleArray ap(G > 1 ? G - 1 : 0, 0.0);
    for (std::size_t j = 0; j < ap.size(); ++j)
        ap[j] = occupancySignal((level - F[j]) / phys::thermalEnergy(T[j]), N, g);
    return ap;
}

// ---- window operations ------------------------------------------------------

namespace {

bool validSlot(const State& st, int s) { return s >= 0 && s < peakCount && !st.dhes.empty(); }

// Slots s to 4 discarded with the sum; the later peaks lose their markers and
// buttons (their positions stay).
void resetSlots(State& st, int s)
{
    for (int t = s; t < peakCount; ++t) {
        Peak& p = st.peaks[t];
        p.energyLevel = p.density = 0;
        p.edge = false;
        p.theoretical.assign(1, 0.0);
        p.approximate.assign(1, 0.0);
        if (t > s) {
            st.markerShown[t] = false;
            st.controls.previous[t] = st.controls.next[t] = st.controls.evaluation[t] = false;
            st.controls.clear[t] = false;
        }
    }
    st.sum.assign(1, 0.0);
    st.sumShown = false;
}

// The common part of "Previous Peak", "Next Peak" and "Clear".
void discardFrom(State& st, int s)
{
    resetSlots(st, s);
    st.controls.clear[s] = false;
    for (int t = s; t < peakCount; ++t)
        st.controls.draw[t] = false;
    if (s == 0)
        st.controls.save = false;
    if (s < peakCount - 1)
        st.controls.sum = false;
}

} // namespace

State open(const Analysis& a)
{
    State st;
    const std::size_t G = std::min({static_cast<std::size_t>(std::max(a.splineCount, 0)),
                                    a.splineTemperature.size(), a.splineConcentration.size(),
                                    a.fermiLevel.size()});
    st.temperature.assign(a.splineTemperature.begin(), a.splineTemperature.begin() + G);
    st.fermi.assign(a.fermiLevel.begin(), a.fermiLevel.begin() + G);
    const DoubleArray n(a.splineConcentration.begin(), a.splineConcentration.begin() + G);
    measuredDhes(st.temperature, n, st.fermi, st.dhes, st.abscissa);
    st.nType = a.isNType();
    st.degeneracy = st.nType ? 2 : 4;
    st.controls.previous[0] = st.controls.next[0] = st.controls.evaluation[0] = true;
    st.markerShown[0] = !st.dhes.empty();
    return st;
}

void previousPeakPressed(State& st, int s)
{
    if (!validSlot(st, s))
        return;
    st.peaks[s].index = previousPeak(st.dhes, st.peaks[s].index);
    discardFrom(st, s);
    st.markerShown[s] = true;
}

void nextPeakPressed(State& st, int s)
{
    if (!validSlot(st, s))
        return;
    st.peaks[s].index = nextPeak(st.dhes, st.peaks[s].index);
    discardFrom(st, s);
    st.markerShown[s] = true;
}

std::string evaluationPressed(State& st, int s)
{
    if (!validSlot(st, s))
        return {};
    resetSlots(st, s);
    Peak& p = st.peaks[s];
    const int i = p.index;
    const double level = st.abscissa[i] - phys::k * st.temperature[i] * std::log(st.degeneracy) / phys::q;
    const double density = 4 * st.dhes[i];
    // A marker on a valley or a negative signal gives no species: the slot
    // stays empty, as after "Clear".
    if (const std::string bad = physical::problem({{density, level}}, 0); !bad.empty()) {
        discardFrom(st, s);
        return physical::noPhysicalResult(bad);
    }
    p.energyLevel = level;
    p.density = density;
    p.theoretical = theoreticalCurve(st.temperature, st.fermi, p.energyLevel, p.density, st.degeneracy);
    p.edge = atEdge(st.dhes, i);
    Controls& c = st.controls;
    c.clear[s] = c.save = c.draw[s] = true;
    if (s < peakCount - 1) {
        c.previous[s + 1] = c.next[s + 1] = c.evaluation[s + 1] = true;
        c.sum = true;
        st.markerShown[s + 1] = true;
        for (int t = s + 1; t < peakCount; ++t)
            c.draw[t] = false;
    }
    return {};
}

void clearPressed(State& st, int s)
{
    if (!validSlot(st, s))
        return;
    discardFrom(st, s);
}

void drawPressed(State& st, int s)
{
    if (!validSlot(st, s) || !st.peaks[s].evaluated())
        return;
    Peak& p = st.peaks[s];
    p.approximate = approximateCurve(st.temperature, st.fermi, p.energyLevel, p.density, st.degeneracy);
    st.controls.draw[s] = false;
}

void sumPressed(State& st)
{
    st.sum.assign(st.dhes.size(), 0.0);
    for (const Peak& p : st.peaks)
        if (p.evaluated())
            for (std::size_t j = 0; j < st.sum.size() && j < p.theoretical.size(); ++j)
                st.sum[j] += p.theoretical[j];
    if (st.sum.empty())
        st.sum.assign(1, 0.0);
    st.sumShown = true;
}

// ---- the *.DHES file ---------------------------------------------------------

std::string fileText(const Analysis& a, const State& st, const std::string& path)
{
    using numfmt::general;
    using textfile::putLine;
    std::ostringstream out;
    HeaderOptions o = HeaderOptions::onFermiLevel("% Differential Hall Effect Spectroscopy (DHES)",
                                                  a.fermiLevelFileName, false);
    o.ownFileLines = {{"% DHES file: ", path}};
    o.sampleGroup = true;
    o.materialWithDegeneracyInside = true;
    o.degeneracy = st.degeneracy;
    a.writeHeaderBlock(out, o);
    const std::string rule = "% --------------------------------------------------------- ";
    putLine(out, rule);
    putLine(out, "% DHES results ");
    putLine(out, rule);
    static const char* const ordinal[peakCount] = {"First", "Second", "Third", "Fourth"};
    for (int s = 0; s < peakCount; ++s) {
        const Peak& p = st.peaks[s];
        if (!p.evaluated())
            continue;
        putLine(out, std::string("% ") + ordinal[s] + " energy level [eV]: " + general(p.energyLevel));
        putLine(out, std::string("% ") + ordinal[s] + " density [cm^-3]: " + general(p.density));
    }
    putLine(out, "% Temperature  [K]   Fermi Level [eV]   DHES [cm^-3]   First DHES [cm^-3]   Second DHES "
                 "[cm^-3]   Third DHES [cm^-3]   Fourth DHES [cm^-3] ");
    for (std::size_t j = 0; j < st.dhes.size(); ++j) {
        std::string line = general(st.temperature[j]) + "    " + general(st.abscissa[j]) + "    " +
                           general(st.dhes[j]);
        for (const Peak& p : st.peaks)
            if (p.evaluated() && j < p.theoretical.size())
                line += "    " + general(p.theoretical[j]);
        putLine(out, line);
    }
    return out.str();
}

bool writeFile(const Analysis& a, const State& st, const std::string& path, std::string& error)
{
    return textfile::writeResult(path, fileText(a, st, path), error);
}

bool savePressed(const Analysis& a, State& st, const std::string& path, std::string& error)
{
    if (!writeFile(a, st, path, error))
        return false;
    st.fileName = path;
    st.controls.save = false;
    st.controls.saveFigure = true;
    return true;
}

std::string saveProposal(const Analysis& a) { return Analysis::replaceExtension(a.experimentalDataFileName, ".DHES"); }

std::string figureProposal(const State& st) { return Analysis::replaceExtension(st.fileName, "DHES.bmp"); }

bool edgePeak(const State& st, int s, Peak& edge)
{
    if (s < 0 || s >= peakCount)
        return false;
    const int i = st.peaks[s].index;
    const int previous = s == 0 ? 0 : st.peaks[s - 1].index;
    const int last = static_cast<int>(st.dhes.size()) - 1;
    if (i != last || i <= previous || i < 1 || !(st.dhes[i] > st.dhes[i - 1]))
        return false;
    // Evaluated on a copy: what "Evaluation" would give there, while the
    // results of the search stay as they are.
    State probe = st;
    evaluationPressed(probe, s);
    edge = probe.peaks[s];
    return edge.evaluated();
}

int workPeaks(State& st)
{
    int evaluated = 0;
    for (int s = 0; s < peakCount && st.controls.next[s]; ++s) {
        const int previous = s == 0 ? 0 : st.peaks[s - 1].index;
        for (;;) {
            const int before = st.peaks[s].index;
            nextPeakPressed(st, s);
            const int now = st.peaks[s].index;
            if (now > previous && isInteriorMaximum(st.dhes, now))
                break;
            if (now == before) {
                // No further peak. Moving the marker of peak 1 to 3 disabled
                // "Sum of each Signal"; pressing "Evaluation" of the last peak
                // found enables it again and changes none of its results.
                if (evaluated > 0 && !st.controls.sum)
                    evaluationPressed(st, evaluated - 1);
                return evaluated;
            }
        }
        st.refusal = evaluationPressed(st, s);
        if (!st.refusal.empty())
            return evaluated;
        ++evaluated;
    }
    return evaluated;
}

} // namespace dhes
