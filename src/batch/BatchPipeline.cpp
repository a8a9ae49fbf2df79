// One data file through the central method, as a user clicks it in Normal
// mode: every step is the core operation that the main window's button runs,
// every save dialog is answered with the proposed name (moved to the output
// folder when one is given), "No" (or "Yes") to the recalculation question,
// "OK" on the caution window and "Continue" on the remarks window.
#include "batch/Batch.h"

#include "analysis/data/Analysis.h"
#include "analysis/dhes/DhesSpectrum.h"
#include "analysis/curvefit/CurveFitting.h"
#include "analysis/data/DataEntry.h"
#include "analysis/excited/ExcitedStates.h"
#include "analysis/modelselection/ModelSelection.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/base/TextFile.h"

#include <array>
#include <filesystem>
#include <ostream>

namespace fs = std::filesystem;

namespace {

class Run {
public:
    Run(Analysis& analysis, const std::string& path, const BatchOptions& o, std::ostream& err)
        : C(analysis), o_(o), err_(err), sample_(fs::path(path).filename().string())
    {
        r.input = path;
    }

    BatchResult r;

    void start()
    {
        // A file dialog hands the program an absolute path, and the headers of
        // the result files print it: the batch does the same.
        std::error_code ec;
        const fs::path absolute = fs::absolute(r.input, ec).lexically_normal();
        const std::string path = ec ? r.input : absolute.string();

        if (!o_.outputDir.empty()) {
            fs::create_directories(o_.outputDir, ec);
            if (ec)
                return fail(2, "cannot create the output folder " + o_.outputDir);
        }

        step("loading");
        // No result of this run replaces one of its inputs.
        protectInputs(path);
        // The shipped program in Normal mode, as it starts.
        C.startUp(1);
        if (o_.conversion.active()) {
            if (!convert(path))
                return;
        } else {
            const FileOutcome loaded = C.loadExperimentalData(path);
            if (!loaded.ok) {
                record("error", loaded.error);
                return fail(2, "the data file could not be read");
            }
        }
        // Loading or converting named the sample's data file alone.
        protectInputs(path);
        if (!o_.material.empty())
            C.semiconductor = o_.material;
        r.semiconductor = C.semiconductor;
        r.conductionType = C.conductionType;
        r.dataCount = C.dataCount;
        if (o_.functionType != C.functionType)
            C.changeFunctionType(o_.functionType);

        step("spline");
        double smoothness = typed(o_.smoothness);
        if (o_.autoSmoothness) {
            // "Auto", then "Calculation" with the value it put in the field.
            const SmoothnessOutcome chosen = C.automaticSmoothness();
            if (!(chosen.value > 0)) {
                record("error", chosen.error);
                return fail(1, "the smoothness could not be chosen");
            }
            smoothness = typed(chosen.value);
            r.smoothnessChosen = true;
            if (!chosen.note.empty()) {
                r.smoothnessAtRangeEnd = true;
                record("warning", "--smoothness auto found no minimum inside the searched range (" +
                                      numfmt::general(chosen.value) + " is its end): " + chosen.note);
            }
        }
        r.smoothness = smoothness;
        const SplineOutcome spline = C.calculateDataForAnalysis(smoothness);
        if (!spline.computed) {
            record("error", spline.error);
            return fail(1, "the spline could not be calculated");
        }
        r.splineCount = C.splineCount;
        const std::string splName = save(C.splineFileProposal());
        const DataForAnalysisOutcome saved = C.saveDataForAnalysis(splName);
        if (!saved.ok) {
            record("error", saved.error);
            return fail(2, "the data for analysis could not be saved");
        }
        wrote(splName);
        if (!materialParameters())
            return;

        step("Fermi level");
        const FermiLevelOutcome fermi = C.calculateFermiLevelStage();
        if (!fermi.computed) {
            record("error", fermi.error);
            if (fermi.refused)
                err_ << sample_ << ": the material \"" << C.semiconductor
                     << "\" is not in the table: give its effective density of states with "
                        "--dos0 X, or its effective mass and minima with --mass M --minima K\n";
            return fail(1, "the Fermi level could not be calculated");
        }
        const std::string flName = save(C.fermiLevelFileProposal());
        const FileOutcome flSaved = C.saveFermiLevel(flName);
        if (!flSaved.ok) {
            record("error", flSaved.error);
            return fail(2, "the Fermi level could not be saved");
        }
        wrote(flName);
        for (const BatchConventional& c : runConventionalAnalyses(C, o_, [this](const std::string& p) { return save(p); })) {
            if (!c.done)
                record("error", c.error);
            else
                wrote(c.file);
            r.conventional.push_back(c);
        }
        if (o_.dhes && !runDhes())
            return;

        calculationEnabled_ = {true, false, false};
        for (int k = 0; k < 3 && calculationEnabled_[k]; ++k) {
            if (!runStage(k))
                break;
        }
        if (r.status != 0)
            return;
        if (r.stages.empty() || !r.stages.front().saved)
            return fail(1, std::string(C.functionType == 1 ? "S1" : "H1") + " could not be evaluated");

        step("simulation");
        const SimulationOutcome sim = C.runSimulation();
        if (!sim.simulated) {
            record("conversion error", numfmt::notValidFloat(sim.failedText));
            return fail(1, "the simulation could not be carried out");
        }
        for (const OutcomeMessage& m : sim.messages) {
            if (m.text.rfind("Warning: ", 0) == 0)
                warning(m.text);
            else
                record(m.error ? "error" : "confirmation", m.text);
        }
        r.simulated = true;
        r.largestDeviation = sim.largestDeviation;
        r.deviationTemperature = sim.deviationTemperature;
        const Analysis::SaveProposal proposal = C.simulationSaveProposal();
        const std::string simName = save(proposal.fileName);
        if (!C.saveSimulation(simName)) {
            record("error", C.lastError);
            return fail(2, "the simulation could not be saved");
        }
        wrote(simName);

        // The obtained-results window's save: its dialog gives a name typed
        // without extension the default ".dat".
        const std::string datName = Analysis::withDefaultExtension(save(C.obtainedResultsFileName()), "dat");
        if (!C.writeObtainedResults(datName)) {
            record("error", C.lastError);
            return fail(2, "the obtained results could not be saved");
        }
        wrote(datName);
        r.compensatingDensity = C.compensatingDensity;
        if (o_.fit && !curveFitting())
            return;
        if (o_.bestModel && !bestModel())
            return;
        step("done");
        if (o_.progress && !o_.quiet)
            err_ << "\r\033[K" << std::flush;
    }

