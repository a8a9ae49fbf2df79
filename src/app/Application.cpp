#include "app/Application.h"
#include "analysis/data/Analysis.h"
#include "app/Forms.h"
#include "app/Hall.h"
#include "dhes/Dhes.h"
#include "excited/Excitedstates.h"
#include "toolkit/ProgressWindows.h"
#include "toolkit/ScreenFit.h"
#include "toolkit/WindowRegistry.h"
#include "conventional/Conventionalanalysis.h"
#include "conventional/Conventionalanalysis2.h"
#include "conventional/Onedonoroneacceptorconfirmation.h"
#include "curvefit/Curvefitting.h"
#include "bestmodel/BestModel.h"
#include "input/Datasheet.h"
#include "input/Formatconvert.h"
#include "input/Howtoinputdata.h"
#include "input/Samplecondition.h"
#include "spectroscopy/Automaticevaluationtype.h"
#include "spectroscopy/Cautiondeeplevel.h"
#include "spectroscopy/Detailedprogressreport.h"
#include "spectroscopy/Functiontype.h"
#include "spectroscopy/Obtainedresults.h"
#include "spectroscopy/Progressreport.h"
#include "spectroscopy/Remarks.h"
#include "utilities/Aboutbox.h"
#include "utilities/Editor.h"
#include "utilities/Html.h"
#include "utilities/Informationsemiconductor.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>

TFormMain* FormMain = nullptr;
TFormHowToInput* FormHowToInput = nullptr;
TFormDataSheet* FormDataSheet = nullptr;
TFormConvert* FormConvert = nullptr;
TFormEditor* FormEditor = nullptr;
TAboutBox* AboutBox = nullptr;
TFormInformation* FormInformation = nullptr;
TFormSampleCondition* FormSampleCondition = nullptr;
TFormRemarks* FormRemarks = nullptr;
TFormObtainedResults* FormObtainedResults = nullptr;
TFormAutomaticEvaluationType* FormAutomaticEvaluationType = nullptr;
TFormConventionalAnalysis* FormConventionalAnalysis = nullptr;
TFormDHES* FormDHES = nullptr;
TFormConventionalAnalysis2* FormConventionalAnalysis2 = nullptr;
TFormOneDonorOneAcceptorConfirmation* FormOneDonorOneAcceptorConfirmation = nullptr;
TFormHTML* FormHTML = nullptr;
TFormProgressReport* FormProgressReport = nullptr;
TFormDetailedProgressReport* FormDetailedProgressReport = nullptr;
TFormFunctionType* FormFunctionType = nullptr;
TFormDeepLevel* FormDeepLevel = nullptr;
TFormExcitedStates* FormExcitedStates = nullptr;
TFormCurveFitting* FormCurveFitting = nullptr;
TFormBestModel* FormBestModel = nullptr;

