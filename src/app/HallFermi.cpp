// Main window: the Fermi Level page. The material parameters of the sample
// (table lookup or a typed effective mass), the Fermi level on the grid and
// at the measured points, its *.fl / *.flE files, and in Advanced mode
// loading a *.fl file back.
#include "analysis/data/Analysis.h"
#include "analysis/base/NumberFormat.h"
#include "toolkit/ChartPlot.h"
#include "app/Hall.h"
#include "toolkit/Modal.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <algorithm>

namespace {

QString text(double value) { return QString::fromStdString(numfmt::general(value)); }

} // namespace

// ---- shared steps ------------------------------------------------------------

void TFormMain::resetPagesFrom(PageReset from)
{
    if (from)
        resetPagesFrom(*from);
}

void TFormMain::resetPagesFrom(PipelineStage from)
{
    switch (from) {
    case PipelineStage::ExperimentalData:
        resetPages();
        [[fallthrough]];
    case PipelineStage::DataForAnalysis:
        resetSplineDisplay();
        [[fallthrough]];
    case PipelineStage::FermiLevel:
        resetFermiPage();
        resetLaterPages();
        return;
    case PipelineStage::Stage1:
        resetStage1Page();
        [[fallthrough]];
    case PipelineStage::Stage2:
        resetStage2Page();
        [[fallthrough]];
    case PipelineStage::Stage3:
        resetStage3Page();
        [[fallthrough]];
    case PipelineStage::Simulation:
        resetSimulationPage();
        return;
    }
}

void TFormMain::resetLaterPages()
{
    resetPagesFrom(PipelineStage::Stage1);
    resetStageCaptions();
    renderSimulationInputs();
}

void TFormMain::enableStage1Start()
{
    for (QPushButton* b : {ButtonCalcH1, ButtonDecreaseErefH1, ButtonDecreaseErefH1Precise,
                           ButtonIncreaseErefH1Precise, ButtonIncreaseErefH1,
                           ButtonCalculationH1Precise})
        b->setEnabled(true);
}

void TFormMain::drawFermiLevelSeries()
{
    const int n = std::min<int>(C.splineCount,
                                int(std::min(C.splineTemperature.size(), C.fermiLevel.size())));
    QVector<QPointF> points;
    points.reserve(std::max(n, 0));
    for (int k = 0; k < n; ++k)
        points.push_back(QPointF(C.splineTemperature[k], C.fermiLevel[k]));
    ChartFermiLevel->setData(0, points);
}

// ---- material parameters ---------------------------------------------------------

void TFormMain::showMaterial()
{
    LabelFermiSemiconductor->setText(QString::fromStdString(C.semiconductor));
    // A material the table does not know got the default row; its N_0 is
    // only a placeholder until the user calculates one.
    if (C.effectiveDosPending)
        ButtonCalcEffectiveDensityOfStates->setEnabled(true);
    EditMass->setText(text(C.effectiveMass));
    EditEquivalentMinima->setText(text(C.equivalentMinima));
    EditEffectiveDensityOfStates->setText(QString::fromStdString(C.effectiveDosText()));
}

void TFormMain::ButtonSeeInformationClick() { showSemiconductorInformation(); }

void TFormMain::ButtonInputChangeInformationClick()
{
    for (QWidget* w : {static_cast<QWidget*>(EditMass), static_cast<QWidget*>(EditEquivalentMinima),
                       static_cast<QWidget*>(EditEffectiveDensityOfStates),
                       static_cast<QWidget*>(ButtonCalcEffectiveDensityOfStates)})
        w->setEnabled(true);
    // The Fermi level waits for the new density of states.
    C.beginEffectiveDosInput();
    ButtonCalcFermiLevel->setEnabled(false);
    ButtonSaveFermiLevel->setEnabled(false);
}

void TFormMain::ButtonCalcEffectiveDensityOfStatesClick()
{
    double mass = 0;
    if (!editToDouble(EditMass, mass))
        return;
    // A p-type sample always uses one valence-band maximum; its edit is not read.
    double minima = 1;
    if (C.isNType() && !editToDouble(EditEquivalentMinima, minima))
        return;
    const FileOutcome out = C.calculateEffectiveDosInput(mass, minima);
    if (!out.ok) {
        modal().error(this, QString::fromStdString(out.error));
        return;
    }
    EditEffectiveDensityOfStates->setText(QString::fromStdString(C.effectiveDosText()));
    ButtonCalcFermiLevel->setEnabled(true);
    ButtonCalcEffectiveDensityOfStates->setEnabled(false);
}

// ---- Fermi level -------------------------------------------------------------------

