// Main window: the data for analysis. "Calculation" fits the smoothing spline
// to the measured points, "Save (*.spl)" writes it and opens the Fermi stage,
// and in Advanced mode a *.spl file can be loaded instead.
#include "Analysis.h"
#include "NumberFormat.h"
#include "app/ChartPlot.h"
#include "app/Hall.h"
#include "app/Modal.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace {

QString lastError() { return QString::fromStdString(C.lastError); }

// A calculation that fails must not leave the previous spline behind: the
// later stages would otherwise be computed from a curve the user no longer sees.
void discardSpline()
{
    C.splineCount = 0;
    C.splineTemperature.clear();
    C.splineConcentration.clear();
}

QString proposedSplineName()
{
    return QString::fromStdString(Analysis::replaceExtension(C.experimentalDataFileName, ".spl"));
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
    C.smoothness = smoothness;

    QString error;
    bool computed = C.chooseSplinePoints();
    if (computed)
        computed = C.computeSpline();
    else
        discardSpline();
    if (!computed)
        error = lastError();

    if (computed) {
        drawSplineSeries();
    } else {
        // No spline in memory: neither the curve nor the name of an earlier
        // file may suggest otherwise.
        resetSplineDisplay();
    }
    ButtonSaveSpline->setEnabled(computed);

    // Every later stage was built on the previous spline.
    resetFromFermiStage();
    ButtonSaveFigureCon1->setEnabled(false);
    ButtonSaveFigureCon2->setEnabled(false);
    MenuLoadFermiLevel->setEnabled(false);
    closeOtherAnalyses();

    if (!computed)
        modal().error(this, error);
}

void TFormMain::ButtonSaveSplineClick()
{
    QString name = proposedSplineName();
    int filterIndex = SaveFilterIndex::Spline;
    saveDialogFileName = name;
    if (!modal().saveFile(this, MainSaveFilter, filterIndex, name))
        return;
    saveDialogFileName = name;

    const std::string previous = C.splineFileName;
    C.splineFileName = name.toStdString();
    if (!C.writeSplineFile()) {
        // Not saved: the Fermi stage stays closed and headers keep naming
        // the file that really holds a spline.
        C.splineFileName = previous;
        modal().error(this, lastError());
        return;
    }

    LabelFilenameSpline->setText(name);
    ButtonSaveSpline->setEnabled(false);
    ButtonInputChangeInformation->setEnabled(true);
    ButtonCalcFermiLevel->setEnabled(true);
    ButtonSaveFigureCon1->setEnabled(true);
    ButtonSaveFigureCon2->setEnabled(true);
    applyMaterialTable();
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

    resetSplineDisplay();
    C.resetSpline();
    resetFromFermiStage();
    // The calculated spline that this button would save is gone.
    ButtonSaveSpline->setEnabled(false);

    C.splineFileName = name.toStdString();
    if (!C.readSplineFile()) {
        const QString error = lastError();
        C.splineFileName.clear();
        // Nothing after the data for analysis can run on an empty grid.
        MenuLoadFermiLevel->setEnabled(false);
        ButtonSimulation->setEnabled(false);
        closeOtherAnalyses();
        refreshSampleCondition();
        refreshObtainedResults();
        modal().error(this, error);
        return;
    }

    drawSplineSeries();
    LabelFilenameSpline->setText(name);
    EditSmoothness->setText(QString::fromStdString(numfmt::general(C.smoothness)));
    ButtonCalcSpline->setEnabled(false);
    ButtonInputChangeInformation->setEnabled(true);
    ButtonCalcFermiLevel->setEnabled(true);
    applyMaterialTable();
    MenuLoadFermiLevel->setEnabled(true);
    ButtonSimulation->setEnabled(true);
    refreshSampleCondition();
    refreshObtainedResults();
    closeOtherAnalyses();
}
