// Main window shell: creation, menus, modes, general reset, presentation.
#include "HallTestSupport.h"
#include "curvefit/Curvefitting.h"
#include "input/Samplecondition.h"
#include "spectroscopy/Obtainedresults.h"
#include "utilities/Aboutbox.h"
#include "utilities/Html.h"
#include "utilities/Informationsemiconductor.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QPrinter>
#include <QTemporaryDir>
#include <sstream>

namespace {

QStringList menuLayout(QAction* menuAction)
{
    QStringList out;
    for (QAction* a : menuAction->menu()->actions())
        out << (a->isSeparator() ? QString("-") : a->text());
    return out;
}

// Every effect of the general reset that can be seen on the window.
void expectGeneralResetState(TFormMain* m)
{
    const QString title = QString::fromStdString(C.programTitle);
    for (QLabel* l : {m->LabelVerCon, m->LabelVerFermi, m->LabelVerH1, m->LabelVerH2, m->LabelVerH3,
                      m->LabelVerSim})
        EXPECT_EQ(l->text(), title) << l->objectName().toStdString();
    EXPECT_TRUE(m->PanelSampleNumber->text().isEmpty());
    EXPECT_TRUE(m->PanelFilenameExperimentalData->text().isEmpty());
    EXPECT_TRUE(m->openDialogFileName.isEmpty());
    EXPECT_TRUE(m->saveDialogFileName.isEmpty());
    for (QAction* a : {m->MenuLoadSpline, m->MenuLoadFermiLevel, m->MenuExcitedStates, m->MenuDXCenter,
                       m->MenuInverseT, m->MenuInverseTCom, m->MenuDHES, m->MenuCurveFitting})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();

    // Carrier concentration page.
    for (ChartPlot* c : {m->ChartExperimentalLinear, m->ChartExperimentalLog}) {
        EXPECT_EQ(c->leftTitle(), "Free Carrier Concentration  [cm^-3]");
        EXPECT_EQ(c->count(0), 0);
        EXPECT_EQ(c->count(1), 0);
    }
    EXPECT_FALSE(m->dataSheetSaved);
    EXPECT_FALSE(m->conversionSaved);
    EXPECT_TRUE(m->LabelFilenameExperimentalData->text().isEmpty());
    EXPECT_TRUE(m->LabelFilenameSpline->text().isEmpty());
    EXPECT_EQ(m->EditSmoothness->text(), "5000");
    EXPECT_TRUE(m->ButtonInputData->isEnabled());
    EXPECT_TRUE(m->ButtonLoadExperimental->isEnabled());

    // Fermi page.
    EXPECT_EQ(m->ChartFermiLevel->leftTitle(), "Fermi Level  [eV]");
    EXPECT_EQ(m->ChartFermiLevel->count(0), 0);
    EXPECT_EQ(m->ChartFermiLevel->count(1), 0);
    EXPECT_TRUE(m->LabelFermiSemiconductor->text().isEmpty());
    EXPECT_EQ(m->LabelFermiConductionTypeN->text(), "n-type");
    EXPECT_EQ(m->LabelFermiConductionTypeP->text(), "p-type");
    EXPECT_EQ(m->EditMass->text(), "1");
    EXPECT_EQ(m->EditEquivalentMinima->text(), "1");
    EXPECT_EQ(m->EditEffectiveDensityOfStates->text(), "9.4E49");
    EXPECT_TRUE(m->EditFermiLevelComment->text().isEmpty());
    EXPECT_TRUE(m->LabelFilenameFermiLevel->text().isEmpty());

    // Stage pages.
    EXPECT_EQ(m->ButtonCalcH1->text(), C.advancedMode ? "Auto Calculation" : "Calculation");
    EXPECT_EQ(m->LabelEref1->text(), "0");
    EXPECT_EQ(m->EditEref1->text(), "0");
    for (ChartPlot* c : {m->ChartH1, m->ChartH2, m->ChartH3})
        for (int s = 0; s < 4; ++s)
            EXPECT_EQ(c->count(s), 0);
    for (QLabel* l : {m->LabelEref2, m->LabelEref3, m->LabelPeakT1, m->LabelPeakV1, m->LabelPeakT2,
                      m->LabelPeakV2, m->LabelPeakT3, m->LabelPeakV3, m->LabelDensity1,
                      m->LabelEnergy1, m->LabelCDensity1, m->LabelDensity2, m->LabelEnergy2,
                      m->LabelCDensity2, m->LabelDensity3, m->LabelEnergy3, m->LabelCDensity3,
                      m->LabelDensity1H2, m->LabelEnergy1H2, m->LabelComDensityH2,
                      m->LabelDensity1H3, m->LabelEnergy1H3, m->LabelDensity2H3,
                      m->LabelEnergy2H3, m->LabelComDensityH3})
        EXPECT_EQ(l->text(), "0") << l->objectName().toStdString();
    for (QLabel* l : {m->LabelFilenameH1, m->LabelFilenameH2, m->LabelFilenameH3,
                      m->LabelFilenameSimulation})
        EXPECT_TRUE(l->text().isEmpty()) << l->objectName().toStdString();
    for (QLineEdit* e : {m->EditGH1, m->EditGH2, m->EditGH3})
        EXPECT_EQ(e->text(), "1");

    // Simulation page.
    for (QCheckBox* b : {m->CheckBox1, m->CheckBox2, m->CheckBox3, m->CheckBox4})
        EXPECT_FALSE(b->isChecked()) << b->objectName().toStdString();
    for (QLineEdit* e : {m->EditSDensity1, m->EditSDensity2, m->EditSDensity3, m->EditSEnergy1,
                         m->EditSEnergy2, m->EditSEnergy3, m->EditSCDensity})
        EXPECT_EQ(e->text(), "0") << e->objectName().toStdString();
    for (QLineEdit* e : {m->EditSG1, m->EditSG2, m->EditSG3})
        EXPECT_EQ(e->text(), "1") << e->objectName().toStdString();
    for (ChartPlot* c : {m->ChartSimulationReverseT, m->ChartSimulationT}) {
        EXPECT_EQ(c->leftTitle(), "Majority-Carrier Concentration  [cm^-3]");
        EXPECT_EQ(c->count(0), 0);
        EXPECT_EQ(c->count(1), 0);
    }
    EXPECT_EQ(m->ButtonSeeResults->text(), "See Remarks!");
    EXPECT_EQ(C.lastEvaluatedStage, -1);
    EXPECT_FALSE(C.useNegativeCompensation);
    EXPECT_EQ(m->ButtonUseNegativeNcom->text(), "Use Negative Compensating Density");

    // Every pipeline button after the data stage is disabled.
    for (QPushButton* b :
         {m->ButtonChangeData, m->ButtonCalcSpline, m->ButtonSaveSpline, m->ButtonSaveFigureCon1,
          m->ButtonSaveFigureCon2, m->ButtonInputChangeInformation,
          m->ButtonCalcEffectiveDensityOfStates, m->ButtonCalcFermiLevel, m->ButtonSaveFermiLevel,
          m->ButtonSaveFigureFermi, m->ButtonSaveExperimentalFermiLevelData, m->ButtonCalcH1,
          m->ButtonDecreaseErefH1, m->ButtonDecreaseErefH1Precise, m->ButtonIncreaseErefH1Precise,
          m->ButtonIncreaseErefH1, m->ButtonCalculationH1Precise, m->ButtonSaveExperimentalH1Data,
          m->ButtonDecreasePeakH1, m->ButtonIncreasePeakH1, m->ButtonEvaluation1, m->ButtonSaveH1,
          m->ButtonSaveFigureH1, m->ButtonCalcH2, m->ButtonUseNegativeNcom, m->ButtonEvaluation2,
          m->ButtonDecreasePeakH2, m->ButtonIncreasePeakH2, m->ButtonSaveH2, m->ButtonSaveFigureH2,
          m->ButtonSaveExperimentalH2Data, m->ButtonCalcH3, m->ButtonEvaluation3,
          m->ButtonDecreasePeakH3, m->ButtonIncreasePeakH3, m->ButtonSaveH3, m->ButtonSaveFigureH3,
          m->ButtonSaveExperimentalH3Data, m->ButtonSimulation, m->ButtonSaveSimulation,
          m->ButtonSaveFigureSimulation1, m->ButtonSaveFigureSimulation2, m->ButtonSeeResults,
          m->ButtonFineAdjustment})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    for (QLineEdit* e : {m->EditMass, m->EditEquivalentMinima, m->EditEffectiveDensityOfStates})
        EXPECT_FALSE(e->isEnabled()) << e->objectName().toStdString();

    // Neutral presentation: every picture shows its generic form alone.
    for (FormulaPicture* p : m->pictures()) {
        EXPECT_EQ(p->shownCount(), 1);
        EXPECT_EQ(p->shown(), FormulaPicture::Generic) << p->generic->objectName().toStdString();
    }
}

// Dirties everything the general reset restores.
void dirty(TFormMain* m)
{
    for (QPushButton* b : m->findChildren<QPushButton*>())
        b->setEnabled(true);
    for (QLineEdit* e : m->findChildren<QLineEdit*>()) {
        e->setEnabled(true);
        e->setText("7");
    }
    for (QLabel* l : {m->LabelPeakT2, m->LabelDensity3, m->LabelComDensityH3, m->LabelFilenameH2,
                      m->PanelSampleNumber, m->LabelFermiSemiconductor, m->LabelVerSim})
        l->setText("x");
    for (QCheckBox* b : {m->CheckBox1, m->CheckBox2, m->CheckBox3, m->CheckBox4})
        b->setChecked(true);
    for (ChartPlot* c : m->findChildren<ChartPlot*>())
        for (int s = 0; s < c->seriesCount(); ++s)
            c->setData(s, {{100, 1e15}, {200, 2e15}});
    for (QAction* a : {m->MenuLoadSpline, m->MenuLoadFermiLevel, m->MenuExcitedStates, m->MenuDXCenter,
                       m->MenuInverseT, m->MenuInverseTCom, m->MenuDHES, m->MenuCurveFitting})
        a->setEnabled(true);
    m->dataSheetSaved = m->conversionSaved = true;
    C.lastEvaluatedStage = 2;
    C.useNegativeCompensation = true;
    m->ButtonUseNegativeNcom->setText("Do not Use Negative Value");
    m->ButtonSeeResults->setText("Remarks");
    m->openDialogFileName = m->saveDialogFileName = "old";
}

} // namespace

