// The level searches of the excited-states evaluation, with their caches:
// the terms of each grid point, the unit terms of each level tried, and the
// bounds that spare most of them. Every peak found is the one the plain scan
// of simulatedPeakTemperature finds.
#include "analysis/excited/ExcitedStates.h"

#include "analysis/base/Physics.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace {
// An upper bound of a unit term exceeds the computed term by at least this
// share, whatever the rounding of its parts (below 1e-13 of the term).
constexpr double boundAllowance = 1e-9;
// Two values closer than this share of the largest term in the range are a
// near tie the plain scan settles by the direct terms (1e-10 of the two
// terms); above it the bounded search may decide alone.
constexpr double clearMargin = 3e-10;

// The factor phi(y) = (1 + y r)(1 + s (1 - y)+) of a floor's q in the bound
// q(L) (1 + s(L)) >= q_f phi(y), y = (L - f)/kT >= 0 (why: at rangeBounds).
// (|a| + a)/2 is max(a, 0) without a branch, so that loops over it vectorise.
inline double occupancyFactor(double y, double rate, double sum)
{
    const double a = 1 - y;
    return (1 + y * rate) * (1 + sum * ((std::abs(a) + a) / 2));
}
} // namespace

void ExcitedStates::prepareTerms()
{
    const int M = gridSize();
    const int R = std::min(levelCount, static_cast<int>(excitedLevels.size()));
    terms_.resize(static_cast<std::size_t>(M));
    for (int j = 0; j < M; ++j) {
        const double T = a_.splineTemperature[j];
        PointTerms& t = terms_[j];
        t.kT = phys::thermalEnergy(T);
        t.X = std::exp(a_.referenceEnergy[0] / t.kT);
        const double Nc = a_.dos0 * std::pow(T, 1.5);
        t.rho = Nc / a_.splineConcentration[j];
        t.fermi = t.kT * std::log(t.rho);
        double excited = 0, weight = 0, levelWeight = 0;
        for (int r = 2; r <= R; ++r) {
            const double level = excitedLevels[r - 1];
            excited += r * r * std::exp((level - t.fermi) / t.kT);
            const double factor = std::exp(level / t.kT);
            weight += r * r * factor;
            levelWeight += r * r * level * factor;
        }
        t.excited = excited;
        t.weight = weight;
        t.levelWeight = levelWeight;
        t.inverseRho = std::exp(-t.fermi / t.kT);
        t.inverseKT = 1 / t.kT;
        t.factored = std::isfinite(weight) && std::isfinite(levelWeight) && std::isfinite(t.inverseRho);
    }
    termsA_ = std::pow(phys::q / phys::k, 1.5) * a_.dos0;

    // The scan cache stays while the levels (and g) stay.
    std::vector<double> key(excitedLevels.begin(), excitedLevels.begin() + R);
    key.push_back(R);
    key.push_back(a_.degeneracyFactor[0]);
    key.push_back(static_cast<double>(M));
    key.push_back(a_.referenceEnergy[0]);
    key.push_back(a_.dos0);
    if (key != scanKey_) {
        clearLevelTerms();
        scanKey_ = key;
    }
}

// N e^(-dE/kT) X F for N = 1 at grid point j, as simulatedH1 forms it; with
// it q = g e^(-<E>/kT) e^((dE - E_F)/kT) and the excited sum
// s = sum r^2 e^(-(dE - E_r)/kT), where 1/F = 1 + q (1 + s). Both are 0
// where the term is formed directly: the bound they give is then D >= 1.
ExcitedStates::UnitTerms ExcitedStates::unitTerms(double dE, int j) const
{
    const PointTerms& t = terms_[j];
    // Every exp(-(dE - E_r)/kT) is e^(-dE/kT) times a factor of the point, so
    // the sums over the excited levels are the point's sums times e^(-dE/kT):
    // two exp per point and level instead of R + 2. Where e^(-dE/kT)
    // underflows, the terms are formed one by one.
    const double E = std::exp(-dE * t.inverseKT);
    const double ground = t.inverseRho / E;
    if (t.factored && E >= 1e-290 && std::isfinite(ground)) {
        const double sum = E * t.weight;
        const double averageOverKT = (dE * sum - E * t.levelWeight) * t.inverseKT / (1 + sum);
        const double occupied = a_.degeneracyFactor[0] * std::exp(-averageOverKT);
        const double D = 1 + occupied * (ground + t.excited);
        return {E * t.X * (ground / D), occupied * ground, sum, true};
    }
    return {directUnitTerm(dE, j), 0, 0, false};
}

