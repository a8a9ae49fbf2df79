// Main window: the stage pages H1, H2, H3 (S1 .. S3). What a page shows
// after its function was computed, the automatic calculations with their
// recalculation chain, the manual E_ref of the H1 page and the peak steps.
// The numbers come from C; these handlers only move values between the
// controls and C, ask the questions and draw.
#include "Analysis.h"
#include "NumberFormat.h"
#include "app/ChartPlot.h"
#include "app/Forms.h"
#include "app/Hall.h"
#include "app/Modal.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace {

QString densityText(double value) { return QString::fromStdString(numfmt::pattern(value, "0.00E+00")); }

ChartPlot* stageChart(TFormMain& w, int k)
{
    ChartPlot* charts[] = {w.ChartH1, w.ChartH2, w.ChartH3};
    return charts[std::clamp(k, 0, 2)];
}

int gridSize(int k)
{
    if (k < 0 || k >= static_cast<int>(C.hCurve.size()))
        return 0;
    return std::min(static_cast<int>(C.hCurve[k].size()),
                    static_cast<int>(C.splineTemperature.size()));
}

// A failed curve computation leaves its own message in lastError; it comes
// before the handler's message.
void showCoreError()
{
    if (!C.lastError.empty())
        modal().error(FormMain, QString::fromStdString(C.lastError));
}

// "<<", "<", ">", ">>": only the edit field changes, and the chart no longer
// belongs to it.
void stepReferenceEnergy(TFormMain& w, Analysis::ErefStep step)
{
    double typed = 0;
    if (!editToDouble(w.EditEref1, typed))
        return;
    w.EditEref1->setText(QString::fromStdString(Analysis::steppedReferenceEnergyText(typed, step)));
    w.ChartH1->clearAll();
}

} // namespace

// ---- long computations ---------------------------------------------------------

TFormMain::BusyGuard::BusyGuard() { QApplication::setOverrideCursor(Qt::WaitCursor); }

TFormMain::BusyGuard::~BusyGuard() { done(); }

void TFormMain::BusyGuard::done()
{
    if (!active_)
        return;
    active_ = false;
    // The computations close their windows themselves; a path that returned
    // early must not leave one open over the message that follows.
    C.progressClose(ProgressReporter::Main);
    C.progressClose(ProgressReporter::Detailed);
    QApplication::restoreOverrideCursor();
}

// ---- what a stage page shows -----------------------------------------------------

void TFormMain::drawStageCurve(int k)
{
    ChartPlot* chart = stageChart(*this, k);
    // Signed two-digit exponent, two decimals of the mantissa.
    chart->setLeftLabelFormat("%.2E");
    const int n = gridSize(k);
    QVector<QPointF> points;
    points.reserve(n);
    for (int j = 0; j < n; ++j)
        points.push_back(QPointF(C.splineTemperature[j], C.hCurve[k][j]));
    chart->setData(0, points);
}

void TFormMain::drawStagePeak(int k)
{
    StageControls c = stage(k);
    c.chart->clearSeries(2);
    const int n = gridSize(k);
    const int p = C.peakIndex[k];
    if (p < 0 || p >= n) {
        c.peakT->setText("0");
        c.peakV->setText("0");
        return;
    }
    const double t = C.splineTemperature[p];
    const double v = C.hCurve[k][p];
    c.chart->addPoint(2, t, v);
    c.peakT->setText(QString::fromStdString(numfmt::general(t)));
    c.peakV->setText(densityText(v));
}

void TFormMain::drawStageExperimental(int k, bool everyPoint)
{
    ChartPlot* chart = stageChart(*this, k);
    QVector<QPointF> points;
    if (k < static_cast<int>(C.experimentalHCurve.size())) {
        const DoubleArray& h = C.experimentalHCurve[k];
        const int n = std::min({C.dataCount, static_cast<int>(h.size()),
                                static_cast<int>(C.temperature.size()),
                                static_cast<int>(C.reliability.size())});
        for (int i = 0; i < n; ++i)
            if (everyPoint || C.reliability[i] > 0.95)
                points.push_back(QPointF(C.temperature[i], h[i]));
    }
    chart->setData(3, points);
}

void TFormMain::showStageReferenceEnergy(int k)
{
    const QString text = QString::fromStdString(Analysis::referenceEnergyText(C.referenceEnergy[k]));
    stage(k).eref->setText(text);
    if (k == 0)
        EditEref1->setText(text);
}

bool TFormMain::stagePeakInside(int k)
{
    if (k < 0 || k > 2)
        return false;
    const int n = gridSize(k);
    return 0 < C.peakIndex[k] && C.peakIndex[k] < n - 1;
}