TEST_F(MainWindowTest, StartsInNormalModeWithOptionMenuHiddenInShippedSetting)
{
    TFormMain* m = create(1);
    EXPECT_EQ(m->windowTitle(), "VORN");
    EXPECT_EQ(C.releaseFlag, 1);
    EXPECT_EQ(C.advancedMode, 0);
    EXPECT_EQ(C.versionInformation, "Version 1.7.1 (2017/8/23)");
    EXPECT_EQ(C.programTitle, "VORN Ver. 1.7.1");
    EXPECT_FALSE(m->MenuOption->isVisible());
    EXPECT_FALSE(m->MenuDistributionFunction->isVisible());
    EXPECT_FALSE(m->MenuLoadSpline->isVisible());
    EXPECT_FALSE(m->MenuLoadFermiLevel->isVisible());
    EXPECT_EQ(m->ButtonCalcH1->text(), "Calculation");
    EXPECT_FALSE(m->LabelEref1->isHidden());
    for (QWidget* w : {(QWidget*)m->EditEref1, (QWidget*)m->ButtonSaveExperimentalFermiLevelData,
                       (QWidget*)m->ButtonDecreaseErefH1, (QWidget*)m->ButtonCalculationH1Precise,
                       (QWidget*)m->LabelChangePeakH2, (QWidget*)m->ButtonUseNegativeNcom,
                       (QWidget*)m->ButtonIncreasePeakH3, (QWidget*)m->ButtonSaveExperimentalH3Data})
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_EQ(m->pos(), QPoint(20, 10));
    expectGeneralResetState(m);
    EXPECT_TRUE(script.messages.empty());
}

