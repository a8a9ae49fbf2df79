// Main window: the result files of the three stages, the Simulation page
// (simulation, its *.simH / *.simS file), the obtained-results summary and
// the remarks on a level shallower than kT at the lowest temperature.
//
// The handlers only move values between the controls and the analysis
// object and draw; the file contents, proposals and decisions live in the
// analysis object.
#include "Analysis.h"
#include "NumberFormat.h"
#include "app/ChartPlot.h"
#include "app/Forms.h"
#include "app/Hall.h"
#include "app/Modal.h"
#include "spectroscopy/Obtainedresults.h"
#include "spectroscopy/Remarks.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>

namespace {

QString lastError() { return QString::fromStdString(C.lastError); }

QString formatted(double value, const char* pattern)
{
    return QString::fromStdString(numfmt::pattern(value, pattern));
}

const char* const kNegativeCompensationNote =
    "  The simulation result might not be in good agreement with the experimental data at lower "
    "temperatures, because the negative compensating dansity is used. \n  The negative "
    "compensating density means that an undeterminable shallower level may exist.";

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

// Asks for the path of a stage file and writes it. False when the user
// cancelled or the file could not be written (the error has been shown).
bool saveStageFileAs(TFormMain& m, int s, Analysis::StageFile kind, QString& path)
{
    const Analysis::SaveProposal proposal = C.stageSaveProposal(s, kind);
    path = QString::fromStdString(proposal.fileName);
    int filterIndex = proposal.filterIndex;
    m.saveDialogFileName = path;
    if (!modal().saveFile(&m, MainSaveFilter, filterIndex, path))
        return false;
    m.saveDialogFileName = path;
    if (!C.saveStageFile(s, kind, path.toStdString())) {
        modal().error(&m, lastError());
        return false;
    }
    return true;
}

// The species found up to stage s go to the Simulation page.
void handOverSpecies(TFormMain& m, const Analysis::StageSaveFollowUp& f)
{
    QCheckBox* boxes[] = {m.CheckBox1, m.CheckBox2, m.CheckBox3};
    QLineEdit* densities[] = {m.EditSDensity1, m.EditSDensity2, m.EditSDensity3};
    QLineEdit* energies[] = {m.EditSEnergy1, m.EditSEnergy2, m.EditSEnergy3};
    QLineEdit* gs[] = {m.EditSG1, m.EditSG2, m.EditSG3};
    const int species = std::clamp(f.simulationSpecies, 0, 3);
    for (int j = 0; j < species; ++j) {
        boxes[j]->setChecked(true);
        densities[j]->setText(formatted(C.density[j], "0.00E+00"));
        energies[j]->setText(formatted(C.energyLevel[j], "0.####"));
        gs[j]->setText(formatted(C.degeneracyFactor[j], "0.##"));
    }
    m.EditSCDensity->setText(formatted(f.pageCompensatingDensity, "0.00E+00"));
    if (f.tickCompensation)
        m.CheckBox4->setChecked(true);
}

void saveStageResults(TFormMain& m, int s)
{
    QString path;
    if (!saveStageFileAs(m, s, Analysis::StageFile::Results, path))
        return;
    const StageSaveControls c = stageSaveControls(m, s);
    c.fileName->setText(path);
    c.save->setEnabled(false);
    c.saveFigure->setEnabled(true);

    const Analysis::StageSaveFollowUp f = C.stageSaveFollowUp(s);
    if (c.nextCalculation) {
        if (f.enableNextStage)
            c.nextCalculation->setEnabled(true);
        else if (f.evaluationCompleted)
            modal().confirmation(&m, "Evaluation has been completed!");
    }
    handOverSpecies(m, f);
    m.ButtonSimulation->setEnabled(true);
    m.refreshSampleCondition();
    m.refreshObtainedResults();
}

void saveStageExperimental(TFormMain& m, int s)
{
    QString path;
    if (!saveStageFileAs(m, s, Analysis::StageFile::Experimental, path))
        return;
    stageSaveControls(m, s).saveExperimental->setEnabled(false);
}

// Series 1 of a simulation chart: the simulated concentration at every grid
// point that lies strictly inside the range of the chart's measured points
// (series 0), so the line never runs far outside the data on a log axis.
void drawSimulatedLine(ChartPlot* chart, bool inverseTemperature)
{
    chart->clearSeries(1);
    const QVector<QPointF>& measured = chart->data(0);
    if (measured.isEmpty())
        return;
    double smallest = measured.front().y(), largest = smallest;
    for (const QPointF& p : measured) {
        smallest = std::min(smallest, p.y());
        largest = std::max(largest, p.y());
    }
    QVector<QPointF> line;
    for (int j : Analysis::indicesStrictlyBetween(C.simulatedConcentration, smallest, largest)) {
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

    C.simulationInclude[0] = CheckBox1->isChecked() ? 1 : 0;
    C.simulationInclude[1] = CheckBox2->isChecked() ? 1 : 0;
    C.simulationInclude[2] = CheckBox3->isChecked() ? 1 : 0;
    C.simulationInclude[3] = 0;
    C.simulationInclude[4] = CheckBox4->isChecked() ? 1 : 0;

    // Read in page order; each value is stored as soon as it is read, so a
    // text that is not a number stops with the earlier ones already taken.
    struct Input {
        QLineEdit* edit;
        double* target;
    };
    const Input inputs[] = {
        {EditSDensity1, &C.simulationDensity[0]}, {EditSEnergy1, &C.simulationEnergyLevel[0]},
        {EditSG1, &C.degeneracyFactor[0]},        {EditSDensity2, &C.simulationDensity[1]},
        {EditSEnergy2, &C.simulationEnergyLevel[1]}, {EditSG2, &C.degeneracyFactor[1]},
        {EditSDensity3, &C.simulationDensity[2]}, {EditSEnergy3, &C.simulationEnergyLevel[2]},
        {EditSG3, &C.degeneracyFactor[2]},        {EditSCDensity, &C.simulationCompensatingDensity},
    };
    for (const Input& in : inputs) {
        double value = 0;
        if (!textToDouble(in.edit->text(), value)) {
            // The conversion box comes with the normal cursor and the button
            // usable again, so the user can correct the text and retry.
            busy.done();
            ButtonSimulation->setEnabled(true);
            editToDouble(in.edit, value);
            return;
        }
        *in.target = value;
    }

    C.simulateConcentration();
    drawSimulatedLine(ChartSimulationReverseT, true);
    drawSimulatedLine(ChartSimulationT, false);

    // The normal cursor before the box: the user has to read and confirm it.
    busy.done();
    if (C.compensatingDensity < 0)
        modal().confirmation(this, kNegativeCompensationNote);

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

// ---- obtained results and remarks ----------------------------------------------------

void TFormMain::ButtonSaveResultsClick()
{
    if (!FormObtainedResults)
        return;
    FormObtainedResults->show();
    FormObtainedResults->raise();
    FormObtainedResults->clearText();
    FormObtainedResults->prepare();
}

void TFormMain::ButtonSeeResultsClick()
{
    const int r = lastEvaluatedStage;
    if (!FormRemarks || r < 0 || r > 2)
        return;
    FormRemarks->fill(r);
    if (modal().execWindow(FormRemarks) != TFormRemarks::EvaluationAgain)
        return;
    // H1 has no stage before it whose compensating density could be used.
    if (r < 1 || !C.applyEvaluationAgain(r))
        return;

    if (r == 1) {
        ButtonCalcH2->setEnabled(true);
        ButtonCalcH2->setText("Calculation again");
        ButtonSaveH2->setEnabled(false);
        ChartH2->clearSeries(0);
        LabelEref2->setText("0");
        C.resetStage3();
        C.resetSimulation();
        resetStage2Results();
        resetStage3Page();
        resetSimulationPage();
        PageControl1->setCurrentWidget(TabSheet4);
    } else {
        ButtonCalcH3->setEnabled(true);
        ButtonCalcH3->setText("Calculation again");
        ButtonSaveH3->setEnabled(false);
        ChartH3->clearSeries(0);
        LabelEref3->setText("0");
        resetStage3Results();
        C.resetSimulation();
        resetSimulationPage();
        PageControl1->setCurrentWidget(TabSheet5);
    }
}
