// The main window: six pages that lead through the analysis pipeline
// (experimental data, data for analysis, Fermi level, stages 1 to 3,
// simulation), the menus, the two operating modes, the page resets and the
// presentation by conduction type and function type.
//
// Controls are public so that the handlers of every stage, the other windows
// and the tests can reach them by name. Handlers are public too; the
// constructor connects every control to its handler.
#pragma once

#include "analysis/data/Analysis.h"
#include "analysis/workflow/Resets.h"

#include <QMainWindow>
#include <QString>
#include <memory>
#include <string>
#include <vector>

class ChartPlot;
class QAction;
class QCheckBox;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPrinter;
class QPushButton;
class QTabWidget;
class QWidget;

// Filter list of the main window's open dialog; handlers select an entry by
// its 1-based index (see OpenFilterIndex).
extern const QString MainOpenFilter;
// Filter list of the main window's save dialog (see SaveFilterIndex).
extern const QString MainSaveFilter;
// The download page opened by "Information on Latest Version".
extern const QString DownloadPageUrl;

namespace OpenFilterIndex {
enum : int { Experimental = 1, Spline = 2, FermiLevel = 3 };
}
namespace SaveFilterIndex {
enum : int {
    Spline = 1,
    FermiLevel = 2,
    H1 = 3,
    H2 = 4,
    H3 = 5,
    Simulation = 6,
    S1 = 7,
    S2 = 8,
    S3 = 9,
    Figure = 10,
    ExperimentalH1 = 11,
    ExperimentalS1 = 12,
    ExperimentalFermiLevel = 13,
    ExperimentalH2 = 14,
    ExperimentalS2 = 15,
    ExperimentalH3 = 16,
    ExperimentalS3 = 17
};
}