TEST_F(MainWindowTest, PagesAndMenusCarryTheirCaptionsAndSeparators)
{
    TFormMain* m = create(0);
    ASSERT_EQ(m->PageControl1->count(), 6);
    const QStringList tabs{"Carrier Concentration", "Fermi Level", "H1(T,E_ref)", "H2(T,E_ref)",
                           "H3(T,E_ref)", "Simulation"};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(m->PageControl1->tabText(i), tabs[i]);
    EXPECT_EQ(m->GroupBoxExperimental->title(), "Experimental Date");
    EXPECT_EQ(m->GroupBoxSpline->title(),
              "Interpolating Temperature Dependence of Free Carrier Concentration with Cubic Spline Function");
    EXPECT_EQ(m->GroupBoxSemiconductor->title(), "Input or Change Information of Semiconductor");
    EXPECT_EQ(m->GroupBoxFermiLevel->title(), "Calculate Fermi Level");
    EXPECT_EQ(m->ButtonSaveFermiLevel->text(), "Save Temperature Dependence of Fermi Level (*.fl)");
    EXPECT_EQ(m->ButtonSaveExperimentalH1Data->text(), "Save experimentral H1 data (*.H1E)");
    EXPECT_EQ(m->ButtonSaveExperimentalH2Data->text(), "Save experimental H2 data (*.H2E)");
    EXPECT_EQ(m->ButtonSaveFigureCon2->text(), "Save Figure (Con2.bmp)");
    EXPECT_EQ(m->ButtonFineAdjustment->text(),
              "Fine Adjustment of densities and energy levels (Curve-fitting)");

    EXPECT_EQ(menuLayout(m->MenuFile),
              (QStringList{"Experimental Data (*.pT or *.nT)", "Data for Analysis(*.spl)",
                           "Fermi Level (*.fl)", "-", "All Clear", "-", "Print", "Export Report", "-", "Exit"}));
    EXPECT_EQ(menuLayout(m->MenuData),
              (QStringList{"File Viewer", "Sample Condition", "Obtained Results"}));
    EXPECT_EQ(menuLayout(m->MenuOption),
              (QStringList{"Automatic Evaluation Type", "Type of Function to be evaluated", "-",
                           "Normal Mode", "Advanced Mode"}));
    EXPECT_EQ(menuLayout(m->MenuDistributionFunction),
              (QStringList{"Consideration of Excited States", "DX Center"}));
    EXPECT_EQ(menuLayout(m->MenuOtherAnalyses),
              (QStringList{"Only One Impurity", "One Donor and One Acceptor", "DHES", "Curve Fitting", "-",
                           "Best Model"}));
    EXPECT_EQ(menuLayout(m->MenuHelp),
              (QStringList{"Version", "Information on Latest Version", "-", "Help"}));
    EXPECT_EQ(menuLayout(m->MenuInformation), (QStringList{"Information on Semiconductors"}));

    // Charts: axis titles and logarithmic axes.
    EXPECT_EQ(m->ChartExperimentalLinear->bottomTitle(), "Temperature [K]");
    EXPECT_EQ(m->ChartExperimentalLog->bottomTitle(), "Temperature  [K]");
    EXPECT_FALSE(m->ChartExperimentalLinear->leftLog());
    EXPECT_TRUE(m->ChartExperimentalLog->leftLog());
    EXPECT_EQ(m->ChartFermiLevel->bottomTitle(), "Temperature  [K]");
    EXPECT_FALSE(m->ChartFermiLevel->leftLog());
    for (ChartPlot* c : {m->ChartH1, m->ChartH2, m->ChartH3}) {
        EXPECT_EQ(c->bottomTitle(), "Temperature  [K]");
        EXPECT_FALSE(c->leftLog());
        EXPECT_EQ(c->seriesCount(), 4);
    }
    EXPECT_EQ(m->ChartSimulationReverseT->bottomTitle(), "1000/T  [K^-1]");
    EXPECT_EQ(m->ChartSimulationT->bottomTitle(), "Temperature  [K]");
    EXPECT_TRUE(m->ChartSimulationReverseT->leftLog());
    EXPECT_TRUE(m->ChartSimulationT->leftLog());
    for (ChartPlot* c : {m->ChartExperimentalLinear, m->ChartExperimentalLog, m->ChartFermiLevel,
                         m->ChartSimulationReverseT, m->ChartSimulationT})
        EXPECT_EQ(c->seriesCount(), 2);

    // The whole window fits a 1600 x 1000 screen.
    EXPECT_LE(m->minimumSizeHint().width(), 1600);
    EXPECT_LE(m->minimumSizeHint().height(), 1000);
    EXPECT_LE(m->width() + 20, 1600);
    EXPECT_LE(m->height() + 10, 1000);
}

