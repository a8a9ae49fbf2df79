#include "analysis/base/Search.h"

#include <cmath>

namespace search {

LevelFound levelForPeakTemperature(double target, const LevelScan& scan, const PeakAt& peakAt,
                                   const BoundNote& note)
{
    auto tell = [&](bool deeper) {
        if (note)
            note(deeper);
    };
    if (peakAt(scan.shallowest) > target)
        return {0, LevelPlace::Shallow};
    double lo = scan.shallowest, hi;
    tell(false);
    for (;;) {
        hi = lo + scan.step;
        if (hi >= scan.deepest)
            return {scan.deepest, LevelPlace::Deep};
        if (peakAt(hi) >= target) {
            tell(true);
            break;
        }
        lo = hi;
        tell(false);
    }
    double mid = (lo + hi) / 2;
    for (int i = 0; i < scan.halvings; ++i) {
        mid = (lo + hi) / 2;
        if (target < peakAt(mid)) {
            hi = mid;
            tell(true);
        } else {
            lo = mid;
            tell(false);
        }
    }
    return {mid, LevelPlace::InRange};
}

LevelFound levelByHalving(double target, double shallowest, double deepest, int halvings,
                          const PeakAt& peakAt, const std::function<void()>& onStep)
{
    double lo = shallowest, hi = deepest;
    LevelPlace place = LevelPlace::InRange;
    for (int i = 0; i < halvings; ++i) {
        if (onStep)
            onStep();
        const double mid = (lo + hi) / 2;
        if (target < peakAt(lo)) {
            place = LevelPlace::Shallow;
            break;
        }
        if (target > peakAt(hi)) {
            place = LevelPlace::Deep;
            break;
        }
        place = LevelPlace::InRange;
        if (target < peakAt(mid))
            hi = mid;
        else
            lo = mid;
    }
    return {(lo + hi) / 2, place};
}

WalkResult walkDecades(const DecadeWalk& walk, const TrialAt& trial)
{
    WalkResult r;
    double u = walk.start, w = u;
    for (int decades = 1;; ++decades) {
        if (decades > walk.maxDecades) {
            r.failed = true;
            return r;
        }
        w = 10 * u;
        if (!std::isfinite(w) || std::abs(w) > walk.bound)
            break;
        if (trial(w) != Trial::Short)
            break;
        u = w;
    }
    const double sign = walk.start < 0 ? -1.0 : 1.0;
    for (int i = 0; i < walk.halvings; ++i) {
        r.ratio = sign * std::sqrt(u * w);
        const Trial t = trial(r.ratio);
        r.lastOut = t == Trial::Out;
        if (t == Trial::Short)
            u = r.ratio;
        else
            w = r.ratio;
    }
    r.inner = u;
    return r;
}

} // namespace search
