// Main window: creation, menus, operating modes, general reset and the
// menu actions that only open other windows or print.
#include "app/Hall.h"

#include "analysis/data/Analysis.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Modal.h"
#include "toolkit/PrintWindow.h"
#include "toolkit/WindowRegistry.h"

#include <QAction>
#include <QEvent>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QTabWidget>

const QString MainOpenFilter =
    "Experimental Data (*.nT or *.pT)|*.nT;*.pT|Data forAnalysis (*.spl)|*.spl|Fermi Level (*.fl)|*.fl";

const QString MainSaveFilter =
    "Data for Analysis (*.spl)|*.spl|Fermi Level (*.fl)|*.fl|H1 (*.H1)|*.H1|H2 (*.H2)|*.H2|"
    "H3 (*.H3)|*.H3|Simulated Concentartion (*.simH, *.simS)|*.simH;*.simS|S1 (*.S1)|*.S1|"
    "S2 (*.S2)|*.S2|S3 (*.S3)|*.S3|Figure (*.bmp)|*.bmp|Experimental H1 (*.H1E)|*.H1E|"
    "Experimental S1 (*.S1E)|*.S1E|Experimental Fermi level (*.flE)|*.flE|"
    "Experimental H2 (*.H2E)|*.H2E|Experimental S2 (*.S2E)|*.S2E|"
    "Experimental H3 (*.H3E)|*.H3E|Experimental S3 (*.S3E)|*.S3E";


TFormMain::TFormMain(int releaseFlag, QWidget* parent) : QMainWindow(parent)
{
    setObjectName("FormMain");
    setWindowTitle("VORN");
    buildMenus();
    buildPages();
    connectHandlers();

    C.startUp(releaseFlag);
    setMode(C.releaseFlag != 1);
    move(20, 10);
    resetWindow();
    setUpDesk();
}

TFormMain::~TFormMain() = default;

QPrinter* TFormMain::printer()
{
    if (!printer_)
        printer_ = std::make_unique<QPrinter>();
    return printer_.get();
}

void TFormMain::buildMenus()
{
    QMenuBar* bar = menuBar();
    auto item = [](QMenu* menu, const QString& caption) { return menu->addAction(caption); };

    QMenu* file = bar->addMenu("File");
    MenuFile = file->menuAction();
    MenuLoadExperimental = item(file, "Experimental Data (*.pT or *.nT)");
    MenuLoadSpline = item(file, "Data for Analysis(*.spl)");
    MenuLoadFermiLevel = item(file, "Fermi Level (*.fl)");
    file->addSeparator();
    MenuAllClear = item(file, "All Clear");
    file->addSeparator();
    MenuPrint = item(file, "Print");
    MenuExportReport = item(file, "Export Report");
    file->addSeparator();
    MenuExit = item(file, "Exit");

    QMenu* data = bar->addMenu("Data");
    MenuData = data->menuAction();
    MenuFileViewer = item(data, "File Viewer");
    MenuSampleCondition = item(data, "Sample Condition");
    MenuObtainedResults = item(data, "Obtained Results");

    QMenu* option = bar->addMenu("Option");
    MenuOption = option->menuAction();
    MenuAutomaticEvaluationType = item(option, "Automatic Evaluation Type");
    MenuTypeOfFunction = item(option, "Type of Function to be evaluated");
    option->addSeparator();
    MenuNormalMode = item(option, "Normal Mode");
    MenuAdvancedMode = item(option, "Advanced Mode");

    QMenu* distribution = bar->addMenu("Distribution Function");
    MenuDistributionFunction = distribution->menuAction();
    MenuExcitedStates = item(distribution, "Consideration of Excited States");
    MenuDXCenter = item(distribution, "DX Center");

    QMenu* other = bar->addMenu("Other Analyses");
    MenuOtherAnalyses = other->menuAction();
    MenuInverseT = item(other, "Only One Impurity");
    MenuInverseTCom = item(other, "One Donor and One Acceptor");
    MenuDHES = item(other, "DHES");
    MenuCurveFitting = item(other, "Curve Fitting");
    other->addSeparator();
    MenuBestModel = item(other, "Best Model");

    QMenu* help = bar->addMenu("Help");
    MenuHelp = help->menuAction();
    MenuVersion = item(help, "Version");
    MenuLatestVersion = item(help, "Information on Latest Version");
    help->addSeparator();
    MenuHelpViewer = item(help, "Help");

    QMenu* information = bar->addMenu("Information");
    MenuInformation = information->menuAction();
    MenuInformationSemiconductor = item(information, "Information on Semiconductors");
}