double ExcitedStates::directUnitTerm(double dE, int j) const
{
    const PointTerms& t = terms_[j];
    const int R = std::min(levelCount, static_cast<int>(excitedLevels.size()));
    double weighted = 0, sum = 0;
    for (int r = 2; r <= R; ++r) {
        const double level = excitedLevels[r - 1];
        const double w = std::exp(-(dE - level) / t.kT);
        weighted += r * r * (dE - level) * w;
        sum += r * r * w;
    }
    const double average = weighted / (1 + sum);
    const double directGround = std::exp((dE - t.fermi) / t.kT);
    const double Z = directGround + t.excited;
    const double D = 1 + a_.degeneracyFactor[0] * std::exp(-average / t.kT) * Z;
    const double F = directGround / D;
    const double N = 1;
    return N * std::exp(-dE / t.kT) * t.X * F;
}

double ExcitedStates::cachedH1(double x, double unit, int j) const
{
    const PointTerms& t = terms_[j];
    const double N = 1;
    return (unit - N * x * t.X / t.rho) * termsA_ / t.kT;
}

void ExcitedStates::prepareCompensationTerms(double x, int ja, int jb)
{
    const int M = gridSize();
    ja = std::clamp(ja, 0, std::max(M - 1, 0));
    jb = std::min(jb, M - 1);
    compensationTerms_.resize(static_cast<std::size_t>(M));
    const double N = 1;
    for (int j = ja; j <= jb; ++j)
        compensationTerms_[j] = N * x * terms_[j].X / terms_[j].rho;
    compensationRatio_ = x;
    compensationFrom_ = ja;
    compensationTo_ = jb;
}

void ExcitedStates::startLevelSearch(double x, int ja, int jb)
{
    Bounds& b = bounds_;
    b.usable = false;
    b.bracketed = false;
    b.haveLower = false;
    b.highestFloor = -std::numeric_limits<double>::infinity();
    b.reached = -std::numeric_limits<double>::infinity();
    lastPeak_ = -1;
    lastCall_.valid = false;
    const int M = gridSize();
    if (M == 0 || static_cast<int>(terms_.size()) < M)
        return;
    ja = std::clamp(ja, 0, M - 1);
    jb = std::min(jb, M - 1);
    // The bounds hold where no excited level lies above the dopant level
    // (the mean excitation energy is then not negative) and g is a factor.
    const double g = a_.degeneracyFactor[0];
    b.deepestExcitedLevel = -std::numeric_limits<double>::infinity();
    const int R = std::min(levelCount, static_cast<int>(excitedLevels.size()));
    for (int r = 2; r <= R; ++r)
        b.deepestExcitedLevel = std::max(b.deepestExcitedLevel, excitedLevels[r - 1]);
    if (!(g >= 0 && std::isfinite(g) && (R < 2 || std::isfinite(b.deepestExcitedLevel))) || jb < ja)
        return;
    b.usable = true;
    b.x = x;
    b.from = ja;
    b.to = jb;
    const std::size_t n = static_cast<std::size_t>(jb - ja + 1);
    // No floor yet (q = 0: the bound of F <= 1); the rest is written before
    // it is read.
    for (DoubleArray* v : {&b.floorLevel, &b.floorQ, &b.floorRate, &b.floorSum})
        v->assign(n, 0.0);
    for (DoubleArray* v : {&b.top, &b.compensation, &b.inverseKT, &b.perKT, &b.scale, &b.value, &b.bracketBound})
        v->resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const PointTerms& t = terms_[static_cast<std::size_t>(ja) + i];
        const double perKT = termsA_ * t.inverseKT;
        b.top[i] = t.X * t.inverseRho * (1 + boundAllowance) * perKT;
        // The compensation term taken a little small keeps the value's bound
        // above the value however it is rounded.
        const double c = compensationTerms_[static_cast<std::size_t>(ja) + i] * perKT;
        b.compensation[i] = c - 1e-12 * std::abs(c);
        b.inverseKT[i] = t.inverseKT;
        b.perKT[i] = perKT;
    }
}