void createForms(int releaseFlag)
{
    // Every window opens within the screen's available area.
    installScreenFitting();
    FormMain = new TFormMain(releaseFlag);
    FormHowToInput = new TFormHowToInput;
    FormDataSheet = new TFormDataSheet;
    FormConvert = new TFormConvert;
    AboutBox = new TAboutBox;
    FormInformation = new TFormInformation;
    FormSampleCondition = new TFormSampleCondition;
    FormRemarks = new TFormRemarks;
    FormObtainedResults = new TFormObtainedResults;
    FormAutomaticEvaluationType = new TFormAutomaticEvaluationType;
    FormConventionalAnalysis = new TFormConventionalAnalysis;
    FormConventionalAnalysis2 = new TFormConventionalAnalysis2;
    FormOneDonorOneAcceptorConfirmation = new TFormOneDonorOneAcceptorConfirmation;
    FormHTML = new TFormHTML;
    FormEditor = new TFormEditor;
    FormProgressReport = new TFormProgressReport;
    FormDetailedProgressReport = new TFormDetailedProgressReport;
    FormFunctionType = new TFormFunctionType;
    FormDeepLevel = new TFormDeepLevel;
    FormDHES = new TFormDHES;
    FormCurveFitting = new TFormCurveFitting;
    FormBestModel = new TFormBestModel;
    FormExcitedStates = new TFormExcitedStates(releaseFlag);

    // Every window the others may open, by id; the list is the build's.
    WindowRegistry& r = windows();
    r.add(WindowId::HowToInput, FormHowToInput);
    r.add(WindowId::DataSheet, FormDataSheet);
    r.add(WindowId::Convert, FormConvert);
    r.add(WindowId::AboutBox, AboutBox);
    r.add(WindowId::Information, FormInformation);
    r.add(WindowId::SampleCondition, FormSampleCondition);
    r.add(WindowId::Remarks, FormRemarks);
    r.add(WindowId::ObtainedResults, FormObtainedResults);
    r.add(WindowId::AutomaticEvaluationType, FormAutomaticEvaluationType);
    r.add(WindowId::ConventionalAnalysis, FormConventionalAnalysis);
    r.add(WindowId::ConventionalAnalysis2, FormConventionalAnalysis2);
    r.add(WindowId::OneDonorOneAcceptorConfirmation, FormOneDonorOneAcceptorConfirmation);
    r.add(WindowId::HTML, FormHTML);
    r.add(WindowId::Editor, FormEditor);
    r.add(WindowId::ProgressReport, FormProgressReport);
    r.add(WindowId::DetailedProgressReport, FormDetailedProgressReport);
    r.add(WindowId::FunctionType, FormFunctionType);
    r.add(WindowId::DeepLevel, FormDeepLevel);
    r.add(WindowId::DHES, FormDHES);
    r.add(WindowId::CurveFitting, FormCurveFitting);
    r.add(WindowId::BestModel, FormBestModel);
    r.add(WindowId::ExcitedStates, FormExcitedStates);
    FormMain->windowsRegistered();
    // The long computations report to the two progress windows.
    C.progress = windowProgressReporter();
}

template <class T> static void destroy(T*& p)
{
    delete p;
    p = nullptr;
}

void destroyForms()
{
    C.progress = nullptr;
    windows().clear();
    windows().listener = nullptr;
    windows().replaceGuard = nullptr;
    destroy(FormDHES);
    destroy(FormCurveFitting);
    destroy(FormBestModel);
    destroy(FormExcitedStates);
    destroy(FormDeepLevel);
    destroy(FormFunctionType);
    destroy(FormDetailedProgressReport);
    destroy(FormProgressReport);
    destroy(FormEditor);
    destroy(FormHTML);
    destroy(FormOneDonorOneAcceptorConfirmation);
    destroy(FormConventionalAnalysis2);
    destroy(FormConventionalAnalysis);
    destroy(FormAutomaticEvaluationType);
    destroy(FormObtainedResults);
    destroy(FormRemarks);
    destroy(FormSampleCondition);
    destroy(FormInformation);
    destroy(AboutBox);
    destroy(FormConvert);
    destroy(FormDataSheet);
    destroy(FormHowToInput);
    destroy(FormMain);
}

void openFromCommandLine(const QString& path)
{
    // What a double-click on a file should do: data are loaded for an
    // analysis, every other file is shown as text.
    const QString suffix = QFileInfo(path).suffix();
    if (suffix.compare("nT", Qt::CaseInsensitive) == 0 || suffix.compare("pT", Qt::CaseInsensitive) == 0) {
        FormMain->loadDataFile(path);
        return;
    }
    windows().prepareAndShow(WindowId::Editor);
    if (ManagedWindow* w = windows().find(WindowId::Editor))
        w->navigate(path);
}

static bool haveDisplay()
{
    if (std::getenv("QT_QPA_PLATFORM"))
        return true;
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

int runVorn(int argc, char** argv)
{
    if (!haveDisplay()) {
        std::fprintf(stderr,
                     "vorn: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set).\n"
                     "Start VORN from a desktop session, or run it under a virtual X server,\n"
                     "for example: xvfb-run -a build/vorn\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("VORN");
    QApplication::setApplicationDisplayName("VORN");
    int rc = 0;
    try {
        createForms(VORN_RELEASE_FLAG);
        FormMain->show();
        if (argc > 1)
            openFromCommandLine(QFile::decodeName(argv[1]));
        rc = app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "VORN", e.what());
        rc = 1;
    }
    destroyForms();
    return rc;
}
