// One press of "Curve Fitting" (up to 100 accepted steps, then the fit curve
// on the grid and the standard errors) on the examples, from the state the
// window opens with after the batch pipeline saved the simulation. Default
// (15 halvings) and precise (30).
#include "analysis/data/Analysis.h"
#include "batch/Batch.h"
#include "analysis/curvefit/CurveFitting.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

// The session as the window opens it on the example, or none when the
// pipeline does not reach the simulation.
bool openOn(const char* file, curvefit::Session& s)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vorn_fit_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    BatchOptions o;
    o.quiet = true;
    o.outputDir = dir.string();
    std::ostringstream err;
    const BatchResult r = runBatchFile(std::string(VORN_EXAMPLES_DIR) + "/" + file, o, err);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    if (r.status != 0 || !r.simulated)
        return false;
    s.open(C, nullptr);
    return s.fitEnabled;
}

void BM_Press(benchmark::State& state, const char* file, bool precise)
{
    curvefit::Session opened;
    if (!openOn(file, opened)) {
        state.SkipWithError("the example does not reach the simulation");
        return;
    }
    opened.precise = precise;
    int steps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        curvefit::Session s = opened;
        state.ResumeTiming();
        steps = s.press(nullptr).acceptedSteps;
        benchmark::DoNotOptimize(s.working);
    }
    state.counters["accepted_steps"] = steps;
    state.counters["grid_points"] = static_cast<double>(opened.gridT.size());
}

} // namespace

BENCHMARK_CAPTURE(BM_Press, sic4h_n_deep_visible, "sic4h_n_deep_visible.nT", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Press, sic4h_n_deep_visible_precise, "sic4h_n_deep_visible.nT", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Press, sic4h_n_two_donors, "sic4h_n_two_donors.nT", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Press, gaas_n_shallow, "gaas_n_shallow.nT", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Press, gaas_n_shallow_precise, "gaas_n_shallow.nT", true)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