namespace {
// known is 1 or 0: the known terms replace the floor's, without a branch,
// so that the loop vectorises.
void takeFloor(std::size_t n, double L, const unsigned char* __restrict known, const double* __restrict q,
               const double* __restrict sum, double* __restrict floorLevel, double* __restrict floorQ,
               double* __restrict floorRate, double* __restrict floorSum)
{
    for (std::size_t m = 0; m < n; ++m) {
        const double take = known[m], keep = 1 - take;
        floorLevel[m] = take * L + keep * floorLevel[m];
        floorQ[m] = take * q[m] + keep * floorQ[m];
        floorRate[m] = take / (1 + sum[m]) + keep * floorRate[m];
        floorSum[m] = take * sum[m] + keep * floorSum[m];
    }
}
} // namespace

void ExcitedStates::raiseFloor()
{
    Bounds& b = bounds_;
    if (!b.usable || !lastCall_.valid)
        return;
    const double L = lastCall_.level;
    b.lower = L;
    b.haveLower = true;
    if (!(L >= b.deepestExcitedLevel))
        return;
    b.highestFloor = std::max(b.highestFloor, L);
    const auto found = levelTerms_.find(std::bit_cast<std::uint64_t>(lastCall_.level));
    if (found == levelTerms_.end())
        return;
    const LevelTerms& t = found->second;
    auto take = [&](std::size_t k) {
        const int j = b.from + static_cast<int>(k);
        if (j < t.from || j > t.to)
            return;
        const std::size_t i = static_cast<std::size_t>(j - t.from);
        takeFloor(1, L, &t.known[i], &t.q[i], &t.sum[i], &b.floorLevel[k], &b.floorQ[k], &b.floorRate[k],
                  &b.floorSum[k]);
    };
    // Levels only deepen within a search: the last one is the deepest floor.
    if (b.bracketed) {
        for (const int k : b.active)
            take(static_cast<std::size_t>(k));
        narrowBracket();
        return;
    }
    const int from = std::max(b.from, t.from), to = std::min(b.to, t.to);
    if (to < from)
        return;
    const std::size_t i0 = static_cast<std::size_t>(from - t.from), k0 = static_cast<std::size_t>(from - b.from);
    const std::size_t n = static_cast<std::size_t>(to - from + 1);
    takeFloor(n, L, t.known.data() + i0, t.q.data() + i0, t.sum.data() + i0, b.floorLevel.data() + k0,
              b.floorQ.data() + k0, b.floorRate.data() + k0, b.floorSum.data() + k0);
}

void ExcitedStates::lowerCeiling()
{
    Bounds& b = bounds_;
    if (!b.usable || !lastCall_.valid)
        return;
    b.upper = lastCall_.level;
    if (!b.bracketed) {
        // The scan has passed the sought level: from here on every level
        // lies between the two ends. The bounds over the bracket need the
        // lower end where they hold.
        if (!b.haveLower || !(b.lower >= b.deepestExcitedLevel) || !(b.upper > b.lower))
            return;
        b.bracketed = true;
        b.active.resize(b.top.size());
        for (std::size_t k = 0; k < b.active.size(); ++k)
            b.active[k] = static_cast<int>(k);
        b.largestScale = 0;
        for (std::size_t k = 0; k < b.top.size(); ++k) {
            b.bracketBound[k] = bracketBound(k);
            b.largestScale = std::max(b.largestScale, b.bracketBound[k]);
        }
        b.margin = clearMargin * b.largestScale;
        if (!std::isfinite(b.margin)) {
            b.bracketed = false;
            return;
        }
    }
    narrowBracket();
}

