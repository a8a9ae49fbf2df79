// Benchmarks of vorn-batch: the whole pipeline per example in this process
// (runBatchFile, the analysis and the files), the program as a subprocess on
// one file, and the program's start-up alone (--version), so that the cost
// per file beyond the analysis can be read off.
#include "analysis/data/Analysis.h"
#include "batch/Batch.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

struct Example {
    const char* name;
    const char* file;
};

const std::array<Example, 4> examples = {{
    {"gaas_n_shallow", "gaas_n_shallow.nT"},
    {"si_p_single", "si_p_single.nT"},
    {"sic4h_n_two_donors", "sic4h_n_two_donors.nT"},
    {"sic4h_p_al", "sic4h_p_al.pT"},
}};

std::string examplePath(const Example& e) { return std::string(VORN_EXAMPLES_DIR) + "/" + e.file; }

// A private output folder for the result files, removed at exit.
const std::filesystem::path& outputDir()
{
    static const struct Dir {
        std::filesystem::path path;
        Dir()
            : path(std::filesystem::temp_directory_path() /
                   ("vorn_bench_" + std::to_string(::getpid())))
        {
            std::filesystem::create_directories(path);
        }
        ~Dir()
        {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } dir;
    return dir.path;
}

void BM_BatchInProcess(benchmark::State& state, Example e)
{
    BatchOptions o;
    o.quiet = true;
    o.outputDir = outputDir().string();
    std::ostringstream err;
    const std::string path = examplePath(e);
    for (auto _ : state) {
        err.str("");
        const BatchResult r = runBatchFile(path, o, err);
        if (r.status != 0) {
            static std::string message;
            message = "batch failed: " + r.failure;
            state.SkipWithError(message.c_str());
            break;
        }
        benchmark::DoNotOptimize(r.files.size());
    }
}

void BM_BatchSubprocess(benchmark::State& state, Example e)
{
    const std::string command = std::string("'") + VORN_BATCH_EXECUTABLE + "' --quiet --output-dir '" +
                                outputDir().string() + "' '" + examplePath(e) + "' >/dev/null 2>&1";
    for (auto _ : state) {
        const int rc = std::system(command.c_str());
        if (rc != 0) {
            state.SkipWithError("vorn-batch did not exit with status 0");
            break;
        }
    }
}

void BM_BatchStartup(benchmark::State& state)
{
    const std::string command = std::string("'") + VORN_BATCH_EXECUTABLE + "' --version >/dev/null 2>&1";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("vorn-batch --version failed");
            break;
        }
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    for (const Example& e : examples) {
        const std::string n = e.name;
        benchmark::RegisterBenchmark(("BatchInProcess/" + n).c_str(), BM_BatchInProcess, e)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BatchSubprocess/" + n).c_str(), BM_BatchSubprocess, e)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    }
    benchmark::RegisterBenchmark("BatchStartup", BM_BatchStartup)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