TEST_F(MainWindowTest, BuildWithoutReleaseFlagStartsInAdvancedModeAndKeepsOneSuffix)
{
    TFormMain* m = create(0);
    EXPECT_EQ(C.releaseFlag, 0);
    EXPECT_EQ(C.advancedMode, 1);
    EXPECT_TRUE(m->MenuOption->isVisible());
    EXPECT_EQ(C.programTitle, "VORN Ver. 1.7.1 [manual mode]");
    EXPECT_EQ(m->LabelVerH2->text(), "VORN Ver. 1.7.1 [manual mode]");
    EXPECT_EQ(m->ButtonCalcH1->text(), "Auto Calculation");
    EXPECT_TRUE(m->LabelEref1->isHidden());
    EXPECT_FALSE(m->EditEref1->isHidden());
    EXPECT_TRUE(m->MenuNormalMode->isEnabled());
    EXPECT_FALSE(m->MenuAdvancedMode->isEnabled());

    m->NormalModeClick();
    EXPECT_EQ(C.advancedMode, 0);
    EXPECT_EQ(C.versionInformation, "Version 1.7.1 (2017/8/23)");
    EXPECT_EQ(C.programTitle, "VORN Ver. 1.7.1");
    // Without the release setting the user can always come back.
    EXPECT_TRUE(m->MenuOption->isVisible());
    EXPECT_FALSE(m->MenuNormalMode->isEnabled());
    EXPECT_TRUE(m->MenuAdvancedMode->isEnabled());
    EXPECT_FALSE(m->MenuDXCenter->isVisible());

    // A result header written in Normal mode carries no suffix.
    std::ostringstream header;
    HeaderOptions options;
    options.title = "% Test";
    C.writeHeaderBlock(header, options);
    EXPECT_EQ(header.str().find("[manual mode]"), std::string::npos);
    EXPECT_NE(header.str().find("Version 1.7.1 (2017/8/23)"), std::string::npos);

    m->AdvancedModeClick();
    m->NormalModeClick();
    m->AdvancedModeClick();
    m->setMode(true); // once more without leaving
    EXPECT_EQ(C.versionInformation, "Version 1.7.1 (2017/8/23) [manual mode]");
    EXPECT_EQ(C.programTitle, "VORN Ver. 1.7.1 [manual mode]");
    EXPECT_TRUE(m->MenuLoadSpline->isVisible());
    EXPECT_TRUE(m->MenuTypeOfFunction->isVisible());
    for (QWidget* w : {(QWidget*)m->ButtonIncreaseErefH1Precise, (QWidget*)m->LabelChangePeakH1,
                       (QWidget*)m->ButtonUseNegativeNcom, (QWidget*)m->ButtonSaveExperimentalH2Data})
        EXPECT_FALSE(w->isHidden()) << w->objectName().toStdString();
}