// A formula picture in its three forms; exactly one of them is shown.
struct FormulaPicture {
    QLabel* generic = nullptr;
    QLabel* nType = nullptr;
    QLabel* pType = nullptr;
    enum Form { Generic, NType, PType };
    void show(Form form);
    // The form not hidden (Generic when none or several are, which the
    // presentation operations never leave).
    Form shown() const;
    int shownCount() const;
};

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    // `releaseFlag` is the build setting (1 = shipped, Normal mode only).
    explicit TFormMain(int releaseFlag, QWidget* parent = nullptr);
    ~TFormMain() override;

    // ---- state beside the controls ----------------------------------------
    bool dataSheetSaved = false;   // set by the data sheet after writing a file
    bool conversionSaved = false;  // set by the converter after writing a file
    PageReset enteredDataReset;    // what the core reset for the data they wrote
    bool emptySheetRequested = false; // the data sheet opens with an empty grid
    // File names last put into the open and save dialogs.
    QString openDialogFileName;
    QString saveDialogFileName;

    // ---- menus --------------------------------------------------------------
    // Top-level menus (their menu actions, for hiding/showing).
    QAction* MenuFile = nullptr;
    QAction* MenuData = nullptr;
    QAction* MenuOption = nullptr;
    QAction* MenuDistributionFunction = nullptr;
    QAction* MenuOtherAnalyses = nullptr;
    QAction* MenuHelp = nullptr;
    QAction* MenuInformation = nullptr;
    // File
    QAction* MenuLoadExperimental = nullptr;   // "Experimental Data (*.pT or *.nT)"
    QAction* MenuLoadSpline = nullptr;         // "Data for Analysis(*.spl)"
    QAction* MenuLoadFermiLevel = nullptr;     // "Fermi Level (*.fl)"
    QAction* MenuAllClear = nullptr;           // "All Clear"
    QAction* MenuPrint = nullptr;              // "Print"
    QAction* MenuExportReport = nullptr;       // "Export Report"
    QAction* MenuExit = nullptr;               // "Exit"
    // Data
    QAction* MenuFileViewer = nullptr;         // "File Viewer"
    QAction* MenuSampleCondition = nullptr;    // "Sample Condition"
    QAction* MenuObtainedResults = nullptr;    // "Obtained Results"
    // Option
    QAction* MenuAutomaticEvaluationType = nullptr; // "Automatic Evaluation Type"
    QAction* MenuTypeOfFunction = nullptr;     // "Type of Function to be evaluated"
    QAction* MenuNormalMode = nullptr;         // "Normal Mode"
    QAction* MenuAdvancedMode = nullptr;       // "Advanced Mode"
    // Distribution Function
    QAction* MenuExcitedStates = nullptr;      // "Consideration of Excited States"
    QAction* MenuDXCenter = nullptr;           // "DX Center"
    // Other Analyses
    QAction* MenuInverseT = nullptr;           // "Only One Impurity"
    QAction* MenuInverseTCom = nullptr;        // "One Donor and One Acceptor"
    QAction* MenuDHES = nullptr;               // "DHES"
    QAction* MenuCurveFitting = nullptr;       // "Curve Fitting"
    QAction* MenuBestModel = nullptr;          // "Best Model"
    // Help
    QAction* MenuVersion = nullptr;            // "Version"
    QAction* MenuLatestVersion = nullptr;      // "Information on Latest Version"
    QAction* MenuHelpViewer = nullptr;         // "Help"
    // Information
    QAction* MenuInformationSemiconductor = nullptr; // "Information on Semiconductors"

    // ---- frame ----------------------------------------------------------------
    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr; // "Carrier Concentration"
    QWidget* TabSheet2 = nullptr; // "Fermi Level"
    QWidget* TabSheet3 = nullptr; // "H1(T,E_ref)"
    QWidget* TabSheet4 = nullptr; // "H2(T,E_ref)"
    QWidget* TabSheet5 = nullptr; // "H3(T,E_ref)"
    QWidget* TabSheet6 = nullptr; // "Simulation"
    QLabel* PanelSampleNumber = nullptr;
    QLabel* PanelFilenameExperimentalData = nullptr;
    QLabel* LabelVerCon = nullptr;
    QLabel* LabelVerFermi = nullptr;
    QLabel* LabelVerH1 = nullptr;
    QLabel* LabelVerH2 = nullptr;
    QLabel* LabelVerH3 = nullptr;
    QLabel* LabelVerSim = nullptr;

    // ---- page 1: carrier concentration ---------------------------------------
    QGroupBox* GroupBoxExperimental = nullptr;         // "Experimental Date"
    QPushButton* ButtonInputData = nullptr;            // "Input Data"
    QPushButton* ButtonLoadExperimental = nullptr;     // "Load Data (*.pT or *.nT)"
    QPushButton* ButtonChangeData = nullptr;           // "Change Data"
    QLabel* LabelFilenameExperimentalData = nullptr;
    QGroupBox* GroupBoxSpline = nullptr;
    QLineEdit* EditSmoothness = nullptr;               // "5000"
    QPushButton* ButtonCalcSpline = nullptr;           // "Calculation"
    QPushButton* ButtonAutoSmoothness = nullptr;       // "Auto": smoothness by cross-validation
    QPushButton* ButtonSaveSpline = nullptr;           // "Save (*.spl)"
    // "max. deviation 12.7 % at 80 K" after a calculation (red above 5 %).
    QLabel* LabelSplineDeviation = nullptr;
    QLabel* LabelFilenameSpline = nullptr;
    QPushButton* ButtonSaveFigureCon1 = nullptr;       // "Save Figure (*Con1.bmp)"
    QPushButton* ButtonSaveFigureCon2 = nullptr;       // "Save Figure (Con2.bmp)"
    ChartPlot* ChartExperimentalLinear = nullptr;      // 0 points, 1 spline
    ChartPlot* ChartExperimentalLog = nullptr;         // 0 points, 1 spline

    // ---- page 2: Fermi level ----------------------------------------------------
    QGroupBox* GroupBoxSemiconductor = nullptr;  // "Input or Change Information of Semiconductor"
    QLabel* LabelFermiSemiconductor = nullptr;
    QLabel* LabelFermiConductionTypeN = nullptr;
    QLabel* LabelFermiConductionTypeP = nullptr;
    QPushButton* ButtonSeeInformation = nullptr;          // "See Semiconductor Data"
    QPushButton* ButtonInputChangeInformation = nullptr;  // "Input or Change"
    QLineEdit* EditMass = nullptr;
    QLineEdit* EditEquivalentMinima = nullptr;
    QPushButton* ButtonCalcEffectiveDensityOfStates = nullptr; // "Calculate Effective Density Of States"
    QLineEdit* EditEffectiveDensityOfStates = nullptr;
    QLineEdit* EditFermiLevelComment = nullptr;
    QGroupBox* GroupBoxFermiLevel = nullptr;              // "Calculate Fermi Level"
    QLabel* LabelFermiLevelConductionTypeN = nullptr;
    QLabel* LabelFermiLevelConductionTypeP = nullptr;
    QPushButton* ButtonCalcFermiLevel = nullptr;          // "Calculation"
    QPushButton* ButtonSaveFermiLevel = nullptr;  // "Save Temperature Dependence of Fermi Level (*.fl)"
    QLabel* LabelFilenameFermiLevel = nullptr;
    QPushButton* ButtonSaveFigureFermi = nullptr;         // "Save Figure (*Fermi.bmp)"
    QPushButton* ButtonSaveExperimentalFermiLevelData = nullptr; // "Save experimental Fermi level data"
    ChartPlot* ChartFermiLevel = nullptr;                 // 0 grid line, 1 experimental points
    FormulaPicture PictureDos;        // effective density of states
    FormulaPicture PictureMass;       // effective-mass symbol
    FormulaPicture PictureMinima;     // number of equivalent extrema
    FormulaPicture PictureFermiLevel; // Fermi level measured from the band edge

    // ---- pages 3 to 5: stages 1 to 3 ---------------------------------------------
    QGroupBox* GroupBoxCalcH1 = nullptr;   // "Calculate H1(T,E_ref)"
    QGroupBox* GroupBoxCalcH2 = nullptr;
    QGroupBox* GroupBoxCalcH3 = nullptr;
    QPushButton* ButtonCalcH1 = nullptr;   // "Calculation" / "Auto Calculation"
    QPushButton* ButtonCalcH2 = nullptr;   // "Calculation" / "Calculation again"
    QPushButton* ButtonCalcH3 = nullptr;
    QLabel* LabelEref1 = nullptr;
    QLabel* LabelEref2 = nullptr;
    QLabel* LabelEref3 = nullptr;
    QLineEdit* EditEref1 = nullptr;                  // Advanced mode
    QPushButton* ButtonDecreaseErefH1 = nullptr;     // "<<"
    QPushButton* ButtonDecreaseErefH1Precise = nullptr; // "<"
    QPushButton* ButtonIncreaseErefH1Precise = nullptr; // ">"
    QPushButton* ButtonIncreaseErefH1 = nullptr;     // ">>"
    QPushButton* ButtonCalculationH1Precise = nullptr; // "Calculation"
    QPushButton* ButtonSaveExperimentalH1Data = nullptr; // "Save experimentral H1 data (*.H1E)"
    QPushButton* ButtonSaveExperimentalH2Data = nullptr; // "Save experimental H2 data (*.H2E)"
    QPushButton* ButtonSaveExperimentalH3Data = nullptr; // "Save experimental H3 data (*.H3E)"
    QLabel* LabelPeakT1 = nullptr;
    QLabel* LabelPeakT2 = nullptr;
    QLabel* LabelPeakT3 = nullptr;
    QLabel* LabelPeakV1 = nullptr;
    QLabel* LabelPeakV2 = nullptr;
    QLabel* LabelPeakV3 = nullptr;
    QLabel* LabelChangePeakH1 = nullptr;   // "Change Peak"
    QLabel* LabelChangePeakH2 = nullptr;
    QLabel* LabelChangePeakH3 = nullptr;
    QPushButton* ButtonDecreasePeakH1 = nullptr; // "<"
    QPushButton* ButtonDecreasePeakH2 = nullptr;
    QPushButton* ButtonDecreasePeakH3 = nullptr;
    QPushButton* ButtonIncreasePeakH1 = nullptr; // ">"
    QPushButton* ButtonIncreasePeakH2 = nullptr;
    QPushButton* ButtonIncreasePeakH3 = nullptr;
    QGroupBox* GroupBoxEvaluationH1 = nullptr;   // "Determine Density and Energy Level"
    QGroupBox* GroupBoxEvaluationH2 = nullptr;
    QGroupBox* GroupBoxEvaluationH3 = nullptr;
    QLineEdit* EditGH1 = nullptr;                // "Input Degeneracy Factor"
    QLineEdit* EditGH2 = nullptr;
    QLineEdit* EditGH3 = nullptr;
    QLabel* LabelDonorH1 = nullptr;
    QLabel* LabelDonorH2 = nullptr;
    QLabel* LabelDonorH3 = nullptr;
    QLabel* LabelAcceptorH1 = nullptr;
    QLabel* LabelAcceptorH2 = nullptr;
    QLabel* LabelAcceptorH3 = nullptr;
    QPushButton* ButtonEvaluation1 = nullptr;    // "Evaluation"
    QPushButton* ButtonEvaluation2 = nullptr;
    QPushButton* ButtonEvaluation3 = nullptr;
    QLabel* LabelDensity1 = nullptr;
    QLabel* LabelDensity2 = nullptr;
    QLabel* LabelDensity3 = nullptr;
    QLabel* LabelEnergy1 = nullptr;
    QLabel* LabelEnergy2 = nullptr;
    QLabel* LabelEnergy3 = nullptr;
    QLabel* LabelCDensity1 = nullptr;
    QLabel* LabelCDensity2 = nullptr;
    QLabel* LabelCDensity3 = nullptr;
    QPushButton* ButtonSaveH1 = nullptr;         // "Save Obtained Results (*.H1)"
    QPushButton* ButtonSaveH2 = nullptr;
    QPushButton* ButtonSaveH3 = nullptr;
    QLabel* LabelFilenameH1 = nullptr;
    QLabel* LabelFilenameH2 = nullptr;
    QLabel* LabelFilenameH3 = nullptr;
    QPushButton* ButtonSaveFigureH1 = nullptr;   // "Save Figure (*H1.bmp)"
    QPushButton* ButtonSaveFigureH2 = nullptr;
    QPushButton* ButtonSaveFigureH3 = nullptr;
    // Copies of earlier results on the stage-2 and stage-3 pages.
    QLabel* LabelDensity1H2 = nullptr;
    QLabel* LabelEnergy1H2 = nullptr;
    QLabel* LabelComDensityH2 = nullptr;
    QLabel* LabelDensity1H3 = nullptr;
    QLabel* LabelEnergy1H3 = nullptr;
    QLabel* LabelDensity2H3 = nullptr;
    QLabel* LabelEnergy2H3 = nullptr;
    QLabel* LabelComDensityH3 = nullptr;
    QPushButton* ButtonUseNegativeNcom = nullptr; // "Use Negative Compensating Density"
    // 0 black line H_k, 1 red line, 2 lime peak square, 3 experimental circles
    ChartPlot* ChartH1 = nullptr;
    ChartPlot* ChartH2 = nullptr;
    ChartPlot* ChartH3 = nullptr;
    FormulaPicture PictureFunction[3]; // H_k or S_k
    FormulaPicture PictureDensity[3];  // density symbol of species k
    FormulaPicture PictureEnergy[3];   // energy-level symbol of species k
    FormulaPicture PictureCDensity[3]; // compensating-density symbol

    // ---- page 6: simulation -----------------------------------------------------
    QLabel* LabelSDonor = nullptr;
    QLabel* LabelSAcceptor = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QCheckBox* CheckBox3 = nullptr;
    QCheckBox* CheckBox4 = nullptr;            // compensating density
    QLineEdit* EditSDensity1 = nullptr;
    QLineEdit* EditSDensity2 = nullptr;
    QLineEdit* EditSDensity3 = nullptr;
    QLineEdit* EditSEnergy1 = nullptr;
    QLineEdit* EditSEnergy2 = nullptr;
    QLineEdit* EditSEnergy3 = nullptr;
    QLineEdit* EditSG1 = nullptr;              // "g="
    QLineEdit* EditSG2 = nullptr;
    QLineEdit* EditSG3 = nullptr;
    QLineEdit* EditSCDensity = nullptr;
    QPushButton* ButtonSimulation = nullptr;   // "Simulation"
    QPushButton* ButtonSaveSimulation = nullptr; // "Save Simulation (*.simH)"
    QLabel* LabelFilenameSimulation = nullptr;
    // How far the simulation lies from the measured points (red above 20 %).
    QLabel* LabelSimulationDeviation = nullptr;
    QPushButton* ButtonSaveFigureSimulation1 = nullptr; // "Save Figure (*SimH1.bmp)"
    QPushButton* ButtonSaveFigureSimulation2 = nullptr; // "Save Figure (*SimH2.bmp)"
    QPushButton* ButtonSeeResults = nullptr;   // "See Remarks!"
    QPushButton* ButtonSaveResults = nullptr;  // "Save Results"
    QPushButton* ButtonBestModel = nullptr;      // "Best Model (the species the data support)"
    QPushButton* ButtonFineAdjustment = nullptr; // "Fine Adjustment of densities and energy levels (Curve-fitting)"
    ChartPlot* ChartSimulationReverseT = nullptr; // 0 points at 1000/T, 1 simulated line
    ChartPlot* ChartSimulationT = nullptr;        // 0 points, 1 simulated line
    FormulaPicture PictureSimDensity[3];
    FormulaPicture PictureSimEnergy[3];
    FormulaPicture PictureSimCDensity;

    // Every formula picture of the window (for the presentation and tests).
    std::vector<FormulaPicture*> pictures();

    // Ctrl+S: the save button of the page shown.
    QAction* ActionSaveCurrentPage = nullptr;

    // ---- the desk: keyboard, hints, availability, dropping a file ------------------
    // Top-level mnemonics, shortcuts, tooltips, status bar, drop target.
    void setUpDesk();
    // Hides the buttons whose window this build lacks.
    void updateAvailability();
    // Menu open (true) or closed: the items whose window this build lacks
    // are disabled while it is open.
    void holdMissingWindowItems(bool hold);
    // The status bar names the next step of the analysis.
    void showNextStep();
    QString nextStepText() const;
    // Clicks the save button of the page shown (Ctrl+S); a word in the
    // status bar when there is nothing to save there yet.
    void saveCurrentPage();
    // A data file dropped on the window or named on the command line:
    // loaded as "Load Data" loads the file chosen in its dialog.
    void loadDataFile(const QString& path);
    // The spline's largest deviation beside the smoothness.
    void showSplineDeviation(const SplineOutcome& out);
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Closing the main window ends the program: every other window closes.
    // Unsaved results are asked about first.
    void closeEvent(QCloseEvent* event) override;
    // The save button of the first result computed but not saved (spline,
    // Fermi level, a stage, the simulation), null when everything is saved.
    QPushButton* unsavedResultsButton() const;
    // Before the analysis in use is replaced or dropped: with unsaved
    // results the user chooses to save them (true when the save worked),
    // to discard them (true) or to cancel (false).
    bool confirmReplaceAnalysis();

    // ---- modes, general reset ------------------------------------------------------
    void setMode(bool advanced);
    // The secondary windows exist: listen to them (start-up, once).
    void windowsRegistered();
    // The function type window switched H <-> S: the stage pages start over.
    void functionTypeChanged(PageReset resetFrom);
    // The Simulation page's ticks and texts from C.simulationInputs.
    void renderSimulationInputs();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resetWindow();
    // What resetWindow does to the window, with the analysis object as it is
    // (new data that replaced the sample started from the general reset).
    void resetPages();

    // ---- page resets and presentation -------------------------------------------------
    void resetExperimentalDisplay();
    void resetSplineDisplay();
    void resetFermiPage();
    void resetStage1Page();
    void resetStage2Page();
    void resetStage2Results();
    void resetStage3Page();
    void resetStage3Results();
    void resetSimulationPage();
    void showNeutralPresentation();
    void applyConductionType();
    void applyFunctionType();
    // Species input k (0..2) and the compensating-density input of the
    // Simulation page back to their empty values.
    void resetSpeciesInput(int k);
    void resetCompensationInput();

    // ---- helpers shared by the stage handlers -------------------------------------------
    // Draws the experimental points (reliability >= reliability::kPlotted) on the two
    // concentration charts and the two simulation charts, after clearing
    // both series of all four; with `presentType` the conduction type is
    // applied first.
    void plotExperimentalData(bool presentType);
    // The new-data follow-up: panels and label, sample condition and
    // obtained results refreshed, other analyses closed, reset cascade from
    // the spline on, compensating density 0, stage captions "Calculation".
    void newDataFollowUp();
    // Shows experimentalDataFileName and sampleNumber in the label and panels.
    void showSampleIdentity();
    // Refreshes the sample condition window from C.
    void refreshSampleCondition();
    // Clears the obtained-results text and fills it again from C.
    void refreshObtainedResults();
    // Closes the windows of the other analyses ("Only One Impurity", "One
    // Donor and One Acceptor", "DHES", "Consideration of Excited States",
    // "Curve Fitting"), disables their menu items, "DX Center" and
    // ButtonFineAdjustment.
    void closeOtherAnalyses();
    // Closes the excited-states and curve-fitting windows only.
    void closeExcitedStatesWindow();
    void closeCurveFittingWindow();
    // Closes the three windows of the conventional analyses and DHES
    // without touching their menu items.
    void closeConventionalWindows();
    // Captions of the three stage calculation buttons back to "Calculation"
    // (ButtonCalcH1 "Auto Calculation" in Advanced mode).
    void resetStageCaptions();
    // Saves `chart` as a figure named after `baseFileName` with its
    // extension replaced by `suffix`; disables `button` after a save.
    // Returns true when a file was written.
    bool saveFigure(ChartPlot* chart, QPushButton* button, const std::string& baseFileName,
                    const QString& suffix);
    // `path` with its extension (after the last dot of the file name)
    // replaced by `suffix`; a name without extension gets the suffix appended.
    static QString replaceExtension(const QString& path, const QString& suffix);
    // Prepare-and-show of the semiconductor information table.
    void showSemiconductorInformation();
    // Clears the obtained-results text and resets that window (All Clear).
    void clearAndResetObtainedResults();
    // The six page labels show C.programTitle.
    void showProgramTitle();
    // The printer used by "Print"; it keeps the set-up between prints.
    QPrinter* printer();

    // ---- handlers: shell and menus ------------------------------------------------------
    void PageControl1Change();
    void AllClearMainClick();
    void PrintMainClick();
    void ExportReportClick();
    void ExitMainClick();
    void EditorMainClick();
    void SampleConditionClick();
    void ObtainedResultsClick();
    void AutomaticEvaluationTypeClick();
    void TypeOfFunctionClick();
    void MenuInverseTClick();
    void MenuInverseTComClick();
    void MenuDHESClick();
    void MenuExcitedStatesClick();
    void MenuCurveFittingClick();
    void MenuBestModelClick();
    void DXCenterClick(); // does nothing
    void VersionClick();
    void InformationClick();
    void HelpClick();
    void InformationSemiconductorClick();
    void ButtonFineAdjustmentClick();
    void ButtonBestModelClick();
    // The menu item and the Simulation page's button of the best model.
    void setBestModelEnabled(bool enabled);
    void NormalModeClick();
    void AdvancedModeClick();

    // ---- handlers: figure saving ---------------------------------------------------------
    void ButtonSaveFigureCon1Click();
    void ButtonSaveFigureCon2Click();
    void ButtonSaveFigureFermiClick();
    void ButtonSaveFigureH1Click();
    void ButtonSaveFigureH2Click();
    void ButtonSaveFigureH3Click();
    void ButtonSaveFigureSimulation1Click();
    void ButtonSaveFigureSimulation2Click();

    // ---- handlers: experimental data ---------------------------------------------------------
    void ButtonInputDataClick();
    void ButtonLoadExperimentalClick();
    void LoadExperimentalClick();
    // What "Load Data" does once its dialog has chosen `path`.
    void loadExperimentalFile(const QString& path);
    void ButtonChangeDataClick();

    // ---- handlers and operations of the data-for-analysis, Fermi, stage and simulation pages
    // data for analysis
    void ButtonCalcSplineClick();
    void ButtonAutoSmoothnessClick();
    void ButtonSaveSplineClick();
    void LoadSplineClick();
    // material parameters
    // The material parameters of C on the Fermi page.
    void showMaterial();
    void ButtonSeeInformationClick();
    void ButtonInputChangeInformationClick();
    void ButtonCalcEffectiveDensityOfStatesClick();
    // Fermi level
    void ButtonCalcFermiLevelClick();
    void ButtonSaveFermiLevelClick();
    void ButtonSaveExperimentalFermiLevelDataClick();
    void LoadFermiLevelClick();
    // manual E_ref of stage 1
    void ButtonDecreaseErefH1Click();
    void ButtonDecreaseErefH1PreciseClick();
    void ButtonIncreaseErefH1PreciseClick();
    void ButtonIncreaseErefH1Click();
    void ButtonCalculationH1PreciseClick();
    // peak stepping
    void ButtonDecreasePeakH1Click();
    void ButtonIncreasePeakH1Click();
    void ButtonDecreasePeakH2Click();
    void ButtonIncreasePeakH2Click();
    void ButtonDecreasePeakH3Click();
    void ButtonIncreasePeakH3Click();
    // automatic calculation
    void ButtonCalcH1Click();
    void ButtonCalcH2Click();
    void ButtonCalcH3Click();
    // evaluation
    void ButtonEvaluation1Click();
    void ButtonEvaluation2Click();
    void ButtonEvaluation3Click();
    void ButtonUseNegativeNcomClick();
    // result files
    void ButtonSaveH1Click();
    void ButtonSaveH2Click();
    void ButtonSaveH3Click();
    void ButtonSaveExperimentalH1DataClick();
    void ButtonSaveExperimentalH2DataClick();
    void ButtonSaveExperimentalH3DataClick();
    // simulation, obtained results, remarks
    void ButtonSimulationClick();
    void ButtonSaveSimulationClick();
    void ButtonSaveResultsClick();
    void ButtonSeeResultsClick();

