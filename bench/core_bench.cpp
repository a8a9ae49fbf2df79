// Benchmarks of the numerical core: each step of the central method on the
// bundled examples, and the whole method on a synthetic 4000-point grid.
//
// Every timed step starts from a copy of the analysis object as the step
// before left it (copied outside the timed region), because most steps change
// the state they read: a second evaluation of H1, for instance, would find the
// compensating density already fixed and take the short route.
#include "analysis/data/Analysis.h"
#include "analysis/base/Physics.h"

#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

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

// Snapshots of one sample along the pipeline; an empty optional marks a step
// the sample does not reach.
struct Pipeline {
    std::string error;               // why the pipeline stopped early (empty: ran to the end)
    std::optional<Analysis> loaded;  // data read, spline points chosen, smoothness set
    std::optional<Analysis> splined; // + spline, material looked up, degeneracy factors set
    std::optional<Analysis> fermi;   // + Fermi level: ready for H1
    // Stage k calculated (E_ref and peak found), ready for evaluateStage(k).
    std::array<std::optional<Analysis>, 3> calculated;
    std::optional<Analysis> simulationReady; // simulation inputs from the evaluated species
};

// The degeneracy factor the main window proposes for each stage.
void setDefaultDegeneracy(Analysis& a)
{
    const double g = a.conductionType == "n-type" ? 2 : a.conductionType == "p-type" ? 4 : 1;
    for (int k = 0; k < 3; ++k)
        a.degeneracyFactor[k] = g;
}

// Spline with the default smoothness; the stiffer 20000 where the data refuse 5000.
bool splineWithDefaultSmoothness(Analysis& a)
{
    a.smoothness = 5000;
    if (a.computeSpline())
        return true;
    a.smoothness = 20000;
    return a.computeSpline();
}

// The core calls behind "Calculation" of stage k = 1, 2, with the defaults
// of a user who answers No to the recalculation question and "Continue" on
// the remarks window, following every "Calculation again" the main window
// offers. True with the stage calculated and its peak inside the grid.
bool calculateLaterStage(Analysis& a, int k)
{
    for (int round = 0; round < 12; ++round) {
        if (k == 1) {
            if (a.compensationStage > 0)
                a.releaseCompensation();
            if (a.compensationStage == 0)
                a.compensatingDensity = a.stageCompensatingDensity[0];
        } else {
            if (a.compensationStage > 1)
                a.releaseCompensation();
            if (a.compensationStage == 1)
                a.compensatingDensity = a.stageCompensatingDensity[1];
        }
        const bool ok = a.autoCalculateStage(k);
        if (!ok) {
            if (a.lastError.empty() && a.recalculationRequested == 1) {
                a.compensatingDensity = a.stageCompensatingDensity[k - 1];
                continue;
            }
            return false;
        }
        if (a.compensationFixed == 1 && a.referenceEnergy[k] < 0)
            return false; // "Evaluation has been finished!"
        if (k == 1 && a.referenceEnergy[1] == 0 && a.fitStartIndex[0] / 2 <= a.peakIndex[1] &&
            a.peakIndex[1] <= a.peakIndex[0]) {
            if (a.h2WindowHalved == 1) {
                a.compensationStage = 0;
                a.compensationFixed = 1;
                a.recalculationRequested = 1;
                a.h2WindowHalved = 0;
            } else {
                a.h2WindowHalved = 1;
            }
            continue;
        }
        a.recalculationRequested = 0;
        a.recalculationFailed = 0;
        const int n = a.evaluationGridSize();
        return a.peakIndex[k] > 0 && a.peakIndex[k] < n - 1;
    }
    return false;
}

// Hands the species of stages 0..last to the simulation inputs, as the
// results saves do.
void setSimulationInputs(Analysis& a, int last)
{
    a.simulationInclude = {0, 0, 0, 0, 0};
    for (int j = 0; j <= last; ++j) {
        a.simulationDensity[j] = a.density[j];
        a.simulationEnergyLevel[j] = a.energyLevel[j];
        a.simulationInclude[j] = 1;
    }
    const Analysis::StageSaveFollowUp f = a.stageSaveFollowUp(last);
    a.simulationCompensatingDensity = f.pageCompensatingDensity;
    a.simulationInclude[4] = 1;
}