    // Result files of the same sample that an earlier analysis left and this
    // run did not rewrite (a run that reached fewer stages, or the other
    // function type): they would be taken for this run's results.
    void warnAboutEarlierResults(const std::string& folder)
    {
        static const char* const kinds[] = {".spl", ".fl",  ".flE", ".H1",  ".H2",   ".H3",   ".H1E",
                                            ".H2E", ".H3E", ".S1",  ".S2",  ".S3",   ".S1E",  ".S2E",
                                            ".S3E", ".simH", ".simS", ".datH", ".datS", ".CNO", ".CNC",
                                            ".DHES", ".cft", ".simN", ".exc"};
        const std::string input = fs::path(r.input).filename().string();
        const std::string stem = Analysis::replaceExtension(input, "");
        std::vector<std::string> left;
        for (const char* kind : kinds) {
            const fs::path candidate = fs::path(folder.empty() ? "." : folder) / (stem + kind);
            std::error_code ec;
            if (candidate.filename() == input || !fs::is_regular_file(candidate, ec))
                continue;
            bool written = false;
            for (const std::string& w : r.files)
                written = written || fs::path(w).filename() == candidate.filename();
            if (!written)
                left.push_back(candidate.filename().string());
        }
        if (left.empty())
            return;
        std::string list;
        for (const std::string& l : left)
            list += (list.empty() ? "" : ", ") + l;
        record("warning", "results of an earlier analysis of this sample are left beside this run's "
                          "files and were not rewritten by it: " + list);
    }

private:
    // The run's own analysis object (named as the program's global one,
    // which it is for vorn-batch; a script's analysis brings its own).
    Analysis& C;
    const BatchOptions& o_;
    std::ostream& err_;
    std::string sample_;
    std::array<bool, 3> calculationEnabled_{};

    void fail(int status, const std::string& what)
    {
        r.status = status;
        r.failure = what;
    }

    void step(const char* what)
    {
        if (o_.progress && !o_.quiet)
            err_ << "\r\033[K" << sample_ << ": " << what << std::flush;
    }

