// The one charge-neutrality solver of the program: every simulation finds the
// depth of the Fermi level below the majority band edge with it.
#pragma once

namespace neutrality {

// Bisection of `balance` (ionised species minus free carriers and
// compensation, falling with the depth x [eV]) on [0, 1.5] eV: each halving
// takes mid = (lo + hi)/2, stops early when balance(mid) is exactly 0 and
// keeps the half whose ends differ in sign; the result is the last midpoint
// (the interval's midpoint when `halvings` is 0). Signs are compared, never
// the product balance(lo)*balance(mid), which underflows to 0 for two tiny
// values of equal sign and would then pick the wrong half.
template <class Balance>
double solveFermiLevel(Balance balance, int halvings)
{
    double lo = 0, hi = 1.5, mid = (lo + hi) / 2;
    double fLo = balance(lo);
    for (int i = 0; i < halvings; ++i) {
        mid = (lo + hi) / 2;
        const double fMid = balance(mid);
        if (fMid == 0)
            break;
        if ((fLo > 0 && fMid > 0) || (fLo < 0 && fMid < 0)) {
            lo = mid;
            fLo = fMid;
        } else {
            hi = mid;
        }
    }
    return mid;
}

} // namespace neutrality
