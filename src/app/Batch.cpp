#include "app/Batch.h"

#include "Analysis.h"
#include "NumberFormat.h"
#include "app/Forms.h"
#include "app/Hall.h"
#include "app/Modal.h"
#include "spectroscopy/Automaticevaluationtype.h"
#include "spectroscopy/Functiontype.h"
#include "spectroscopy/Obtainedresults.h"
#include "spectroscopy/Remarks.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <unistd.h>

#ifndef VORN_VERSION_TEXT
#define VORN_VERSION_TEXT "1.7.1"
#endif

namespace {

// The default answers of a user who accepts every proposal: the proposed file
// names (moved to the output folder when one is given), "Continue" on the
// remarks window, OK on the caution window, the chosen answer to the one
// Yes/No question. Every message is recorded and echoed on standard error.
class BatchModal : public ModalInterface {
public:
    BatchModal(const BatchOptions& options, std::ostream& err) : options_(options), err_(err) {}

    BatchResult* result = nullptr;
    std::string openPath;

    bool openFile(QWidget*, const QString&, int&, QString& fileName) override
    {
        fileName = QString::fromStdString(openPath);
        return true;
    }
    bool saveFile(QWidget*, const QString&, int&, QString& fileName) override
    {
        std::string proposed = fileName.toStdString();
        if (!options_.outputDir.empty())
            proposed = (std::filesystem::path(options_.outputDir) /
                        std::filesystem::path(proposed).filename())
                           .string();
        fileName = QString::fromStdString(proposed);
        if (result)
            result->files.push_back(proposed);
        return true;
    }
    void error(QWidget*, const QString& text) override { record("error", text); }
    void confirmation(QWidget*, const QString& text) override { record("confirmation", text); }
    bool yesNo(QWidget*, const QString& text) override
    {
        record("question", text);
        err_ << "  (answered " << (options_.answerYes ? "Yes" : "No") << ")\n";
        return options_.answerYes;
    }
    void conversionError(QWidget*, const QString& text) override { record("conversion error", text); }
    bool printerSetup(QWidget*, QPrinter*) override { return false; }
    int execWindow(QDialog* window) override
    {
        if (qobject_cast<TFormRemarks*>(window))
            return TFormRemarks::Continue;
        return QDialog::Accepted;
    }

private:
    void record(const char* kind, const QString& text)
    {
        const std::string t = text.toStdString();
        if (result)
            result->messages.push_back({kind, t});
        err_ << (result ? std::filesystem::path(result->input).filename().string() + ": " : "")
             << kind << ": " << t << "\n";
    }

