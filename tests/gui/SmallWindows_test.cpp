// The small windows around the main window: sample condition, about box,
// help viewer, caution, evaluation type and function type.
#include "analysis/data/Analysis.h"
#include "app/Forms.h"
#include "app/Hall.h"
#include "toolkit/Modal.h"
#include "input/Samplecondition.h"
#include "spectroscopy/Automaticevaluationtype.h"
#include "spectroscopy/Cautiondeeplevel.h"
#include "spectroscopy/Functiontype.h"
#include "utilities/Aboutbox.h"
#include "utilities/Html.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Installs scripted dialogs for one test and restores the real ones after.
struct Scripted {
    ScriptedModal s;
    Scripted() { setModal(&s); }
    ~Scripted() { setModal(nullptr); }
};

void writeText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

} // namespace

// ---- sample condition ---------------------------------------------------------

TEST(SampleConditionWindow, AfterAllClearLabelsAreEmptyAndNumbersZero)
{
    C.resetAll();
    C.measurementName = "old";
    C.sampleThickness = 12;
    TFormSampleCondition w;
    EXPECT_EQ(w.windowTitle(), "FormSampleCondition");
    EXPECT_EQ(w.LabelNameOfMeasurement->text(), "old");
    EXPECT_EQ(w.LabelThickness->text(), "12");

    C.resetAll();
    w.prepare();
    for (QLabel* l : {w.LabelNameOfMeasurement, w.LabelDateOfMeasurement, w.LabelNameOfAnalysis,
                      w.LabelDateOfAnalysis, w.LabelSemiconductor, w.LabelConductionType,
                      w.LabelSampleNumber, w.LabelComment})
        EXPECT_EQ(l->text(), "") << l->objectName().toStdString();
    for (QLabel* l : {w.LabelThickness, w.LabelMagneticField, w.LabelCurrent})
        EXPECT_EQ(l->text(), "0") << l->objectName().toStdString();
}

TEST(SampleConditionWindow, ShowsLoadedHeaderValuesExactlyWithLeadingBlanks)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/sample.nT";
    writeText(path,
              "% Data of Hall-Effect Measurement\r\n"
              "% Version Information: Version 1.7.1 (2017/8/23)\r\n"
              "% Original file: \r\n"
              "% Experimental data file: sample.nT\r\n"
              "% Name of measurement:   Hall run 7\r\n"
              "% Date of measurement: 2024/03/01\r\n"
              "% Name of analysis:  K. Tester\r\n"
              "% Date of Analysis: 2024/03/02\r\n"
              "% Sample number:    A-17 \r\n"
              "% Semiconductor: Si\r\n"
              "% Conduction type: p-type\r\n"
              "% Sample thickness [micron]: 500.5\r\n"
              "% Magnetic Field [T]: 0.5\r\n"
              "% Current [A]: 1E-6\r\n"
              "% Number of data: 2\r\n"
              "%  boron <doped> & annealed\r\n"
              "% Temperature [K]   Majority-Carrier Concentration [cm^-3]   Reliability   \r\n"
              "100     1e+15     1\r\n"
              "200     2e+15     1\r\n");
    C.resetAll();
    C.experimentalDataFileName = path.toStdString();
    ASSERT_TRUE(C.readExperimentalData()) << C.lastError;

    TFormSampleCondition w;
    w.prepare();
    EXPECT_EQ(w.LabelNameOfMeasurement->text(), "  Hall run 7");
    EXPECT_EQ(w.LabelDateOfMeasurement->text(), "2024/03/01");
    EXPECT_EQ(w.LabelNameOfAnalysis->text(), " K. Tester");
    EXPECT_EQ(w.LabelDateOfAnalysis->text(), "2024/03/02");
    EXPECT_EQ(w.LabelSampleNumber->text(), "   A-17 ");
    EXPECT_EQ(w.LabelSemiconductor->text(), "Si");
    EXPECT_EQ(w.LabelConductionType->text(), "p-type");
    EXPECT_EQ(w.LabelThickness->text(), "500.5");
    EXPECT_EQ(w.LabelMagneticField->text(), "0.5");
    EXPECT_EQ(w.LabelCurrent->text(), "1E-6");
    // Shown as typed, not as markup.
    EXPECT_EQ(w.LabelComment->text(), " boron <doped> & annealed");
    EXPECT_EQ(w.LabelComment->textFormat(), Qt::PlainText);
    C.resetAll();
}

