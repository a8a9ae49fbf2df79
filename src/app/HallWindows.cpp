// Main window: the menu actions that open, refresh or close other windows.
//
// Windows that this build does not have yet are reached only when their
// header exists, and only through a non-null pointer; each offers a
// `prepare()` that re-reads the analysis object before it is shown (the
// excited-states window: `prepareExcitedStatesWindow()`).
#include "Analysis.h"
#include "app/Forms.h"
#include "app/Hall.h"
#include "app/Modal.h"
#include "input/Samplecondition.h"
#include "spectroscopy/Automaticevaluationtype.h"
#include "spectroscopy/Functiontype.h"
#include "spectroscopy/Obtainedresults.h"
#include "utilities/Aboutbox.h"
#include "utilities/Html.h"
#include "utilities/Informationsemiconductor.h"

#include <QAction>
#include <QPushButton>

#if __has_include("utilities/Editor.h")
#include "utilities/Editor.h"
#define VORN_HAVE_EDITOR 1
#endif
#if __has_include("conventional/Conventionalanalysis.h")
#include "conventional/Conventionalanalysis.h"
#define VORN_HAVE_CONVENTIONAL 1
#endif
#if __has_include("conventional/Conventionalanalysis2.h")
#include "conventional/Conventionalanalysis2.h"
#define VORN_HAVE_CONVENTIONAL2 1
#endif
#if __has_include("dhes/Dhes.h")
#include "dhes/Dhes.h"
#define VORN_HAVE_DHES 1
#endif
#if __has_include("excited/Excitedstates.h")
#include "excited/Excitedstates.h"
#define VORN_HAVE_EXCITED_STATES 1
#endif
#if __has_include("curvefit/Curvefitting.h")
#include "curvefit/Curvefitting.h"
#define VORN_HAVE_CURVE_FITTING 1
#endif

// The download page of the program's web site, opened by "Information on
// Latest Version".
const QString DownloadPageUrl = "https://vorn.example.org/download/";

namespace {
template <class W> void prepareAndShow(W* window)
{
    if (!window)
        return;
    window->prepare();
    window->show();
    window->raise();
}

template <class W> void closeIfOpen(W* window)
{
    if (window)
        window->close();
}
} // namespace

void TFormMain::refreshSampleCondition()
{
    if (FormSampleCondition)
        FormSampleCondition->prepare();
}

void TFormMain::refreshObtainedResults()
{
    if (!FormObtainedResults)
        return;
    FormObtainedResults->clearText();
    FormObtainedResults->prepare();
}

void TFormMain::clearAndResetObtainedResults()
{
    if (!FormObtainedResults)
        return;
    FormObtainedResults->clearText();
    FormObtainedResults->resetWindow();
}

void TFormMain::closeExcitedStatesWindow()
{
#ifdef VORN_HAVE_EXCITED_STATES
    closeIfOpen(FormExcitedStates);
#endif
}

void TFormMain::closeCurveFittingWindow()
{
#ifdef VORN_HAVE_CURVE_FITTING
    closeIfOpen(FormCurveFitting);
#endif
}

void TFormMain::closeConventionalWindows()
{
#ifdef VORN_HAVE_CONVENTIONAL
    closeIfOpen(FormConventionalAnalysis);
#endif
#ifdef VORN_HAVE_CONVENTIONAL2
    closeIfOpen(FormConventionalAnalysis2);
#endif
#ifdef VORN_HAVE_DHES
    closeIfOpen(FormDHES);
#endif
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
}

void TFormMain::EditorMainClick()
{
#ifdef VORN_HAVE_EDITOR
    prepareAndShow(FormEditor);
#endif
}

void TFormMain::SampleConditionClick() { prepareAndShow(FormSampleCondition); }

void TFormMain::ObtainedResultsClick()
{
    if (!FormObtainedResults)
        return;
    FormObtainedResults->clearText();
    FormObtainedResults->show();
    FormObtainedResults->raise();
    FormObtainedResults->prepare();
}

void TFormMain::AutomaticEvaluationTypeClick()
{
    if (!FormAutomaticEvaluationType)
        return;
    FormAutomaticEvaluationType->prepare();
    modal().execWindow(FormAutomaticEvaluationType);
}

void TFormMain::TypeOfFunctionClick()
{
    if (!FormFunctionType)
        return;
    FormFunctionType->prepare();
    modal().execWindow(FormFunctionType);
}

void TFormMain::MenuInverseTClick()
{
#ifdef VORN_HAVE_CONVENTIONAL
    prepareAndShow(FormConventionalAnalysis);
#endif
}

void TFormMain::MenuInverseTComClick()
{
#ifdef VORN_HAVE_CONVENTIONAL2
    prepareAndShow(FormConventionalAnalysis2);
#endif
}

void TFormMain::MenuDHESClick()
{
#ifdef VORN_HAVE_DHES
    prepareAndShow(FormDHES);
#endif
}

void TFormMain::MenuExcitedStatesClick()
{
#ifdef VORN_HAVE_EXCITED_STATES
    if (!FormExcitedStates)
        return;
    FormExcitedStates->prepareExcitedStatesWindow();
    FormExcitedStates->show();
    FormExcitedStates->raise();
#endif
}

void TFormMain::MenuCurveFittingClick()
{
#ifdef VORN_HAVE_CURVE_FITTING
    prepareAndShow(FormCurveFitting);
#endif
}

void TFormMain::ButtonFineAdjustmentClick() { MenuCurveFittingClick(); }

void TFormMain::VersionClick()
{
    if (AboutBox)
        modal().execWindow(AboutBox);
}

void TFormMain::InformationClick()
{
    if (!FormHTML)
        return;
    FormHTML->navigate(DownloadPageUrl);
    FormHTML->show();
    FormHTML->raise();
}

void TFormMain::HelpClick()
{
    if (!FormHTML)
        return;
    FormHTML->show();
    FormHTML->raise();
}

void TFormMain::showSemiconductorInformation() { prepareAndShow(FormInformation); }

void TFormMain::InformationSemiconductorClick() { showSemiconductorInformation(); }