// The unit term's bound (times A/kT) for every level of the bracket: with
// y = (L - f)/kT, q (1 + s) >= q_f phi(y), phi(y) = (1 + y r)(1 + s_f (1 - y)+),
// which is concave up to y = 1 and rises after it, so its least value over
// the bracket is at one of its ends or at y = 1.
double ExcitedStates::bracketBound(std::size_t k) const
{
    const Bounds& b = bounds_;
    const double q = b.floorQ[k];
    if (!(q > 0))
        return b.top[k];
    const double y0 = (b.lower - b.floorLevel[k]) * b.inverseKT[k];
    const double y1 = (b.upper - b.floorLevel[k]) * b.inverseKT[k];
    if (!(y0 >= 0))
        return b.top[k];
    auto phi = [&](double y) { return occupancyFactor(y, b.floorRate[k], b.floorSum[k]); };
    const double least = std::min(phi(y0), phi(std::min(y1, std::max(y0, 1.0))));
    return b.top[k] / (1 + q * least);
}

// After either end moved: a value the last peak's point reaches at every
// level of the bracket (q is at most that of the upper end, s at most that
// of the lower one), and the points whose bound over the bracket lies
// clearly below it are dropped for the rest of the search.
void ExcitedStates::narrowBracket()
{
    Bounds& b = bounds_;
    if (lastPeak_ >= b.from && lastPeak_ <= b.to) {
        const std::size_t k = static_cast<std::size_t>(lastPeak_ - b.from);
        const UnitTerms atLower = unitTerms(b.lower, lastPeak_), atUpper = unitTerms(b.upper, lastPeak_);
        if (atLower.factored && atUpper.factored && atUpper.q >= 0 && atLower.sum >= 0) {
            const double c = compensationTerms_[static_cast<std::size_t>(lastPeak_)] * termsA_ * b.inverseKT[k];
            const double reached = b.top[k] / ((1 + boundAllowance) * (1 + boundAllowance)) /
                                       (1 + atUpper.q * (1 + atLower.sum)) -
                                   (c + 1e-12 * std::abs(c));
            if (std::isfinite(reached))
                b.reached = std::max(b.reached, reached);
        }
    }
    const double threshold = b.reached - 2 * b.margin;
    std::erase_if(b.active, [&](int k) {
        const std::size_t i = static_cast<std::size_t>(k);
        b.bracketBound[i] = std::min(b.bracketBound[i], bracketBound(i));
        return b.bracketBound[i] - b.compensation[i] < threshold;
    });
}

namespace {
// From the floor f below level L: q rises with the level at a rate of at
// least (1 - s/(1 + s))/kT = r/kT (the mean excitation energy grows more
// slowly than the level), so q(L) >= q_f (1 + y r) with y = (L - f)/kT, and
// s(L) = s_f e^-y >= s_f (1 - y): q(L)(1 + s(L)) >= q_f phi(y). Then
// 1/F >= 1 + q_L (1 + s_L) bounds the unit term X e^(-E_F/kT) F from above.
// Without a floor (q = 0) the bound is that of F <= 1.
//
// The bounds at level L of every point, y >= 0 for each (no floor lies
// above L): the value's (value) and the unit term's (times A/kT), of which the
// largest is returned. A known term gives its value itself; the selections
// are sums, so that the loop has no branch and vectorises.
struct PointArrays {
    const double *top, *inverseKT, *perKT, *compensation, *floorLevel, *floorQ, *floorRate, *floorSum;
};
double rangeBounds(std::size_t n, double L, const PointArrays& p, const double* __restrict unit,
                   const unsigned char* __restrict known, const double* __restrict compensationTerm,
                   double* __restrict scale, double* __restrict value)
{
    const double* __restrict top = p.top;
    const double* __restrict inverseKT = p.inverseKT;
    const double* __restrict perKT = p.perKT;
    const double* __restrict compensation = p.compensation;
    const double* __restrict floorLevel = p.floorLevel;
    const double* __restrict floorQ = p.floorQ;
    const double* __restrict floorRate = p.floorRate;
    const double* __restrict floorSum = p.floorSum;
    for (std::size_t k = 0; k < n; ++k) {
        const double y = (L - floorLevel[k]) * inverseKT[k];
        const double bound = top[k] / (1 + floorQ[k] * occupancyFactor(y, floorRate[k], floorSum[k]));
        const double exactScale = std::abs(unit[k]) * perKT[k];
        const double exactValue = (unit[k] - compensationTerm[k]) * perKT[k];
        const double boundValue = bound - compensation[k];
        // known is 1 or 0; a term not a number on either side makes the point
        // a candidate, whose value then fails the bound check.
        const double isKnown = known[k];
        scale[k] = isKnown * exactScale + (1 - isKnown) * bound;
        value[k] = isKnown * exactValue + (1 - isKnown) * boundValue;
    }
    // Four running maxima, so that the comparisons need not wait for each other.
    double m0 = 0, m1 = 0, m2 = 0, m3 = 0;
    std::size_t i = 0;
    for (; i + 4 <= n; i += 4) {
        m0 = std::max(m0, scale[i]);
        m1 = std::max(m1, scale[i + 1]);
        m2 = std::max(m2, scale[i + 2]);
        m3 = std::max(m3, scale[i + 3]);
    }
    for (; i < n; ++i)
        m0 = std::max(m0, scale[i]);
    return std::max(std::max(m0, m1), std::max(m2, m3));
}
} // namespace