void TFormMain::connectHandlers()
{
    auto onAction = [this](QAction* a, void (TFormMain::*handler)()) {
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    };
    auto onClick = [this](QPushButton* b, void (TFormMain::*handler)()) {
        connect(b, &QPushButton::clicked, this, [this, handler] { (this->*handler)(); });
    };

    onAction(MenuLoadExperimental, &TFormMain::LoadExperimentalClick);
    onAction(MenuLoadSpline, &TFormMain::LoadSplineClick);
    onAction(MenuLoadFermiLevel, &TFormMain::LoadFermiLevelClick);
    onAction(MenuAllClear, &TFormMain::AllClearMainClick);
    onAction(MenuPrint, &TFormMain::PrintMainClick);
    onAction(MenuExportReport, &TFormMain::ExportReportClick);
    onAction(MenuExit, &TFormMain::ExitMainClick);
    onAction(MenuFileViewer, &TFormMain::EditorMainClick);
    onAction(MenuSampleCondition, &TFormMain::SampleConditionClick);
    onAction(MenuObtainedResults, &TFormMain::ObtainedResultsClick);
    onAction(MenuAutomaticEvaluationType, &TFormMain::AutomaticEvaluationTypeClick);
    onAction(MenuTypeOfFunction, &TFormMain::TypeOfFunctionClick);
    onAction(MenuNormalMode, &TFormMain::NormalModeClick);
    onAction(MenuAdvancedMode, &TFormMain::AdvancedModeClick);
    onAction(MenuExcitedStates, &TFormMain::MenuExcitedStatesClick);
    onAction(MenuDXCenter, &TFormMain::DXCenterClick);
    onAction(MenuInverseT, &TFormMain::MenuInverseTClick);
    onAction(MenuInverseTCom, &TFormMain::MenuInverseTComClick);
    onAction(MenuDHES, &TFormMain::MenuDHESClick);
    onAction(MenuCurveFitting, &TFormMain::MenuCurveFittingClick);
    onAction(MenuBestModel, &TFormMain::MenuBestModelClick);
    onAction(MenuVersion, &TFormMain::VersionClick);
    onAction(MenuLatestVersion, &TFormMain::InformationClick);
    onAction(MenuHelpViewer, &TFormMain::HelpClick);
    onAction(MenuInformationSemiconductor, &TFormMain::InformationSemiconductorClick);

    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });

    // page 1
    onClick(ButtonInputData, &TFormMain::ButtonInputDataClick);
    onClick(ButtonLoadExperimental, &TFormMain::ButtonLoadExperimentalClick);
    onClick(ButtonChangeData, &TFormMain::ButtonChangeDataClick);
    onClick(ButtonCalcSpline, &TFormMain::ButtonCalcSplineClick);
    onClick(ButtonAutoSmoothness, &TFormMain::ButtonAutoSmoothnessClick);
    // "Auto" can run whenever "Calculation" can.
    ButtonAutoSmoothness->setEnabled(ButtonCalcSpline->isEnabled());
    ButtonCalcSpline->installEventFilter(this);
    onClick(ButtonSaveSpline, &TFormMain::ButtonSaveSplineClick);
    onClick(ButtonSaveFigureCon1, &TFormMain::ButtonSaveFigureCon1Click);
    onClick(ButtonSaveFigureCon2, &TFormMain::ButtonSaveFigureCon2Click);
    // page 2
    onClick(ButtonSeeInformation, &TFormMain::ButtonSeeInformationClick);
    onClick(ButtonInputChangeInformation, &TFormMain::ButtonInputChangeInformationClick);
    onClick(ButtonCalcEffectiveDensityOfStates, &TFormMain::ButtonCalcEffectiveDensityOfStatesClick);
    onClick(ButtonCalcFermiLevel, &TFormMain::ButtonCalcFermiLevelClick);
    onClick(ButtonSaveFermiLevel, &TFormMain::ButtonSaveFermiLevelClick);
    onClick(ButtonSaveExperimentalFermiLevelData, &TFormMain::ButtonSaveExperimentalFermiLevelDataClick);
    onClick(ButtonSaveFigureFermi, &TFormMain::ButtonSaveFigureFermiClick);
    // stage pages
    onClick(ButtonCalcH1, &TFormMain::ButtonCalcH1Click);
    onClick(ButtonCalcH2, &TFormMain::ButtonCalcH2Click);
    onClick(ButtonCalcH3, &TFormMain::ButtonCalcH3Click);
    onClick(ButtonDecreaseErefH1, &TFormMain::ButtonDecreaseErefH1Click);
    onClick(ButtonDecreaseErefH1Precise, &TFormMain::ButtonDecreaseErefH1PreciseClick);
    onClick(ButtonIncreaseErefH1Precise, &TFormMain::ButtonIncreaseErefH1PreciseClick);
    onClick(ButtonIncreaseErefH1, &TFormMain::ButtonIncreaseErefH1Click);
    onClick(ButtonCalculationH1Precise, &TFormMain::ButtonCalculationH1PreciseClick);
    onClick(ButtonDecreasePeakH1, &TFormMain::ButtonDecreasePeakH1Click);
    onClick(ButtonIncreasePeakH1, &TFormMain::ButtonIncreasePeakH1Click);
    onClick(ButtonDecreasePeakH2, &TFormMain::ButtonDecreasePeakH2Click);
    onClick(ButtonIncreasePeakH2, &TFormMain::ButtonIncreasePeakH2Click);
    onClick(ButtonDecreasePeakH3, &TFormMain::ButtonDecreasePeakH3Click);
    onClick(ButtonIncreasePeakH3, &TFormMain::ButtonIncreasePeakH3Click);
    onClick(ButtonEvaluation1, &TFormMain::ButtonEvaluation1Click);
    onClick(ButtonEvaluation2, &TFormMain::ButtonEvaluation2Click);
    onClick(ButtonEvaluation3, &TFormMain::ButtonEvaluation3Click);
    onClick(ButtonUseNegativeNcom, &TFormMain::ButtonUseNegativeNcomClick);
    onClick(ButtonSaveH1, &TFormMain::ButtonSaveH1Click);
    onClick(ButtonSaveH2, &TFormMain::ButtonSaveH2Click);
    onClick(ButtonSaveH3, &TFormMain::ButtonSaveH3Click);
    onClick(ButtonSaveExperimentalH1Data, &TFormMain::ButtonSaveExperimentalH1DataClick);
    onClick(ButtonSaveExperimentalH2Data, &TFormMain::ButtonSaveExperimentalH2DataClick);
    onClick(ButtonSaveExperimentalH3Data, &TFormMain::ButtonSaveExperimentalH3DataClick);
    onClick(ButtonSaveFigureH1, &TFormMain::ButtonSaveFigureH1Click);
    onClick(ButtonSaveFigureH2, &TFormMain::ButtonSaveFigureH2Click);
    onClick(ButtonSaveFigureH3, &TFormMain::ButtonSaveFigureH3Click);
    // simulation page
    onClick(ButtonSimulation, &TFormMain::ButtonSimulationClick);
    onClick(ButtonSaveSimulation, &TFormMain::ButtonSaveSimulationClick);
    onClick(ButtonSaveFigureSimulation1, &TFormMain::ButtonSaveFigureSimulation1Click);
    onClick(ButtonSaveFigureSimulation2, &TFormMain::ButtonSaveFigureSimulation2Click);
    onClick(ButtonSeeResults, &TFormMain::ButtonSeeResultsClick);
    onClick(ButtonSaveResults, &TFormMain::ButtonSaveResultsClick);
    onClick(ButtonFineAdjustment, &TFormMain::ButtonFineAdjustmentClick);
    onClick(ButtonBestModel, &TFormMain::ButtonBestModelClick);

    // The Simulation page's inputs are the analysis object's: every change,
    // typed or set by a reset, goes there at once.
    const std::pair<QLineEdit*, SimulationField> edits[] = {
        {EditSDensity1, SimulationField::Density1}, {EditSEnergy1, SimulationField::Energy1},
        {EditSG1, SimulationField::Degeneracy1},     {EditSDensity2, SimulationField::Density2},
        {EditSEnergy2, SimulationField::Energy2},   {EditSG2, SimulationField::Degeneracy2},
        {EditSDensity3, SimulationField::Density3}, {EditSEnergy3, SimulationField::Energy3},
        {EditSG3, SimulationField::Degeneracy3},     {EditSCDensity, SimulationField::Compensating}};
    for (const auto& [edit, field] : edits)
        connect(edit, &QLineEdit::textChanged, this,
                [field](const QString& text) { C.setSimulationInput(field, text.toStdString()); });
    QCheckBox* boxes[] = {CheckBox1, CheckBox2, CheckBox3, CheckBox4};
    for (int i = 0; i < 4; ++i)
        connect(boxes[i], &QCheckBox::toggled, this, [i](bool on) { C.setSimulationTick(i, on); });
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ButtonCalcSpline && event->type() == QEvent::EnabledChange)
        ButtonAutoSmoothness->setEnabled(ButtonCalcSpline->isEnabled());
    return QMainWindow::eventFilter(watched, event);
}