// ---- manual E_ref of the H1 page ------------------------------------------------------

void TFormMain::ButtonDecreaseErefH1Click() { stepReferenceEnergy(*this, Analysis::ErefStep::DownCoarse); }
void TFormMain::ButtonDecreaseErefH1PreciseClick() { stepReferenceEnergy(*this, Analysis::ErefStep::DownFine); }
void TFormMain::ButtonIncreaseErefH1PreciseClick() { stepReferenceEnergy(*this, Analysis::ErefStep::UpFine); }
void TFormMain::ButtonIncreaseErefH1Click() { stepReferenceEnergy(*this, Analysis::ErefStep::UpCoarse); }

void TFormMain::ButtonCalculationH1PreciseClick()
{
    // A typed text that is no number stops here, before anything changed.
    double eref = 0;
    if (!editToDouble(EditEref1, eref))
        return;

    BusyGuard busy;
    MenuExcitedStates->setEnabled(false);
    resetStage1Page();
    resetStage2Page();
    resetStage3Page();
    resetSimulationPage();

    bool released = false;
    const bool ok = C.calculateStage1AtReferenceEnergy(eref, &released);
    if (released) {
        ButtonCalcH2->setText("Calculation");
        ButtonCalcH3->setText("Calculation");
    }
    if (!ok) {
        busy.done();
        // The Fermi stage is still valid: stage 1 can be tried again.
        enableStage1Start();
        modal().error(this, QString::fromStdString(C.lastError));
        return;
    }

    ButtonSaveExperimentalH1Data->setEnabled(true);
    drawStageExperimental(0, true);
    drawStageCurve(0);
    drawStagePeak(0);
    ButtonEvaluation1->setEnabled(true);
    ButtonDecreasePeakH1->setEnabled(true);
    ButtonIncreasePeakH1->setEnabled(true);
    enableStage1Start();
    showStageReferenceEnergy(0);

    closeExcitedStatesWindow();
    closeCurveFittingWindow();
    for (QAction* a : {MenuExcitedStates, MenuDXCenter, MenuCurveFitting})
        a->setEnabled(false);
    ButtonFineAdjustment->setEnabled(false);
}

// ---- peak steps ------------------------------------------------------------------------

void TFormMain::stepStagePeak(int k, bool up)
{
    // A peak chosen by hand is evaluated with its own compensation, not with
    // one fixed by this stage before.
    if (k == 0 || C.compensationStage == k)
        C.compensationFixed = 0;
    StageControls c = stage(k);
    c.chart->clearSeries(1);
    c.chart->clearSeries(2);
    if (up)
        C.nextPeakUp(k);
    else
        C.nextPeakDown(k);
    drawStagePeak(k);
    c.evaluation->setEnabled(true);

    if (k == 0) {
        closeExcitedStatesWindow();
        for (QAction* a : {MenuExcitedStates, MenuDXCenter})
            a->setEnabled(false);
    }
    closeCurveFittingWindow();
    MenuCurveFitting->setEnabled(false);
    ButtonFineAdjustment->setEnabled(false);
}

void TFormMain::ButtonDecreasePeakH1Click() { stepStagePeak(0, false); }
void TFormMain::ButtonIncreasePeakH1Click() { stepStagePeak(0, true); }
void TFormMain::ButtonDecreasePeakH2Click() { stepStagePeak(1, false); }
void TFormMain::ButtonIncreasePeakH2Click() { stepStagePeak(1, true); }
void TFormMain::ButtonDecreasePeakH3Click() { stepStagePeak(2, false); }
void TFormMain::ButtonIncreasePeakH3Click() { stepStagePeak(2, true); }

// ---- automatic calculations -------------------------------------------------------------

void TFormMain::ButtonCalcH1Click()
{
    BusyGuard busy;
    MenuExcitedStates->setEnabled(false);
    C.resetStage2();
    C.resetStage3();
    C.resetSimulation();
    resetStage1Page();
    resetStage2Page();
    resetStage3Page();
    resetSimulationPage();
    // A new H1 starts without any compensating density.
    if (C.releaseCompensation()) {
        ButtonCalcH2->setText("Calculation");
        ButtonCalcH3->setText("Calculation");
    }

    if (!C.autoCalculateStage(0)) {
        busy.done();
        enableStage1Start();
        showCoreError();
        modal().error(this, "H1 could not be calculated.");
        return;
    }
    busy.done();
    ButtonCalcH1->setEnabled(true);
    C.recalculationRequested = 0;
    C.recalculationFailed = 0;

    C.calculateExperimentalH(0);
    if (C.advancedMode == 1) {
        ButtonCalcH1->setText("Auto Calculation");
        drawStageExperimental(0, false);
    }
    showStageReferenceEnergy(0);
    drawStageCurve(0);
    drawStagePeak(0);

    const bool inside = stagePeakInside(0);
    ButtonEvaluation1->setEnabled(inside);
    if (inside) {
        ButtonDecreasePeakH1->setEnabled(true);
        ButtonIncreasePeakH1->setEnabled(true);
    }
    enableStage1Start();
    ButtonSaveExperimentalH1Data->setEnabled(true);
    closeExcitedStatesWindow();
    closeCurveFittingWindow();
    for (QAction* a : {MenuExcitedStates, MenuDXCenter, MenuCurveFitting})
        a->setEnabled(false);
    ButtonFineAdjustment->setEnabled(false);
}

