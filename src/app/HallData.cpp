// Main window: bringing experimental data in (load, keyboard entry,
// conversion, change) and drawing the measured points.
#include "analysis/base/Reliability.h"
#include "analysis/data/Analysis.h"
#include "app/Hall.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Modal.h"
#include "toolkit/WindowRegistry.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

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
        if (!(C.reliability[i] >= reliability::kPlotted))
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
}

void TFormMain::loadExperimental()
{
    // The sample in use stays, with its pages, until a new file has been
    // read: a cancelled dialog or a file that fails to load loses nothing.
    if (!confirmReplaceAnalysis())
        return;
    QString name;
    int filterIndex = OpenFilterIndex::Experimental;
    if (!modal().openFile(this, MainOpenFilter, filterIndex, name))
        return;
    loadExperimentalFile(QDir::cleanPath(QFileInfo(name).absoluteFilePath()));
}

void TFormMain::loadExperimentalFile(const QString& name)
{
    Analysis next = C;
    next.resetFrom(PipelineStage::ExperimentalData);
    const FileOutcome out = next.loadExperimentalData(name.toStdString());
    if (!out.ok) {
        C.lastError = next.lastError;
        modal().error(this, QString::fromStdString(out.error));
        return;
    }
    C = std::move(next);
    resetPagesFrom(out.resetFrom);
    openDialogFileName = name;
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
    // The sample in use stays, with its pages, unless the keyboard entry or
    // the converter wrote a new data file: they leave the analysis object
    // holding the general reset and the new data.
    dataSheetSaved = conversionSaved = false;
    windows().exec(WindowId::HowToInput);
    if (!dataSheetSaved && !conversionSaved)
        return;
    dataSheetSaved = false;
    conversionSaved = false;
    resetPagesFrom(enteredDataReset);
    plotExperimentalData(true);
    ButtonCalcSpline->setEnabled(true);
    ButtonChangeData->setEnabled(true);
    MenuLoadSpline->setEnabled(false);
    MenuLoadFermiLevel->setEnabled(false);
    newDataFollowUp();
}

void TFormMain::ButtonChangeDataClick()
{
    if (!windows().has(WindowId::DataSheet))
        return;
    // The sheet asks through the registry before its save replaces results.
    windows().prepareAndExec(WindowId::DataSheet);
    showSampleIdentity();
    if (!dataSheetSaved)
        return;
    plotExperimentalData(false);
    ButtonCalcSpline->setEnabled(true);
    dataSheetSaved = false;
    MenuLoadSpline->setEnabled(false);
    MenuLoadFermiLevel->setEnabled(false);
    resetPagesFrom(enteredDataReset);
    followUpAfterIdentity();
}
