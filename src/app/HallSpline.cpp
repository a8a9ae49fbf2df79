// Main window: the data for analysis. "Calculation" fits the smoothing spline
// to the measured points, "Save (*.spl)" writes it and opens the Fermi stage,
// and in Advanced mode a *.spl file can be loaded instead.
#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"
#include "toolkit/ChartPlot.h"
#include "app/Hall.h"
#include "toolkit/Modal.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <algorithm>

namespace {

QString proposedSplineName()
{
    return QString::fromStdString(C.splineFileProposal());
}

} // namespace

void TFormMain::drawSplineSeries()
{
    const int n = std::min<int>(C.splineCount, int(std::min(C.splineTemperature.size(),
                                                             C.splineConcentration.size())));
    QVector<QPointF> points;
    points.reserve(std::max(n, 0));
    for (int k = 0; k < n; ++k)
        points.push_back(QPointF(C.splineTemperature[k], C.splineConcentration[k]));
    ChartExperimentalLinear->setData(1, points);
    ChartExperimentalLog->setData(1, points);
}

void TFormMain::ButtonCalcSplineClick()
{
    double smoothness = 0;
    if (!editToDouble(EditSmoothness, smoothness))
        return;
    const SplineOutcome out = C.calculateDataForAnalysis(smoothness);
    resetPagesFrom(out.resetFrom);
    const bool computed = out.computed;
    if (computed) {
        drawSplineSeries();
        showSplineDeviation(out);
    }
    ButtonSaveSpline->setEnabled(computed);

    ButtonSaveFigureCon1->setEnabled(false);
    ButtonSaveFigureCon2->setEnabled(false);
    MenuLoadFermiLevel->setEnabled(false);
    closeOtherAnalyses();

    if (!computed)
        modal().error(this, QString::fromStdString(out.error));
}

void TFormMain::ButtonAutoSmoothnessClick()
{
    const SmoothnessOutcome out = C.automaticSmoothness();
    if (!(out.value > 0)) {
        modal().error(this, QString::fromStdString(out.error));
        return;
    }
    EditSmoothness->setText(QString::fromStdString(numfmt::general(out.value)));
    // A score still falling at the end of the range is no choice: say so
    // where the user looks, not only in the tooltip.
    const std::string text = out.note.empty()
                                 ? "Smoothness chosen by generalized cross-validation."
                                 : "Cross-validation found no minimum inside 0.001 .. 1E9; " +
                                       numfmt::general(out.value) + " is the end of the range, not a choice. " +
                                       out.note;
    EditSmoothness->setToolTip(QString::fromStdString(text));
    statusBar()->showMessage(QString::fromStdString(text));
}

void TFormMain::ButtonSaveSplineClick()
{
    QString name = proposedSplineName();
    int filterIndex = SaveFilterIndex::Spline;
    saveDialogFileName = name;
    if (!modal().saveFile(this, MainSaveFilter, filterIndex, name))
        return;
    saveDialogFileName = name;

    const DataForAnalysisOutcome out = C.saveDataForAnalysis(name.toStdString());
    if (!out.ok) {
        // Not saved: the Fermi stage stays closed.
        modal().error(this, QString::fromStdString(out.error));
        return;
    }

    LabelFilenameSpline->setText(name);
    ButtonSaveSpline->setEnabled(false);
    ButtonInputChangeInformation->setEnabled(true);
    ButtonCalcFermiLevel->setEnabled(true);
    ButtonSaveFigureCon1->setEnabled(true);
    ButtonSaveFigureCon2->setEnabled(true);
    showMaterial();
    MenuLoadFermiLevel->setEnabled(false);
    ButtonSimulation->setEnabled(true);
    refreshSampleCondition();
    refreshObtainedResults();
    closeCurveFittingWindow();
    MenuCurveFitting->setEnabled(false);
    ButtonFineAdjustment->setEnabled(false);
}

void TFormMain::LoadSplineClick()
{
    // The question comes first so that a cancelled dialog changes nothing.
    QString name = proposedSplineName();
    int filterIndex = OpenFilterIndex::Spline;
    if (!modal().openFile(this, MainOpenFilter, filterIndex, name))
        return;
    openDialogFileName = name;

    const DataForAnalysisOutcome out = C.loadDataForAnalysis(name.toStdString());
    resetPagesFrom(out.resetFrom);
    // The calculated spline that this button would save is gone.
    ButtonSaveSpline->setEnabled(false);
    if (!out.ok) {
        // Nothing after the data for analysis can run on an empty grid.
        MenuLoadFermiLevel->setEnabled(false);
        ButtonSimulation->setEnabled(false);
        closeOtherAnalyses();
        refreshSampleCondition();
        refreshObtainedResults();
        modal().error(this, QString::fromStdString(out.error));
        return;
    }

    drawSplineSeries();
    LabelFilenameSpline->setText(name);
    EditSmoothness->setText(QString::fromStdString(numfmt::general(C.smoothness)));
    ButtonCalcSpline->setEnabled(false);
    ButtonInputChangeInformation->setEnabled(true);
    ButtonCalcFermiLevel->setEnabled(true);
    showMaterial();
    MenuLoadFermiLevel->setEnabled(true);
    ButtonSimulation->setEnabled(true);
    refreshSampleCondition();
    refreshObtainedResults();
    closeOtherAnalyses();
}
