// Full-precision fingerprint of the central method, for performance work on
// the core: a speed-up must leave every result bit for bit as it was, so run
//   core_fingerprint > before.txt   (old core)
//   core_fingerprint > after.txt    (new core)
// and compare the two files. It covers the examples and synthetic two-donor
// grids with both function types, the four evaluation types, three
// degeneracy factors and the fixed-compensation route of the later stages;
// curves are summarised by a hash of their bits.
#include "analysis/data/Analysis.h"
#include "analysis/base/Physics.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::uint64_t bitsHash(const DoubleArray& values)
{
    std::uint64_t h = 1469598103934665603ull; // FNV-1a over the bit patterns
    for (double d : values) {
        std::uint64_t b;
        std::memcpy(&b, &d, sizeof b);
        h = (h ^ b) * 1099511628211ull;
    }
    return h;
}

unsigned long long curveHash(const CurveSet& set, int k)
{
    return static_cast<std::size_t>(k) < set.size() ? bitsHash(set[k]) : 0;
}

void print(const Analysis& a, const std::string& tag)
{
    std::printf("%s", tag.c_str());
    for (int k = 0; k < 3; ++k)
        std::printf(" [H%d N=%.17g E=%.17g Ncom=%.17g P=%d Eref=%.17g h=%016llx red=%016llx %s]", k + 1,
                    a.density[k], a.energyLevel[k], a.stageCompensatingDensity[k], a.peakIndex[k],
                    a.referenceEnergy[k], curveHash(a.hCurve, k), curveHash(a.simulatedHCurve, k),
                    a.stageMessage[k].c_str());
    std::printf(" inRange=%d Ncom=%.17g fixed=%d caution=%d kT=%.17g\n", a.energyLevelInRange,
                a.compensatingDensity, a.compensationFixed, a.excitedStatesCaution, a.thermalEnergy);
}

// H1, then H2 and H3 while their peaks lie inside the grid (each also with
// the compensation of the stage before fixed), then the simulation.
void runStages(Analysis a, const std::string& tag)
{
    a.releaseCompensation();
    if (!a.autoCalculateStage(0)) {
        std::printf("%s H1 not calculated\n", tag.c_str());
        return;
    }
    const bool evaluated = a.runEvaluation(0).kind == Analysis::EvaluationOutcome::Kind::Evaluated;
    print(a, tag);
    for (int k = 1; k < 3 && evaluated; ++k) {
        if (a.compensationStage == k - 1)
            a.compensatingDensity = a.stageCompensatingDensity[k - 1];
        if (!a.autoCalculateStage(k)) {
            std::printf("%s H%d not calculated\n", tag.c_str(), k + 1);
            break;
        }
        if (a.peakIndex[k] <= 0 || a.peakIndex[k] >= a.evaluationGridSize() - 1)
            break;
        a.runEvaluation(k);
        print(a, tag);
        Analysis fixed = a;
        fixed.applyEvaluationAgain(k);
        fixed.evaluateStage(k);
        print(fixed, tag + " fixed");
    }
    for (int j = 0; j < 3; ++j) {
        a.simulationDensity[j] = a.density[j];
        a.simulationEnergyLevel[j] = a.energyLevel[j];
        a.simulationInclude[j] = 1;
    }
    a.simulationInclude[4] = 1;
    a.simulationCompensatingDensity = a.compensatingDensity;
    a.simulateConcentration();
    std::printf("%s simulation=%016llx\n", tag.c_str(),
                static_cast<unsigned long long>(bitsHash(a.simulatedConcentration)));
}

void runVariants(const Analysis& a, const std::string& name)
{
    for (int functionType : {2, 1})
        for (const char* type : {"Type-A", "Type-B", "Type-C", "Type-D"})
            for (double g : {1.0, 2.0, 4.0}) {
                Analysis b = a;
                b.functionType = functionType;
                b.evaluationType = type;
                b.degeneracyFactor = {g, g, g, g};
                char tag[160];
                std::snprintf(tag, sizeof tag, "%s f=%d %s g=%g", name.c_str(), functionType, type, g);
                runStages(b, tag);
            }
}

} // namespace

int main()
{
    for (const char* file : {"gaas_n_shallow.nT", "si_p_single.nT", "sic4h_n_two_donors.nT", "sic4h_p_al.pT"}) {
        Analysis a;
        a.resetAll();
        a.experimentalDataFileName = std::string(VORN_EXAMPLES_DIR) + "/" + file;
        if (!a.readExperimentalData() || !a.chooseSplinePoints()) {
            std::printf("%s not loaded\n", file);
            continue;
        }
        if (!a.computeSpline()) {
            a.smoothness = 20000;
            a.computeSpline();
        }
        a.lookupMaterial();
        a.computeFermiLevel();
        std::printf("%s spline=%016llx fermi=%016llx\n", file,
                    static_cast<unsigned long long>(bitsHash(a.splineConcentration)),
                    static_cast<unsigned long long>(bitsHash(a.fermiLevel)));
        runVariants(a, file);
    }
    // A shallow donor of the chosen level and a deep one at 0.3 eV, exact
    // neutrality of each (fully ionised acceptors 1e14 with the first).
    for (double level : {0.02, 0.06, 0.15}) {
        Analysis a;
        a.resetAll();
        a.semiconductor = "4H-SiC";
        a.conductionType = "n-type";
        a.lookupMaterial();
        auto oneDonor = [&](double donors, double acceptors, double E, double T) {
            const double phi = a.dos0 * std::pow(T, 1.5) / 2 * std::exp(-E / phys::thermalEnergy(T));
            const double b = acceptors + phi, c = (donors - acceptors) * phi;
            return 2 * c / (b + std::sqrt(b * b + 4 * c));
        };
        for (int j = 0; j <= 4000; ++j) {
            const double T = 20 + 0.1 * j;
            a.splineTemperature.push_back(T);
            a.splineConcentration.push_back(oneDonor(1e16, 1e14, level, T) + oneDonor(3e16, 0, 0.3, T));
        }
        a.splineCount = 4001;
        a.computeFermiLevel();
        char name[40];
        std::snprintf(name, sizeof name, "two donors %g eV", level);
        runVariants(a, name);
    }
    return 0;
}