TEST_F(MainWindowTest, ShippedSettingHidesOptionMenuAgainAfterNormalMode)
{
    TFormMain* m = create(1);
    m->setMode(true);
    EXPECT_TRUE(m->MenuOption->isVisible());
    m->setMode(false);
    EXPECT_FALSE(m->MenuOption->isVisible());
    EXPECT_EQ(C.programTitle, "VORN Ver. 1.7.1");
}

TEST_F(MainWindowTest, GeneralResetAndAllClearRestoreEveryPage)
{
    TFormMain* m = create(0);
    dirty(m);
    m->resetWindow();
    expectGeneralResetState(m);

    dirty(m);
    C.evaluationType = "Type-D";
    C.compensatingDensity = 5e14;
    m->ButtonCalcH2->setText("Calculation again");
    m->ButtonCalcH3->setText("Calculation again");
    m->MenuAllClear->trigger();
    expectGeneralResetState(m);
    EXPECT_EQ(C.evaluationType, "Type-B");
    EXPECT_EQ(C.compensatingDensity, 0);
    // Advanced mode survives All Clear with its caption and suffix.
    EXPECT_EQ(m->ButtonCalcH1->text(), "Auto Calculation");
    EXPECT_EQ(m->ButtonCalcH2->text(), "Calculation");
    EXPECT_EQ(m->ButtonCalcH3->text(), "Calculation");
    EXPECT_EQ(C.programTitle, "VORN Ver. 1.7.1 [manual mode]");
    EXPECT_FALSE(m->ButtonFineAdjustment->isEnabled());
}