void TFormMain::renderSimulationInputs()
{
    const SimulationInputs& in = C.simulationInputs;
    QCheckBox* boxes[] = {CheckBox1, CheckBox2, CheckBox3};
    QLineEdit* densities[] = {EditSDensity1, EditSDensity2, EditSDensity3};
    QLineEdit* energies[] = {EditSEnergy1, EditSEnergy2, EditSEnergy3};
    QLineEdit* gs[] = {EditSG1, EditSG2, EditSG3};
    // Copies taken first: each setText writes back into C.simulationInputs.
    const SimulationInputs copy = in;
    for (int k = 0; k < 3; ++k) {
        boxes[k]->setChecked(copy.speciesTicked[k]);
        densities[k]->setText(QString::fromStdString(copy.density[k]));
        energies[k]->setText(QString::fromStdString(copy.energy[k]));
        gs[k]->setText(QString::fromStdString(copy.degeneracy[k]));
    }
    CheckBox4->setChecked(copy.compensationTicked);
    EditSCDensity->setText(QString::fromStdString(copy.compensating));
}

void TFormMain::windowsRegistered()
{
    windows().listener = [this](WindowEvent e, PageReset resetFrom) {
        if (e == WindowEvent::FunctionTypeChanged) {
            functionTypeChanged(resetFrom);
            return;
        }
        (e == WindowEvent::DataSheetSaved ? dataSheetSaved : conversionSaved) = true;
        enteredDataReset = resetFrom;
    };
    windows().replaceGuard = [this] { return confirmReplaceAnalysis(); };
    updateAvailability();
}