void TFormMain::ButtonCalcFermiLevelClick()
{
    const FermiLevelOutcome out = C.calculateFermiLevelStage();
    if (out.refused) {
        modal().error(this, QString::fromStdString(out.error));
        return;
    }
    const bool computed = out.computed;
    ButtonSaveFermiLevel->setEnabled(computed);

    ChartFermiLevel->clearSeries(1);
    if (out.experimentalDrawn) {
        QVector<QPointF> points;
        for (const auto& [t, level] : C.experimentalFermiLevelPoints())
            points.push_back(QPointF(t, level));
        ChartFermiLevel->setData(1, points);
    }
    ChartFermiLevel->clearSeries(0);
    if (computed)
        drawFermiLevelSeries();

    resetPagesFrom(out.resetFrom);
    resetStageCaptions();
    renderSimulationInputs();
    ButtonSaveFigureFermi->setEnabled(false);
    closeConventionalWindows();
    closeExcitedStatesWindow();
    closeCurveFittingWindow();
    for (QAction* a : {MenuExcitedStates, MenuDXCenter, MenuCurveFitting})
        a->setEnabled(false);
    ButtonFineAdjustment->setEnabled(false);

    if (!out.error.empty())
        modal().error(this, QString::fromStdString(out.error));
}

void TFormMain::ButtonSaveFermiLevelClick()
{
    QString name = QString::fromStdString(C.fermiLevelFileProposal());
    int filterIndex = SaveFilterIndex::FermiLevel;
    saveDialogFileName = name;
    if (!modal().saveFile(this, MainSaveFilter, filterIndex, name))
        return;
    saveDialogFileName = name;

    const FileOutcome out = C.saveFermiLevel(name.toStdString());
    if (!out.ok) {
        // Not saved, so nothing that needs the *.fl file opens.
        modal().error(this, QString::fromStdString(out.error));
        return;
    }

    LabelFilenameFermiLevel->setText(name);
    ButtonSaveFermiLevel->setEnabled(false);
    ButtonSaveFigureFermi->setEnabled(true);
    enableStage1Start();
    ButtonSaveExperimentalFermiLevelData->setEnabled(true);
    refreshSampleCondition();
    refreshObtainedResults();
    for (QAction* a : {MenuInverseT, MenuInverseTCom, MenuDHES})
        a->setEnabled(true);
    setBestModelEnabled(true);
}

void TFormMain::ButtonSaveExperimentalFermiLevelDataClick()
{
    QString name = QString::fromStdString(Analysis::replaceExtension(C.fermiLevelFileName, ".flE"));
    int filterIndex = SaveFilterIndex::ExperimentalFermiLevel;
    saveDialogFileName = name;
    if (!modal().saveFile(this, MainSaveFilter, filterIndex, name))
        return;
    saveDialogFileName = name;

    const FileOutcome out = C.saveExperimentalFermiLevel(name.toStdString());
    if (!out.ok) {
        modal().error(this, QString::fromStdString(out.error));
        return;
    }
    ButtonSaveExperimentalFermiLevelData->setEnabled(false);
}

void TFormMain::LoadFermiLevelClick()
{
    // The question comes first so that a cancelled dialog changes nothing.
    QString name = QString::fromStdString(C.fermiLevelFileProposal());
    int filterIndex = OpenFilterIndex::FermiLevel;
    if (!modal().openFile(this, MainOpenFilter, filterIndex, name))
        return;
    openDialogFileName = name;

    const FileOutcome out = C.loadFermiLevel(name.toStdString());
    resetPagesFrom(out.resetFrom);
    if (!out.ok) {
        const QString error = QString::fromStdString(out.error);
        // The other analyses read the Fermi stage, which is empty now. The
        // page goes back to where it was after the data for analysis were
        // loaded, so the Fermi level can still be calculated or loaded again.
        closeOtherAnalyses();
        showMaterial();
        ButtonInputChangeInformation->setEnabled(true);
        ButtonCalcFermiLevel->setEnabled(true);
        refreshSampleCondition();
        refreshObtainedResults();
        modal().error(this, error);
        return;
    }

    drawFermiLevelSeries();
    LabelFilenameFermiLevel->setText(name);
    LabelFermiSemiconductor->setText(QString::fromStdString(C.semiconductor));
    ButtonInputChangeInformation->setEnabled(true);
    ButtonCalcEffectiveDensityOfStates->setEnabled(false);
    ButtonCalcFermiLevel->setEnabled(false);
    ButtonSaveFermiLevel->setEnabled(false);
    EditMass->setText(text(C.effectiveMass));
    EditEquivalentMinima->setText(text(C.equivalentMinima));
    EditEffectiveDensityOfStates->setText(QString::fromStdString(C.effectiveDosText(true)));
    EditFermiLevelComment->setText(QString::fromStdString(C.fermiLevelComment));
    enableStage1Start();
    ButtonSimulation->setEnabled(true);
    refreshSampleCondition();
    refreshObtainedResults();
    closeConventionalWindows();
    closeExcitedStatesWindow();
    closeCurveFittingWindow();
    for (QAction* a : {MenuInverseT, MenuInverseTCom, MenuDHES})
        a->setEnabled(true);
    setBestModelEnabled(true);
    for (QAction* a : {MenuExcitedStates, MenuDXCenter, MenuCurveFitting})
        a->setEnabled(false);
    ButtonFineAdjustment->setEnabled(false);
}
