// The report of one batch run: the page the core writes from the analysis
// object, with the options and the further analyses of the run added.
#include "batch/Batch.h"

#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/workflow/Report.h"
#include "analysis/workflow/Warnings.h"

#include <algorithm>

#include <filesystem>
#include <ostream>

namespace {

std::string range(const BatchOptions::TemperatureRange& r)
{
    return r.given ? numfmt::general(r.low) + " K to " + numfmt::general(r.high) + " K" : "all points";
}

std::string orDash(double value, bool known) { return known ? report::number(value) : "\xE2\x80\x93"; }

} // namespace

report::Content batchReportContent(const Analysis& a, const BatchResult& r, const BatchOptions& o)
{
    report::Content c;
    if (r.smoothnessChosen)
        c.inputs.emplace_back("Smoothness chosen by", "generalized cross-validation (--smoothness auto)");
    if (!o.material.empty())
        c.inputs.emplace_back("Material given", o.material);
    if (o.answerYes)
        c.inputs.emplace_back("Recalculation question", "answered Yes");
    if (o.oneImpurity)
        c.inputs.emplace_back("One impurity, fitting range", range(o.oneImpurityRange));
    if (o.netDensity > 0)
        c.inputs.emplace_back("Donor-acceptor, net density [cm\xE2\x81\xBB\xC2\xB3] and range",
                              numfmt::general(o.netDensity) + ", " + range(o.donorAcceptorRange));
    if (o.excited != BatchOptions::Excited::Off && o.dielectricConstant > 0)
        c.inputs.emplace_back("Dielectric constant", numfmt::general(o.dielectricConstant));

    if (!r.conventional.empty()) {
        report::Table t{"Conventional analyses",
                        {"Analysis", "Range [K]", "Energy level [eV]", "Density [cm\xE2\x81\xBB\xC2\xB3]",
                         "Compensating density [cm\xE2\x81\xBB\xC2\xB3]", "r of the line"},
                        {},
                        ""};
        for (const BatchConventional& cv : r.conventional) {
            if (!cv.done) {
                t.rows.push_back({cv.analysis, "failed: " + cv.error, "", "", "", ""});
                continue;
            }
            t.rows.push_back({cv.analysis,
                              numfmt::general(cv.lowestTemperature) + " to " + numfmt::general(cv.highestTemperature),
                              report::number(cv.energyLevel), report::number(cv.density),
                              report::number(cv.compensatingDensity), report::number(cv.correlation, 6)});
        }
        c.analyses.push_back(t);
    }
    if (r.dhes) {
        report::Table t{"Differential Hall-effect spectroscopy",
                        {"Peak", "Fermi level [eV]", "Temperature [K]", "DHES at the peak [cm\xE2\x81\xBB\xC2\xB3]",
                         "Energy level [eV]", "Density [cm\xE2\x81\xBB\xC2\xB3]"},
                        {},
                        r.dhesPeaks.empty() ? "No peak was evaluated." : ""};
        for (std::size_t i = 0; i < r.dhesPeaks.size(); ++i) {
            const BatchDhesPeak& p = r.dhesPeaks[i];
            t.rows.push_back({std::to_string(i + 1), report::number(p.fermiLevel), numfmt::general(p.temperature),
                              report::number(p.peakValue), report::number(p.energyLevel), report::number(p.density)});
        }
        c.analyses.push_back(t);
    }
    if (r.fit.done) {
        const BatchFit& f = r.fit;
        report::Table t{"Curve fitting",
                        {"Species", "Energy level [eV]", "Density [cm\xE2\x81\xBB\xC2\xB3]", "g"},
                        {},
                        "Range " + numfmt::general(f.lowTemperature) + " K to " + numfmt::general(f.highTemperature) +
                            " K, " + std::to_string(f.presses) + (f.presses == 1 ? " press (" : " presses (") + std::to_string(f.times) +
                            " times), " + (f.converged ? "converged" : "not converged") +
                            ", sum of squares " + report::number(f.sumOfSquares) +
                            (f.precise ? ", precise Fermi level" : "") + "."};
        for (std::size_t i = 0; i < f.species.size(); ++i) {
            const BatchFitSpecies& s = f.species[i];
            t.rows.push_back({std::to_string(i + 1), report::withError(s.energy, s.energyError),
                              report::withError(s.density, s.densityError), numfmt::general(s.g)});
        }
        t.rows.push_back({"compensating", "", report::withError(f.compensatingDensity, f.compensatingError), ""});
        c.analyses.push_back(t);
    }
    if (r.excited.run) {
        const BatchExcited& e = r.excited;
        report::Table t{"Excited states of the H1 species",
                        {"Model", "Density [cm\xE2\x81\xBB\xC2\xB3]", "Energy level [eV]",
                         "Compensating density [cm\xE2\x81\xBB\xC2\xB3]"},
                        {{"Fermi-Dirac", report::number(e.fermiDiracDensity), report::number(e.fermiDiracEnergyLevel),
                          report::number(e.fermiDiracCompensatingDensity)},
                         {"with excited states", orDash(e.density, e.evaluated), orDash(e.energyLevel, e.evaluated),
                          orDash(e.compensatingDensity, e.evaluated)}},
                        "Dielectric constant " + numfmt::general(e.dielectricConstant) +
                            (e.evaluated ? ", " + std::to_string(e.levelCount) + " levels" : ", no level in range") +
                            (e.caution ? "; the H1 evaluation raised the caution." : ".")};
        c.analyses.push_back(t);
    }
    if (r.bestModel.done) {
        const BatchBestModel& b = r.bestModel;
        report::Table chosen{"Best model: the species the data support",
                             {"Species", "Energy level [eV]", "Density [cm\xE2\x81\xBB\xC2\xB3]", "g", "Verdict"},
                             {},
                             std::to_string(b.species.size()) + " species, " + b.distribution +
                                 (b.distribution == "excited-states" ? " (r = " + std::to_string(b.levelCount) + ")"
                                                                     : std::string()) +
                                 "; " + b.criterionName + " " + report::number(b.criterion) + ", residual RMS " +
                                 report::number(b.rms) + " in log10 n; standard errors."};
        for (std::size_t i = 0; i < b.species.size(); ++i) {
            const BatchBestModelSpecies& sp = b.species[i];
            chosen.rows.push_back({std::to_string(i + 1), report::withError(sp.energy, sp.energyError),
                                   report::withError(sp.density, sp.densityError), numfmt::general(sp.g),
                                   sp.determined ? "determined" : "not determined by these data"});
        }
        chosen.rows.push_back(
            {"compensating", "", report::withError(b.compensatingDensity, b.compensatingError), "", ""});
        c.analyses.push_back(chosen);
        report::Table ranking{"Model selection: the alternatives tried",
                              {"Species", "Distribution", "Levels r", "Parameters", b.criterionName,
                               "Residual RMS [log10 n]", ""},
                              {},
                              "The lowest criterion wins; a model with more parameters only by more than 6."};
        for (const BatchBestModelAlternative& alt : b.alternatives)
            ranking.rows.push_back({std::to_string(alt.speciesCount), alt.distribution,
                                    alt.distribution == "excited-states" ? std::to_string(alt.levelCount) : "",
                                    std::to_string(alt.parameters), report::number(alt.criterion),
                                    report::number(alt.rms), alt.chosen ? "chosen" : ""});
        c.modelSelection = ranking;
    }
    // Those of the analysis object as the window's report lists them, then
    // the run's others (conversion notes, earlier results, ...).
    c.warnings = analysisWarnings(a);
    for (const BatchMessage& m : r.messages)
        if (m.kind == "warning" && std::find(c.warnings.begin(), c.warnings.end(), m.text) == c.warnings.end())
            c.warnings.push_back(m.text);
    if (r.status != 0)
        c.warnings.push_back("The analysis stopped: " + r.failure + ".");
    return c;
}

void writeBatchReport(Analysis& analysis, BatchResult& r, const BatchOptions& o, std::ostream& err)
{
    namespace fs = std::filesystem;
    const std::string proposed = report::fileName(analysis);
    const std::string path =
        o.outputDir.empty() ? proposed : (fs::path(o.outputDir) / fs::path(proposed).filename()).string();
    std::error_code ec;
    const std::string sample = fs::path(r.input).filename().string();
    if (fs::equivalent(path, r.input, ec)) {
        r.messages.push_back({"error", path + " is the file analysed; the report does not overwrite it"});
        err << sample << ": error: " << r.messages.back().text << "\n";
        r.status = 2;
        r.failure = "the report could not be saved";
        return;
    }
    std::string error;
    if (!report::write(path, report::html(analysis, batchReportContent(analysis, r, o)), error)) {
        r.messages.push_back({"error", error});
        err << sample << ": error: " << error << "\n";
        r.status = 2;
        r.failure = "the report could not be saved";
        return;
    }
    r.files.push_back(path);
}