ExcitedStates::LevelTerms ExcitedStates::spareLevelTerms()
{
    if (spare_.empty())
        return {};
    LevelTerms t = std::move(spare_.back());
    spare_.pop_back();
    return t;
}

void ExcitedStates::clearLevelTerms()
{
    for (auto& [key, terms] : levelTerms_)
        spare_.push_back(std::move(terms));
    levelTerms_.clear();
    // Beyond what one evaluation holds at once, storage is given back.
    if (spare_.size() > maxLevelTerms)
        spare_.resize(maxLevelTerms);
}

ExcitedStates::LevelTerms& ExcitedStates::levelTermsFor(double dE, int ja, int jb)
{
    const std::uint64_t key = std::bit_cast<std::uint64_t>(dE);
    auto found = levelTerms_.find(key);
    if (found == levelTerms_.end()) {
        if (levelTerms_.size() >= maxLevelTerms) {
            auto oldest = levelTerms_.begin();
            for (auto it = levelTerms_.begin(); it != levelTerms_.end(); ++it)
                if (it->second.lastUse < oldest->second.lastUse)
                    oldest = it;
            spare_.push_back(std::move(oldest->second));
            levelTerms_.erase(oldest);
        }
        found = levelTerms_.emplace(key, spareLevelTerms()).first;
        found->second.from = 0;
        found->second.to = -1;
    }
    LevelTerms& t = found->second;
    t.lastUse = ++useCounter_;
    if (t.to < t.from || ja < t.from || jb > t.to) {
        // Widened to the union of what is there and what is asked; the new
        // points are formed when they are needed.
        const int from = t.to < t.from ? ja : std::min(ja, t.from);
        const int to = t.to < t.from ? jb : std::max(jb, t.to);
        const std::size_t n = static_cast<std::size_t>(to - from + 1);
        const bool fresh = t.to < t.from;
        LevelTerms wider = fresh ? std::move(t) : spareLevelTerms();
        // Only `known` needs clearing: the rest is written before it is read.
        for (DoubleArray* v : {&wider.values, &wider.q, &wider.sum})
            v->resize(n);
        wider.known.assign(n, 0);
        if (!fresh) {
            const std::size_t at = static_cast<std::size_t>(t.from - from), count = t.known.size();
            std::copy_n(t.values.begin(), count, wider.values.begin() + at);
            std::copy_n(t.q.begin(), count, wider.q.begin() + at);
            std::copy_n(t.sum.begin(), count, wider.sum.begin() + at);
            std::copy_n(t.known.begin(), count, wider.known.begin() + at);
        }
        wider.from = from;
        wider.to = to;
        wider.lastUse = useCounter_;
        std::swap(t, wider);
        if (!fresh)
            spare_.push_back(std::move(wider));
    }
    return t;
}

