// Full-precision fingerprint of the excited-states evaluation: a speed-up
// must leave every result bit for bit as it was. Run before and after a
// change and compare the outputs. Every trial's deviation and curve (hashed),
// the chosen result and the simulation are printed, over the examples and
// three dielectric constants.
#include "ExcitedSample.h"
#include "analysis/excited/ExcitedStates.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

unsigned long long bitsHash(const DoubleArray& values)
{
    std::uint64_t h = 1469598103934665603ull; // FNV-1a over the bit patterns
    for (double d : values) {
        std::uint64_t b;
        std::memcpy(&b, &d, sizeof b);
        h = (h ^ b) * 1099511628211ull;
    }
    return h;
}

} // namespace

int main()
{
    const char* examples[] = {"sic4h_p_al_excited_visible.pT", "sic4h_p_al.pT", "sic4h_n_two_donors.nT",
                              "si_p_single.nT"};
    for (const char* example : examples) {
        Analysis a;
        if (!prepareExcitedSample(a, example)) {
            std::printf("%s: H1 not evaluated\n", example);
            continue;
        }
        for (double eps : {a.dielectricConstant, 6.0, 14.0}) {
            ExcitedStates e(a);
            e.prepare();
            const ExcitedStates::EvaluationOutcome out = e.evaluate(eps);
            std::printf("%s eps=%.17g evaluated=%d inRange=%d R=%d E=%.17g N=%.17g NA=%.17g msg=%zu\n", example,
                        eps, out.evaluated, out.inRange, e.levelCount, e.dopantLevel, e.dopantDensity,
                        e.dopantCompensatingDensity, out.messages.size());
            for (int o = 0; o < ExcitedStates::trialCount; ++o)
                std::printf("  trial %2d dev=%.17g curve=%016llx\n", o, e.trialDeviation[o],
                            bitsHash(e.trialCurves[o]));
            std::printf("  sim n=%016llx E_F=%016llx H1=%016llx FD=%016llx\n", bitsHash(e.excitedConcentration),
                        bitsHash(e.excitedFermiLevel), bitsHash(e.simulatedH1Curve),
                        bitsHash(e.fermiDiracConcentration));
        }
    }
    return 0;
}