void TFormMain::functionTypeChanged(PageReset resetFrom)
{
    resetPagesFrom(resetFrom);
    if (C.stage1Ready())
        ButtonCalcH1->setEnabled(true);
    applyFunctionType();
    renderSimulationInputs();
}

void TFormMain::setMode(bool advanced)
{
    // Controls that only Advanced mode shows.
    QWidget* manual[] = {ButtonSaveExperimentalFermiLevelData, ButtonDecreaseErefH1,
                         ButtonIncreaseErefH1, ButtonCalculationH1Precise, EditEref1,
                         ButtonDecreaseErefH1Precise, ButtonIncreaseErefH1Precise,
                         ButtonSaveExperimentalH1Data, LabelChangePeakH1, ButtonDecreasePeakH1,
                         ButtonIncreasePeakH1, ButtonUseNegativeNcom, LabelChangePeakH2,
                         ButtonDecreasePeakH2, ButtonIncreasePeakH2, ButtonSaveExperimentalH2Data,
                         LabelChangePeakH3, ButtonDecreasePeakH3, ButtonIncreasePeakH3,
                         ButtonSaveExperimentalH3Data};
    QAction* manualItems[] = {MenuLoadSpline, MenuLoadFermiLevel, MenuDistributionFunction,
                              MenuDXCenter, MenuAutomaticEvaluationType, MenuTypeOfFunction};
    for (QWidget* w : manual)
        w->setVisible(advanced);
    for (QAction* a : manualItems)
        a->setVisible(advanced);

    C.setAdvancedMode(advanced);

    ButtonCalcH1->setText(advanced ? "Auto Calculation" : "Calculation");
    LabelEref1->setVisible(!advanced);
    MenuNormalMode->setEnabled(advanced);
    MenuAdvancedMode->setEnabled(!advanced);
    MenuOption->setVisible(advanced || C.releaseFlag != 1);
    // The page labels show the title in force, suffix included.
    showProgramTitle();
}

