// The model selection per sample (seeds from the pipeline, then every model
// of one to four species and, for p-type samples, the excited states), on the
// examples from the state the batch pipeline leaves.
#include "analysis/data/Analysis.h"
#include "batch/Batch.h"
#include "analysis/modelselection/ModelSelection.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

void BM_SelectModel(benchmark::State& state, const char* file)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("vorn_bestmodel_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    BatchOptions o;
    o.quiet = true;
    o.outputDir = dir.string();
    std::ostringstream err;
    const BatchResult r = runBatchFile(std::string(VORN_EXAMPLES_DIR) + "/" + file, o, err);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    if (r.status != 0) {
        state.SkipWithError("the example does not pass the pipeline");
        return;
    }
    const double g = modelsel::typeDegeneracy(C);
    const modelsel::Data d = modelsel::dataFrom(C, {g, g, g});
    std::size_t species = 0;
    for (auto _ : state) {
        const modelsel::Selection s = modelsel::selectModel(d, modelsel::collectSeeds(C, d));
        species = s.chosen.model.species.size();
        benchmark::DoNotOptimize(s.chosen.criterion);
    }
    state.counters["species"] = static_cast<double>(species);
    state.counters["points"] = d.points();
}

} // namespace

BENCHMARK_CAPTURE(BM_SelectModel, si_p_single_noise1, "si_p_single_noise1.nT")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SelectModel, sic4h_n_two_donors, "sic4h_n_two_donors.nT")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SelectModel, sic4h_n_deep_visible, "sic4h_n_deep_visible.nT")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SelectModel, sic4h_p_al, "sic4h_p_al.pT")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SelectModel, sic4h_p_al_excited_visible, "sic4h_p_al_excited_visible.pT")
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
