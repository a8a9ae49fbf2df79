#include "analysis/curvefit/CurveFitting.h"

#include "analysis/base/Reliability.h"
#include "analysis/data/Analysis.h"
#include "analysis/base/Neutrality.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/PhysicalResult.h"
#include "analysis/base/Physics.h"
#include "analysis/base/TextFile.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

namespace curvefit {

double fermiLevel(const ParameterSet& p, double dos0, double T, int halvings)
{
    const double kT = phys::thermalEnergy(T);
    const double Nc = dos0 * std::pow(T, 1.5);
    const int K = std::clamp(p.count, 0, 4);
    auto balance = [&](double E) {
        double ionised = 0;
        for (int k = 0; k < K; ++k) {
            const Species& s = p.species[k];
            ionised += s.density / (1 + s.g * std::exp((s.energy - E) / kT));
        }
        return ionised - (p.compensating + Nc * std::exp(-E / kT));
    };
    return neutrality::solveFermiLevel(balance, halvings);
}

double concentrationAt(double dos0, double T, double fermi)
{
    return dos0 * std::pow(T, 1.5) * std::exp(-fermi / phys::thermalEnergy(T));
}

double sumOfSquares(const ParameterSet& p, double dos0, const FitPoints& pts, int halvings,
                    std::vector<double>* fermi)
{
    if (fermi)
        fermi->assign(static_cast<std::size_t>(std::max(pts.count(), 0)), 0.0);
    double S = 0;
    for (int j = pts.lo; j <= pts.hi; ++j) {
        const double T = (*pts.T)[j];
        const double E = fermiLevel(p, dos0, T, halvings);
        if (fermi)
            (*fermi)[j - pts.lo] = E;
        const double d = concentrationAt(dos0, T, E) - (*pts.n)[j];
        S += d * d;
    }
    return S;
}

std::vector<double> jacobian(const ParameterSet& p, double dos0, const FitPoints& pts,
                             const std::vector<double>& fermi, bool fixedFermi)
{
    const int K = std::clamp(p.count, 0, 4);
    const int P = 2 * K + 1;
    std::vector<double> J(static_cast<std::size_t>(std::max(pts.count(), 0) * P), 0.0);
    for (int j = pts.lo; j <= pts.hi; ++j) {
        const double T = (*pts.T)[j];
        const double E = fermi[j - pts.lo];
        const double kT = phys::thermalEnergy(T);
        double* row = &J[static_cast<std::size_t>((j - pts.lo) * P)];
        row[0] = -1;
        double bound = 0; // sum of N f (1 - f): how the ionised charge answers E_F
        for (int k = 0; k < K; ++k) {
            const Species& s = p.species[k];
            const double e = std::exp((s.energy - E) / kT);
            if (fixedFermi) {
                row[1 + k] = 1 / (1 + s.g * e);
                row[1 + K + k] = -s.density * s.g * e / (kT * (s.g * e + 1) * (s.g * e + 1));
                continue;
            }
            // The same occupation written so that a huge exponent cannot
            // give inf/inf.
            const double x = (s.energy - E) / kT;
            double f, empty;
            if (x > 0) {
                const double t = std::exp(-x) / s.g;
                f = t / (1 + t);
                empty = 1 / (1 + t);
            } else {
                const double ge = s.g * std::exp(x);
                f = 1 / (1 + ge);
                empty = ge / (1 + ge);
            }
            row[1 + k] = f;
            row[1 + K + k] = -s.density * f * empty / kT;
            bound += s.density * f * empty;
        }
        if (!fixedFermi) {
            // The Fermi level moves until neutrality holds again, which passes
            // only the share n/(n + sum N f(1-f)) of a change on to n.
            const double n = concentrationAt(dos0, T, E);
            const double share = n + bound > 0 ? n / (n + bound) : 0;
            for (int c = 0; c < P; ++c)
                row[c] *= share;
        }
    }
    return J;
}

std::vector<double> solveWithoutPivoting(std::vector<double> A, std::vector<double> b, int P)
{
    auto a = [&](int r, int s) -> double& { return A[static_cast<std::size_t>(r * P + s)]; };
    for (int r = 0; r < P; ++r) {
        const double p = a(r, r);
        a(r, r) = 1;
        b[r] = b[r] / p;
        for (int s = r + 1; s < P; ++s)
            a(r, s) = a(r, s) / p;
        for (int o = r + 1; o < P; ++o) {
            const double f = a(o, r);
            a(o, r) = 0;
            b[o] = b[o] - b[r] * f;
            for (int s = r + 1; s < P; ++s)
                a(o, s) = a(o, s) - a(r, s) * f;
        }
    }
    std::vector<double> d(static_cast<std::size_t>(P), 0.0);
    if (P == 0)
        return d;
    d[P - 1] = b[P - 1];
    for (int r = P - 2; r >= 0; --r) {
        double sum = 0;
        for (int s = r + 1; s < P; ++s)
            sum += d[s] * a(r, s);
        d[r] = b[r] - sum;
    }
    return d;
}

void fittingStep(ParameterSet& trial, double dos0, const FitPoints& pts, const std::vector<double>& fermi,
                 double w)
{
    const int K = std::clamp(trial.count, 0, 3);
    const int P = 2 * K + 1;
    const int m = pts.count();
    const std::vector<double> J = jacobian(trial, dos0, pts, fermi, true);
    std::vector<double> A(static_cast<std::size_t>(P * P), 0.0), b(static_cast<std::size_t>(P), 0.0);
    for (int r = 0; r < P; ++r)
        for (int s = 0; s < P; ++s) {
            double sum = 0;
            for (int j = 0; j < m; ++j)
                sum += J[j * P + r] * J[j * P + s];
            A[r * P + s] = sum;
        }
    for (int j = 0; j < m; ++j) {
        const double T = (*pts.T)[pts.lo + j];
        const double residual = concentrationAt(dos0, T, fermi[j]) - (*pts.n)[pts.lo + j];
        for (int s = 0; s < P; ++s)
            b[s] -= residual * J[j * P + s];
    }
    const std::vector<double> d = solveWithoutPivoting(std::move(A), std::move(b), P);
    trial.compensating += w * d[0];
    for (int k = 0; k < K; ++k) {
        trial.species[k].density += w * d[1 + k];
        trial.species[k].energy += w * d[1 + K + k];
    }
}

StandardErrors standardErrors(const ParameterSet& p, double dos0, const FitPoints& pts, double S)
{
    const int K = std::clamp(p.count, 0, 3);
    const int P = 2 * K + 1;
    const int m = pts.count();
    StandardErrors out;
    out.error.assign(static_cast<std::size_t>(P), 0.0);
    out.determined.assign(static_cast<std::size_t>(P), false);
    if (m <= P || !(S >= 0) || !std::isfinite(S))
        return out;
    out.sigma2 = S / (m - P);

    // The derivative at a Fermi level as precise as the program's other
    // simulations: the fitting's 15 halvings would shake it.
    std::vector<double> fermi(static_cast<std::size_t>(m));
    for (int j = 0; j < m; ++j)
        fermi[j] = fermiLevel(p, dos0, (*pts.T)[pts.lo + j], preciseHalvings);
    std::vector<double> J = jacobian(p, dos0, pts, fermi, false);

    // Columns scaled to unit length (densities and levels differ by 20
    // orders of magnitude), then one-sided Jacobi: J D V = U diag(s).
    std::vector<double> scale(static_cast<std::size_t>(P), 1.0);
    for (int c = 0; c < P; ++c) {
        double norm = 0;
        for (int j = 0; j < m; ++j)
            norm += J[j * P + c] * J[j * P + c];
        norm = std::sqrt(norm);
        if (!std::isfinite(norm))
            return out;
        if (norm > 0) {
            scale[c] = 1 / norm;
            for (int j = 0; j < m; ++j)
                J[j * P + c] *= scale[c];
        }
    }
    std::vector<double> V(static_cast<std::size_t>(P * P), 0.0);
    for (int c = 0; c < P; ++c)
        V[c * P + c] = 1;
    const double eps = std::numeric_limits<double>::epsilon();
    for (int sweep = 0; sweep < 60; ++sweep) {
        bool rotated = false;
        for (int p1 = 0; p1 < P - 1; ++p1)
            for (int q = p1 + 1; q < P; ++q) {
                double alpha = 0, beta = 0, gamma = 0;
                for (int j = 0; j < m; ++j) {
                    const double x = J[j * P + p1], y = J[j * P + q];
                    alpha += x * x;
                    beta += y * y;
                    gamma += x * y;
                }
                if (gamma == 0 || std::fabs(gamma) <= eps * std::sqrt(alpha * beta))
                    continue;
                rotated = true;
                const double zeta = (beta - alpha) / (2 * gamma);
                const double t = (zeta >= 0 ? 1.0 : -1.0) / (std::fabs(zeta) + std::sqrt(1 + zeta * zeta));
                const double c = 1 / std::sqrt(1 + t * t), s = c * t;
                for (int j = 0; j < m; ++j) {
                    const double x = J[j * P + p1], y = J[j * P + q];
                    J[j * P + p1] = c * x - s * y;
                    J[j * P + q] = s * x + c * y;
                }
                for (int r = 0; r < P; ++r) {
                    const double x = V[r * P + p1], y = V[r * P + q];
                    V[r * P + p1] = c * x - s * y;
                    V[r * P + q] = s * x + c * y;
                }
            }
        if (!rotated)
            break;
    }
    std::vector<double> sv(static_cast<std::size_t>(P), 0.0);
    double largest = 0;
    for (int c = 0; c < P; ++c) {
        double norm = 0;
        for (int j = 0; j < m; ++j)
            norm += J[j * P + c] * J[j * P + c];
        sv[c] = std::sqrt(norm);
        largest = std::max(largest, sv[c]);
    }
    // Directions the data do not fix; a parameter with a share in one of them
    // has no standard error.
    const double tolerance = largest * m * eps * 16;
    for (int r = 0; r < P; ++r) {
        double variance = 0;
        bool loose = false;
        for (int c = 0; c < P; ++c) {
            const double v = V[r * P + c];
            if (!(sv[c] > tolerance)) {
                loose = loose || std::fabs(v) > 1e-8;
                continue;
            }
            variance += (v / sv[c]) * (v / sv[c]);
        }
        if (loose || !std::isfinite(variance))
            continue;
        out.determined[r] = true;
        out.error[r] = std::sqrt(out.sigma2 * variance) * scale[r];
    }
    return out;
}

std::string errorText(double v, bool determined, bool energy)
{
    if (!determined)
        return "not determined";
    std::string text = energy ? numfmt::energy(v) : numfmt::density(v);
    // An error below the display's last digit still has a size worth
    // reading: it is shown with its exponent instead of as 0.
    if (energy && v != 0 && std::isfinite(v) && (text == "0" || text == "-0"))
        text = numfmt::pattern(v, "0.0E+00");
    return "\xC2\xB1 " + text;
}

// ---- the session ------------------------------------------------------------

std::vector<OutcomeMessage> Session::open(const Analysis& a, ProgressReporter* progress)
{
    std::vector<OutcomeMessage> messages;
    working = ParameterSet{};
    trial = ParameterSet{};
    for (Species& s : reference)
        s = Species{0, 0, 1};
    referenceCompensating = 0;
    referenceCount = 0;
    fitEnabled = true;
    fitCaption = "Curve Fitting";
    saveEnabled = simFigureEnabled = curveFigureEnabled = false;
    times = 1;
    fileName.clear();
    errors = StandardErrors{};
    lastSumOfSquares = 0;
    nType = a.isNType();
    sampleNumber = a.sampleNumber;
    dos0 = a.dos0;
    advanced = a.advancedMode == 1;
    weightEditable = a.releaseFlag != 1;

    T.clear();
    n.clear();
    const int count = std::min({a.dataCount, static_cast<int>(a.temperature.size()),
                                static_cast<int>(a.concentration.size()), static_cast<int>(a.reliability.size())});
    for (int i = 0; i < count; ++i)
        if (a.reliability[i] > reliability::kTrusted) {
            T.push_back(a.temperature[i]);
            n.push_back(a.concentration[i]);
        }
    const int grid = std::min(std::max(a.splineCount, 0), static_cast<int>(a.splineTemperature.size()));
    gridT.assign(a.splineTemperature.begin(), a.splineTemperature.begin() + grid);

    for (int i = 0; i < 4; ++i)
        if (a.simulationDensity[i] > 10)
            reference[referenceCount++] = {a.simulationEnergyLevel[i], a.simulationDensity[i], a.degeneracyFactor[i]};
    referenceCompensating = a.simulationCompensatingDensity;
    for (int pass = 0; pass + 1 < referenceCount; ++pass)
        for (int i = 0; i + 1 < referenceCount - pass; ++i)
            if (reference[i].energy > reference[i + 1].energy)
                std::swap(reference[i], reference[i + 1]);

    showReferenceInFields();
    setCheckBoxes();

    trial.count = referenceCount;
    for (int i = 0; i < referenceCount; ++i)
        trial.species[i] = reference[i];
    trial.compensating = referenceCompensating;
    simulateGrid(trial, progress);

    lo = 0;
    hi = pointCount() - 1;
    if (pointCount() < 2) {
        fitEnabled = false;
        messages.push_back({true, "The curve fitting needs at least two experimental points with a "
                                  "reliability above " + numfmt::general(reliability::kTrusted) + "; this sample has " +
                                      std::to_string(pointCount()) + "."});
    }
    return messages;
}

void Session::showReferenceInFields()
{
    for (int r = 0; r < 3; ++r) {
        rows[r].energy = numfmt::energy(reference[r].energy);
        rows[r].density = numfmt::density(reference[r].density);
        rows[r].g = numfmt::degeneracy(reference[r].g);
        rows[r].energyError.clear();
        rows[r].densityError.clear();
    }
    compensating = numfmt::density(referenceCompensating);
    compensatingError.clear();
}

void Session::setCheckBoxes()
{
    const int k0 = referenceCount;
    if (k0 < 1 || k0 > 3)
        return;
    for (int r = 0; r < 3; ++r) {
        rows[r].ticked = r < k0;
        rows[r].enabled = r < k0 || advanced;
    }
}

void Session::reset()
{
    fitEnabled = pointCount() >= 2;
    fitCaption = "Curve Fitting";
    saveEnabled = simFigureEnabled = curveFigureEnabled = false;
    times = 1;
    showReferenceInFields();
    setCheckBoxes();
}

void Session::initialize()
{
    reset();
    lo = 0;
    hi = pointCount() - 1;
}

void Session::decreaseLow()
{
    reset();
    if (lo > 0)
        --lo;
}

void Session::increaseLow()
{
    reset();
    if (lo < hi - 1)
        ++lo;
}

void Session::decreaseHigh()
{
    reset();
    if (lo + 1 < hi)
        --hi;
}

void Session::increaseHigh()
{
    reset();
    if (hi < pointCount() - 1)
        ++hi;
}

void Session::simulateGrid(const ParameterSet& p, ProgressReporter* progress)
{
    const int N = static_cast<int>(gridT.size());
    fitConcentration.assign(gridT.size(), 0.0);
    fitFermiLevel.assign(gridT.size(), 0.0);
    if (progress)
        progress->show(ProgressReporter::Main, N);
    for (int i = 0; i < N; ++i) {
        if (progress)
            progress->step(ProgressReporter::Main, 1);
        const double E = fermiLevel(p, dos0, gridT[i], halvings());
        fitFermiLevel[i] = E;
        fitConcentration[i] = concentrationAt(dos0, gridT[i], E);
    }
    if (progress)
        progress->close(ProgressReporter::Main);
}

static bool finite(const ParameterSet& p)
{
    bool ok = std::isfinite(p.compensating);
    for (int k = 0; k < p.count; ++k)
        ok = ok && std::isfinite(p.species[k].density) && std::isfinite(p.species[k].energy);
    return ok;
}

Session::PressOutcome Session::press(ProgressReporter* progress)
{
    PressOutcome out;
    if (!fitEnabled || pointCount() < 2 || lo < 0 || hi >= pointCount() || lo >= hi)
        return out;

    // Every field first: a text that is not a number changes nothing.
    double w = weight;
    if (weightEditable && !numfmt::parseDouble(weightText, w)) {
        out.failedText = weightText;
        return out;
    }
    std::array<Species, 3> read{};
    std::array<int, 3> source{};
    int K = 0;
    for (int r = 0; r < 3; ++r) {
        if (!rows[r].ticked)
            continue;
        for (const auto& [text, target] : {std::pair{&rows[r].energy, &read[K].energy},
                                           std::pair{&rows[r].density, &read[K].density},
                                           std::pair{&rows[r].g, &read[K].g}})
            if (!numfmt::parseDouble(*text, *target)) {
                out.failedText = *text;
                return out;
            }
        source[K++] = r;
    }
    double comp = 0;
    if (!numfmt::parseDouble(compensating, comp)) {
        out.failedText = compensating;
        return out;
    }
    out.pressed = true;
    weight = w;
    const ParameterSet before = working;
    for (int k = 0; k < K; ++k)
        working.species[k] = read[k];
    working.count = K;
    working.compensating = comp;

    const FitPoints pts = points();
    std::vector<double> fermi, trialFermi;
    double sOld = sumOfSquares(working, dos0, pts, halvings(), &fermi);
    for (;;) {
        trial = working;
        fittingStep(trial, dos0, pts, fermi, weight);
        const double sNew = finite(trial) ? sumOfSquares(trial, dos0, pts, halvings(), &trialFermi)
                                          : std::numeric_limits<double>::quiet_NaN();
        if (sNew < sOld) {
            working = trial;
            ++times;
            sOld = sNew;
            fermi.swap(trialFermi);
            if (++out.acceptedSteps >= maxAcceptedSteps)
                break;
            continue;
        }
        trial = working;
        --times;
        fitCaption = "Curve Fitting " + std::to_string(times) + " times";
        fitEnabled = false;
        out.rejected = true;
        break;
    }
    lastSumOfSquares = sOld;
    // A fit that ran off to a negative density or an absurd level is no
    // result: the fields keep what they held, and there is nothing to save.
    if (const std::string bad = physicalProblem(); !bad.empty()) {
        working = trial = before;
        fitEnabled = saveEnabled = false;
        out.refusal = physical::noPhysicalResult(bad);
        return out;
    }

    // The species in use move up to the first rows, with the g each was
    // typed with.
    std::array<std::string, 3> gTexts{rows[0].g, rows[1].g, rows[2].g};
    for (int k = 0; k < K; ++k)
        rows[k].g = gTexts[source[k]];
    if (K >= 1 && K <= 3) {
        for (int r = 0; r < 3; ++r)
            rows[r].ticked = r < K;
        for (int s = K; s < referenceCount; ++s)
            working.species[s].energy = working.species[s].density = 0;
    }
    for (int r = 0; r < 3; ++r) {
        rows[r].energy = numfmt::energy(working.species[r].energy);
        rows[r].density = numfmt::density(working.species[r].density);
    }
    compensating = numfmt::density(working.compensating);

    errors = standardErrors(working, dos0, pts, sOld);
    for (int r = 0; r < 3; ++r) {
        rows[r].energyError = r < K ? errorText(errors.error[1 + K + r], errors.determined[1 + K + r], true) : "";
        rows[r].densityError = r < K ? errorText(errors.error[1 + r], errors.determined[1 + r], false) : "";
    }
    compensatingError = errorText(errors.error[0], errors.determined[0], false);

    simulateGrid(working, progress);
    simFigureEnabled = curveFigureEnabled = false;
    saveEnabled = true;
    return out;
}

std::string Session::physicalProblem() const
{
    std::vector<physical::Species> species;
    for (int k = 0; k < working.count && k < static_cast<int>(working.species.size()); ++k)
        species.push_back({working.species[k].density, working.species[k].energy});
    return physical::problem(species, working.compensating);
}

std::string Session::saveProposal(const Analysis& a)
{
    return Analysis::replaceExtension(a.simulationFileName, ".cft");
}

std::string Session::fileText(const Analysis& a) const
{
    using numfmt::general;
    using textfile::putLine;
    std::ostringstream out;
    a.writeHeaderBlock(out, HeaderOptions::onFermiLevel("% Simulation of Majority-Carrier Concentartion "
                                                        "(Auto-evaluation version)",
                                                        a.fermiLevelFileName, true));
    const std::string hyphens62 = "% " + std::string(62, '-') + " ";
    const std::string hyphens60 = "% " + std::string(60, '-') + " ";
    const char* const ordinal[3] = {"First", "Second", "Third"};
    auto species = [&](int i, double density, double energy, double g) {
        const std::string o = std::string("% ") + ordinal[i];
        putLine(out, o + " density [cm^-3]: " + general(density));
        putLine(out, o + " energy level [eV]: " + general(energy));
        putLine(out, o + " degeneracy factor: " + general(g));
    };
    putLine(out, hyphens62);
    putLine(out, "% Simulation result by VORN only");
    putLine(out, hyphens62);
    for (int i = 0; i < 3; ++i)
        species(i, a.simulationDensity[i], a.simulationEnergyLevel[i], a.degeneracyFactor[i]);
    putLine(out, "% Compenating density [cm^-3]: " + general(a.simulationCompensatingDensity));
    putLine(out, hyphens60);
    putLine(out, "% Simulation result by VORN using curve-fitting adjustment");
    putLine(out, hyphens60);
    putLine(out, "% Weight for curve fitting: " + general(weight));
    putLine(out, "% Times of curve fitting procedures: " + std::to_string(times));
    putLine(out, "% Lowest Temperature for curve fitting [K] : " + general(T[lo]));
    putLine(out, "% Highest temperature for curve fitting [K] : " + general(T[hi]));
    for (int i = 0; i < 3; ++i)
        species(i, working.species[i].density, working.species[i].energy, working.species[i].g);
    putLine(out, "% Compenating density [cm^-3]: " + general(working.compensating));
    putLine(out, "% Temperature [K]  *Only VORN*   concentration [cm^-3]    Fermi level   [eV]   "
                 "*VORN with adjustemnt*   concentration [cm^-3]    Fermi level   [eV] ");
    const std::string gap = "     ";
    for (std::size_t i = 0; i < gridT.size(); ++i)
        putLine(out, numfmt::g(gridT[i]) + gap + numfmt::g(a.simulatedConcentration[i]) + gap +
                         numfmt::g(a.simulatedFermiLevel[i]) + gap + numfmt::g(fitConcentration[i]) + gap +
                         numfmt::g(fitFermiLevel[i]));
    return out.str();
}

FileOutcome Session::save(const Analysis& a, const std::string& path)
{
    FileOutcome out;
    const std::size_t grid = gridT.size();
    if (pointCount() < 2 || lo < 0 || hi >= pointCount() || a.simulatedConcentration.size() < grid ||
        a.simulatedFermiLevel.size() < grid || fitConcentration.size() != grid) {
        out.error = "The simulation the curve fitting started from is no longer complete; " + path +
                    " was not written.";
        return out;
    }
    if (const std::string bad = physicalProblem(); !bad.empty()) {
        out.error = physical::noPhysicalResult(bad);
        return out;
    }
    if (!textfile::writeResult(path, fileText(a), out.error))
        return out;
    out.ok = true;
    fileName = path;
    saveEnabled = false;
    simFigureEnabled = curveFigureEnabled = true;
    return out;
}

} // namespace curvefit