// ---- about box -------------------------------------------------------------------

TEST(AboutBoxWindow, ShowsVersionOfCreationAndFixedTexts)
{
    C.versionInformation = "Version 1.7.1 (2017/8/23)";
    TAboutBox box;
    C.versionInformation += " [manual mode]"; // later changes do not reach the box
    EXPECT_EQ(box.windowTitle(), "About");
    EXPECT_EQ(box.LabelVersionInformation->text(), "Version 1.7.1 (2017/8/23)");
    EXPECT_EQ(box.ProductName->text(), "VORN");
    EXPECT_EQ(box.LabelSince->text(), "Since 2000/9/1");
    EXPECT_EQ(box.Comments->text(),
              "Detemination of Densities and Energy Levels of dopants, impurities and traps in "
              "Semiconductor using Hall-effect measurement");
    EXPECT_FALSE(box.ProgramIcon->pixmap().isNull());

    Scripted sc;
    sc.s.windowHandler = [](QDialog* w) {
        w->findChild<QPushButton*>("OKButton")->click();
        return w->result();
    };
    EXPECT_EQ(modal().execWindow(&box), int(QDialog::Accepted));
    EXPECT_EQ(sc.s.windowsShown, std::vector<QString>{"AboutBox"});
    C.versionInformation = "Version 1.7.1 (2017/8/23)";
}

// ---- help viewer -----------------------------------------------------------------

TEST(HelpViewer, StartsOnTheManualAndFollowsItsLinks)
{
    TFormHTML v;
    EXPECT_EQ(v.windowTitle(), "Viewer of Hyper Text Markup Language");
    EXPECT_EQ(v.ButtonContents->text(), "Contents   (index.html)");
    EXPECT_EQ(v.ButtonBack->text(), "Back");
    EXPECT_EQ(v.ButtonForward->text(), "Forward");
    EXPECT_EQ(v.currentUrl().toString(), TFormHTML::helpIndexUrl());
    EXPECT_EQ(v.CppWebBrowserHelp->documentTitle(), "VORN Manual");
    EXPECT_FALSE(v.ButtonBack->isEnabled());

    v.navigate(TFormHTML::manualUrl("nothing.html"));
    EXPECT_TRUE(v.CppWebBrowserHelp->toPlainText().contains("Page not found"));

    // A relative link of a manual page stays inside the manual.
    v.navigate(TFormHTML::manualUrl("tutorial.html"));
    emit v.CppWebBrowserHelp->anchorClicked(QUrl(TFormHTML::manualUrl("tutorial.html")).resolved(QUrl("index.html")));
    EXPECT_EQ(v.currentUrl().toString(), "qrc:/manual/index.html");
}

TEST(HelpViewer, BackAndForwardWalkTheHistory)
{
    QTemporaryDir dir;
    writeText(dir.path() + "/a.html", "<html><body><p>Page A</p><a href=\"b.html\">b</a></body></html>");
    writeText(dir.path() + "/b.html", "<html><body><p>Page B</p></body></html>");
    TFormHTML v;
    v.navigate(dir.path() + "/a.html");
    EXPECT_TRUE(v.CppWebBrowserHelp->toPlainText().contains("Page A"));
    emit v.CppWebBrowserHelp->anchorClicked(QUrl::fromLocalFile(dir.path() + "/b.html"));
    EXPECT_TRUE(v.CppWebBrowserHelp->toPlainText().contains("Page B"));
    EXPECT_TRUE(v.ButtonBack->isEnabled());
    EXPECT_FALSE(v.ButtonForward->isEnabled());

    v.ButtonBack->click();
    EXPECT_TRUE(v.CppWebBrowserHelp->toPlainText().contains("Page A"));
    EXPECT_TRUE(v.ButtonForward->isEnabled());
    v.ButtonForward->click();
    EXPECT_TRUE(v.CppWebBrowserHelp->toPlainText().contains("Page B"));
    v.ButtonBack->click();
    v.ButtonBack->click();
    EXPECT_EQ(v.currentUrl().toString(), TFormHTML::helpIndexUrl());
    v.ButtonForward->click();
    v.ButtonHome->click();
    EXPECT_EQ(v.currentUrl().toString(), TFormHTML::helpIndexUrl());

    v.navigate(dir.path() + "/missing.html");
    EXPECT_TRUE(v.CppWebBrowserHelp->toPlainText().contains("Page not found"));
}

