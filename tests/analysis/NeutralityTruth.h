// The depth of the Fermi level below the majority band edge where a charge
// balance vanishes, by plain bisection in long double on [0, 1.5] eV until the
// interval no longer shrinks: a truth for synthetic samples that does not come
// from the program's own neutrality solver.
#pragma once

template <class Balance>
long double neutralDepth(Balance balance)
{
    long double lo = 0, hi = 1.5L;
    const bool fallsAtLo = balance(lo) > 0;
    for (;;) {
        const long double mid = (lo + hi) / 2;
        if (mid <= lo || mid >= hi)
            return mid;
        ((balance(mid) > 0) == fallsAtLo ? lo : hi) = mid;
    }
}
