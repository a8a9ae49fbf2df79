// The excited-states evaluation (18 trials, R = 2..10 at two check points)
// on the examples, from the state the H1 evaluation leaves.
#include "ExcitedSample.h"
#include "analysis/excited/ExcitedStates.h"

#include <benchmark/benchmark.h>

namespace {

void evaluateExample(benchmark::State& st, const char* example)
{
    Analysis a;
    if (!prepareExcitedSample(a, example)) {
        st.SkipWithError("the H1 evaluation of the example failed");
        return;
    }
    for (auto _ : st) {
        ExcitedStates e(a);
        e.prepare();
        e.evaluate(a.dielectricConstant);
        benchmark::DoNotOptimize(e.dopantLevel);
    }
}

} // namespace

BENCHMARK_CAPTURE(evaluateExample, sic4h_p_al_excited_visible, "sic4h_p_al_excited_visible.pT")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(evaluateExample, sic4h_p_al, "sic4h_p_al.pT")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(evaluateExample, sic4h_n_two_donors, "sic4h_n_two_donors.nT")->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
