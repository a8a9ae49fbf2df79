// Main window: the stage pages H1, H2, H3 (S1 .. S3). What a page shows
// after its function was computed, the automatic calculations with their
// recalculation chain, the manual E_ref of the H1 page and the peak steps.
// The decisions are C's (calculateStage and its outcome); these handlers
// reset the pages, ask the questions and draw what came out.
#include "analysis/base/NumberFormat.h"
#include "analysis/base/Reliability.h"
#include "analysis/data/Analysis.h"
#include "app/Hall.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Modal.h"
#include "toolkit/Texts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace {

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
            if (everyPoint || C.reliability[i] > reliability::kTrusted)
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
    const StageCalculationOutcome out = C.calculateStage1At(eref);
    busy.done();
    showStageCalculation(0, out, true);
}

// ---- peak steps ------------------------------------------------------------------------

void TFormMain::stepStagePeak(int k, bool up)
{
    StageControls c = stage(k);
    c.chart->clearSeries(1);
    c.chart->clearSeries(2);
    C.stepPeak(k, up);
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

void TFormMain::showStageCalculation(int k, const StageCalculationOutcome& out, bool precise)
{
    using Kind = StageCalculationOutcome::Kind;
    StageControls c = stage(k);
    resetPagesFrom(out.resetFrom);
    if (out.laterCaptionsReset) {
        if (k == 0)
            ButtonCalcH2->setText("Calculation");
        ButtonCalcH3->setText("Calculation");
    }
    if (!out.compensationLabel.empty())
        (k == 1 ? LabelComDensityH2 : LabelComDensityH3)->setText(QString::fromStdString(out.compensationLabel));
    if (k == 1)
        ButtonUseNegativeNcom->setText(C.useNegativeCompensation ? "Do not Use Negative Value"
                                                                  : "Use Negative Compensating Density");
    renderSimulationInputs();

    showMessages(this, out.messages);
    if (k == 0) {
        // Stage 1 can always be tried again, also after a failure.
        enableStage1Start();
    } else {
        c.calc->setEnabled(out.calculationEnabled);
        c.calc->setText(out.calculateAgain ? "Calculation again" : "Calculation");
    }
    if (out.kind != Kind::Calculated)
        return;

    if (k == 0 && !precise && C.advancedMode == 1)
        ButtonCalcH1->setText("Auto Calculation");
    if (precise)
        drawStageExperimental(0, true);
    else if (C.advancedMode == 1)
        drawStageExperimental(k, false);
    showStageReferenceEnergy(k);
    drawStageCurve(k);
    drawStagePeak(k);
    c.evaluation->setEnabled(out.peakInside);
    if (k > 0 || out.peakInside) {
        c.peakDown->setEnabled(out.peakInside);
        c.peakUp->setEnabled(out.peakInside);
    }
    if (k == 1)
        ButtonUseNegativeNcom->setEnabled(true);
    if (!out.question.empty() && modal().yesNo(this, QString::fromStdString(out.question))) {
        const RecalculationOutcome again = C.answerRecalculationQuestion(k);
        c.calc->setEnabled(true);
        c.calc->setText("Calculation again");
        (k == 1 ? LabelComDensityH2 : LabelComDensityH3)->setText(QString::fromStdString(again.compensationLabel));
        renderSimulationInputs();
    }
    c.saveExperimental->setEnabled(true);
    if (k == 0) {
        closeExcitedStatesWindow();
        for (QAction* a : {MenuExcitedStates, MenuDXCenter})
            a->setEnabled(false);
    }
    closeCurveFittingWindow();
    MenuCurveFitting->setEnabled(false);
    ButtonFineAdjustment->setEnabled(false);
}

void TFormMain::ButtonCalcH1Click()
{
    BusyGuard busy;
    MenuExcitedStates->setEnabled(false);
    const StageCalculationOutcome out = C.calculateStage(0);
    busy.done();
    showStageCalculation(0, out, false);
}

void TFormMain::ButtonCalcH2Click()
{
    BusyGuard busy;
    ButtonCalcH2->setEnabled(false);
    for (int s = 0; s <= 2; ++s)
        ChartH2->clearSeries(s);
    resetStage2Results();
    const StageCalculationOutcome out = C.calculateStage(1);
    busy.done();
    showStageCalculation(1, out, false);
}

void TFormMain::ButtonCalcH3Click()
{
    BusyGuard busy;
    ButtonCalcH3->setEnabled(false);
    for (int s = 0; s <= 2; ++s)
        ChartH3->clearSeries(s);
    resetStage3Results();
    const StageCalculationOutcome out = C.calculateStage(2);
    busy.done();
    showStageCalculation(2, out, false);
}