    void record(const char* kind, const std::string& text)
    {
        r.messages.push_back({kind, text});
        const bool isError = std::string(kind) == "error" || std::string(kind) == "conversion error";
        if (!o_.quiet || isError)
            err_ << sample_ << ": " << kind << ": " << text << "\n";
    }

    // A box of the window that starts "Warning: " is a warning here.
    void warning(const std::string& text)
    {
        const std::string prefix = "Warning: ";
        record("warning", text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text);
    }

    void messages(const std::vector<OutcomeMessage>& list)
    {
        for (const OutcomeMessage& m : list)
            record(m.error ? "error" : "confirmation", m.text);
    }

    // A value as the window reads it back from the text it shows.
    static double typed(double value)
    {
        double v = value;
        numfmt::parseDouble(numfmt::general(value), v);
        return v;
    }

    // The name a save dialog proposes, in the output folder when one is given.
    std::string save(const std::string& proposed) const
    {
        if (o_.outputDir.empty())
            return proposed;
        return (fs::path(o_.outputDir) / fs::path(proposed).filename()).string();
    }

    void wrote(const std::string& path) { r.files.push_back(path); }

    void protectInputs(const std::string& path)
    {
        std::vector<std::string> inputs = o_.runInputs;
        inputs.push_back(path);
        if (!C.experimentalDataFileName.empty())
            inputs.push_back(C.experimentalDataFileName);
        textfile::setProtectedInputs(inputs);
    }

    // "Other Analyses" > "DHES": the peaks worked as a user would, "Sum of
    // each Signal", then "Save (*.DHES)" under the proposed name.
    bool runDhes()
    {
        step("DHES");
        r.dhes = true;
        dhes::State st = dhes::open(C);
        const int found = dhes::workPeaks(st);
        if (!st.refusal.empty())
            record("error", st.refusal);
        for (int s = 0; s < found; ++s) {
            const dhes::Peak& p = st.peaks[s];
            r.dhesPeaks.push_back({st.abscissa[p.index], st.temperature[p.index], st.dhes[p.index],
                                   p.energyLevel, p.density, p.edge, true});
        }
        // A search that ran into the last sample is reported, marked and
        // left out of the evaluated peaks, the sum and the file.
        dhes::Peak edge;
        if (dhes::edgePeak(st, found, edge)) {
            r.dhesPeaks.push_back({st.abscissa[edge.index], st.temperature[edge.index], st.dhes[edge.index],
                                   edge.energyLevel, edge.density, true, false});
            dhes::State shown = st;
            shown.peaks[found] = edge;
            record("warning", dhes::edgeWarning(shown, found) + " It was not evaluated.");
        }
        if (st.controls.sum) {
            dhes::sumPressed(st);
            record("confirmation", dhes::sumMessage);
        }
        if (!st.controls.save)
            return true; // nothing evaluated: the window offers no save
        const std::string name = save(dhes::saveProposal(C));
        std::string error;
        if (!dhes::savePressed(C, st, name, error)) {
            record("error", error);
            fail(2, "the DHES could not be saved");
            return false;
        }
        wrote(name);
        return true;
    }

    // The converter window's "Save" on an instrument's text file: the data
    // file under the proposed name, and the converted points in the object,
    // as the main window takes them after the conversion.
    bool convert(const std::string& source)
    {
        step("converting");
        std::string text, error;
        if (!textfile::readText(source, text, error)) {
            record("error", error);
            fail(2, "the file could not be read");
            return false;
        }
        const BatchConversion& cv = o_.conversion;
        dataentry::SampleForm form;
        form.semiconductor = o_.material;
        form.conductionType = cv.conductionType;
        form.sampleNumber = cv.sampleNumber;
        form.thickness = numfmt::general(cv.thickness);
        form.magneticField = numfmt::general(cv.magneticField);
        form.current = numfmt::general(cv.current);
        dataentry::Columns columns{cv.temperatureColumn - 1, cv.concentrationColumn - 1,
                                   cv.reliabilityColumn - 1};
        columns.quantity = static_cast<dataentry::Columns::Quantity>(cv.quantity);
        columns.current = cv.currentColumn - 1;
        columns.field = cv.fieldColumn - 1;
        columns.hallFactor = cv.hallFactor;
        columns.celsius = cv.celsius;
        columns.gauss = cv.gauss;
        const dataentry::SaveCheck checked = dataentry::checkConversion(text, columns, form);
        if (!checked.ready()) {
            record("error", checked.message);
            fail(2, "the file could not be converted");
            return false;
        }
        if (!checked.leftOutNote.empty())
            record("warning", checked.leftOutNote);
        if (!checked.signChangeNote.empty())
            record("warning", checked.signChangeNote);
        const std::string name = save(dataentry::conversionProposal(source, checked.filterIndex));
        const std::string input = textfile::protectedInputAt(name);
        if (!input.empty()) {
            record("error", "the converted data file " + name + " would replace the input " + input +
                                " of this run; it is not overwritten (give --output-dir)");
            fail(2, "the converted data could not be saved");
            return false;
        }
        std::error_code ec;
        if (!o_.overwrite && fs::exists(fs::symlink_status(name, ec))) {
            record("error", "the data file " + name + " exists already; it is not replaced (give "
                            "--overwrite to replace it, or --output-dir)");
            fail(2, "the converted data could not be saved");
            return false;
        }
        const FileOutcome saved = dataentry::saveNewData(C, checked, name, source);
        if (!saved.ok) {
            record("error", saved.error);
            fail(2, "the converted data could not be saved");
            return false;
        }
        wrote(name);
        C.resetFrom(PipelineStage::DataForAnalysis);
        return true;
    }

