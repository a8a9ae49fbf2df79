#include "analysis/modelselection/ModelSelection.h"

#include "analysis/data/Analysis.h"
#include "analysis/base/Neutrality.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/PhysicalResult.h"
#include "analysis/base/Physics.h"
#include "analysis/base/TextFile.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>

namespace modelsel {

namespace {

constexpr double ln10 = 2.302585092994046;
// Bounds of the search: the physical range of a level, densities from far
// below any measured one up to the atomic density of a solid.
constexpr double minLevel = physical::minLevel, maxLevel = physical::maxLevel;
constexpr double maxDensity = physical::maxDensity;

// ln of the effective degeneracy g_eff(T) of a species, so that its ionised
// fraction is 1/(1 + g_eff exp((E - E_F)/kT)), and d ln g_eff / dE. For the
// excited-states distribution g_eff = g (1 + sum r^2 w_r) exp(-E_ex/kT) with
// w_r = exp(-(E - E_r)/kT) and E_ex the mean excitation energy.
struct Degeneracy {
    double lnG = 0, dLnG = 0;
};

Degeneracy excitedDegeneracy(double g, double level, double kT, double rydberg, int R)
{
    double s1 = 0, s2 = 0;
    for (int r = 2; r <= R; ++r) {
        const double er = rydberg / (r * r);
        const double w = std::exp(std::max(-(level - er) / kT, -700.0));
        s1 += r * r * w;
        s2 += r * r * (level - er) * w;
    }
    const double mean = s2 / (1 + s1);
    const double ds1 = -s1 / kT, ds2 = s1 - s2 / kT;
    const double dMean = (ds2 * (1 + s1) - s2 * ds1) / ((1 + s1) * (1 + s1));
    return {std::log(g) + std::log1p(s1) - mean / kT, ds1 / (1 + s1) - dMean / kT};
}

bool byLevel(const Species& a, const Species& b) { return a.level < b.level; }

double rydbergOf(const Data& d)
{
    return d.dielectricConstant > 0 ? 13.6 * d.effectiveMass / d.dielectricConstant / d.dielectricConstant : 0;
}

// One point of the forward model: everything the residual and its
// derivatives need.
struct PointModel {
    double kT = 0, Nc = 0, fermi = 0, n = 0;
    std::array<Degeneracy, maxSpecies> deg{};
};

PointModel solvePoint(const Model& m, const Data& d, double T)
{
    PointModel p;
    p.kT = phys::thermalEnergy(T);
    p.Nc = d.dos0 * std::pow(T, 1.5);
    const int K = static_cast<int>(std::min<std::size_t>(m.species.size(), maxSpecies));
    const double ry = rydbergOf(d);
    for (int k = 0; k < K; ++k) {
        const Species& s = m.species[static_cast<std::size_t>(k)];
        if (k == 0 && m.distribution == Distribution::ExcitedStates)
            p.deg[0] = excitedDegeneracy(s.g, s.level, p.kT, ry, m.levelCount);
        else
            p.deg[static_cast<std::size_t>(k)] = {std::log(s.g), 0};
    }
    const double kT = p.kT, Nc = p.Nc;
    // g_eff exp((E_k - E)/kT) = exp(A_k) exp(-E/kT): one exponential per
    // halving instead of one per species, while exp(A_k) stays finite.
    std::array<double, maxSpecies> a{};
    bool product = true;
    for (int k = 0; k < K; ++k) {
        const double A = p.deg[static_cast<std::size_t>(k)].lnG + m.species[static_cast<std::size_t>(k)].level / kT;
        product = product && A < 700;
        a[static_cast<std::size_t>(k)] = std::exp(A);
    }
    auto balance = [&](double E) {
        const double y = std::exp(-E / kT);
        double ionised = 0;
        for (int k = 0; k < K; ++k) {
            const Species& s = m.species[static_cast<std::size_t>(k)];
            const double u = product ? a[static_cast<std::size_t>(k)] * y
                                     : std::exp(p.deg[static_cast<std::size_t>(k)].lnG + (s.level - E) / kT);
            ionised += s.density / (1 + u);
        }
        return ionised - (m.compensating + Nc * y);
    };
    p.fermi = neutrality::solveFermiLevel(balance, fermiHalvings);
    p.n = Nc * std::exp(-p.fermi / kT);
    return p;
}

// Parameters: ln N_k and E_k of each species, then ln N_comp.
int parameterCount(const Model& m) { return 2 * static_cast<int>(m.species.size()) + 1; }

Eigen::VectorXd parametersOf(const Model& m)
{
    const int K = static_cast<int>(m.species.size());
    Eigen::VectorXd x(2 * K + 1);
    for (int k = 0; k < K; ++k) {
        x[2 * k] = std::log(m.species[static_cast<std::size_t>(k)].density);
        x[2 * k + 1] = m.species[static_cast<std::size_t>(k)].level;
    }
    x[2 * K] = std::log(m.compensating);
    return x;
}

struct Bounds {
    double lnMin, lnMax, lnCompMin;
};

Bounds boundsOf(const Data& d)
{
    const double nMin = *std::min_element(d.n.begin(), d.n.end());
    return {std::log(std::max(nMin * 1e-3, 1.0)), std::log(maxDensity), std::log(std::max(nMin * 1e-6, 1.0))};
}

void setParameters(Model& m, const Eigen::VectorXd& x, const Bounds& b)
{
    const int K = static_cast<int>(m.species.size());
    for (int k = 0; k < K; ++k) {
        Species& s = m.species[static_cast<std::size_t>(k)];
        s.density = std::exp(std::clamp(x[2 * k], b.lnMin, b.lnMax));
        s.level = std::clamp(x[2 * k + 1], minLevel, maxLevel);
    }
    m.compensating = std::exp(std::clamp(x[2 * K], b.lnCompMin, b.lnMax));
}

// Weighted residuals sqrt(w) (log10 n_fit - log10 n_meas) and, when asked,
// their Jacobian by the implicit derivative of the Fermi level.
double residuals(const Model& m, const Data& d, Eigen::VectorXd& r, Eigen::MatrixXd* J)
{
    const int M = d.points(), K = static_cast<int>(m.species.size());
    r.resize(M);
    if (J)
        J->resize(M, 2 * K + 1);
    double S = 0;
    for (int j = 0; j < M; ++j) {
        const PointModel p = solvePoint(m, d, d.T[static_cast<std::size_t>(j)]);
        const double sw = std::sqrt(d.w[static_cast<std::size_t>(j)]);
        r[j] = sw * (std::log10(p.Nc) - p.fermi / (p.kT * ln10) - std::log10(d.n[static_cast<std::size_t>(j)]));
        S += r[j] * r[j];
        if (!J)
            continue;
        std::array<double, maxSpecies> f{}, bound{};
        double B = p.n;
        for (int k = 0; k < K; ++k) {
            const Species& s = m.species[static_cast<std::size_t>(k)];
            const double x = p.deg[static_cast<std::size_t>(k)].lnG + (s.level - p.fermi) / p.kT;
            // f = 1/(1+e^x) and f(1-f) without inf/inf for large |x|.
            const double e = std::exp(-std::fabs(x));
            const double fk = x > 0 ? e / (1 + e) : 1 / (1 + e);
            f[static_cast<std::size_t>(k)] = fk;
            bound[static_cast<std::size_t>(k)] = e / ((1 + e) * (1 + e));
            B += s.density * bound[static_cast<std::size_t>(k)];
        }
        const double c = sw / (B * ln10);
        for (int k = 0; k < K; ++k) {
            const Species& s = m.species[static_cast<std::size_t>(k)];
            (*J)(j, 2 * k) = c * s.density * f[static_cast<std::size_t>(k)];
            (*J)(j, 2 * k + 1) = -c * s.density * bound[static_cast<std::size_t>(k)] *
                                 (1 / p.kT + p.deg[static_cast<std::size_t>(k)].dLnG);
        }
        (*J)(j, 2 * K) = -c * m.compensating;
    }
    return S;
}

bool finiteModel(const Model& m)
{
    for (const Species& s : m.species)
        if (!std::isfinite(s.density) || !std::isfinite(s.level))
            return false;
    return std::isfinite(m.compensating);
}

int parametersWithDistribution(const Model& m)
{
    // R is chosen by the fit too: one parameter more.
    return parameterCount(m) + (m.distribution == Distribution::ExcitedStates ? 1 : 0);
}

double criterionValue(double S, int m, int p)
{
    const double fit = m * std::log(std::max(S, 1e-300) / m);
    if (m < fewPoints)
        return fit + 2.0 * p + (m - p - 1 > 0 ? 2.0 * p * (p + 1) / (m - p - 1) : 1e300);
    return fit + p * std::log(static_cast<double>(m));
}

// The species of a Fermi-Dirac model in order of their levels, each keeping
// its degeneracy; the excited-states species stays first.
void sortSpecies(Model& m)
{
    const auto from = m.species.begin() + (m.distribution == Distribution::ExcitedStates ? 1 : 0);
    if (from < m.species.end())
        std::stable_sort(from, m.species.end(), byLevel);
}

// Covariance, errors, correlation and verdicts at the optimum.
void describe(Fit& fit, const Data& d)
{
    Model& m = fit.model;
    const int K = static_cast<int>(m.species.size()), P = 2 * K + 1, M = d.points();
    Eigen::VectorXd r;
    Eigen::MatrixXd J;
    fit.sumOfSquares = residuals(m, d, r, &J);
    double wsum = 0;
    for (double w : d.w)
        wsum += w;
    fit.rms = std::sqrt(fit.sumOfSquares / wsum);
    fit.T = d.T;
    fit.measured = d.n;
    fit.fitted.resize(static_cast<std::size_t>(M));
    fit.residual.resize(static_cast<std::size_t>(M));
    for (int j = 0; j < M; ++j) {
        const std::size_t i = static_cast<std::size_t>(j);
        fit.residual[i] = -r[j] / std::sqrt(d.w[i]);
        fit.fitted[i] = d.n[i] * std::pow(10.0, -fit.residual[i]);
    }
    fit.points = M;
    fit.parameters = parametersWithDistribution(m);
    fit.criterion = criterionValue(fit.sumOfSquares, M, fit.parameters);

    // sigma^2 (J^T J)^-1 through the SVD of the column-scaled J: a direction
    // the data do not fix has no finite error.
    std::vector<double> err(static_cast<std::size_t>(P), -1);
    Eigen::MatrixXd cov = Eigen::MatrixXd::Zero(P, P);
    const double sigma2 = M > fit.parameters ? fit.sumOfSquares / (M - fit.parameters) : -1;
    Eigen::VectorXd scale = J.colwise().norm().transpose();
    bool singular = !(sigma2 >= 0);
    for (int c = 0; c < P; ++c) {
        if (!(scale[c] > 0) || !std::isfinite(scale[c]))
            singular = true, scale[c] = 1;
    }
    std::vector<bool> fixed(static_cast<std::size_t>(P), !singular);
    if (sigma2 >= 0) {
        const Eigen::MatrixXd Js = J * scale.cwiseInverse().asDiagonal();
        Eigen::JacobiSVD<Eigen::MatrixXd> svd(Js, Eigen::ComputeThinV);
        const Eigen::VectorXd sv = svd.singularValues();
        const Eigen::MatrixXd V = svd.matrixV();
        const double tol = 1e-10 * (sv.size() ? sv[0] : 0);
        Eigen::VectorXd inv2 = Eigen::VectorXd::Zero(sv.size());
        for (int i = 0; i < sv.size(); ++i) {
            if (sv[i] > tol) {
                inv2[i] = 1 / (sv[i] * sv[i]);
                continue;
            }
            // Parameters in this direction are not fixed by the data.
            for (int c = 0; c < P; ++c)
                if (std::fabs(V(c, i)) > 1e-6)
                    fixed[static_cast<std::size_t>(c)] = false;
        }
        const Eigen::MatrixXd covs = V * inv2.asDiagonal() * V.transpose();
        cov = sigma2 * scale.cwiseInverse().asDiagonal() * covs * scale.cwiseInverse().asDiagonal();
        for (int c = 0; c < P; ++c)
            if (fixed[static_cast<std::size_t>(c)] && cov(c, c) >= 0)
                err[static_cast<std::size_t>(c)] = std::sqrt(cov(c, c));
    }
    fit.parameterNames.clear();
    for (int k = 0; k < K; ++k) {
        fit.parameterNames.push_back("log N" + std::to_string(k + 1));
        fit.parameterNames.push_back("E" + std::to_string(k + 1));
    }
    fit.parameterNames.push_back("log Ncomp");
    fit.correlation.assign(static_cast<std::size_t>(P * P), 0.0);
    for (int a = 0; a < P; ++a)
        for (int b = 0; b < P; ++b) {
            const double ea = err[static_cast<std::size_t>(a)], eb = err[static_cast<std::size_t>(b)];
            fit.correlation[static_cast<std::size_t>(a * P + b)] =
                a == b ? 1.0 : (ea > 0 && eb > 0 ? cov(a, b) / (ea * eb) : 0.0);
        }
    fit.species.clear();
    for (int k = 0; k < K; ++k) {
        SpeciesResult s;
        s.species = m.species[static_cast<std::size_t>(k)];
        const double eLn = err[static_cast<std::size_t>(2 * k)], eE = err[static_cast<std::size_t>(2 * k + 1)];
        s.densityError = eLn >= 0 ? eLn * s.species.density : -1;
        s.levelError = eE;
        s.determined = eLn >= 0 && eE >= 0 && s.densityError <= s.species.density && eE <= undeterminedLevelError;
        fit.species.push_back(s);
    }
    const double eC = err[static_cast<std::size_t>(2 * K)];
    fit.compensatingError = eC >= 0 ? eC * m.compensating : -1;
    fit.compensatingDetermined = eC >= 0 && fit.compensatingError <= m.compensating;
}

// Levenberg-Marquardt in (ln N, E, ln N_comp) with Marquardt's scaling; a
// step is taken only when it lowers the sum of squares. Steps are limited to
// a decade in density and 0.1 eV in level, so one step cannot carry a
// species out of the region the data speak about.
double levenbergMarquardt(Model& m, const Data& d, int maxIterations)
{
    const Bounds b = boundsOf(d);
    Eigen::VectorXd x = parametersOf(m);
    setParameters(m, x, b);
    x = parametersOf(m);
    Eigen::VectorXd r, rTrial;
    Eigen::MatrixXd J;
    double S = residuals(m, d, r, &J);
    if (!std::isfinite(S))
        return S;
    double lambda = 1e-3;
    const int P = static_cast<int>(x.size());
    int quiet = 0;
    for (int it = 0; it < maxIterations; ++it) {
        const Eigen::MatrixXd A = J.transpose() * J;
        const Eigen::VectorXd g = J.transpose() * r;
        Eigen::VectorXd diag = A.diagonal();
        const double floor = 1e-12 * std::max(diag.maxCoeff(), 1e-300);
        for (int c = 0; c < P; ++c)
            diag[c] = std::max(diag[c], floor);
        bool accepted = false;
        double Snew = S;
        Model trial = m;
        while (lambda < 1e12) {
            Eigen::MatrixXd Ad = A;
            Ad.diagonal() += lambda * diag;
            Eigen::VectorXd step = -Ad.ldlt().solve(g);
            double limit = 1;
            for (int c = 0; c < P; ++c) {
                const double most = (c % 2 == 1 && c != P - 1) ? 0.1 : ln10;
                if (std::fabs(step[c]) * limit > most)
                    limit = most / std::fabs(step[c]);
            }
            step *= limit;
            trial = m;
            setParameters(trial, x + step, b);
            Snew = finiteModel(trial) && step.allFinite() ? residuals(trial, d, rTrial, nullptr)
                                                            : std::numeric_limits<double>::infinity();
            if (std::isfinite(Snew) && Snew < S) {
                accepted = true;
                break;
            }
            lambda *= 4;
        }
        if (!accepted)
            break;
        const double gain = (S - Snew) / std::max(S, 1e-300);
        m = trial;
        x = parametersOf(m);
        S = residuals(m, d, r, &J);
        lambda = std::max(lambda / 3, 1e-9);
        // A relative gain of 1e-7 moves the parameters by a few thousandths
        // of their standard errors: the optimum is reached.
        quiet = gain < 1e-7 ? quiet + 1 : 0;
        if (quiet >= 2)
            break;
    }
    return S;
}

double kTof(double T) { return phys::thermalEnergy(T); }

// A handful of levels spread over what the temperatures can show: a
// species shows in n(T) where E/kT lies roughly between 3 and 45.
std::vector<double> levelGrid(const Data& d)
{
    const double tMin = *std::min_element(d.T.begin(), d.T.end());
    const double tMax = *std::max_element(d.T.begin(), d.T.end());
    const double lo = std::clamp(3 * kTof(tMin), 0.002, 0.5);
    const double hi = std::clamp(45 * kTof(tMax), lo * 2, 1.2);
    constexpr int count = 9;
    std::vector<double> grid;
    for (int i = 0; i < count; ++i)
        grid.push_back(lo * std::pow(hi / lo, i / double(count - 1)));
    return grid;
}

struct Candidate {
    Model model;
    double S = std::numeric_limits<double>::infinity();
};

// The distinct fits of a list, best first (two fits with nearly the same
// sum of squares are taken as one).
std::vector<Candidate> distinctBest(std::vector<Candidate> list, std::size_t keep)
{
    std::sort(list.begin(), list.end(), [](const Candidate& a, const Candidate& b) { return a.S < b.S; });
    std::vector<Candidate> out;
    for (const Candidate& c : list) {
        if (!std::isfinite(c.S))
            continue;
        bool same = false;
        for (const Candidate& o : out)
            same = same || std::fabs(o.S - c.S) <= 1e-7 * std::max(o.S, 1e-300);
        if (!same)
            out.push_back(c);
        if (out.size() >= keep)
            break;
    }
    return out;
}

Model withDegeneracy(Model m, const Data& d)
{
    for (std::size_t k = 0; k < m.species.size() && k < maxSpecies; ++k)
        m.species[k].g = d.g[k];
    return m;
}

class Search {
public:
    Search(const Data& d, const Progress& progress) : d_(d), progress_(progress) {}