    const BatchOptions& options_;
    std::ostream& err_;
};

void click(void (TFormMain::*handler)())
{
    (FormMain->*handler)();
    QCoreApplication::processEvents();
}

bool enabled(QPushButton* b) { return b->isEnabled(); }
bool offersAgain(QPushButton* b) { return b->isEnabled() && b->text() == "Calculation again"; }

void step(const BatchOptions& o, std::ostream& err, const std::string& sample, const char* what)
{
    if (o.progress && !o.quiet)
        err << "\r\033[K" << sample << ": " << what << std::flush;
}

struct StageControls {
    QPushButton* calc;
    QPushButton* evaluation;
    QPushButton* save;
    void (TFormMain::*calcClick)();
    void (TFormMain::*evaluationClick)();
    void (TFormMain::*saveClick)();
};

StageControls stageControls(int k)
{
    TFormMain* m = FormMain;
    switch (k) {
    case 0:
        return {m->ButtonCalcH1, m->ButtonEvaluation1, m->ButtonSaveH1, &TFormMain::ButtonCalcH1Click,
                &TFormMain::ButtonEvaluation1Click, &TFormMain::ButtonSaveH1Click};
    case 1:
        return {m->ButtonCalcH2, m->ButtonEvaluation2, m->ButtonSaveH2, &TFormMain::ButtonCalcH2Click,
                &TFormMain::ButtonEvaluation2Click, &TFormMain::ButtonSaveH2Click};
    default:
        return {m->ButtonCalcH3, m->ButtonEvaluation3, m->ButtonSaveH3, &TFormMain::ButtonCalcH3Click,
                &TFormMain::ButtonEvaluation3Click, &TFormMain::ButtonSaveH3Click};
    }
}

void setEvaluationType(const std::string& type)
{
    // As a user would type it into the evaluation-type window before pressing
    // "Evaluation" (each results save sets it back to "Type-B").
    C.evaluationType = type;
}

// Calculation, Evaluation and Save of one stage, following every "Calculation
// again" the program offers. The rounds are bounded: the recalculation chain
// ends by itself, the bound only guards against a loop.
bool runStage(int k, const BatchOptions& o, BatchResult& r, std::ostream& err, const std::string& sample)
{
    StageControls s = stageControls(k);
    BatchStage st;
    st.name = std::string(C.functionType == 1 ? "S" : "H") + char('1' + k);
    bool saved = false;
    for (int round = 0; round < 12 && enabled(s.calc); ++round) {
        step(o, err, sample, k == 0 ? "H1 calculation" : k == 1 ? "H2 calculation" : "H3 calculation");
        click(s.calcClick);
        st.calculated = st.calculated || enabled(s.evaluation);
        if (offersAgain(s.calc))
            continue;
        if (!enabled(s.evaluation))
            break;
        step(o, err, sample, "evaluation");
        setEvaluationType(o.evaluationType);
        click(s.evaluationClick);
        if (enabled(s.save)) {
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
            // The title line carries the evaluation type at the time of saving.
            setEvaluationType(o.evaluationType);
            click(s.saveClick);
            saved = !enabled(s.save);
            break;
        }
        if (!offersAgain(s.calc))
            break;
    }
    st.saved = saved;
    if (st.calculated || st.evaluated)
        r.stages.push_back(st);
    return saved;
}

std::string fileStatusText(const BatchResult& r) { return r.failure.empty() ? "done" : r.failure; }

void jsonString(std::ostream& out, const std::string& s)
{
    out << '"';
    for (unsigned char c : s) {
        switch (c) {
        case '"': out << "\\\""; break;
        case '\\': out << "\\\\"; break;
        case '\n': out << "\\n"; break;
        case '\r': out << "\\r"; break;
        case '\t': out << "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out << buf;
            } else {
                out << c;
            }
        }
    }
    out << '"';
}

void jsonNumber(std::ostream& out, double v)
{
    if (!std::isfinite(v)) {
        out << "null";
        return;
    }
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    out << buf;
}

bool parseNumber(const std::string& text, double& v) { return numfmt::parseDouble(text, v); }

} // namespace

std::string batchUsage()
{
    return "NAME\n"
           "    vorn-batch - densities and energy levels of dopants and traps from n(T) or p(T)\n"
           "\n"
           "SYNOPSIS\n"
           "    vorn-batch [OPTION]... FILE...\n"
           "\n"
           "DESCRIPTION\n"
           "    Runs the H-function spectroscopy on each experimental data file (*.nT, *.pT)\n"
           "    exactly as a user does it in VORN's Normal mode with the default answers:\n"
           "    spline and its file (*.spl), material parameters, Fermi level (*.fl), stages\n"
           "    H1, H2, H3 with \"Calculation\", \"Evaluation\" and \"Save Obtained Results\"\n"
           "    while the program offers the next stage (following every \"Calculation\n"
           "    again\"), the simulation (*.simH) and the obtained-results summary (*.datH).\n"
           "    The files are the ones the windows write for the same clicks, under the\n"
           "    names the save dialogs propose. Messages the windows show in boxes are\n"
           "    printed on standard error with their texts; a table of the results per\n"
           "    sample goes to standard output. A bad file never stops the other files.\n"
           "\n"
           "OPTIONS\n"
           "    --smoothness X        smoothness of the spline (default 5000)\n"
           "    --function H|S        H function (default) or S function\n"
           "    --evaluation-type T   Type-A, Type-B (default), Type-C or Type-D\n"
           "    --degeneracy g1,g2,g3 degeneracy factors of the three stages (default: 2 for\n"
           "                          n-type, 4 for p-type, as the program sets them)\n"
           "    --answer-yes          answer Yes to the recalculation question (default No)\n"
           "    --output-dir DIR      write the files to DIR instead of the input's folder\n"
           "    --json                print a machine-readable summary instead of the tables\n"
           "    --quiet               print no tables and no progress\n"
           "    --help                print this text and exit\n"
           "    --version             print the version and exit\n"
           "\n"
           "EXIT STATUS\n"
           "    0  every file was analysed to the simulation\n"
           "    1  an analysis step failed for at least one file (its message is printed)\n"
           "    2  usage error, or a file could not be read or written\n";
}