// Runs the central method on `a` (data already in memory) and keeps the
// snapshots. `keep` = false runs it without copies (the whole-method case).
Pipeline runPipeline(Analysis a, bool keep)
{
    Pipeline p;
    auto stop = [&](const std::string& why) {
        p.error = why + (a.lastError.empty() ? "" : ": " + a.lastError);
        return p;
    };
    if (!a.chooseSplinePoints())
        return stop("spline points");
    a.smoothness = 5000;
    if (keep)
        p.loaded = a;
    if (!splineWithDefaultSmoothness(a))
        return stop("spline");
    a.lookupMaterial();
    setDefaultDegeneracy(a);
    if (keep)
        p.splined = a;
    if (!a.computeFermiLevel())
        return stop("Fermi level");
    if (keep)
        p.fermi = a;

    a.releaseCompensation();
    if (!a.autoCalculateStage(0))
        return stop("H1 calculation");
    a.recalculationRequested = 0;
    a.recalculationFailed = 0;
    if (keep)
        p.calculated[0] = a;
    if (a.runEvaluation(0).kind != Analysis::EvaluationOutcome::Kind::Evaluated)
        return stop("H1 evaluation");
    int last = 0;
    for (int k = 1; k < 3 && a.needsNextStage(k - 1); ++k) {
        // An H2 evaluation may itself ask for "Calculation again".
        bool evaluated = false;
        for (int round = 0; round < 4 && !evaluated; ++round) {
            if (!calculateLaterStage(a, k))
                break;
            Analysis before = a;
            const auto kind = a.runEvaluation(k).kind;
            if (kind == Analysis::EvaluationOutcome::Kind::Evaluated) {
                evaluated = true;
                if (keep)
                    p.calculated[k] = std::move(before);
            } else if (kind != Analysis::EvaluationOutcome::Kind::RecalculationRequested) {
                a = std::move(before); // the stage stays unsaved
                break;
            }
        }
        if (!evaluated)
            break;
        last = k;
    }
    setSimulationInputs(a, last);
    if (keep)
        p.simulationReady = a;
    a.simulateConcentration();
    benchmark::DoNotOptimize(a.simulatedConcentration.data());
    return p;
}

Analysis loadExample(const Example& e)
{
    Analysis a;
    a.resetAll();
    a.experimentalDataFileName = std::string(VORN_EXAMPLES_DIR) + "/" + e.file;
    if (!a.readExperimentalData())
        a.dataCount = 0;
    return a;
}

const Pipeline& pipelineOf(const Example& e)
{
    static std::map<std::string, Pipeline> cache;
    auto it = cache.find(e.name);
    if (it == cache.end()) {
        Analysis a = loadExample(e);
        Pipeline p;
        if (a.dataCount > 0)
            p = runPipeline(a, true);
        else
            p.error = "data file";
        it = cache.emplace(e.name, std::move(p)).first;
    }
    return it->second;
}

// Times `step` on a fresh copy of `start` per iteration.
template <class Step>
void timeFrom(benchmark::State& state, const std::optional<Analysis>& start, const char* missing,
              Step step)
{
    if (!start) {
        state.SkipWithError(missing);
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        Analysis a = *start;
        state.ResumeTiming();
        const bool ok = step(a);
        benchmark::DoNotOptimize(ok);
        if (!ok) {
            // The library may keep the pointer until the report.
            static std::string message;
            message = a.lastError.empty() ? "step failed" : a.lastError;
            state.SkipWithError(message.c_str());
            break;
        }
    }
}

void BM_ReadExperimentalData(benchmark::State& state, Example e)
{
    for (auto _ : state) {
        Analysis a = loadExample(e);
        benchmark::DoNotOptimize(a.dataCount);
    }
}

void BM_ComputeSpline(benchmark::State& state, Example e)
{
    const Pipeline& p = pipelineOf(e);
    timeFrom(state, p.loaded, "data not loaded", [](Analysis& a) { return splineWithDefaultSmoothness(a); });
    if (p.splined) {
        state.counters["grid"] = p.splined->splineCount;
        state.counters["smoothness"] = p.splined->smoothness;
    }
}

void BM_ComputeFermiLevel(benchmark::State& state, Example e)
{
    timeFrom(state, pipelineOf(e).splined, "no spline", [](Analysis& a) { return a.computeFermiLevel(); });
}

void BM_AutoCalculateStage0(benchmark::State& state, Example e)
{
    timeFrom(state, pipelineOf(e).fermi, "no Fermi level", [](Analysis& a) {
        a.releaseCompensation();
        return a.autoCalculateStage(0);
    });
}

void BM_EvaluateStage(benchmark::State& state, Example e, int k)
{
    const Pipeline& p = pipelineOf(e);
    double density = 0, level = 0;
    timeFrom(state, p.calculated[k], "stage not reached by this example", [&](Analysis& a) {
        const bool ok = a.evaluateStage(k);
        density = a.density[k];
        level = a.energyLevel[k];
        return ok;
    });
    // The result, to compare with what vorn-batch reports for the example.
    state.counters["N_cm3"] = density;
    state.counters["E_meV"] = level * 1000;
}

void BM_SimulateConcentration(benchmark::State& state, Example e)
{
    timeFrom(state, pipelineOf(e).simulationReady, "nothing to simulate",
             [](Analysis& a) { return a.simulateConcentration(); });
}

