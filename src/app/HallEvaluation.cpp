// Main window: the "Evaluation" buttons of the stage pages, the remarks and
// caution windows they lead to, and the negative-compensation toggle of the
// H2 page. The evaluation itself and its bookkeeping live in C
// (runEvaluation); this file shows what came out.
#include "Analysis.h"
#include "NumberFormat.h"
#include "app/ChartPlot.h"
#include "app/Forms.h"
#include "app/Hall.h"
#include "app/Modal.h"
#include "spectroscopy/Cautiondeeplevel.h"
#include "spectroscopy/Remarks.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

QString densityText(double value) { return QString::fromStdString(numfmt::pattern(value, "0.00E+00")); }
QString energyText(double value) { return QString::fromStdString(numfmt::pattern(value, "0.####")); }

// The remarks window for stage k (1 = H2, 2 = H3), run modally; true when
// the user chose "Evaluation again".
bool remarksAskEvaluationAgain(int k)
{
    if (!FormRemarks)
        return false;
    FormRemarks->fill(k);
    return modal().execWindow(FormRemarks) == TFormRemarks::EvaluationAgain;
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
    C.degeneracyFactor[k] = g;
    const Analysis::EvaluationOutcome outcome = C.runEvaluation(k);
    busy.done();
    using Kind = Analysis::EvaluationOutcome::Kind;

    if (outcome.kind == Kind::Evaluated) {
        if (k == 0) {
            resetStage2Page();
            resetStage3Page();
        } else if (k == 1) {
            resetStage3Page();
        }
        resetSimulationPage();
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

        if (k == 0) {
            if (outcome.showCaution) {
                if (FormDeepLevel)
                    modal().execWindow(FormDeepLevel);
                // Then the excited states of the dopant, where this build has them.
                MenuExcitedStatesClick();
            }
            LabelDensity1H2->setText(densityText(C.density[0]));
            LabelEnergy1H2->setText(energyText(C.energyLevel[0]));
            LabelComDensityH2->setText(densityText(C.compensatingDensity));
            if (outcome.levelBelowLowestThermalEnergy)
                lastEvaluatedStage = 0;
            MenuExcitedStates->setEnabled(true);
            MenuDXCenter->setEnabled(true);
        } else if (k == 1) {
            LabelDensity1H3->setText(densityText(C.density[0]));
            LabelEnergy1H3->setText(energyText(C.energyLevel[0]));
            LabelDensity2H3->setText(densityText(C.density[1]));
            LabelEnergy2H3->setText(energyText(C.energyLevel[1]));
            LabelComDensityH3->setText(densityText(C.compensatingDensity));
            if (outcome.levelBelowLowestThermalEnergy) {
                lastEvaluatedStage = 1;
                if (remarksAskEvaluationAgain(1) && C.applyEvaluationAgain(1)) {
                    LabelComDensityH2->setText(densityText(C.compensatingDensity));
                    ButtonCalcH2->setEnabled(true);
                    ButtonCalcH2->setText("Calculation again");
                    ButtonSaveH2->setEnabled(false);
                    CheckBox4->setChecked(true);
                }
            }
        } else {
            if (outcome.levelBelowLowestThermalEnergy) {
                lastEvaluatedStage = 2;
                if (remarksAskEvaluationAgain(2) && C.applyEvaluationAgain(2)) {
                    LabelComDensityH3->setText(densityText(C.compensatingDensity));
                    ButtonCalcH3->setEnabled(true);
                    ButtonCalcH3->setText("Calculation again");
                    ButtonSaveH3->setEnabled(false);
                    CheckBox4->setChecked(true);
                }
            }
        }
        closeCurveFittingWindow();
        MenuCurveFitting->setEnabled(false);
        ButtonFineAdjustment->setEnabled(false);
        return;
    }

    for (const auto& m : outcome.messages) {
        const QString text = QString::fromStdString(m.text);
        if (m.error)
            modal().error(this, text);
        else
            modal().confirmation(this, text);
    }
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
        EditSCDensity->setText(densityText(C.compensatingDensity));
        CheckBox4->setChecked(true);
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
    useNegativeCompensation = !useNegativeCompensation;
    C.setNegativeCompensation(useNegativeCompensation);
    if (useNegativeCompensation) {
        ButtonUseNegativeNcom->setText("Do not Use Negative Value");
        LabelComDensityH2->setText(densityText(C.compensatingDensity));
        EditSCDensity->setText(densityText(C.compensatingDensity));
    } else {
        ButtonUseNegativeNcom->setText("Use Negative Compensating Density");
        LabelComDensityH2->setText("0");
        EditSCDensity->setText("0");
    }
    ButtonCalcH3->setText("Calculation");
    CheckBox4->setChecked(useNegativeCompensation);
}
