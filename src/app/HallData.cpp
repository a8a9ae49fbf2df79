// Main window: bringing experimental data in (load, keyboard entry,
// conversion, change) and drawing the measured points.
#include "Analysis.h"
#include "app/ChartPlot.h"
#include "app/Forms.h"
#include "app/Hall.h"
#include "app/Modal.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#if __has_include("input/Howtoinputdata.h")
#include "input/Howtoinputdata.h"
#define VORN_HAVE_HOW_TO_INPUT 1
#endif
#if __has_include("input/Datasheet.h")
#include "input/Datasheet.h"
#define VORN_HAVE_DATA_SHEET 1
#endif

namespace {
// Points below this reliability stay in the data but are not drawn.
constexpr double kPlotReliability = 0.9;
} // namespace

void TFormMain::plotExperimentalData(bool presentType)
{
    if (presentType)
        applyConductionType();
    for (ChartPlot* c : {ChartExperimentalLinear, ChartExperimentalLog, ChartSimulationReverseT,
                         ChartSimulationT}) {
        c->clearSeries(0);
        c->clearSeries(1);
    }
    QVector<QPointF> points, inverse;
    const int n = std::min<int>(C.dataCount, int(std::min({C.temperature.size(), C.concentration.size(),
                                                              C.reliability.size()})));
    for (int i = 0; i < n; ++i) {
        if (!(C.reliability[i] >= kPlotReliability))
            continue;
        const double t = C.temperature[i];
        const double c = C.concentration[i];
        points.push_back(QPointF(t, c));
        // A temperature of 0 K has no 1000/T; it is left off that chart only.
        if (t != 0)
            inverse.push_back(QPointF(1000.0 / t, c));
    }
    ChartExperimentalLinear->setData(0, points);
    ChartExperimentalLog->setData(0, points);
    ChartSimulationT->setData(0, points);
    ChartSimulationReverseT->setData(0, inverse);
}

void TFormMain::showSampleIdentity()
{
    const QString file = QString::fromStdString(C.experimentalDataFileName);
    LabelFilenameExperimentalData->setText(file);
    PanelFilenameExperimentalData->setText(file);
    PanelSampleNumber->setText(QString::fromStdString(C.sampleNumber));
}

void TFormMain::newDataFollowUp()
{
    showSampleIdentity();
    followUpAfterIdentity();
}

void TFormMain::followUpAfterIdentity()
{
    refreshSampleCondition();
    refreshObtainedResults();
    closeOtherAnalyses();

    C.resetSpline();
    C.resetFermiLevel();
    C.resetSpectroscopy();
    C.resetStage1();
    C.resetStage2();
    C.resetStage3();
    C.resetSimulation();
    resetSplineDisplay();
    resetFermiPage();
    resetStage1Page();
    resetStage2Page();
    resetStage3Page();
    resetSimulationPage();
    C.compensatingDensity = 0;
    resetStageCaptions();
}

void TFormMain::loadExperimental()
{
    resetWindow();
    QString name;
    int filterIndex = OpenFilterIndex::Experimental;
    openDialogFileName.clear();
    if (!modal().openFile(this, MainOpenFilter, filterIndex, name))
        return;
    openDialogFileName = name;
    C.experimentalDataFileName = name.toStdString();
    if (!C.readExperimentalData()) {
        modal().error(this, QString::fromStdString(C.lastError));
        return;
    }
    plotExperimentalData(true);
    ButtonChangeData->setEnabled(true);
    ButtonCalcSpline->setEnabled(true);
    MenuLoadSpline->setEnabled(true);
    MenuLoadFermiLevel->setEnabled(false);
    newDataFollowUp();
}

void TFormMain::ButtonLoadExperimentalClick() { loadExperimental(); }

void TFormMain::LoadExperimentalClick() { loadExperimental(); }

void TFormMain::ButtonInputDataClick()
{
    resetWindow();
#ifdef VORN_HAVE_HOW_TO_INPUT
    if (FormHowToInput)
        modal().execWindow(FormHowToInput);
#endif
    if (dataSheetSaved || conversionSaved) {
        plotExperimentalData(true);
        ButtonCalcSpline->setEnabled(true);
        dataSheetSaved = false;
        conversionSaved = false;
    }
    ButtonChangeData->setEnabled(true);
    MenuLoadSpline->setEnabled(false);
    MenuLoadFermiLevel->setEnabled(false);
    newDataFollowUp();
}

void TFormMain::ButtonChangeDataClick()
{
#ifdef VORN_HAVE_DATA_SHEET
    if (!FormDataSheet)
        return;
    FormDataSheet->prepare();
    modal().execWindow(FormDataSheet);
    showSampleIdentity();
    if (!dataSheetSaved)
        return;
    plotExperimentalData(false);
    ButtonCalcSpline->setEnabled(true);
    dataSheetSaved = false;
    MenuLoadSpline->setEnabled(false);
    MenuLoadFermiLevel->setEnabled(false);
    followUpAfterIdentity();
#endif
}