private:
    void buildMenus();
    void buildPages();
    QWidget* buildConcentrationPage();
    QWidget* buildFermiPage();
    QWidget* buildStagePage(int k);
    QWidget* buildSimulationPage();
    void connectHandlers();
    void loadExperimental();
    // The new-data follow-up without its first step (label and panels).
    void followUpAfterIdentity();
    // The conduction-type texts of the Fermi page for the current sample.
    void presentFermiPageConductionType();
    void clearStageCopiesOnH2();
    void clearStageCopiesOnH3();
    void setFunctionCaptions();
    void setFormulaForms(FormulaPicture::Form form);
    // Pieces created per stage, reached by index in the resets.
    struct StageControls {
        QGroupBox* calcGroup;
        QPushButton* calc;
        QLabel* eref;
        QLabel* peakT;
        QLabel* peakV;
        QPushButton* peakDown;
        QPushButton* peakUp;
        QPushButton* evaluation;
        QLabel* density;
        QLabel* energy;
        QLabel* cdensity;
        QPushButton* save;
        QLabel* fileName;
        QPushButton* saveFigure;
        QPushButton* saveExperimental;
        QLineEdit* g;
        ChartPlot* chart;
    };
    StageControls stage(int k) const;
    std::unique_ptr<QPrinter> printer_;

    // spline and Fermi pages
    // Series 1 of both concentration charts refilled from the grid.
    void drawSplineSeries();
    // Series 0 of the Fermi chart refilled from fermiLevel on the grid.
    void drawFermiLevelSeries();
    // The pages of stage 1 to the simulation cleared (C was reset by the
    // core operation), stage captions back to "Calculation".
    void resetLaterPages();
    // Every page from stage `from` on cleared (from FermiLevel on also the
    // stage captions and the simulation inputs), as the outcome of a core
    // operation names the stage: the one place of page resets.
    void resetPagesFrom(PipelineStage from);
    void resetPagesFrom(PageReset from); // nothing when empty
    // Stage 1 may start: its calculation, the E_ref steps and the precise
    // calculation.
    void enableStage1Start();

    // stage pages
    // One long computation (E_ref search, evaluation): wait cursor on while
    // it runs (C drives the progress windows). done(), or the end of the
    // scope, closes both progress windows and restores the cursor, on every
    // path out of a handler.
    class BusyGuard {
    public:
        BusyGuard();
        ~BusyGuard();
        BusyGuard(const BusyGuard&) = delete;
        BusyGuard& operator=(const BusyGuard&) = delete;
        void done();

    private:
        bool active_ = true;
    };
    // Series 0 (black line) of stage k from hCurve[k] on the grid.
    void drawStageCurve(int k);
    // Series 2 (peak square) and the peak labels from peakIndex[k].
    void drawStagePeak(int k);
    // Series 3 from experimentalHCurve[k]: every point, or only those with a
    // reliability above reliability::kTrusted.
    void drawStageExperimental(int k, bool everyPoint);
    // LabelEref of stage k (and EditEref1 for stage 0) from referenceEnergy[k].
    void showStageReferenceEnergy(int k);
    // What a stage calculation left: messages, buttons, curve and peak, the
    // recalculation question. `precise`: the typed-E_ref calculation of H1.
    void showStageCalculation(int k, const StageCalculationOutcome& out, bool precise);
    // "<" / ">" of the Change Peak row of stage k.
    void stepStagePeak(int k, bool up);
    // 0 < peakIndex[k] < N-1: the peak can be evaluated.
    static bool stagePeakInside(int k);
    // The "Evaluation" button of stage k.
    void evaluateStagePage(int k);
};