void ExcitedStates::formUnitTerm(LevelTerms& t, double dE, int j) const
{
    const std::size_t i = static_cast<std::size_t>(j - t.from);
    const UnitTerms u = unitTerms(dE, j);
    t.values[i] = u.unit;
    // Terms the bounds cannot use give the bound of F <= 1.
    const bool usable = u.q >= 0 && std::isfinite(u.q) && u.sum >= 0 && std::isfinite(u.sum);
    t.q[i] = usable ? u.q : 0;
    t.sum[i] = usable ? u.sum : 0;
    t.known[i] = 1;
}

// The peak with the bounds: a point whose bound lies clearly below a value
// already found is not formed. The answer stands when every point lies
// either near the largest value or clearly below it: the plain scan, which
// takes the first of clearly larger values and settles near ties by the
// direct terms, then decides among the near points alone (near_), and
// finds what it finds over all. Otherwise the caller scans every point.
bool ExcitedStates::boundedPeak(LevelTerms& t, double x, double dE, int ja, int jb)
{
    Bounds& b = bounds_;
    if (!b.usable || ja != b.from || jb != b.to ||
        std::bit_cast<std::uint64_t>(x) != std::bit_cast<std::uint64_t>(b.x))
        return false;
    // The bounds hold from a floor upwards only.
    if (dE < b.highestFloor)
        return false;
    const std::size_t n = static_cast<std::size_t>(jb - ja + 1);
    // Inside the bracket only its points are looked at, with its margin;
    // else every point of the range, with the margin of this level.
    const bool inBracket = b.bracketed && dE >= b.lower && dE <= b.upper;
    double largestScale = b.largestScale, margin = b.margin;
    if (!inBracket) {
        const PointArrays arrays{b.top.data(),        b.inverseKT.data(), b.perKT.data(),     b.compensation.data(),
                                 b.floorLevel.data(), b.floorQ.data(),    b.floorRate.data(), b.floorSum.data()};
        largestScale = rangeBounds(n, dE, arrays, t.values.data() + (ja - t.from), t.known.data() + (ja - t.from),
                                   compensationTerms_.data() + ja, b.scale.data(), b.value.data());
        margin = clearMargin * largestScale;
    }
    const double* compensation = b.compensation.data();
    auto boundAt = [&](std::size_t k) {
        if (!inBracket)
            return b.value[k];
        const double y = (dE - b.floorLevel[k]) * b.inverseKT[k];
        return b.top[k] / (1 + b.floorQ[k] * occupancyFactor(y, b.floorRate[k], b.floorSum[k])) - compensation[k];
    };
    auto valueAt = [&](int j) {
        const std::size_t i = static_cast<std::size_t>(j - t.from);
        if (t.known[i] == 0)
            formUnitTerm(t, dE, j);
        const double perKT = termsA_ * terms_[static_cast<std::size_t>(j)].inverseKT;
        return (t.values[i] - compensationTerms_[static_cast<std::size_t>(j)]) * perKT;
    };
    // The peak of the level before moves little; else the largest bound.
    int seed = lastPeak_;
    if (seed < ja || seed > jb) {
        if (inBracket)
            return false;
        seed = ja;
        for (std::size_t i = 1; i < n; ++i)
            if (boundAt(i) > boundAt(static_cast<std::size_t>(seed - ja)))
                seed = ja + static_cast<int>(i);
    }
    double found = valueAt(seed);
    if (!std::isfinite(found))
        return false;
    candidates_.clear();
    candidateValues_.clear();
    // Some point reaches b.reached at every level of the bracket.
    double threshold = std::max(found, inBracket ? b.reached : found) - 2 * margin;
    // A point past the threshold: formed, and its value taken.
    auto take = [&](std::size_t k, double bound) {
        const int j = ja + static_cast<int>(k);
        const double v = valueAt(j);
        // A value above its bound, or a scale beyond the margin's, leaves the
        // decision to the plain scan.
        if (!(v <= bound) || !(std::abs(t.values[static_cast<std::size_t>(j - t.from)]) * termsA_ *
                                   terms_[static_cast<std::size_t>(j)].inverseKT <=
                               largestScale))
            return false;
        if (v > found) {
            found = v;
            threshold = std::max(threshold, found - 2 * margin);
        }
        candidates_.push_back(j);
        candidateValues_.push_back(v);
        return true;
    };
    if (inBracket) {
        for (const int k : b.active) {
            const double bound = boundAt(static_cast<std::size_t>(k));
            if (!(bound < threshold) && !take(static_cast<std::size_t>(k), bound))
                return false;
        }
    } else {
        const double* value = b.value.data();
        for (std::size_t k = 0; k < n; ++k) {
            const double bound = value[k];
            if (!(bound < threshold) && !take(k, bound))
                return false;
        }
    }
    if (!(found > 3 * margin))
        return false;
    near_.clear();
    for (std::size_t c = 0; c < candidates_.size(); ++c) {
        if (candidateValues_[c] >= found - margin)
            near_.push_back(candidates_[c]);
        else if (!(candidateValues_[c] < found - 2 * margin))
            return false;
    }
    return !near_.empty();
}

