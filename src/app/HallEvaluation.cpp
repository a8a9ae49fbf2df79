// Main window: the "Evaluation" buttons of the stage pages, the remarks and
// caution windows they lead to, and the negative-compensation toggle of the
// H2 page. The evaluation itself and its bookkeeping live in C
// (runEvaluation); this file shows what came out.
#include "analysis/base/NumberFormat.h"
#include "analysis/data/Analysis.h"
#include "app/Hall.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Modal.h"
#include "toolkit/Texts.h"
#include "toolkit/WindowRegistry.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The remarks window for stage k (1 = H2, 2 = H3), run modally; true when
// the user chose "Evaluation again".
bool remarksAskEvaluationAgain(int k)
{
    return windows().prepareAndExec(WindowId::Remarks, k) == WindowResult::EvaluationAgain;
}

} // namespace

void TFormMain::evaluateStagePage(int k)
{
    StageControls c = stage(k);
    // A mistyped degeneracy factor stops before anything changed, so the
    // button stays usable.
    double g = 0;
    if (!editToDouble(c.g, g))
        return;

    BusyGuard busy;
    c.evaluation->setEnabled(false);
    const Analysis::EvaluationOutcome outcome = C.evaluate(k, g);
    busy.done();
    using Kind = Analysis::EvaluationOutcome::Kind;

    if (outcome.kind == Kind::Evaluated) {
        resetPagesFrom(outcome.resetFrom);
        c.density->setText(QString::fromStdString(outcome.densityText));
        c.energy->setText(QString::fromStdString(outcome.energyText));
        c.cdensity->setText(QString::fromStdString(outcome.compensatingText));
        c.save->setEnabled(true);
        c.saveFigure->setEnabled(false);

        QVector<QPointF> red;
        for (const auto& [t, v] : C.redLinePoints(k))
            red.push_back(QPointF(t, v));
        c.chart->clearSeries(1);
        c.chart->setData(1, red);
        showMessages(this, outcome.warnings);

        if (k == 0) {
            if (outcome.showCaution) {
                windows().exec(WindowId::DeepLevel);
                // Then the excited states of the dopant, where this build has them.
                MenuExcitedStatesClick();
            }
            LabelDensity1H2->setText(densityText(C.density[0]));
            LabelEnergy1H2->setText(energyText(C.energyLevel[0]));
            LabelComDensityH2->setText(densityText(C.compensatingDensity));
            MenuExcitedStates->setEnabled(true);
            MenuDXCenter->setEnabled(true);
        } else if (k == 1) {
            LabelDensity1H3->setText(densityText(C.density[0]));
            LabelEnergy1H3->setText(energyText(C.energyLevel[0]));
            LabelDensity2H3->setText(densityText(C.density[1]));
            LabelEnergy2H3->setText(energyText(C.energyLevel[1]));
            LabelComDensityH3->setText(densityText(C.compensatingDensity));
            if (outcome.levelBelowLowestThermalEnergy && remarksAskEvaluationAgain(1)) {
                const RecalculationOutcome again = C.evaluateAgain(1);
                if (again.applied) {
                    LabelComDensityH2->setText(QString::fromStdString(again.compensationLabel));
                    ButtonCalcH2->setEnabled(true);
                    ButtonCalcH2->setText("Calculation again");
                    ButtonSaveH2->setEnabled(false);
                }
            }
        } else {
            if (outcome.levelBelowLowestThermalEnergy && remarksAskEvaluationAgain(2)) {
                const RecalculationOutcome again = C.evaluateAgain(2);
                if (again.applied) {
                    LabelComDensityH3->setText(QString::fromStdString(again.compensationLabel));
                    ButtonCalcH3->setEnabled(true);
                    ButtonCalcH3->setText("Calculation again");
                    ButtonSaveH3->setEnabled(false);
                }
            }
        }
        closeCurveFittingWindow();
        MenuCurveFitting->setEnabled(false);
        ButtonFineAdjustment->setEnabled(false);
        renderSimulationInputs();
        return;
    }

    showMessages(this, outcome.messages);
    switch (outcome.kind) {
    case Kind::LevelOutOfRange:
        c.density->setText(QString::fromStdString(outcome.densityText));
        c.energy->setText(QString::fromStdString(outcome.energyText));
        c.cdensity->setText(QString::fromStdString(outcome.compensatingText));
        c.save->setEnabled(false);
        break;
    case Kind::RecalculationRequested:
        ButtonCalcH2->setEnabled(true);
        ButtonCalcH2->setText("Calculation again");
        LabelComDensityH2->setText(densityText(C.compensatingDensity));
        renderSimulationInputs();
        break;
    default:
        c.evaluation->setEnabled(true);
        break;
    }
}

void TFormMain::ButtonEvaluation1Click() { evaluateStagePage(0); }
void TFormMain::ButtonEvaluation2Click() { evaluateStagePage(1); }
void TFormMain::ButtonEvaluation3Click() { evaluateStagePage(2); }

void TFormMain::ButtonUseNegativeNcomClick()
{
    C.toggleNegativeCompensation();
    const bool use = C.useNegativeCompensation;
    ButtonUseNegativeNcom->setText(use ? "Do not Use Negative Value" : "Use Negative Compensating Density");
    LabelComDensityH2->setText(use ? densityText(C.compensatingDensity) : "0");
    ButtonCalcH3->setText("Calculation");
    renderSimulationInputs();
}