    // N_0 of a material the table does not know, or given on the command line.
    bool materialParameters()
    {
        if (o_.dos0 > 0) {
            const FileOutcome out = C.setEffectiveDos(o_.dos0);
            if (!out.ok) {
                record("error", out.error);
                fail(1, "the effective density of states could not be set");
                return false;
            }
        } else if (o_.mass > 0) {
            C.beginEffectiveDosInput();
            const FileOutcome out = C.calculateEffectiveDosInput(o_.mass, o_.minima > 0 ? o_.minima : 1);
            if (!out.ok) {
                record("error", out.error);
                fail(1, "the effective density of states could not be calculated");
                return false;
            }
        }
        return true;
    }

    // "Curve Fitting" of the window opened on the saved simulation, pressed
    // while it stays enabled (at most 20 times), then "Save (*.cft)".
    bool curveFitting()
    {
        step("curve fitting");
        curvefit::Session s;
        s.precise = o_.fitPrecise;
        for (const OutcomeMessage& m : s.open(C, nullptr))
            record(m.error ? "error" : "confirmation", m.text);
        BatchFit& f = r.fit;
        f.precise = s.precise;
        int accepted = 0;
        bool lastRejected = false;
        while (s.fitEnabled && f.presses < 20) {
            const curvefit::Session::PressOutcome press = s.press(nullptr);
            if (!press.pressed)
                break;
            if (!press.refusal.empty()) {
                record("error", press.refusal);
                fail(1, "the curve fitting gave no physical result");
                return false;
            }
            ++f.presses;
            accepted += press.acceptedSteps;
            lastRejected = press.rejected;
        }
        if (f.presses == 0) {
            fail(1, "the curve fitting could not be carried out");
            return false;
        }
        f.times = s.times;
        // Converged only when the fit moved at all and then found no better
        // step; with no step accepted the errors are those of the start.
        f.converged = accepted > 0 && lastRejected;
        f.lowTemperature = s.T[s.lo];
        f.highTemperature = s.T[s.hi];
        f.sumOfSquares = s.lastSumOfSquares;
        const int K = s.working.count;
        const curvefit::StandardErrors& e = s.errors;
        auto error = [&](int i) { return e.determined[i] ? e.error[i] : -1.0; };
        for (int k = 0; k < K; ++k) {
            const curvefit::Species& sp = s.working.species[k];
            f.species.push_back({sp.energy, error(1 + K + k), sp.density, error(1 + k), sp.g});
        }
        f.compensatingDensity = s.working.compensating;
        f.compensatingError = error(0);
        const std::string name = save(curvefit::Session::saveProposal(C));
        const FileOutcome saved = s.save(C, name);
        if (!saved.ok) {
            record("error", saved.error);
            fail(2, "the curve fitting could not be saved");
            return false;
        }
        wrote(name);
        f.done = true;
        return true;
    }