void TFormMain::ButtonCalcH2Click()
{
    BusyGuard busy;
    ButtonCalcH2->setEnabled(false);
    for (int s = 0; s <= 2; ++s)
        ChartH2->clearSeries(s);
    C.resetStage3();
    C.resetSimulation();
    resetStage2Results();
    resetStage3Page();
    resetSimulationPage();

    if (C.compensationStage > 0) {
        C.releaseCompensation();
        LabelComDensityH2->setText("0");
        ButtonCalcH3->setText("Calculation");
    }
    if (C.compensationStage == 0) {
        // The H1 compensating density is added to H2 this time.
        C.compensatingDensity = C.stageCompensatingDensity[0];
        EditSCDensity->setText(densityText(C.compensatingDensity));
        LabelComDensityH2->setText(densityText(C.compensatingDensity));
        CheckBox4->setChecked(true);
        ButtonCalcH3->setText("Calculation");
    }

    const bool ok = C.autoCalculateStage(1);
    busy.done();
    const bool curveFailed = !ok && !C.lastError.empty();

    if (ok && C.compensationFixed == 1 && C.referenceEnergy[1] < 0) {
        modal().confirmation(this, "Evaluation has been finished!");
        ButtonCalcH2->setText("Calculation");
        C.recalculationRequested = 0;
        CheckBox4->setChecked(true);
        return;
    }
    if (ok && C.referenceEnergy[1] == 0 && C.fitStartIndex[0] / 2 <= C.peakIndex[1] &&
        C.peakIndex[1] <= C.peakIndex[0]) {
        modal().confirmation(this, "Calculation of reasonable H2 is carried out again.");
        ButtonCalcH2->setEnabled(true);
        ButtonCalcH2->setText("Calculation again");
        if (C.h2WindowHalved == 1) {
            // The halved window did not help either: H2 is calculated again
            // with the (negative) H1 compensating density.
            useNegativeCompensation = true;
            ButtonUseNegativeNcom->setText("Do not Use Negative Value");
            C.compensationStage = 0;
            C.compensationFixed = 1;
            C.recalculationRequested = 1;
            C.h2WindowHalved = 0;
            LabelComDensityH2->setText(densityText(C.compensatingDensity));
            EditSCDensity->setText(densityText(C.compensatingDensity));
            ButtonCalcH3->setText("Calculation");
            CheckBox4->setChecked(true);
        } else {
            C.h2WindowHalved = 1;
        }
        return;
    }
    if (ok) {
        ButtonUseNegativeNcom->setEnabled(true);
        ButtonCalcH2->setEnabled(true);
        ButtonCalcH2->setText("Calculation");
        C.recalculationRequested = 0;
        C.recalculationFailed = 0;
        C.calculateExperimentalH(1);
        if (C.advancedMode == 1)
            drawStageExperimental(1, false);
        showStageReferenceEnergy(1);
        drawStageCurve(1);
        drawStagePeak(1);
        const bool inside = stagePeakInside(1);
        ButtonEvaluation2->setEnabled(inside);
        ButtonDecreasePeakH2->setEnabled(inside);
        ButtonIncreasePeakH2->setEnabled(inside);
        if (C.h2WindowHalved == 0 && C.peakIndex[1] < C.peakIndex[0] && C.referenceEnergy[1] > 0 &&
            modal().yesNo(this, "  There is a possibility that a reasonable energy level may not "
                                "be obtained. \n  Do you calculate H2 again using the compensating "
                                "density obtained in H1?")) {
            ButtonCalcH2->setEnabled(true);
            ButtonCalcH2->setText("Calculation again");
            // Fixing it is what makes the next calculation add it.
            C.applyEvaluationAgain(1);
            LabelComDensityH2->setText(densityText(C.compensatingDensity));
            EditSCDensity->setText(densityText(C.compensatingDensity));
            CheckBox4->setChecked(true);
        }
        ButtonSaveExperimentalH2Data->setEnabled(true);
        closeCurveFittingWindow();
        MenuCurveFitting->setEnabled(false);
        ButtonFineAdjustment->setEnabled(false);
        return;
    }

    if (!curveFailed && C.recalculationRequested == 1) {
        modal().confirmation(this, "Calculation of reasonable H2 is carried out again.");
        ButtonCalcH2->setEnabled(true);
        ButtonCalcH2->setText("Calculation again");
        C.compensatingDensity = C.stageCompensatingDensity[0];
        LabelComDensityH2->setText(densityText(C.compensatingDensity));
        EditSCDensity->setText(densityText(C.compensatingDensity));
    } else if (!curveFailed && C.compensationFixed == 1) {
        modal().confirmation(this, "Evaluation has been finished!");
        ButtonCalcH2->setText("Calculation");
        C.recalculationRequested = 0;
    } else {
        showCoreError();
        modal().error(this, "Reasonable H2 could not be calculated.");
        ButtonCalcH2->setEnabled(true);
        ButtonCalcH2->setText("Calculation");
        C.recalculationRequested = 0;
    }
    CheckBox4->setChecked(true);
}