double ExcitedStates::peakTemperature(double x, double dE, int ja, int jb)
{
    if (!cached_)
        return simulatedPeakTemperature(x, dE, ja, jb);
    const int M = gridSize();
    if (M == 0)
        return 0;
    ja = std::clamp(ja, 0, M - 1);
    jb = std::min(jb, M - 1);
    const bool compensationReady = std::bit_cast<std::uint64_t>(x) == std::bit_cast<std::uint64_t>(compensationRatio_) &&
                                   compensationFrom_ <= ja && jb <= compensationTo_;
    LevelTerms& t = levelTermsFor(dE, ja, jb);
    lastCall_ = {dE, true};
    const bool bounded = compensationReady && jb >= ja && boundedPeak(t, x, dE, ja, jb);
    if (bounded && near_.size() == 1) {
        lastPeak_ = near_.front();
        return a_.splineTemperature[near_.front()];
    }
    if (!bounded)
        for (int j = ja; j <= jb; ++j)
            if (t.known[static_cast<std::size_t>(j - t.from)] == 0)
                formUnitTerm(t, dE, j);

    // The plain scan: over every point, or over the near ones the bounds left.
    double largest = 0, result = a_.splineTemperature[ja];
    int best = -1;
    auto value = [&](int j, double unit) {
        // As cachedH1, with the compensation term of this search.
        return compensationReady ? (unit - compensationTerms_[j]) * termsA_ / terms_[j].kT
                                 : cachedH1(x, unit, j);
    };
    // The factored unit terms differ from the direct ones in the last bits
    // (below 1e-13 of the term); where two values are closer than 1e-10 of
    // their terms the direct terms decide, so the peak found is the one the
    // direct terms give.
    double bestScale = 0;
    auto consider = [&](int j, double unit) {
        // Multiplied by 1/kT: the near-tie margin covers that rounding too.
        const double perKT = termsA_ * terms_[j].inverseKT;
        double v = compensationReady ? (unit - compensationTerms_[j]) * perKT : value(j, unit);
        const double scale = std::abs(unit) * perKT;
        if (std::abs(v - largest) <= 1e-10 * (scale + bestScale)) {
            v = value(j, directUnitTerm(dE, j));
            const double exactLargest = best < 0 ? 0 : value(best, directUnitTerm(dE, best));
            if (v > exactLargest) {
                largest = v;
                bestScale = scale;
                best = j;
                result = a_.splineTemperature[j];
            }
            return;
        }
        if (v > largest) {
            largest = v;
            bestScale = scale;
            best = j;
            result = a_.splineTemperature[j];
        }
    };
    if (bounded)
        for (const int j : near_)
            consider(j, t.values[static_cast<std::size_t>(j - t.from)]);
    else
        for (int j = ja; j <= jb; ++j)
            consider(j, t.values[static_cast<std::size_t>(j - t.from)]);
    lastPeak_ = best;
    return result;
}