    // The model the data support, started from everything this run found,
    // and its file under the proposed name.
    bool bestModel()
    {
        step("best model");
        const std::array<double, 3> g{degeneracy(0), degeneracy(1), degeneracy(2)};
        const modelsel::Data data = modelsel::dataFrom(C, g);
        std::vector<modelsel::Model> extra;
        modelsel::Model dhesPeaks;
        for (const BatchDhesPeak& p : r.dhesPeaks)
            if (p.evaluated && !p.edge && p.density > 0 && p.energyLevel > 0)
                dhesPeaks.species.push_back({p.density, p.energyLevel, 1});
        if (!dhesPeaks.species.empty())
            extra.push_back(dhesPeaks);
        for (const BatchConventional& c : r.conventional)
            if (c.done && c.density > 0 && c.energyLevel > 0) {
                modelsel::Model m;
                m.species.push_back({c.density, c.energyLevel, 1});
                m.compensating = c.compensatingDensity;
                extra.push_back(m);
            }
        const modelsel::Selection sel = modelsel::selectModel(data, modelsel::collectSeeds(C, data, extra));
        if (!sel.ok) {
            record("error", sel.message);
            fail(1, "no model could be chosen");
            return false;
        }
        BatchBestModel& b = r.bestModel;
        const modelsel::Fit& f = sel.chosen;
        b.criterionName = sel.criterionName;
        b.criterion = f.criterion;
        b.rms = f.rms;
        b.distribution = modelsel::distributionName(f.model.distribution);
        b.levelCount = f.model.levelCount;
        for (const modelsel::SpeciesResult& s : f.species)
            b.species.push_back({{s.species.level, s.levelError, s.species.density, s.densityError, s.species.g},
                                 s.determined});
        b.compensatingDensity = f.model.compensating;
        b.compensatingError = f.compensatingError;
        for (const modelsel::Alternative& a : sel.alternatives)
            b.alternatives.push_back({a.speciesCount, modelsel::distributionName(a.distribution), a.levelCount,
                                      a.parameters, a.criterion, a.rms, a.chosen});
        const std::string name = save(modelsel::saveProposal(C));
        std::string error;
        if (!modelsel::save(C, sel, name, error)) {
            record("error", error);
            fail(2, "the best model could not be saved");
            return false;
        }
        wrote(name);
        b.done = true;
        return true;
    }

    // The excited-states window as it opens after the H1 evaluation: its
    // preparation, "Save Simulation Results (*.simN)", "Evaluation" with the
    // dielectric constant in its edit and "Save Obtained Results (*.exc)".
    // False after a file error.
    bool excitedStates(bool caution)
    {
        step("excited states");
        ExcitedStates ex(C);
        ex.prepare();
        BatchExcited& e = r.excited;
        e.run = true;
        e.caution = caution;
        e.fermiDiracDensity = C.density[0];
        e.fermiDiracEnergyLevel = C.energyLevel[0];
        e.fermiDiracCompensatingDensity = C.stageCompensatingDensity[0];
        const std::string simN = save(ex.simNProposal());
        const FileOutcome simNSaved = ex.saveSimN(simN);
        if (!simNSaved.ok) {
            record("error", simNSaved.error);
            fail(2, simN + " could not be written");
            return false;
        }
        wrote(simN);
        e.dielectricConstant = typed(o_.dielectricConstant > 0 ? o_.dielectricConstant : C.dielectricConstant);
        // The development setting: the shift edit and, for a given r, precise mode.
        ex.levelShift = e.levelShift = typed(o_.levelShift);
        ex.preciseMode = e.precise = o_.highestLevel > 0;
        ex.highestLevel = o_.highestLevel;
        const ExcitedStates::EvaluationOutcome out = ex.evaluate(e.dielectricConstant);
        messages(out.messages);
        if (!out.inRange)
            return true;
        e.evaluated = true;
        e.levelCount = ex.levelCount;
        e.density = ex.dopantDensity;
        e.energyLevel = ex.dopantLevel;
        e.compensatingDensity = ex.dopantCompensatingDensity;
        const std::string exc = save(ex.excProposal());
        const FileOutcome excSaved = ex.saveExc(exc);
        if (!excSaved.ok) {
            record("error", excSaved.error);
            fail(2, exc + " could not be written");
            return false;
        }
        wrote(exc);
        return true;
    }

    double degeneracy(int k) const
    {
        if (o_.degeneracy.size() == 3)
            return typed(o_.degeneracy[k]);
        // What the stage pages show for the conduction type.
        return modelsel::typeDegeneracy(C);
    }