TEST_F(MainWindowTest, PageResetsClearOnlyTheirOwnStages)
{
    TFormMain* m = create(1);
    dirty(m);
    m->resetStage3Results();
    // Series 0 (the H3 curve) and the peak labels stay; results go.
    EXPECT_EQ(m->ChartH3->count(0), 2);
    EXPECT_EQ(m->ChartH3->count(3), 0);
    EXPECT_EQ(m->LabelDensity3->text(), "0");
    EXPECT_TRUE(m->ButtonCalcH3->isEnabled());
    EXPECT_EQ(m->EditSG3->text(), "1");
    EXPECT_EQ(m->EditSG2->text(), "7");
    EXPECT_EQ(m->EditSCDensity->text(), "0");

    dirty(m);
    m->resetStage2Results();
    EXPECT_EQ(m->ChartH2->count(0), 2);
    EXPECT_EQ(m->ChartH2->count(2), 0);
    EXPECT_EQ(m->LabelComDensityH3->text(), "0");
    EXPECT_EQ(m->EditSDensity2->text(), "0");
    EXPECT_EQ(m->EditSDensity1->text(), "7");
    EXPECT_TRUE(m->CheckBox1->isChecked());
    EXPECT_FALSE(m->CheckBox2->isChecked());

    dirty(m);
    m->resetStage1Page();
    EXPECT_EQ(m->ChartH1->count(0), 0);
    EXPECT_EQ(m->ChartH2->count(0), 2); // the H2 page has its own reset
    EXPECT_EQ(m->LabelDensity1H2->text(), "0");
    EXPECT_EQ(m->EditSDensity1->text(), "0");
    EXPECT_FALSE(m->ButtonSaveSimulation->isEnabled());
    EXPECT_TRUE(m->ButtonSimulation->isEnabled());

    dirty(m);
    m->resetSimulationPage();
    EXPECT_EQ(m->ChartSimulationT->count(0), 2); // measured points stay
    EXPECT_EQ(m->ChartSimulationT->count(1), 0);
    EXPECT_FALSE(m->CheckBox4->isChecked());
    EXPECT_TRUE(m->CheckBox1->isChecked());
    EXPECT_FALSE(m->ButtonSeeResults->isEnabled());
    EXPECT_EQ(m->ButtonSeeResults->text(), "See Remarks!");
}

TEST_F(MainWindowTest, FunctionTypeSetsCaptionsOfAllThreeStages)
{
    TFormMain* m = create(0);
    m->EditGH2->setText("3");
    C.functionType = 1;
    m->applyFunctionType();
    for (int k = 0; k < 3; ++k) {
        const QString s = "S" + QString::number(k + 1);
        EXPECT_EQ(m->PageControl1->tabText(2 + k), s + "(T,E_ref)");
    }
    EXPECT_EQ(m->GroupBoxCalcH1->title(), "Calculate S1(T,E_ref)");
    EXPECT_EQ(m->GroupBoxCalcH3->title(), "Calculate S3(T,E_ref)");
    EXPECT_EQ(m->ButtonSaveH2->text(), "Save Obtained Results (*.S2)");
    EXPECT_EQ(m->ChartH1->leftTitle(), "S1(T,E_ref) [cm^-3 eV^-1]");
    EXPECT_EQ(m->ChartH3->leftTitle(), "S3(T,E_ref) [cm^-3 eV^-1]");
    EXPECT_TRUE(m->PictureFunction[1].generic->text().startsWith("S"));
    // Labels, degeneracy edits and other charts are not touched.
    EXPECT_EQ(m->EditGH2->text(), "3");
    EXPECT_EQ(m->ChartFermiLevel->leftTitle(), "Fermi Level  [eV]");

    C.functionType = 2;
    m->applyFunctionType();
    EXPECT_EQ(m->PageControl1->tabText(3), "H2(T,E_ref)");
    EXPECT_EQ(m->GroupBoxCalcH2->title(), "Calculate H2(T,E_ref)");
    EXPECT_EQ(m->ButtonSaveH1->text(), "Save Obtained Results (*.H1)");
    EXPECT_EQ(m->ChartH2->leftTitle(), "H2(T,E_ref) [cm^-6 eV^-2.5]");
    EXPECT_TRUE(m->PictureFunction[1].nType->text().startsWith("H"));
}