TEST(HelpViewer, WebAddressShowsLinkAndOpensOnlyOnClick)
{
    TFormHTML v;
    std::vector<QUrl> opened;
    v.openExternal = [&](const QUrl& u) { opened.push_back(u); };
    v.navigate("https://example.org/vorn/download.html?a=1&b=<2>");
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(v.currentUrl().host(), "example.org");
    const QString text = v.CppWebBrowserHelp->toPlainText();
    EXPECT_TRUE(text.contains("https://example.org/vorn/download.html")) << text.toStdString();
    EXPECT_TRUE(text.contains("Click the link")) << text.toStdString();
    // The address is quoted in the page, not interpreted as markup.
    EXPECT_FALSE(v.CppWebBrowserHelp->toHtml().contains("b=<2>"));

    emit v.CppWebBrowserHelp->anchorClicked(v.currentUrl());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], v.currentUrl());
    EXPECT_EQ(v.currentUrl().host(), "example.org"); // the viewer stays where it was
}

TEST(HelpViewer, ContentsButtonOpensTheChosenFile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/VORNWinHelp.html";
    writeText(path, "<html><body><p>Local help</p></body></html>");
    TFormHTML v;
    Scripted sc;
    sc.s.cancelFile();
    v.ButtonContents->click();
    EXPECT_EQ(v.currentUrl().toString(), TFormHTML::helpIndexUrl());
    ASSERT_EQ(sc.s.fileDialogs.size(), 1u);
    EXPECT_FALSE(sc.s.fileDialogs[0].save);
    EXPECT_EQ(sc.s.fileDialogs[0].filter, "HTML files (*.html)|*.html");
    EXPECT_EQ(sc.s.fileDialogs[0].proposedName, "VORNWinHelp.html");

    sc.s.answerFile(path);
    v.ButtonContents->click();
    EXPECT_EQ(v.currentUrl(), QUrl::fromLocalFile(path));
    EXPECT_EQ(v.currentUrl().toString(), "file://" + path);
    EXPECT_TRUE(v.CppWebBrowserHelp->toPlainText().contains("Local help"));
}

// ---- caution -----------------------------------------------------------------------

TEST(CautionWindow, TextsColoursAndOk)
{
    TFormDeepLevel w;
    EXPECT_EQ(w.windowTitle(), "Caution");
    EXPECT_EQ(w.Label1->text(), "The simulated H1(T,E_ref)");
    EXPECT_TRUE(w.Label1->styleSheet().contains("red"));
    EXPECT_EQ(w.Label2->text(), "might be different from the experimental H1(T,E_ref),");
    EXPECT_EQ(w.Label3->text(), "while the simulated concentration  may be in good agreement "
                                "with the experimental concentration. ");
    EXPECT_EQ(w.Label4->text(), "Let's consider the influence of the excited states of the "
                                "dopant on the majority-carrier concentraton.");
    EXPECT_TRUE(w.Label4->styleSheet().contains("blue"));
    Scripted sc;
    sc.s.windowHandler = [](QDialog* d) {
        static_cast<TFormDeepLevel*>(d)->ButtonOK->click();
        return d->result();
    };
    EXPECT_EQ(modal().execWindow(&w), int(QDialog::Accepted));
}

// ---- automatic evaluation type ------------------------------------------------------