    // Calculation, Evaluation and Save of one stage, following every
    // "Calculation again" the program offers. The rounds are bounded: the
    // recalculation chain ends by itself, the bound only guards against a loop.
    bool runStage(int k)
    {
        BatchStage st;
        st.name = std::string(C.functionType == 1 ? "S" : "H") + char('1' + k);
        bool saved = false;
        bool again = false;
        for (int round = 0; round < 12 && calculationEnabled_[k]; ++round) {
            step(k == 0 ? "H1 calculation" : k == 1 ? "H2 calculation" : "H3 calculation");
            const StageCalculationOutcome calc = C.calculateStage(k);
            messages(calc.messages);
            calculationEnabled_[k] = calc.calculationEnabled;
            again = calc.calculateAgain;
            const bool evaluationEnabled =
                calc.kind == StageCalculationOutcome::Kind::Calculated && calc.peakInside;
            if (!calc.question.empty()) {
                record("question", calc.question);
                if (!o_.quiet)
                    err_ << "  (answered " << (o_.answerYes ? "Yes" : "No") << ")\n";
                if (o_.answerYes) {
                    C.answerRecalculationQuestion(k);
                    calculationEnabled_[k] = true;
                    again = true;
                }
            }
            st.calculated = st.calculated || evaluationEnabled;
            if (calculationEnabled_[k] && again)
                continue;
            if (!evaluationEnabled)
                break;

            step("evaluation");
            // As a user would choose it before pressing "Evaluation" (each
            // results save sets it back to "Type-B").
            C.evaluationType = o_.evaluationType;
            const Analysis::EvaluationOutcome ev = C.evaluate(k, degeneracy(k));
            messages(ev.messages);
            for (const OutcomeMessage& w : ev.warnings)
                warning(w.text);
            if (ev.kind == Analysis::EvaluationOutcome::Kind::Evaluated) {
                st.evaluated = true;
                st.referenceEnergy = C.referenceEnergy[k];
                const int p = C.peakIndex[k];
                if (p >= 0 && p < static_cast<int>(C.splineTemperature.size()) &&
                    p < static_cast<int>(C.hCurve[k].size())) {
                    st.peakTemperature = C.splineTemperature[p];
                    st.peakValue = C.hCurve[k][p];
                }
                st.density = C.density[k];
                st.energyLevel = C.energyLevel[k];
                st.compensatingDensity = C.stageCompensatingDensity[k];
                if (k == 0 && (o_.excited == BatchOptions::Excited::Always ||
                               (o_.excited == BatchOptions::Excited::OnCaution && ev.showCaution))) {
                    if (!excitedStates(ev.showCaution))
                        break;
                }
                // The title line carries the evaluation type at the time of saving.
                C.evaluationType = o_.evaluationType;
                const std::string name =
                    save(C.stageSaveProposal(k, Analysis::StageFile::Results).fileName);
                const StageSaveOutcome out = C.saveStageResults(k, name);
                if (!out.ok) {
                    record("error", out.error);
                    fail(2, name + " could not be written");
                    break;
                }
                wrote(name);
                saved = true;
                if (k < 2 && out.enableNextStage)
                    calculationEnabled_[k + 1] = true;
                else if (out.evaluationCompleted)
                    record("confirmation", "Evaluation has been completed!");
                break;
            }
            if (ev.kind == Analysis::EvaluationOutcome::Kind::RecalculationRequested) {
                calculationEnabled_[1] = true;
                again = true;
            }
            if (!(calculationEnabled_[k] && again))
                break;
        }
        st.saved = saved;
        if (st.calculated || st.evaluated)
            r.stages.push_back(st);
        return saved;
    }
};

} // namespace

std::string batchOutputFolder(const std::string& input, const BatchOptions& options)
{
    return options.outputDir.empty() ? fs::path(input).parent_path().string() : options.outputDir;
}

BatchResult runBatchFile(const std::string& path, const BatchOptions& options, std::ostream& err)
{
    return runBatchFile(C, path, options, err);
}

BatchResult runBatchFile(Analysis& analysis, const std::string& path, const BatchOptions& options,
                         std::ostream& err)
{
    Run run(analysis, path, options, err);
    run.start();
    // A conventional analysis that failed fails the file once the rest went well.
    for (const BatchConventional& c : run.r.conventional)
        if (run.r.status == 0 && !c.done) {
            run.r.status = c.status;
            run.r.failure = "the " + c.analysis + " analysis failed";
        }
    run.warnAboutEarlierResults(batchOutputFolder(path, options));
    if (options.report && run.r.dataCount > 0)
        writeBatchReport(analysis, run.r, options, err);
    return run.r;
}