void TFormMain::ButtonCalcH3Click()
{
    BusyGuard busy;
    ButtonCalcH3->setEnabled(false);
    for (int s = 0; s <= 2; ++s)
        ChartH3->clearSeries(s);
    C.resetSimulation();
    resetStage3Results();
    resetSimulationPage();

    if (C.compensationStage > 1)
        C.releaseCompensation();
    if (C.compensationStage == 1) {
        C.compensatingDensity = C.stageCompensatingDensity[1];
        EditSCDensity->setText(densityText(C.compensatingDensity));
        CheckBox4->setChecked(true);
    }

    const bool ok = C.autoCalculateStage(2);
    busy.done();

    if (!ok) {
        if (C.lastError.empty() && C.recalculationRequested == 1) {
            modal().confirmation(this, "Calculation of reasonable H3 is carried out again.");
            ButtonCalcH3->setEnabled(true);
            ButtonCalcH3->setText("Calculation again");
            C.compensatingDensity = C.stageCompensatingDensity[1];
            LabelComDensityH3->setText(densityText(C.compensatingDensity));
        } else {
            showCoreError();
            modal().error(this, "Reasonable H3 could not be calculated.");
            ButtonCalcH3->setEnabled(true);
            ButtonCalcH3->setText("Calculation");
            C.recalculationRequested = 0;
        }
        EditSCDensity->setText(densityText(C.compensatingDensity));
        CheckBox4->setChecked(true);
        return;
    }
    if (C.compensationFixed == 1 && C.referenceEnergy[2] < 0) {
        modal().confirmation(this, "Evaluation has been finished!");
        ButtonCalcH3->setText("Calculation");
        C.recalculationRequested = 0;
        EditSCDensity->setText(densityText(C.compensatingDensity));
        CheckBox4->setChecked(true);
        return;
    }

    ButtonCalcH3->setEnabled(true);
    ButtonCalcH3->setText("Calculation");
    C.recalculationRequested = 0;
    C.calculateExperimentalH(2);
    if (C.advancedMode == 1)
        drawStageExperimental(2, false);
    showStageReferenceEnergy(2);
    drawStageCurve(2);
    drawStagePeak(2);
    const bool inside = stagePeakInside(2);
    ButtonEvaluation3->setEnabled(inside);
    ButtonDecreasePeakH3->setEnabled(inside);
    ButtonIncreasePeakH3->setEnabled(inside);
    if ((C.peakIndex[2] < C.peakIndex[1] || C.peakIndex[2] < C.peakIndex[0]) &&
        C.referenceEnergy[2] > 0 &&
        modal().yesNo(this, "  There is a possibility that a reasonable energy level may not be "
                            "obtained. \n  Do you calculate H3 again using the compensating "
                            "density obtained in H2?")) {
        ButtonCalcH3->setEnabled(true);
        ButtonCalcH3->setText("Calculation again");
        C.applyEvaluationAgain(2);
        LabelComDensityH3->setText(densityText(C.compensatingDensity));
        EditSCDensity->setText(densityText(C.compensatingDensity));
        CheckBox4->setChecked(true);
    }
    ButtonSaveExperimentalH3Data->setEnabled(true);
    closeCurveFittingWindow();
    MenuCurveFitting->setEnabled(false);
    ButtonFineAdjustment->setEnabled(false);
}