void TFormMain::showProgramTitle()
{
    const QString title = QString::fromStdString(C.programTitle);
    for (QLabel* l : {LabelVerCon, LabelVerFermi, LabelVerH1, LabelVerH2, LabelVerH3, LabelVerSim})
        l->setText(title);
}

void TFormMain::resetWindow()
{
    C.resetFrom(PipelineStage::ExperimentalData);
    resetPagesFrom(PipelineStage::ExperimentalData);
}

void TFormMain::resetPages()
{
    showProgramTitle();
    PanelSampleNumber->clear();
    PanelFilenameExperimentalData->clear();
    openDialogFileName.clear();
    saveDialogFileName.clear();

    for (QAction* a : {MenuLoadSpline, MenuLoadFermiLevel, MenuExcitedStates, MenuDXCenter,
                       MenuInverseT, MenuInverseTCom, MenuDHES, MenuCurveFitting})
        a->setEnabled(false);
    ButtonFineAdjustment->setEnabled(false);
    setBestModelEnabled(false);

    resetExperimentalDisplay();
    resetSplineDisplay();
    resetFermiPage();
    resetStage1Page();
    resetStage2Page();
    resetStage3Page();
    resetSimulationPage();
    ButtonSimulation->setEnabled(false);
    ButtonSaveSimulation->setEnabled(false);

    ButtonUseNegativeNcom->setText("Use Negative Compensating Density");

    showNeutralPresentation();
}

void TFormMain::resetStageCaptions()
{
    ButtonCalcH1->setText(C.advancedMode == 1 ? "Auto Calculation" : "Calculation");
    ButtonCalcH2->setText("Calculation");
    ButtonCalcH3->setText("Calculation");
}

void TFormMain::AllClearMainClick()
{
    if (!confirmReplaceAnalysis())
        return;
    resetWindow();
    resetStageCaptions();
    refreshSampleCondition();
    clearAndResetObtainedResults();
    closeOtherAnalyses();
}

void TFormMain::PageControl1Change()
{
    if (PageControl1->currentWidget() != TabSheet6)
        return;
    if (C.lastEvaluatedStage < 0)
        ButtonSeeResults->setEnabled(false);
    else if (C.compensatingDensity > 0)
        ButtonSeeResults->setEnabled(true);
}

void TFormMain::PrintMainClick() { printWindow(this, printer(), "The main window could not be printed."); }

void TFormMain::ExitMainClick() { close(); }

void TFormMain::NormalModeClick() { setMode(false); }

void TFormMain::AdvancedModeClick() { setMode(true); }

void TFormMain::DXCenterClick()
{
    // The item exists for symmetry with "Consideration of Excited States";
    // there is no DX-center analysis (the open menu shows the item disabled).
}
