// Main window: the result files of the three stages, the Simulation page
// (simulation, its *.simH / *.simS file), the obtained-results summary and
// the remarks on a level shallower than kT at the lowest temperature.
//
// The handlers only move values between the controls and the analysis
// object and draw; the file contents, proposals and decisions live in the
// analysis object.
#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"
#include "analysis/workflow/Report.h"
#include "analysis/workflow/Warnings.h"
#include "app/Hall.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Modal.h"
#include "toolkit/WindowRegistry.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>
#include <filesystem>

namespace {

QString lastError() { return QString::fromStdString(C.lastError); }

// The controls of one stage that its saves touch.
struct StageSaveControls {
    QPushButton* save;
    QPushButton* saveExperimental;
    QLabel* fileName;
    QPushButton* saveFigure;
    QPushButton* nextCalculation; // null for stage 3
};

StageSaveControls stageSaveControls(TFormMain& m, int s)
{
    switch (s) {
    case 0:
        return {m.ButtonSaveH1, m.ButtonSaveExperimentalH1Data, m.LabelFilenameH1,
                m.ButtonSaveFigureH1, m.ButtonCalcH2};
    case 1:
        return {m.ButtonSaveH2, m.ButtonSaveExperimentalH2Data, m.LabelFilenameH2,
                m.ButtonSaveFigureH2, m.ButtonCalcH3};
    default:
        return {m.ButtonSaveH3, m.ButtonSaveExperimentalH3Data, m.LabelFilenameH3,
                m.ButtonSaveFigureH3, nullptr};
    }
}

// Asks for the path of a stage file; false when the user cancelled.
bool askStageFileName(TFormMain& m, int s, Analysis::StageFile kind, QString& path)
{
    const Analysis::SaveProposal proposal = C.stageSaveProposal(s, kind);
    path = QString::fromStdString(proposal.fileName);
    int filterIndex = proposal.filterIndex;
    m.saveDialogFileName = path;
    if (!modal().saveFile(&m, MainSaveFilter, filterIndex, path))
        return false;
    m.saveDialogFileName = path;
    return true;
}

void saveStageResults(TFormMain& m, int s)
{
    QString path;
    if (!askStageFileName(m, s, Analysis::StageFile::Results, path))
        return;
    const StageSaveOutcome out = C.saveStageResults(s, path.toStdString());
    if (!out.ok) {
        modal().error(&m, QString::fromStdString(out.error));
        return;
    }
    const StageSaveControls c = stageSaveControls(m, s);
    c.fileName->setText(path);
    c.save->setEnabled(false);
    c.saveFigure->setEnabled(true);
    if (c.nextCalculation && out.enableNextStage)
        c.nextCalculation->setEnabled(true);
    else if (out.evaluationCompleted)
        modal().confirmation(&m, "Evaluation has been completed!");
    m.renderSimulationInputs();
    m.ButtonSimulation->setEnabled(true);
    m.refreshSampleCondition();
    m.refreshObtainedResults();
}

void saveStageExperimental(TFormMain& m, int s)
{
    QString path;
    if (!askStageFileName(m, s, Analysis::StageFile::Experimental, path))
        return;
    if (!C.saveStageFile(s, Analysis::StageFile::Experimental, path.toStdString())) {
        modal().error(&m, lastError());
        return;
    }
    stageSaveControls(m, s).saveExperimental->setEnabled(false);
}

// Series 1 of a simulation chart: the simulated concentration at every grid
// point that lies strictly inside the range of the chart's measured points
// (series 0), so the line never runs far outside the data on a log axis.
void drawSimulatedLine(ChartPlot* chart, bool inverseTemperature)
{
    chart->clearSeries(1);
    DoubleArray measured;
    for (const QPointF& p : chart->data(0))
        measured.push_back(p.y());
    QVector<QPointF> line;
    for (int j : Analysis::indicesInsideRangeOf(C.simulatedConcentration, measured)) {
        if (j >= static_cast<int>(C.splineTemperature.size()))
            break;
        const double T = C.splineTemperature[j];
        if (inverseTemperature && T == 0)
            continue;
        line.push_back(QPointF(inverseTemperature ? 1000.0 / T : T, C.simulatedConcentration[j]));
    }
    chart->setData(1, line);
}

} // namespace

// ---- stage result files ------------------------------------------------------------

void TFormMain::ButtonSaveH1Click() { saveStageResults(*this, 0); }
void TFormMain::ButtonSaveH2Click() { saveStageResults(*this, 1); }
void TFormMain::ButtonSaveH3Click() { saveStageResults(*this, 2); }
void TFormMain::ButtonSaveExperimentalH1DataClick() { saveStageExperimental(*this, 0); }
void TFormMain::ButtonSaveExperimentalH2DataClick() { saveStageExperimental(*this, 1); }
void TFormMain::ButtonSaveExperimentalH3DataClick() { saveStageExperimental(*this, 2); }

// ---- simulation ----------------------------------------------------------------------