TEST_F(MainWindowTest, ConductionTypePresentationSwitchesLabelsAxesAndPictures)
{
    TFormMain* m = create(1);
    C.conductionType = "p-type";
    m->applyConductionType();
    EXPECT_EQ(m->ChartExperimentalLog->leftTitle(), "Hole Concentration  [cm^-3]");
    EXPECT_EQ(m->ChartFermiLevel->leftTitle(), "Fermi Level from Valence Band  [eV]");
    EXPECT_EQ(m->ChartSimulationT->leftTitle(), "Hole Concentarion  [cm^-3]");
    EXPECT_TRUE(m->LabelDonorH2->text().isEmpty());
    EXPECT_EQ(m->LabelAcceptorH2->text(), "p-type");
    EXPECT_TRUE(m->LabelFermiConductionTypeN->text().isEmpty());
    EXPECT_EQ(m->LabelSAcceptor->text(), "p-type");
    EXPECT_EQ(m->EditGH1->text(), "4");
    for (FormulaPicture* p : m->pictures()) {
        EXPECT_EQ(p->shownCount(), 1);
        EXPECT_EQ(p->shown(), FormulaPicture::PType);
    }
    // The hole forms speak of holes and acceptors.
    EXPECT_TRUE(m->PictureFunction[0].pType->text().contains("<i>p</i>(T)"));
    EXPECT_TRUE(m->PictureDensity[1].pType->text().contains("A2"));
    EXPECT_TRUE(m->PictureDos.pType->text().contains("N<sub>V</sub>"));

    // An unknown conduction type changes nothing.
    C.conductionType = "i-type";
    m->applyConductionType();
    EXPECT_EQ(m->EditGH1->text(), "4");
    EXPECT_EQ(m->ChartExperimentalLinear->leftTitle(), "Hole Concentration  [cm^-3]");
    EXPECT_EQ(m->PictureMass.shown(), FormulaPicture::PType);

    C.conductionType = "n-type";
    m->applyConductionType();
    EXPECT_EQ(m->ChartExperimentalLinear->leftTitle(), "Electron Concentration  [cm^-3]");
    EXPECT_EQ(m->ChartFermiLevel->leftTitle(), "Fermi Level from Conduction Band  [eV]");
    EXPECT_EQ(m->ChartSimulationReverseT->leftTitle(), "Electron Concentarion  [cm^-3]");
    EXPECT_EQ(m->LabelFermiLevelConductionTypeN->text(), "n-type");
    EXPECT_TRUE(m->LabelFermiLevelConductionTypeP->text().isEmpty());
    EXPECT_EQ(m->EditGH3->text(), "2");
    EXPECT_EQ(m->PictureDos.shown(), FormulaPicture::NType);
    EXPECT_TRUE(m->PictureDos.nType->text().contains("N<sub>C</sub>"));

    // The neutral presentation shows both types and leaves the axes alone.
    m->showNeutralPresentation();
    EXPECT_EQ(m->LabelDonorH1->text(), "n-type");
    EXPECT_EQ(m->LabelAcceptorH1->text(), "p-type");
    EXPECT_EQ(m->EditGH2->text(), "1");
    EXPECT_EQ(m->ChartExperimentalLinear->leftTitle(), "Electron Concentration  [cm^-3]");
    EXPECT_EQ(m->PictureFunction[2].shown(), FormulaPicture::Generic);

    // The function type follows the current conduction type.
    C.functionType = 1;
    m->applyFunctionType();
    EXPECT_EQ(m->PictureFunction[2].shown(), FormulaPicture::NType);
    EXPECT_TRUE(m->PictureFunction[2].nType->text().startsWith("S"));
    EXPECT_EQ(m->LabelAcceptorH1->text(), "p-type"); // labels untouched
}

