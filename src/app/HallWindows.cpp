// Main window: the menu actions that open, refresh or close other windows.
// Every other window is reached through the window registry; one that this
// build does not have is not registered, and its call does nothing.
#include "analysis/data/Analysis.h"
#include "app/Hall.h"
#include "toolkit/Help.h"
#include "toolkit/Modal.h"
#include "toolkit/WindowRegistry.h"

#include <QAction>
#include <QPushButton>
#include <QWidget>

// The download page of the program's web site, opened by "Information on
// Latest Version".
// The program has no web site of its own: the page says which version this
// is and where its manual is.
const QString DownloadPageUrl = "qrc:/manual/version.html";

void TFormMain::refreshSampleCondition() { windows().prepare(WindowId::SampleCondition); }

void TFormMain::refreshObtainedResults() { windows().prepare(WindowId::ObtainedResults); }

void TFormMain::clearAndResetObtainedResults()
{
    if (ManagedWindow* w = windows().find(WindowId::ObtainedResults))
        w->resetWindow();
}

void TFormMain::closeExcitedStatesWindow() { windows().close(WindowId::ExcitedStates); }

void TFormMain::closeCurveFittingWindow() { windows().close(WindowId::CurveFitting); }

void TFormMain::closeConventionalWindows()
{
    for (WindowId id : {WindowId::ConventionalAnalysis, WindowId::ConventionalAnalysis2, WindowId::DHES})
        windows().close(id);
}

void TFormMain::closeOtherAnalyses()
{
    closeConventionalWindows();
    closeExcitedStatesWindow();
    closeCurveFittingWindow();
    for (QAction* a : {MenuInverseT, MenuInverseTCom, MenuDHES, MenuExcitedStates, MenuCurveFitting,
                       MenuDXCenter})
        a->setEnabled(false);
    ButtonFineAdjustment->setEnabled(false);
    setBestModelEnabled(false);
}

void TFormMain::EditorMainClick() { windows().prepareAndShow(WindowId::Editor); }

void TFormMain::SampleConditionClick() { windows().prepareAndShow(WindowId::SampleCondition); }

void TFormMain::ObtainedResultsClick()
{
    if (ManagedWindow* w = windows().find(WindowId::ObtainedResults)) {
        w->widget()->show();
        w->widget()->raise();
        w->prepare();
    }
}

void TFormMain::AutomaticEvaluationTypeClick() { windows().prepareAndExec(WindowId::AutomaticEvaluationType); }

void TFormMain::TypeOfFunctionClick() { windows().prepareAndExec(WindowId::FunctionType); }

void TFormMain::MenuInverseTClick() { windows().prepareAndShow(WindowId::ConventionalAnalysis); }

void TFormMain::MenuInverseTComClick() { windows().prepareAndShow(WindowId::ConventionalAnalysis2); }

void TFormMain::MenuDHESClick() { windows().prepareAndShow(WindowId::DHES); }

void TFormMain::MenuExcitedStatesClick() { windows().prepareAndShow(WindowId::ExcitedStates); }

void TFormMain::MenuCurveFittingClick() { windows().prepareAndShow(WindowId::CurveFitting); }

void TFormMain::ButtonFineAdjustmentClick() { MenuCurveFittingClick(); }

void TFormMain::MenuBestModelClick() { windows().prepareAndShow(WindowId::BestModel); }

void TFormMain::ButtonBestModelClick() { MenuBestModelClick(); }

void TFormMain::setBestModelEnabled(bool enabled)
{
    // The model is fitted on the measured points with the material's N_0:
    // it needs the Fermi level, and a new analysis closes it.
    if (!enabled)
        windows().close(WindowId::BestModel);
    MenuBestModel->setEnabled(enabled);
    ButtonBestModel->setEnabled(enabled);
}

void TFormMain::VersionClick() { windows().exec(WindowId::AboutBox); }

void TFormMain::InformationClick()
{
    ManagedWindow* w = windows().find(WindowId::HTML);
    if (!w)
        return;
    w->navigate(DownloadPageUrl);
    w->widget()->show();
    w->widget()->raise();
}

void TFormMain::HelpClick() { showHelp(); }

void TFormMain::showSemiconductorInformation() { windows().prepareAndShow(WindowId::Information); }

void TFormMain::InformationSemiconductorClick() { showSemiconductorInformation(); }