int parseBatchArguments(const std::vector<std::string>& args, BatchOptions& o,
                        std::vector<std::string>& files, bool& stop, std::string& error)
{
    stop = false;
    auto value = [&](std::size_t& i, const std::string& name, std::string& v) {
        const std::string& a = args[i];
        if (a.size() > name.size() && a.compare(0, name.size() + 1, name + "=") == 0) {
            v = a.substr(name.size() + 1);
            return true;
        }
        if (i + 1 >= args.size()) {
            error = "option " + name + " needs a value";
            return false;
        }
        v = args[++i];
        return true;
    };
    auto is = [&](const std::string& a, const std::string& name) {
        return a == name || a.compare(0, name.size() + 1, name + "=") == 0;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        if (a == "--help" || a == "-h") {
            stop = true;
            return 0;
        } else if (a == "--version") {
            stop = true;
            return 0;
        } else if (is(a, "--smoothness")) {
            if (!value(i, "--smoothness", v))
                return 2;
            if (!parseNumber(v, o.smoothness) || !(o.smoothness > 0)) {
                error = "--smoothness needs a positive number, not '" + v + "'";
                return 2;
            }
        } else if (is(a, "--function")) {
            if (!value(i, "--function", v))
                return 2;
            if (v == "H" || v == "h")
                o.functionType = 2;
            else if (v == "S" || v == "s")
                o.functionType = 1;
            else {
                error = "--function takes H or S, not '" + v + "'";
                return 2;
            }
        } else if (is(a, "--evaluation-type")) {
            if (!value(i, "--evaluation-type", v))
                return 2;
            if (v == "A" || v == "B" || v == "C" || v == "D")
                v = "Type-" + v;
            if (v != "Type-A" && v != "Type-B" && v != "Type-C" && v != "Type-D") {
                error = "--evaluation-type takes Type-A, Type-B, Type-C or Type-D, not '" + v + "'";
                return 2;
            }
            o.evaluationType = v;
        } else if (is(a, "--degeneracy")) {
            if (!value(i, "--degeneracy", v))
                return 2;
            o.degeneracy.clear();
            std::stringstream ss(v);
            std::string part;
            while (std::getline(ss, part, ',')) {
                double g = 0;
                if (!parseNumber(part, g) || !(g > 0)) {
                    error = "--degeneracy needs positive numbers g1,g2,g3, not '" + v + "'";
                    return 2;
                }
                o.degeneracy.push_back(g);
            }
            if (o.degeneracy.size() != 3) {
                error = "--degeneracy needs three factors g1,g2,g3";
                return 2;
            }
        } else if (a == "--answer-yes") {
            o.answerYes = true;
        } else if (is(a, "--output-dir")) {
            if (!value(i, "--output-dir", v))
                return 2;
            o.outputDir = v;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--quiet" || a == "-q") {
            o.quiet = true;
        } else if (a == "--") {
            for (++i; i < args.size(); ++i)
                files.push_back(args[i]);
        } else if (a.size() > 1 && a[0] == '-') {
            error = "unknown option " + a;
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (files.empty()) {
        error = "no data file given";
        return 2;
    }
    return 0;
}

BatchResult runBatchFile(const std::string& path, const BatchOptions& o, std::ostream& err)
{
    BatchResult r;
    r.input = path;
    // A file dialog hands the program an absolute path, and the headers of
    // the result files print it: the batch does the same.
    std::error_code absError;
    const std::string absolute = std::filesystem::absolute(path, absError).lexically_normal().string();
    const std::string sample = std::filesystem::path(path).filename().string();
    BatchModal m(o, err);
    m.result = &r;
    m.openPath = absError ? path : absolute;
    ModalInterface* previous = &modal();
    setModal(&m);
    struct Restore {
        ModalInterface* p;
        ~Restore() { setModal(p); }
    } restore{previous};

    if (!o.outputDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(o.outputDir, ec);
        if (ec) {
            r.status = 2;
            r.failure = "cannot create the output folder " + o.outputDir;
            err << sample << ": error: " << r.failure << "\n";
            return r;
        }
    }

    auto fail = [&](int status, const std::string& what) {
        r.status = status;
        r.failure = what;
        return r;
    };

    step(o, err, sample, "loading");
    click(&TFormMain::ButtonLoadExperimentalClick);
    if (!enabled(FormMain->ButtonCalcSpline))
        return fail(2, "the data file could not be read");
    r.semiconductor = C.semiconductor;
    r.conductionType = C.conductionType;
    r.dataCount = C.dataCount;

    if (o.functionType != C.functionType && FormFunctionType) {
        FormFunctionType->prepare();
        if (o.functionType == 1)
            FormFunctionType->RadioButtonFunction1Click();
        else
            FormFunctionType->RadioButtonFunction2Click();
    }
    if (o.degeneracy.size() == 3) {
        QLineEdit* g[3] = {FormMain->EditGH1, FormMain->EditGH2, FormMain->EditGH3};
        for (int k = 0; k < 3; ++k)
            g[k]->setText(QString::fromStdString(numfmt::general(o.degeneracy[k])));
    }

    step(o, err, sample, "spline");
    FormMain->EditSmoothness->setText(QString::fromStdString(numfmt::general(o.smoothness)));
    click(&TFormMain::ButtonCalcSplineClick);
    if (!enabled(FormMain->ButtonSaveSpline))
        return fail(1, "the spline could not be calculated");
    r.splineCount = C.splineCount;
    click(&TFormMain::ButtonSaveSplineClick);
    if (enabled(FormMain->ButtonSaveSpline) || !enabled(FormMain->ButtonCalcFermiLevel))
        return fail(2, "the data for analysis could not be saved");

    step(o, err, sample, "Fermi level");
    click(&TFormMain::ButtonCalcFermiLevelClick);
    if (!enabled(FormMain->ButtonSaveFermiLevel))
        return fail(1, "the Fermi level could not be calculated");
    click(&TFormMain::ButtonSaveFermiLevelClick);
    if (!enabled(FormMain->ButtonCalcH1))
        return fail(2, "the Fermi level could not be saved");

    for (int k = 0; k < 3; ++k) {
        StageControls s = stageControls(k);
        if (!enabled(s.calc))
            break;
        if (!runStage(k, o, r, err, sample)) {
            if (k == 0)
                return fail(1, "H1 could not be evaluated");
            break;
        }
    }

    if (!enabled(FormMain->ButtonSimulation))
        return fail(1, "nothing to simulate");
    step(o, err, sample, "simulation");
    click(&TFormMain::ButtonSimulationClick);
    if (!enabled(FormMain->ButtonSaveSimulation))
        return fail(1, "the simulation could not be carried out");
    r.simulated = true;
    click(&TFormMain::ButtonSaveSimulationClick);
    if (enabled(FormMain->ButtonSaveSimulation))
        return fail(2, "the simulation could not be saved");

    click(&TFormMain::ButtonSaveResultsClick);
    if (FormObtainedResults) {
        FormObtainedResults->ToolButtonSaveClick();
        FormObtainedResults->hide();
        if (!FormObtainedResults->isTextSaved())
            return fail(2, "the obtained results could not be saved");
    }
    r.compensatingDensity = C.compensatingDensity;
    step(o, err, sample, "done");
    if (o.progress && !o.quiet)
        err << "\r\033[K" << std::flush;
    return r;
}

std::string formatBatchTable(const BatchResult& r)
{
    using numfmt::pattern;
    std::ostringstream out;
    out << r.input << "\n";
    if (r.dataCount > 0)
        out << "  " << (r.semiconductor.empty() ? "(no material)" : r.semiconductor) << ", "
            << r.conductionType << ", " << r.dataCount << " points, " << r.splineCount
            << " grid points\n";
    if (!r.stages.empty()) {
        char line[200];
        std::snprintf(line, sizeof line, "  %-5s %-10s %-10s %-10s %-10s %-8s %-10s\n", "stage",
                      "E_ref[eV]", "T_peak[K]", "peak", "N[cm^-3]", "E[eV]", "N_com[cm^-3]");
        out << line;
        for (const BatchStage& s : r.stages) {
            std::snprintf(line, sizeof line, "  %-5s %-10s %-10s %-10s %-10s %-8s %-10s\n",
                          s.name.c_str(), pattern(s.referenceEnergy, "0.######").c_str(),
                          numfmt::general(s.peakTemperature).c_str(),
                          pattern(s.peakValue, "0.00E+00").c_str(),
                          s.evaluated ? pattern(s.density, "0.00E+00").c_str() : "-",
                          s.evaluated ? pattern(s.energyLevel, "0.####").c_str() : "-",
                          s.evaluated ? pattern(s.compensatingDensity, "0.00E+00").c_str() : "-");
            out << line;
        }
        out << "  compensating density in use: " << pattern(r.compensatingDensity, "0.00E+00")
            << " cm^-3\n";
    }
    out << "  result: " << fileStatusText(r) << "\n";
    for (const std::string& f : r.files)
        out << "  wrote " << f << "\n";
    return out.str();
}

std::string formatBatchJson(const std::vector<BatchResult>& results)
{
    std::ostringstream out;
    out << "[\n";
    for (std::size_t n = 0; n < results.size(); ++n) {
        const BatchResult& r = results[n];
        out << "  {\"input\": ";
        jsonString(out, r.input);
        out << ", \"status\": " << r.status << ", \"failure\": ";
        jsonString(out, r.failure);
        out << ",\n   \"semiconductor\": ";
        jsonString(out, r.semiconductor);
        out << ", \"conductionType\": ";
        jsonString(out, r.conductionType);
        out << ", \"dataCount\": " << r.dataCount << ", \"gridPoints\": " << r.splineCount
            << ",\n   \"stages\": [";
        for (std::size_t i = 0; i < r.stages.size(); ++i) {
            const BatchStage& s = r.stages[i];
            out << (i ? ",\n     " : "\n     ") << "{\"stage\": ";
            jsonString(out, s.name);
            out << ", \"evaluated\": " << (s.evaluated ? "true" : "false")
                << ", \"saved\": " << (s.saved ? "true" : "false") << ", \"referenceEnergy\": ";
            jsonNumber(out, s.referenceEnergy);
            out << ", \"peakTemperature\": ";
            jsonNumber(out, s.peakTemperature);
            out << ", \"peakValue\": ";
            jsonNumber(out, s.peakValue);
            out << ", \"density\": ";
            jsonNumber(out, s.density);
            out << ", \"energyLevel\": ";
            jsonNumber(out, s.energyLevel);
            out << ", \"compensatingDensity\": ";
            jsonNumber(out, s.compensatingDensity);
            out << "}";
        }
        out << "],\n   \"compensatingDensity\": ";
        jsonNumber(out, r.compensatingDensity);
        out << ", \"simulated\": " << (r.simulated ? "true" : "false") << ",\n   \"messages\": [";
        for (std::size_t i = 0; i < r.messages.size(); ++i) {
            out << (i ? ", " : "") << "{\"kind\": ";
            jsonString(out, r.messages[i].kind);
            out << ", \"text\": ";
            jsonString(out, r.messages[i].text);
            out << "}";
        }
        out << "],\n   \"files\": [";
        for (std::size_t i = 0; i < r.files.size(); ++i) {
            out << (i ? ", " : "");
            jsonString(out, r.files[i]);
        }
        out << "]}" << (n + 1 < results.size() ? "," : "") << "\n";
    }
    out << "]\n";
    return out.str();
}

int runBatch(const std::vector<std::string>& files, const BatchOptions& o, std::ostream& out,
             std::ostream& err)
{
    std::vector<BatchResult> results;
    int status = 0;
    for (const std::string& f : files) {
        BatchResult r = runBatchFile(f, o, err);
        // Only files that exist count as written (a failed save leaves none).
        std::vector<std::string> written;
        for (const std::string& w : r.files)
            if (std::filesystem::exists(w))
                written.push_back(w);
        r.files = written;
        status = std::max(status, r.status);
        if (!o.json && !o.quiet)
            out << formatBatchTable(r) << "\n" << std::flush;
        results.push_back(std::move(r));
    }
    if (o.json)
        out << formatBatchJson(results);
    return status;
}

namespace {
// The toolkit's own chatter (offscreen platform notes and the like) is not
// the program's output; only its critical messages reach standard error.
void quietToolkit(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << "vorn-batch: " << message.toStdString() << "\n";
}
} // namespace

int batchMain(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    BatchOptions o;
    std::vector<std::string> files;
    bool stop = false;
    std::string error;
    int rc = parseBatchArguments(args, o, files, stop, error);
    if (stop) {
        bool version = false;
        for (const std::string& a : args)
            version = version || a == "--version";
        std::cout << (version ? std::string("vorn-batch (VORN) " VORN_VERSION_TEXT "\n") : batchUsage());
        return 0;
    }
    if (rc != 0) {
        std::cerr << "vorn-batch: " << error << "\nTry 'vorn-batch --help' for more information.\n";
        return rc;
    }
    o.progress = ::isatty(2) != 0;
    // The windows are created but never shown: no display is needed.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(quietToolkit);
    QApplication app(argc, argv);
    QApplication::setApplicationName("VORN");
    createForms(1);
    rc = runBatch(files, o, std::cout, std::cerr);
    destroyForms();
    return rc;
}