TEST_F(MainWindowTest, SimulationPageDisablesRemarksUntilAStageWasFlagged)
{
    TFormMain* m = create(1);
    m->ButtonSeeResults->setEnabled(true);
    m->PageControl1->setCurrentWidget(m->TabSheet6);
    EXPECT_FALSE(m->ButtonSeeResults->isEnabled());

    m->PageControl1->setCurrentWidget(m->TabSheet1);
    C.lastEvaluatedStage = 1;
    C.compensatingDensity = 3e14;
    m->PageControl1->setCurrentWidget(m->TabSheet6);
    EXPECT_TRUE(m->ButtonSeeResults->isEnabled());

    // A non-positive compensating density leaves the button as it was.
    m->PageControl1->setCurrentWidget(m->TabSheet2);
    C.compensatingDensity = -1e14;
    m->PageControl1->setCurrentWidget(m->TabSheet6);
    EXPECT_TRUE(m->ButtonSeeResults->isEnabled());
    m->ButtonSeeResults->setEnabled(false);
    m->PageControl1Change();
    EXPECT_FALSE(m->ButtonSeeResults->isEnabled());

    // Other pages never touch it.
    C.lastEvaluatedStage = -1;
    m->ButtonSeeResults->setEnabled(true);
    m->PageControl1->setCurrentWidget(m->TabSheet3);
    EXPECT_TRUE(m->ButtonSeeResults->isEnabled());
}

TEST_F(MainWindowTest, DXCenterDoesNothing)
{
    TFormMain* m = create(0);
    m->MenuDXCenter->setEnabled(true);
    std::vector<bool> before;
    for (QWidget* w : m->findChildren<QWidget*>())
        before.push_back(w->isEnabled());
    const int visibleWindows = [] {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            n += w->isVisible();
        return n;
    }();
    m->MenuDXCenter->trigger();
    std::vector<bool> after;
    for (QWidget* w : m->findChildren<QWidget*>())
        after.push_back(w->isEnabled());
    EXPECT_EQ(before, after);
    EXPECT_TRUE(script.messages.empty());
    EXPECT_TRUE(script.windowsShown.empty());
    int nowVisible = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        nowVisible += w->isVisible();
    EXPECT_EQ(nowVisible, visibleWindows);
}

TEST_F(MainWindowTest, MenuItemsOpenTheirWindows)
{
    TFormMain* m = create(0);
    m->MenuVersion->trigger();
    m->MenuAutomaticEvaluationType->trigger();
    m->MenuTypeOfFunction->trigger();
    ASSERT_EQ(script.windowsShown.size(), 3u);
    EXPECT_EQ(script.windowsShown[0], qobject_cast<QWidget*>(AboutBox)->objectName());

    m->MenuSampleCondition->trigger();
    EXPECT_TRUE(qobject_cast<QWidget*>(FormSampleCondition)->isVisible());
    m->MenuObtainedResults->trigger();
    EXPECT_TRUE(qobject_cast<QWidget*>(FormObtainedResults)->isVisible());
    m->MenuInformationSemiconductor->trigger();
    EXPECT_TRUE(qobject_cast<QWidget*>(FormInformation)->isVisible());
    m->MenuLatestVersion->trigger();
    EXPECT_TRUE(qobject_cast<QWidget*>(FormHTML)->isVisible());

    // Windows this build does not have are skipped without a failure.
    m->MenuFileViewer->trigger();
    m->MenuInverseT->trigger();
    EXPECT_TRUE(script.messages.empty());
    // Without a saved simulation the curve-fitting menu item is disabled; the
    // window opened anyway says what it misses.
    m->MenuCurveFitting->trigger();
    EXPECT_FALSE(qobject_cast<QWidget*>(FormCurveFitting)->isVisible());
    m->ButtonFineAdjustmentClick();
    EXPECT_TRUE(qobject_cast<QWidget*>(FormCurveFitting)->isVisible());
    EXPECT_EQ(script.texts(ScriptedModal::Message::Error).size(), 1);
}

TEST_F(MainWindowTest, PrintAsksForThePrinterAndPrintsOnlyWhenConfirmed)
{
    TFormMain* m = create(1);
    QTemporaryDir dir;
    const QString pdf = dir.filePath("main.pdf");
    m->printer()->setOutputFormat(QPrinter::PdfFormat);
    m->printer()->setOutputFileName(pdf);

    script.printerAnswer = false;
    m->MenuPrint->trigger();
    EXPECT_EQ(script.printerDialogs, 1);
    EXPECT_FALSE(QFile::exists(pdf));

    script.printerAnswer = true;
    m->PrintMainClick();
    EXPECT_EQ(script.printerDialogs, 2);
    EXPECT_TRUE(QFile::exists(pdf));
    EXPECT_GT(QFile(pdf).size(), 1000);
    EXPECT_TRUE(script.messages.empty());
}
