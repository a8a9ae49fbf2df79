// The windows of the program: each a single instance created at start-up in
// this order and living until exit (hidden, not destroyed, when closed).
// A pointer is null for a window this build does not have yet.
#pragma once

class TFormMain;
class TFormHowToInput;
class TFormDataSheet;
class TFormConvert;
class TFormEditor;
class TAboutBox;
class TFormInformation;
class TFormSampleCondition;
class TFormRemarks;
class TFormObtainedResults;
class TFormAutomaticEvaluationType;
class TFormConventionalAnalysis;
class TFormDHES;
class TFormConventionalAnalysis2;
class TFormOneDonorOneAcceptorConfirmation;
class TFormHTML;
class TFormProgressReport;
class TFormDetailedProgressReport;
class TFormFunctionType;
class TFormDeepLevel;
class TFormExcitedStates;
class TFormCurveFitting;
class TFormBestModel;

extern TFormMain* FormMain;
extern TFormHowToInput* FormHowToInput;
extern TFormDataSheet* FormDataSheet;
extern TFormConvert* FormConvert;
extern TFormEditor* FormEditor;
extern TAboutBox* AboutBox;
extern TFormInformation* FormInformation;
extern TFormSampleCondition* FormSampleCondition;
extern TFormRemarks* FormRemarks;
extern TFormObtainedResults* FormObtainedResults;
extern TFormAutomaticEvaluationType* FormAutomaticEvaluationType;
extern TFormConventionalAnalysis* FormConventionalAnalysis;
extern TFormDHES* FormDHES;
extern TFormConventionalAnalysis2* FormConventionalAnalysis2;
extern TFormOneDonorOneAcceptorConfirmation* FormOneDonorOneAcceptorConfirmation;
extern TFormHTML* FormHTML;
extern TFormProgressReport* FormProgressReport;
extern TFormDetailedProgressReport* FormDetailedProgressReport;
extern TFormFunctionType* FormFunctionType;
extern TFormDeepLevel* FormDeepLevel;
extern TFormExcitedStates* FormExcitedStates;
extern TFormCurveFitting* FormCurveFitting;
extern TFormBestModel* FormBestModel;

// Creates every window in start-up order. `releaseFlag` is the build setting
// (tests pass 0 to reach Advanced mode). Safe to call again after
// destroyForms().
void createForms(int releaseFlag);
void destroyForms();