    bool cancelled = false;

    // Quick refinement of every start, then the best few refined to the end.
    std::vector<Candidate> refineAll(const std::vector<Model>& starts, std::size_t keep)
    {
        std::vector<Candidate> quick;
        for (const Model& s : starts) {
            if (!tick())
                return {};
            Candidate c{withDegeneracy(s, d_)};
            c.S = levenbergMarquardt(c.model, d_, 10);
            quick.push_back(c);
        }
        std::vector<Candidate> best = distinctBest(quick, keep);
        for (Candidate& c : best) {
            if (!tick())
                return {};
            c.S = levenbergMarquardt(c.model, d_, 150);
        }
        return distinctBest(best, keep);
    }

    int done = 0, total = 1;

private:
    const Data& d_;
    const Progress& progress_;

    bool tick()
    {
        ++done;
        if (progress_ && !progress_(std::min(done, total), total))
            cancelled = true;
        return !cancelled;
    }
};

Model oneSpecies(double density, double level, double compensating)
{
    Model m;
    m.species.push_back({density, level, 1});
    m.compensating = compensating;
    return m;
}

} // namespace

std::string distributionName(Distribution d)
{
    return d == Distribution::ExcitedStates ? "excited-states" : "fermi-dirac";
}

double typeDegeneracy(const Analysis& a)
{
    if (a.isNType())
        return 2;
    if (a.isPType())
        return 4;
    return 1;
}

std::array<double, 3> stageDegeneracies(const Analysis& a)
{
    const double g = typeDegeneracy(a);
    std::array<double, 3> out{g, g, g};
    // A stage evaluated with another factor keeps it.
    for (std::size_t k = 0; k < 3; ++k)
        if (a.density[k] > 0 && a.degeneracyFactor[k] > 0)
            out[k] = a.degeneracyFactor[k];
    return out;
}

Data dataFrom(const Analysis& a, const std::array<double, 3>& stageDegeneracy)
{
    Data d;
    const std::size_t count = std::min({static_cast<std::size_t>(std::max(a.dataCount, 0)), a.temperature.size(),
                                        a.concentration.size(), a.reliability.size()});
    for (std::size_t i = 0; i < count; ++i) {
        const double T = a.temperature[i], n = a.concentration[i], w = a.reliability[i];
        if (w > 0 && T > 0 && n > 0 && std::isfinite(T) && std::isfinite(n) && std::isfinite(w)) {
            d.T.push_back(T);
            d.n.push_back(n);
            d.w.push_back(w);
        }
    }
    d.dos0 = a.dos0;
    for (int k = 0; k < maxSpecies; ++k)
        d.g[static_cast<std::size_t>(k)] = stageDegeneracy[static_cast<std::size_t>(std::min(k, 2))];
    d.effectiveMass = a.effectiveMass;
    d.dielectricConstant = a.dielectricConstant;
    d.excitedStates = !a.isNType() && a.effectiveMass > 0 && a.dielectricConstant > 0;
    return d;
}

double fermiLevel(const Model& m, const Data& d, double T) { return solvePoint(m, d, T).fermi; }

double concentration(const Model& m, const Data& d, double T) { return solvePoint(m, d, T).n; }

Curves modelCurves(const Model& m, const Data& d, double tLow, double tHigh, int count)
{
    Curves c;
    const std::size_t K = std::min<std::size_t>(m.species.size(), maxSpecies);
    c.ionised.assign(K, {});
    for (int i = 0; i < count; ++i) {
        const double T = count > 1 ? tLow + (tHigh - tLow) * i / (count - 1) : tLow;
        if (!(T > 0))
            continue;
        const PointModel p = solvePoint(m, d, T);
        c.T.push_back(T);
        c.n.push_back(p.n);
        for (std::size_t k = 0; k < K; ++k)
            c.ionised[k].push_back(m.species[k].density /
                                   (1 + std::exp(p.deg[k].lnG + (m.species[k].level - p.fermi) / p.kT)));
    }
    return c;
}

Fit refine(const Data& d, const Model& start, int maxIterations)
{
    Fit fit;
    fit.model = withDegeneracy(start, d);
    if (d.points() == 0 || !(d.dos0 > 0))
        return fit;
    const double S = levenbergMarquardt(fit.model, d, maxIterations);
    if (!std::isfinite(S))
        return fit;
    sortSpecies(fit.model);
    describe(fit, d);
    fit.ok = std::isfinite(fit.criterion);
    return fit;
}

Selection selectModel(const Data& d, const std::vector<Model>& seeds, const Progress& progress)
{
    Selection sel;
    const int M = d.points();
    sel.criterionName = M < fewPoints ? "AICc" : "BIC";
    if (M < 4 || !(d.dos0 > 0)) {
        sel.message = "At least four measured points with positive reliability and an effective density of "
                      "states are needed to choose a model.";
        return sel;
    }
    // At least two points more than parameters, so the residual variance
    // and the criterion mean something.
    const int kMax = std::clamp((M - 3) / 2, 0, maxSpecies);
    const double nMax = *std::max_element(d.n.begin(), d.n.end());
    const double nMin = *std::min_element(d.n.begin(), d.n.end());
    const std::vector<double> grid = levelGrid(d);
    const bool excited = d.excitedStates && rydbergOf(d) > 0;

    Search search(d, progress);
    // Work units: the quick refinements and the final ones, roughly.
    search.total = static_cast<int>(grid.size()) * 2 + 8 + (kMax - 1) * (2 * static_cast<int>(grid.size()) + 10) +
                   (excited ? kMax * (maxLevelCount - minLevelCount + 1) * 6 : 0);

    std::vector<std::vector<Candidate>> fermiDirac(static_cast<std::size_t>(kMax + 1));
    std::vector<Candidate> excitedBest(static_cast<std::size_t>(kMax + 1));
    int kFitted = 0;
    for (int K = 1; K <= kMax; ++K) {
        std::vector<Model> starts;
        for (const Model& s : seeds) {
            if (s.species.empty())
                continue;
            Model t = s;
            t.distribution = Distribution::FermiDirac;
            if (static_cast<int>(t.species.size()) > K)
                t.species.resize(static_cast<std::size_t>(K));
            if (static_cast<int>(t.species.size()) == K) {
                t.compensating = std::max(t.compensating, nMin * 1e-3);
                starts.push_back(t);
            }
        }
        if (K == 1) {
            for (double E : grid)
                for (double comp : {nMin * 0.3, nMax * 1e-3})
                    starts.push_back(oneSpecies(nMax, E, comp));
        } else {
            // Two species from scratch: every pair of grid levels. A poor
            // one-species fit (a dense shallow level mimicking two) is then
            // not the only way in.
            if (K == 2)
                for (std::size_t i = 0; i < grid.size(); ++i)
                    for (std::size_t j = i + 1; j < grid.size(); ++j) {
                        Model t = oneSpecies(nMax * 0.5, grid[i], nMin * 0.3);
                        t.species.push_back({nMax * 0.5, grid[j], 1});
                        starts.push_back(t);
                    }
            // Each species of the best fit with one fewer split in two.
            if (!fermiDirac[static_cast<std::size_t>(K - 1)].empty()) {
                const Model& base = fermiDirac[static_cast<std::size_t>(K - 1)].front().model;
                for (std::size_t i = 0; i < base.species.size(); ++i) {
                    Model t = base;
                    const Species s = t.species[i];
                    t.species[i] = {s.density * 0.5, s.level / 1.5, s.g};
                    t.species.push_back({s.density * 0.5, std::min(s.level * 1.5, maxLevel), s.g});
                    std::sort(t.species.begin(), t.species.end(),
                              byLevel);
                    starts.push_back(t);
                }
            }
            for (const Candidate& base : fermiDirac[static_cast<std::size_t>(K - 1)]) {
                if (&base - fermiDirac[static_cast<std::size_t>(K - 1)].data() >= 2)
                    break;
                for (double E : grid) {
                    Model t = base.model;
                    t.species.push_back({nMax * 0.5, E, 1});
                    std::sort(t.species.begin(), t.species.end(),
                              byLevel);
                    starts.push_back(t);
                }
            }
        }
        fermiDirac[static_cast<std::size_t>(K)] = search.refineAll(starts, 3);
        if (search.cancelled)
            break;
        // One species more than the best so far has been tried: a further
        // one would have to beat a model that already failed to help.
        if (K >= 2 && !fermiDirac[static_cast<std::size_t>(K)].empty() &&
            !fermiDirac[static_cast<std::size_t>(K - 1)].empty()) {
            const double now = criterionValue(fermiDirac[static_cast<std::size_t>(K)].front().S, M, 2 * K + 1);
            const double before = criterionValue(fermiDirac[static_cast<std::size_t>(K - 1)].front().S, M, 2 * K - 1);
            if (now >= before - criterionMargin) {
                kFitted = K;
                break;
            }
        }
        kFitted = K;
    }
    if (excited && !search.cancelled) {
        for (int K = 1; K <= kFitted && !search.cancelled; ++K) {
            Candidate best;
            Model chain;
            for (int R = minLevelCount; R <= maxLevelCount; ++R) {
                std::vector<Model> starts;
                if (!fermiDirac[static_cast<std::size_t>(K)].empty()) {
                    Model t = fermiDirac[static_cast<std::size_t>(K)].front().model;
                    t.distribution = Distribution::ExcitedStates;
                    t.levelCount = R;
                    starts.push_back(t);
                }
                if (R > minLevelCount) {
                    chain.levelCount = R;
                    starts.push_back(chain);
                }
                // The excited-states model of one species fewer with one
                // more species at each level of the grid.
                const Candidate& fewer = excitedBest[static_cast<std::size_t>(K - 1)];
                if (K >= 2 && std::isfinite(fewer.S) && fewer.model.levelCount == R)
                    for (double E : grid) {
                        Model t = fewer.model;
                        t.species.push_back({nMax * 0.5, E, 1});
                        starts.push_back(t);
                    }
                if (K == 1 && R == minLevelCount)
                    for (double E : grid) {
                        Model t = oneSpecies(nMax, E, nMin * 0.3);
                        t.distribution = Distribution::ExcitedStates;
                        t.levelCount = R;
                        starts.push_back(t);
                    }
                const std::vector<Candidate> found = search.refineAll(starts, 1);
                if (search.cancelled || found.empty())
                    break;
                chain = found.front().model;
                if (found.front().S < best.S)
                    best = found.front();
            }
            excitedBest[static_cast<std::size_t>(K)] = best;
        }
    }
    if (search.cancelled) {
        sel.cancelled = true;
        sel.message = "The search was cancelled.";
        return sel;
    }

    // Every model fitted, then the choice: the simplest, replaced by a model
    // with more parameters only when that lowers the criterion by more than
    // the margin.
    std::vector<Fit> fits;
    for (int K = 1; K <= kFitted; ++K) {
        if (!fermiDirac[static_cast<std::size_t>(K)].empty())
            fits.push_back(refine(d, fermiDirac[static_cast<std::size_t>(K)].front().model, 50));
        if (std::isfinite(excitedBest[static_cast<std::size_t>(K)].S))
            fits.push_back(refine(d, excitedBest[static_cast<std::size_t>(K)].model, 50));
    }
    fits.erase(std::remove_if(fits.begin(), fits.end(), [](const Fit& f) { return !f.ok; }), fits.end());
    if (fits.empty()) {
        sel.message = "No model could be fitted to these points.";
        return sel;
    }
    std::stable_sort(fits.begin(), fits.end(), [](const Fit& a, const Fit& b) { return a.parameters < b.parameters; });
    std::size_t chosen = 0;
    for (std::size_t i = 1; i < fits.size(); ++i)
        if (fits[i].criterion < fits[chosen].criterion - criterionMargin)
            chosen = i;
    for (std::size_t i = 0; i < fits.size(); ++i) {
        const Fit& f = fits[i];
        sel.alternatives.push_back({static_cast<int>(f.model.species.size()), f.model.distribution,
                                    f.model.levelCount, f.parameters, f.criterion, f.rms, i == chosen});
    }
    sel.chosen = fits[chosen];
    std::vector<physical::Species> found;
    for (const Species& s : sel.chosen.model.species)
        found.push_back({s.density, s.level});
    const std::string problem = physical::problem(found, sel.chosen.model.compensating);
    if (!problem.empty()) {
        sel.message = physical::noPhysicalResult(problem);
        return sel;
    }
    sel.ok = true;
    return sel;
}

std::vector<Model> seedsFrom(const Analysis& a, const Data& d)
{
    std::vector<Model> seeds;
    auto usable = [](double N, double E) { return N > 0 && std::isfinite(N) && E >= minLevel && E <= maxLevel; };
    Model stages;
    for (int k = 0; k < 3; ++k) {
        if (!usable(a.density[static_cast<std::size_t>(k)], a.energyLevel[static_cast<std::size_t>(k)]))
            break;
        stages.species.push_back({a.density[static_cast<std::size_t>(k)], a.energyLevel[static_cast<std::size_t>(k)],
                                  d.g[static_cast<std::size_t>(k)]});
    }
    stages.compensating = a.compensatingDensity > 0 ? a.compensatingDensity : 0;
    if (!stages.species.empty())
        seeds.push_back(stages);
    if (!a.simulatedConcentration.empty()) {
        Model sim;
        for (int k = 0; k < 4; ++k)
            if (a.simulationInclude[static_cast<std::size_t>(k)] &&
                usable(a.simulationDensity[static_cast<std::size_t>(k)],
                       a.simulationEnergyLevel[static_cast<std::size_t>(k)]))
                sim.species.push_back({a.simulationDensity[static_cast<std::size_t>(k)],
                                       a.simulationEnergyLevel[static_cast<std::size_t>(k)], 1});
        sim.compensating = a.simulationInclude[4] ? std::max(a.simulationCompensatingDensity, 0.0) : 0;
        std::sort(sim.species.begin(), sim.species.end(),
                  byLevel);
        if (!sim.species.empty())
            seeds.push_back(sim);
    }
    return seeds;
}

std::vector<Model> spectroscopySeeds(const Analysis& source, double smoothness, const Data& d)
{
    Analysis a = source;
    a.progress = nullptr;
    if (!a.calculateDataForAnalysis(smoothness).computed || !a.calculateFermiLevelStage().computed)
        return {};
    for (int k = 0; k < 3; ++k) {
        bool evaluated = false;
        for (int round = 0; round < 12; ++round) {
            const StageCalculationOutcome calc = a.calculateStage(k);
            if (calc.kind != StageCalculationOutcome::Kind::Calculated || !calc.peakInside) {
                if (calc.calculationEnabled && calc.calculateAgain)
                    continue;
                break;
            }
            const Analysis::EvaluationOutcome ev = a.evaluate(k, d.g[static_cast<std::size_t>(k)]);
            if (ev.kind == Analysis::EvaluationOutcome::Kind::Evaluated) {
                evaluated = true;
                break;
            }
            if (ev.kind != Analysis::EvaluationOutcome::Kind::RecalculationRequested)
                break;
        }
        if (!evaluated || k == 2 || !a.stageSaveFollowUp(k).enableNextStage)
            break;
    }
    return seedsFrom(a, d);
}

std::vector<Model> collectSeeds(const Analysis& a, const Data& d, const std::vector<Model>& extra)
{
    std::vector<Model> seeds = seedsFrom(a, d);
    if (a.splineCount > 0 && a.dos0 > 0) {
        std::vector<double> smoothness{5000};
        Analysis probe = a;
        const SmoothnessOutcome gcv = probe.automaticSmoothness();
        if (gcv.value > 0 && gcv.value != 5000)
            smoothness.push_back(gcv.value);
        for (double s : smoothness)
            for (const Model& m : spectroscopySeeds(a, s, d))
                seeds.push_back(m);
    }
    seeds.insert(seeds.end(), extra.begin(), extra.end());
    return seeds;
}

std::string verdictText(const SpeciesResult& s)
{
    return s.determined ? "determined" : "not determined by these data";
}

std::string errorText(double error, bool energy)
{
    if (error < 0)
        return "not determined";
    // Errors far below the value's last digit keep their own digits.
    return energy && error >= 0.0001 ? numfmt::pattern(error, "0.0000") : numfmt::pattern(error, "0.0E+00");
}

std::string saveProposal(const Analysis& a)
{
    const std::string& base = !a.simulationFileName.empty() ? a.simulationFileName : a.experimentalDataFileName;
    return Analysis::replaceExtension(base, ".mdl");
}

std::string resultText(const Analysis& a, const Selection& s)
{
    using numfmt::general;
    using textfile::putLine;
    std::ostringstream out;
    a.writeHeaderBlock(out, HeaderOptions::onFermiLevel("% Model of the measured concentration chosen by "
                                                        "the data (best model)",
                                                        a.fermiLevelFileName, true));
    const Fit& f = s.chosen;
    const std::string rule = "% " + std::string(62, '-') + " ";
    putLine(out, rule);
    putLine(out, "% Chosen model: " + std::to_string(f.model.species.size()) + " species, " +
                     distributionName(f.model.distribution) +
                     (f.model.distribution == Distribution::ExcitedStates
                          ? ", highest level r = " + std::to_string(f.model.levelCount)
                          : ""));
    putLine(out, "% Criterion: " + s.criterionName + " = " + general(f.criterion) + " (margin " +
                     general(criterionMargin) + ")");
    putLine(out, "% Residual RMS [log10 n]: " + general(f.rms));
    putLine(out, "% Points: " + std::to_string(f.points) + ", parameters: " + std::to_string(f.parameters));
    putLine(out, rule);
    putLine(out, "% Species   density [cm^-3]   error [cm^-3]   energy level [eV]   error [eV]   degeneracy factor   verdict");
    for (std::size_t k = 0; k < f.species.size(); ++k) {
        const SpeciesResult& sp = f.species[k];
        putLine(out, "% " + std::to_string(k + 1) + "     " + general(sp.species.density) + "     " +
                         general(sp.densityError) + "     " + general(sp.species.level) + "     " +
                         general(sp.levelError) + "     " + general(sp.species.g) + "     " + verdictText(sp));
    }
    putLine(out, "% Compensating density [cm^-3]: " + general(f.model.compensating) + " +- " +
                     general(f.compensatingError) +
                     (f.compensatingDetermined ? "" : " (not determined by these data)"));
    putLine(out, "% Errors are standard errors (-1: not determined).");
    putLine(out, rule);
    std::string names = "% Correlation";
    for (const std::string& n : f.parameterNames)
        names += "     " + n;
    putLine(out, names);
    const std::size_t P = f.parameterNames.size();
    for (std::size_t r = 0; r < P; ++r) {
        std::string line = "% " + f.parameterNames[r];
        for (std::size_t c = 0; c < P; ++c)
            line += "     " + numfmt::pattern(f.correlation[r * P + c], "0.000");
        putLine(out, line);
    }
    putLine(out, rule);
    putLine(out, "% Alternatives   species   distribution   levels   parameters   " + s.criterionName +
                     "   residual RMS [log10 n]");
    for (const Alternative& alt : s.alternatives)
        putLine(out, std::string("% ") + (alt.chosen ? "chosen" : "tried") + "     " +
                         std::to_string(alt.speciesCount) + "     " + distributionName(alt.distribution) + "     " +
                         std::to_string(alt.levelCount) + "     " + std::to_string(alt.parameters) + "     " +
                         general(alt.criterion) + "     " + general(alt.rms));
    putLine(out, rule);
    putLine(out, "% Temperature [K]     measured concentration [cm^-3]     fitted concentration [cm^-3]     "
                 "residual log10(n_meas/n_fit)");
    for (std::size_t j = 0; j < f.residual.size(); ++j)
        putLine(out, numfmt::g(f.T[j]) + "     " + numfmt::g(f.measured[j]) + "     " + numfmt::g(f.fitted[j]) +
                         "     " + numfmt::g(f.residual[j]));
    return out.str();
}

bool save(const Analysis& a, const Selection& s, const std::string& path, std::string& error)
{
    if (!s.ok) {
        error = "There is no chosen model to save; " + path + " was not written.";
        return false;
    }
    return textfile::writeResult(path, resultText(a, s), error);
}

} // namespace modelsel