// ---- the synthetic 4000-point sample -----------------------------------------------------

struct SyntheticDonor {
    const char* name;
    double level;       // eV
    double firstT;      // K, 81 points every 5 K from here: a 4001-point grid
};

// One donor with a fully ionised compensating acceptor in 4H-SiC:
// n + N_A = N_D / (1 + g n/N_C exp(E_D/kT)), solved exactly as the positive
// root of n^2 + (N_A + phi) n - (N_D - N_A) phi = 0 with
// phi = N_C/g exp(-E_D/kT), written without cancellation. The shallow donor
// (nitrogen-like, 60 meV from 20 K) is the whole-method case; the deep
// ones (350, 700 and 1000 meV) make every level search scan some 35, 70 and
// 100 coarse steps.
Analysis syntheticSample(const SyntheticDonor& d = {"60meV", 0.06, 20})
{
    Analysis a;
    a.resetAll();
    a.semiconductor = "4H-SiC";
    a.conductionType = "n-type";
    a.experimentalDataFileName = "synthetic.nT";
    a.lookupMaterial();
    const double donors = 1e16, acceptors = 1e14, g = 2;
    for (int i = 0; i <= 80; ++i) {
        const double T = d.firstT + 5 * i;
        const double kT = phys::thermalEnergy(T);
        const double phi = a.dos0 * std::pow(T, 1.5) / g * std::exp(-d.level / kT);
        const double b = acceptors + phi;
        const double c = (donors - acceptors) * phi;
        a.temperature.push_back(T);
        a.concentration.push_back(2 * c / (b + std::sqrt(b * b + 4 * c)));
        a.reliability.push_back(1);
    }
    a.dataCount = static_cast<int>(a.temperature.size());
    return a;
}

const std::array<SyntheticDonor, 4> syntheticDonors = {{
    {"60meV", 0.06, 20},
    {"350meV", 0.35, 200},
    {"700meV", 0.70, 400},
    {"1000meV", 1.00, 550},
}};

void BM_SyntheticEvaluateStage0(benchmark::State& state, SyntheticDonor d)
{
    static std::map<std::string, Pipeline> cache;
    auto it = cache.find(d.name);
    if (it == cache.end())
        it = cache.emplace(d.name, runPipeline(syntheticSample(d), true)).first;
    const Pipeline& p = it->second;
    double density = 0, level = 0;
    timeFrom(state, p.calculated[0], "H1 not calculated", [&](Analysis& a) {
        const bool ok = a.evaluateStage(0);
        density = a.density[0];
        level = a.energyLevel[0];
        return ok;
    });
    if (p.calculated[0])
        state.counters["grid"] = p.calculated[0]->splineCount;
    state.counters["N_cm3"] = density;
    state.counters["E_meV"] = level * 1000;
}

void BM_SyntheticCentralMethod(benchmark::State& state)
{
    const Analysis start = syntheticSample();
    {
        const Pipeline check = runPipeline(start, true);
        if (!check.error.empty()) {
            state.SkipWithError(check.error.c_str());
            return;
        }
        state.counters["grid"] = check.splined->splineCount;
        int stages = 0;
        for (const auto& s : check.calculated)
            stages += s.has_value();
        state.counters["stages"] = stages;
    }
    for (auto _ : state) {
        Pipeline p = runPipeline(start, false);
        benchmark::DoNotOptimize(p.error.data());
    }
}

void registerAll()
{
    for (const Example& e : examples) {
        const std::string n = e.name;
        benchmark::RegisterBenchmark(("ReadExperimentalData/" + n).c_str(), BM_ReadExperimentalData, e);
        benchmark::RegisterBenchmark(("ComputeSpline/" + n).c_str(), BM_ComputeSpline, e)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("ComputeFermiLevel/" + n).c_str(), BM_ComputeFermiLevel, e)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark(("AutoCalculateStage0/" + n).c_str(), BM_AutoCalculateStage0, e)
            ->Unit(benchmark::kMillisecond);
        for (int k = 0; k < 3; ++k)
            benchmark::RegisterBenchmark(("EvaluateStage" + std::to_string(k) + "/" + n).c_str(),
                                         BM_EvaluateStage, e, k)
                ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("SimulateConcentration/" + n).c_str(), BM_SimulateConcentration, e)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("SyntheticCentralMethod/4001_points", BM_SyntheticCentralMethod)
        ->Unit(benchmark::kMillisecond);
    for (const SyntheticDonor& d : syntheticDonors)
        benchmark::RegisterBenchmark((std::string("SyntheticEvaluateStage0/") + d.name).c_str(),
                                     BM_SyntheticEvaluateStage0, d)
            ->Unit(benchmark::kMillisecond);
}

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