TEST(EvaluationTypeWindow, EveryChangeOfTheDropDownReachesTheAnalysis)
{
    C.resetAll();
    C.evaluationType = "Type-D";
    TFormAutomaticEvaluationType w;
    EXPECT_EQ(w.windowTitle(), "Automatic Evaluation Type");
    EXPECT_EQ(w.Label1->text(), "When you think that you  could not obtained the desiable results,");
    EXPECT_EQ(w.Label2->text(), "please try another auotomatic evaluation type.");
    QComboBox* box = w.ComboBoxAutomaticEvaluationType;
    ASSERT_EQ(box->count(), 4);
    EXPECT_EQ(box->itemText(0), "Type-A");
    EXPECT_EQ(box->itemText(3), "Type-D");
    EXPECT_EQ(box->currentText(), "Type-D");

    C.evaluationType = "Type-A";
    w.prepare();
    EXPECT_EQ(box->currentText(), "Type-A");

    box->setCurrentIndex(2);
    EXPECT_EQ(C.evaluationType, "Type-C");
    box->setCurrentIndex(1);
    EXPECT_EQ(C.evaluationType, "Type-B");

    // Typing: every keystroke is copied; an unknown name stays as typed and
    // does not join the list.
    box->lineEdit()->clear();
    EXPECT_EQ(C.evaluationType, "");
    QTest::keyClicks(box->lineEdit(), "Ty");
    EXPECT_EQ(C.evaluationType, "Ty");
    QTest::keyClicks(box->lineEdit(), "pe-X");
    EXPECT_EQ(C.evaluationType, "Type-X");
    QTest::keyClick(box->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(C.evaluationType, "Type-X");
    EXPECT_EQ(box->count(), 4);

    C.evaluationType = "my own";
    w.prepare();
    EXPECT_EQ(box->currentText(), "my own");
    EXPECT_EQ(C.evaluationType, "my own");
    C.resetAll();
}

// ---- function type -------------------------------------------------------------------

namespace {

// An analysis with data, Fermi level and results in every stage.
void fillCompleteAnalysis()
{
    C.resetAll();
    C.splineCount = 20;
    C.splineTemperature.assign(20, 100);
    C.splineConcentration.assign(20, 1e15);
    C.fermiLevel.assign(20, 0.1);
    C.dos0 = 2.5e15;
    C.splineFileName = "/d/s.spl";
    C.fermiLevelFileName = "/d/s.fl";
    for (int k = 0; k < 3; ++k) {
        C.hCurve[k].assign(20, 1.0);
        C.simulatedHCurve[k].assign(20, 2.0);
        C.density[k] = 1e15 * (k + 1);
        C.energyLevel[k] = 0.05 * (k + 1);
        C.referenceEnergy[k] = 0.2;
        C.peakIndex[k] = 7;
    }
    C.h1FileName = "/d/s.H1";
    C.h2FileName = "/d/s.H2";
    C.h3FileName = "/d/s.H3";
    C.compensationFixed = 1;
    C.compensationStage = 1;
    C.compensatingDensity = 3e14;
    C.excitedStatesCaution = 1;
    C.simulatedConcentration.assign(20, 1e15);
    C.degeneracyFactor[0] = 4;
}

void expectSpectroscopyCleared()
{
    for (int k = 0; k < 3; ++k) {
        EXPECT_TRUE(C.hCurve[k].empty()) << k;
        EXPECT_TRUE(C.simulatedHCurve[k].empty()) << k;
        EXPECT_EQ(C.density[k], 0) << k;
        EXPECT_EQ(C.energyLevel[k], 0) << k;
        EXPECT_EQ(C.referenceEnergy[k], 0) << k;
        EXPECT_EQ(C.peakIndex[k], 0) << k;
    }
    EXPECT_EQ(C.h1FileName, "");
    EXPECT_EQ(C.h2FileName, "");
    EXPECT_EQ(C.h3FileName, "");
    EXPECT_EQ(C.compensationFixed, 0);
    EXPECT_EQ(C.compensationStage, -1);
    EXPECT_EQ(C.compensatingDensity, 0);
    EXPECT_EQ(C.excitedStatesCaution, 0);
    EXPECT_TRUE(C.simulatedConcentration.empty());
    // Data, Fermi level and the degeneracy factors stay.
    EXPECT_EQ(C.splineCount, 20);
    EXPECT_EQ(C.splineConcentration.size(), 20u);
    EXPECT_EQ(C.fermiLevel.size(), 20u);
    EXPECT_EQ(C.dos0, 2.5e15);
    EXPECT_EQ(C.fermiLevelFileName, "/d/s.fl");
    EXPECT_EQ(C.degeneracyFactor[0], 4);
}

} // namespace

TEST(FunctionTypeWindow, PrepareSetsButtonsWithoutResetting)
{
    TFormMain* mainBefore = FormMain;
    FormMain = nullptr;
    fillCompleteAnalysis();
    TFormFunctionType w;
    EXPECT_EQ(w.windowTitle(), "Type of Function to be Evaluated");
    EXPECT_FALSE(w.RadioButtonFunction1->isChecked());
    EXPECT_TRUE(w.RadioButtonFunction2->isChecked());

    C.functionType = 1;
    w.prepare();
    EXPECT_TRUE(w.RadioButtonFunction1->isChecked());
    EXPECT_EQ(C.density[0], 1e15); // nothing reset
    C.functionType = 7;
    w.prepare();
    EXPECT_TRUE(w.RadioButtonFunction2->isChecked());
    EXPECT_EQ(C.functionType, 7);
    EXPECT_EQ(C.h1FileName, "/d/s.H1");
    FormMain = mainBefore;
    C.resetAll();
}

TEST(FunctionTypeWindow, SwitchingResetsTheSpectroscopyWithoutMainWindow)
{
    TFormMain* mainBefore = FormMain;
    FormMain = nullptr;
    fillCompleteAnalysis();
    TFormFunctionType w;
    w.prepare();

    w.RadioButtonFunction1->click();
    EXPECT_EQ(C.functionType, 1);
    expectSpectroscopyCleared();

    // Clicking the selected button again is no change and resets nothing.
    fillCompleteAnalysis();
    C.functionType = 1;
    w.RadioButtonFunction1->click();
    EXPECT_EQ(C.density[1], 2e15);

    w.RadioButtonFunction2->click();
    EXPECT_EQ(C.functionType, 2);
    expectSpectroscopyCleared();
    FormMain = mainBefore;
    C.resetAll();
}

TEST(FunctionTypeWindow, SwitchingResetsTheMainWindowPagesAndCaptions)
{
    Scripted sc;
    createForms(0);
    ASSERT_NE(FormMain, nullptr);
    ASSERT_NE(FormFunctionType, nullptr);
    fillCompleteAnalysis();
    FormMain->ButtonCalcH1->setEnabled(false);
    FormMain->ButtonCalcH2->setEnabled(true);
    FormMain->ButtonCalcH3->setEnabled(true);
    FormMain->LabelEref2->setText("0.123");

    FormFunctionType->prepare();
    FormFunctionType->RadioButtonFunction1->click();
    EXPECT_EQ(C.functionType, 1);
    expectSpectroscopyCleared();
    // More than 10 grid points: stage 1 may be calculated again at once.
    EXPECT_TRUE(FormMain->ButtonCalcH1->isEnabled());
    EXPECT_FALSE(FormMain->ButtonCalcH2->isEnabled());
    EXPECT_FALSE(FormMain->ButtonCalcH3->isEnabled());
    EXPECT_EQ(FormMain->LabelEref2->text(), "0");
    EXPECT_EQ(FormMain->PageControl1->tabText(2), "S1(T,E_ref)");
    EXPECT_EQ(FormMain->GroupBoxCalcH1->title(), "Calculate S1(T,E_ref)");

    // Too few grid points: the page reset leaves the button disabled.
    C.splineCount = 5;
    FormFunctionType->RadioButtonFunction2->click();
    EXPECT_EQ(C.functionType, 2);
    EXPECT_FALSE(FormMain->ButtonCalcH1->isEnabled());
    EXPECT_EQ(FormMain->PageControl1->tabText(2), "H1(T,E_ref)");
    EXPECT_TRUE(sc.s.messages.empty());
    destroyForms();
    C.resetAll();
}