void TFormMain::ButtonSimulationClick()
{
    // Wait cursor and progress window until the charts are drawn.
    BusyGuard busy;
    ButtonSimulation->setEnabled(false);
    const SimulationOutcome out = C.runSimulation();
    if (!out.simulated) {
        // The conversion box comes with the normal cursor and the button
        // usable again, so the user can correct the text and retry.
        busy.done();
        ButtonSimulation->setEnabled(true);
        modal().conversionError(this, QString::fromStdString(numfmt::notValidFloat(out.failedText)));
        return;
    }
    drawSimulatedLine(ChartSimulationReverseT, true);
    drawSimulatedLine(ChartSimulationT, false);
    LabelSimulationDeviation->setText(QString::fromStdString(out.deviationText));
    LabelSimulationDeviation->setStyleSheet(out.largestDeviation > 0.2 ? "color: #c00000; font-weight: bold;"
                                                                      : QString());

    // The normal cursor before the box: the user has to read and confirm it.
    busy.done();
    showMessages(this, out.messages);
    // A simulation that misses the points: the model the data support is
    // one click away.
    if (out.largestDeviation > 0.2 && ButtonBestModel->isEnabled() &&
        modal().yesNo(this, "Open \"Best Model\" to find the species these data support?"))
        MenuBestModelClick();

    ButtonSimulation->setEnabled(true);
    ButtonSaveSimulation->setEnabled(true);
    ButtonSaveFigureSimulation1->setEnabled(false);
    ButtonSaveFigureSimulation2->setEnabled(false);
    // The curve fitting starts from the saved simulation; it waits for the
    // new one to be saved.
    closeCurveFittingWindow();
    MenuCurveFitting->setEnabled(false);
    ButtonFineAdjustment->setEnabled(false);
}

void TFormMain::ButtonSaveSimulationClick()
{
    const Analysis::SaveProposal proposal = C.simulationSaveProposal();
    QString path = QString::fromStdString(proposal.fileName);
    int filterIndex = proposal.filterIndex;
    saveDialogFileName = path;
    if (!modal().saveFile(this, MainSaveFilter, filterIndex, path))
        return;
    saveDialogFileName = path;
    if (!C.saveSimulation(path.toStdString())) {
        modal().error(this, lastError());
        return;
    }
    LabelFilenameSimulation->setText(path);
    ButtonSaveSimulation->setEnabled(false);
    ButtonSaveFigureSimulation1->setEnabled(true);
    ButtonSaveFigureSimulation2->setEnabled(true);
    MenuCurveFitting->setEnabled(true);
    ButtonFineAdjustment->setEnabled(true);
}

// ---- report ------------------------------------------------------------------------

void TFormMain::ExportReportClick()
{
    if (C.dataCount <= 0) {
        modal().error(this, "There are no experimental data to report: load a data file first.");
        return;
    }
    QString path = QString::fromStdString(report::fileName(C));
    int filterIndex = 1;
    if (!modal().saveFile(this, "HTML report (*.html)|*.html", filterIndex, path))
        return;
    // The warnings the analysis raises, as the batch program reports them.
    report::Content content;
    content.warnings = analysisWarnings(C);
    const std::string target = Analysis::withDefaultExtension(path.toStdString(), "html");
    std::error_code ec;
    if (std::filesystem::equivalent(target, C.experimentalDataFileName, ec)) {
        modal().error(this, QString::fromStdString(target + " is the data file; the report does not overwrite it."));
        return;
    }
    std::string error;
    if (!report::write(target, report::html(C, content), error))
        modal().error(this, QString::fromStdString(error));
}

// ---- obtained results and remarks ----------------------------------------------------

void TFormMain::ButtonSaveResultsClick()
{
    if (ManagedWindow* w = windows().find(WindowId::ObtainedResults)) {
        w->widget()->show();
        w->widget()->raise();
        w->prepare();
    }
}

void TFormMain::ButtonSeeResultsClick()
{
    const int r = C.lastEvaluatedStage;
    if (r < 0 || r > 2 || !windows().has(WindowId::Remarks))
        return;
    if (windows().prepareAndExec(WindowId::Remarks, r) != WindowResult::EvaluationAgain)
        return;
    const RecalculationOutcome again = C.evaluateAgainFromSimulationPage(r);
    if (!again.applied)
        return;

    if (r == 1) {
        ButtonCalcH2->setEnabled(true);
        ButtonCalcH2->setText("Calculation again");
        ButtonSaveH2->setEnabled(false);
        ChartH2->clearSeries(0);
        LabelEref2->setText("0");
        resetStage2Results();
        resetPagesFrom(again.resetFrom);
        PageControl1->setCurrentWidget(TabSheet4);
    } else {
        ButtonCalcH3->setEnabled(true);
        ButtonCalcH3->setText("Calculation again");
        ButtonSaveH3->setEnabled(false);
        ChartH3->clearSeries(0);
        LabelEref3->setText("0");
        resetStage3Results();
        resetPagesFrom(again.resetFrom);
        PageControl1->setCurrentWidget(TabSheet5);
    }
    renderSimulationInputs();
}
