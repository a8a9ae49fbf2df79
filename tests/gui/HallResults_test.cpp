// Main window: the stage result files, the Simulation page, the obtained
// results and the remarks, each on a sample whose stages are made up in the
// analysis object (the stage computations have their own tests).
#include "HallTestSupport.h"

#include "input/Samplecondition.h"
#include "spectroscopy/Obtainedresults.h"
#include "spectroscopy/Remarks.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <cmath>
#include <sstream>

static void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

constexpr double kBoltzmann = 1.38054e-23;
constexpr double kCharge = 1.6021e-19;
constexpr int kGrid = 400;          // 50.0 K .. 89.9 K
constexpr double kDos0 = 2.8e15;

double gridT(int j) { return 50 + 0.1 * j; }

// One species with compensation: n (n + Ncom) / (N - Ncom - n) = (Nc/g) exp(-dE/kT).
double oneSpecies(double T, double N, double dE, double g, double ncom)
{
    const double kT = T * kBoltzmann / kCharge;
    const double K = kDos0 * std::pow(T, 1.5) / g * std::exp(-dE / kT);
    const double b = ncom + K, c = K * (N - ncom);
    return 2 * c / (b + std::sqrt(b * b + 4 * c));
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString firstLine(const QString& path)
{
    const QByteArray all = readAll(path);
    return QString::fromUtf8(all.left(all.indexOf("\r\n")));
}

const char* const kNegativeNote =
    "  The simulation result might not be in good agreement with the experimental data at lower "
    "temperatures, because the negative compensating dansity is used. \n  The negative compensating "
    "density means that an undeterminable shallower level may exist.";

class ResultFilesTest : public MainWindowTest {
protected:
    QTemporaryDir dir;
    TFormMain* m = nullptr;

    QString path(const QString& name) const { return dir.filePath(name); }

    // Three evaluated stages. In each stage curve the red line lies below the
    // curve at the first `above` grid points and above it elsewhere.
    void makeStages(int above = 350)
    {
        m = create(1);
        // The general reset keeps these from any earlier analysis.
        C.experimentalH1FileName.clear();
        C.experimentalH2FileName.clear();
        C.experimentalH3FileName.clear();
        C.experimentalFermiLevelFileName.clear();
        C.experimentalDataFileName = path("sample.nT").toStdString();
        C.splineFileName = path("sample.spl").toStdString();
        C.fermiLevelFileName = path("sample.fl").toStdString();
        C.sampleNumber = "S-7";
        C.conductionType = "n-type";
        C.dos0 = kDos0;
        C.splineCount = kGrid;
        C.splineTemperature.resize(kGrid);
        C.splineConcentration.resize(kGrid);
        for (int j = 0; j < kGrid; ++j) {
            C.splineTemperature[j] = gridT(j);
            C.splineConcentration[j] = 1e14 * (1 + j);
        }
        // Measured points spanning the simulated curve between 60 K and 80 K.
        C.dataCount = 3;
        C.temperature = {60, 70, 80};
        C.concentration.clear();
        for (double T : C.temperature)
            C.concentration.push_back(oneSpecies(T, 1e16, 0.045, 2, 1e14));
        C.reliability = {1, 1, 1};
        for (CurveSet* set : {&C.hCurve, &C.simulatedHCurve, &C.trialHCurve, &C.experimentalHCurve})
            set->assign(4, DoubleArray());
        for (int s = 0; s < 3; ++s) {
            C.hCurve[s].resize(kGrid);
            C.simulatedHCurve[s].resize(kGrid);
            for (int j = 0; j < kGrid; ++j) {
                const double h = 1e30 * std::exp(-std::pow((j - 200) / 60.0, 2));
                C.hCurve[s][j] = h;
                C.simulatedHCurve[s][j] = j < above ? 0.5 * h : 1.5 * h;
            }
            C.experimentalHCurve[s] = {1e29, 2e29, 3e29};
            C.peakIndex[s] = 200;
            C.referenceEnergy[s] = 0.01 * (s + 1);
            C.checkTemperature[s] = 55;
        }
        C.density = {1.234e16, 5.6789e15, 2.5e14, 0};
        C.energyLevel = {0.04523, 0.1207, 0.25006, 0};
        C.degeneracyFactor = {2, 2, 4, 1};
        C.stageCompensatingDensity = {-3.2e14, 1.5e13, 4e12, 0};
        m->plotExperimentalData(false);
        for (QPushButton* b : {m->ButtonSaveH1, m->ButtonSaveH2, m->ButtonSaveH3,
                               m->ButtonSaveExperimentalH1Data, m->ButtonSaveExperimentalH2Data,
                               m->ButtonSaveExperimentalH3Data})
            b->setEnabled(true);
    }

    void fixCompensation(int stage, double density)
    {
        C.compensationFixed = 1;
        C.compensationStage = stage;
        C.compensatingDensity = density;
    }

    int errors() const { return int(script.texts(ScriptedModal::Message::Error).size()); }
};

// ---- stage result files ------------------------------------------------------------

TEST_F(ResultFilesTest, ResultsSaveOfStage1NamesTheFileAndOpensStage2)
{
    makeStages();
    C.evaluationType = "Type-C";
    m->CheckBox4->setChecked(true);
    script.acceptProposedFile();
    m->ButtonSaveH1Click();

    ASSERT_EQ(script.fileDialogs.size(), 1u);
    const ScriptedModal::FileDialog& d = script.fileDialogs[0];
    EXPECT_TRUE(d.save);
    EXPECT_EQ(d.filter, MainSaveFilter);
    EXPECT_EQ(d.filterIndex, 3);
    const QString h1 = path("sample.H1");
    EXPECT_EQ(d.proposedName, h1);
    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    // Written with the evaluation type it was obtained with, which then goes back to Type-B.
    EXPECT_EQ(firstLine(h1), "% First Analysis (Automatic Evaluation Version Type-C )");
    EXPECT_EQ(C.evaluationType, "Type-B");
    EXPECT_EQ(QString::fromStdString(C.h1FileName), h1);

    EXPECT_EQ(m->LabelFilenameH1->text(), h1);
    EXPECT_FALSE(m->ButtonSaveH1->isEnabled());
    EXPECT_TRUE(m->ButtonSaveFigureH1->isEnabled());
    EXPECT_TRUE(m->ButtonCalcH2->isEnabled()); // open compensation: the next stage is needed
    EXPECT_TRUE(m->ButtonSimulation->isEnabled());

    // The first species goes to the simulation page; the open compensation
    // gives the stage's own value and leaves the tick as it was.
    EXPECT_TRUE(m->CheckBox1->isChecked());
    EXPECT_FALSE(m->CheckBox2->isChecked());
    EXPECT_FALSE(m->CheckBox3->isChecked());
    EXPECT_EQ(m->EditSDensity1->text(), "1.23E+16");
    EXPECT_EQ(m->EditSEnergy1->text(), "0.0452");
    EXPECT_EQ(m->EditSG1->text(), "2");
    EXPECT_EQ(m->EditSDensity2->text(), "0");
    EXPECT_EQ(m->EditSCDensity->text(), "-3.20E+14");
    EXPECT_TRUE(m->CheckBox4->isChecked());

    // The summary and the sample condition show the new state.
    ASSERT_NE(FormObtainedResults, nullptr);
    EXPECT_TRUE(FormObtainedResults->lines().contains("H1 File:                   " + h1));
    ASSERT_NE(FormSampleCondition, nullptr);
    EXPECT_TRUE(FormSampleCondition->LabelSampleNumber->text().contains("S-7"));

    // An unticked compensation stays unticked.
    m->CheckBox4->setChecked(false);
    m->ButtonSaveH1->setEnabled(true);
    script.acceptProposedFile();
    m->ButtonSaveH1Click();
    EXPECT_FALSE(m->CheckBox4->isChecked());
    EXPECT_EQ(errors(), 0);
}

TEST_F(ResultFilesTest, ProposedNamesAndFilterIndicesForHAndS)
{
    makeStages();
    C.h1FileName = path("first.H1").toStdString();
    C.h2FileName = path("second.H2").toStdString();
    struct Case {
        void (TFormMain::*click)();
        const char* hName;
        int hIndex;
        const char* sName;
        int sIndex;
    };
    const Case cases[] = {
        {&TFormMain::ButtonSaveH1Click, "sample.H1", 3, "sample.S1", 7},
        {&TFormMain::ButtonSaveExperimentalH1DataClick, "sample.H1E", 11, "sample.S1E", 12},
        {&TFormMain::ButtonSaveH2Click, "first.H2", 4, "first.S2", 8},
        {&TFormMain::ButtonSaveExperimentalH2DataClick, "sample.H2E", 14, "sample.S2E", 15},
        {&TFormMain::ButtonSaveH3Click, "second.H3", 5, "second.S3", 9},
        {&TFormMain::ButtonSaveExperimentalH3DataClick, "sample.H3E", 16, "sample.S3E", 17},
    };
    for (int functionType : {2, 1, 0}) {
        C.functionType = functionType;
        const bool s = functionType == 1; // any other value uses the H names
        for (const Case& c : cases) {
            script.cancelFile();
            std::invoke(c.click, m);
            const ScriptedModal::FileDialog& d = script.fileDialogs.back();
            EXPECT_EQ(d.proposedName, path(s ? c.sName : c.hName)) << functionType;
            EXPECT_EQ(d.filterIndex, s ? c.sIndex : c.hIndex) << c.hName << " " << functionType;
        }
    }
    // Cancelling changed nothing.
    EXPECT_TRUE(script.messages.empty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(QString::fromStdString(C.h1FileName), path("first.H1"));
    EXPECT_TRUE(C.h3FileName.empty() && C.experimentalH1FileName.empty());
    for (QPushButton* b : {m->ButtonSaveH1, m->ButtonSaveH2, m->ButtonSaveH3,
                           m->ButtonSaveExperimentalH1Data, m->ButtonSaveExperimentalH2Data,
                           m->ButtonSaveExperimentalH3Data})
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    for (QPushButton* b : {m->ButtonSaveFigureH1, m->ButtonSaveFigureH2, m->ButtonSaveFigureH3,
                           m->ButtonCalcH2, m->ButtonCalcH3, m->ButtonSimulation})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_FALSE(m->CheckBox1->isChecked());

    // The S results file gets the S extension.
    C.functionType = 1;
    script.acceptProposedFile();
    m->ButtonSaveH1Click();
    EXPECT_TRUE(QFileInfo::exists(path("sample.S1")));
    EXPECT_EQ(m->LabelFilenameH1->text(), path("sample.S1"));
}

TEST_F(ResultFilesTest, Stage2WithFixedCompensationStopsBelow300PointsAboveTheRedLine)
{
    for (int above : {299, 300}) {
        SCOPED_TRACE(above);
        makeStages(above);
        C.h1FileName = path("sample.H1").toStdString();
        fixCompensation(1, 1.5e13);
        script.messages.clear();
        script.acceptProposedFile();
        m->ButtonSaveH2Click();
        if (above < 300) {
            ASSERT_EQ(script.messages.size(), 1u);
            EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::Confirmation);
            EXPECT_EQ(script.messages[0].text, "Evaluation has been completed!");
            EXPECT_FALSE(m->ButtonCalcH3->isEnabled());
        } else {
            EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
            EXPECT_TRUE(m->ButtonCalcH3->isEnabled());
        }
        // Saved either way, with both species and the fixed compensation handed over.
        EXPECT_EQ(m->LabelFilenameH2->text(), path("sample.H2"));
        EXPECT_TRUE(m->ButtonSaveFigureH2->isEnabled());
        EXPECT_TRUE(m->ButtonSimulation->isEnabled());
        EXPECT_TRUE(m->CheckBox1->isChecked());
        EXPECT_TRUE(m->CheckBox2->isChecked());
        EXPECT_FALSE(m->CheckBox3->isChecked());
        EXPECT_EQ(m->EditSDensity2->text(), "5.68E+15");
        EXPECT_EQ(m->EditSEnergy2->text(), "0.1207");
        EXPECT_EQ(m->EditSG2->text(), "2");
        EXPECT_EQ(m->EditSCDensity->text(), "1.50E+13");
        EXPECT_TRUE(m->CheckBox4->isChecked());
        destroyForms();
    }
}

TEST_F(ResultFilesTest, OpenCompensationAlwaysOpensTheNextStage)
{
    makeStages(10);
    script.acceptProposedFile();
    m->ButtonSaveH1Click();
    EXPECT_TRUE(m->ButtonCalcH2->isEnabled());
    script.acceptProposedFile();
    m->ButtonSaveH2Click();
    EXPECT_TRUE(m->ButtonCalcH3->isEnabled());
    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(m->EditSCDensity->text(), "1.50E+13"); // the stage's own value
}

TEST_F(ResultFilesTest, Stage3SaveHandsOverAllSpeciesAndHasNoNextStage)
{
    makeStages(10);
    fixCompensation(2, 4e12);
    C.h2FileName = path("sample.H2").toStdString();
    script.acceptProposedFile();
    m->ButtonSaveH3Click();
    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(m->LabelFilenameH3->text(), path("sample.H3"));
    EXPECT_FALSE(m->ButtonSaveH3->isEnabled());
    EXPECT_TRUE(m->ButtonSaveFigureH3->isEnabled());
    for (QCheckBox* b : {m->CheckBox1, m->CheckBox2, m->CheckBox3, m->CheckBox4})
        EXPECT_TRUE(b->isChecked()) << b->objectName().toStdString();
    EXPECT_EQ(m->EditSDensity3->text(), "2.50E+14");
    EXPECT_EQ(m->EditSEnergy3->text(), "0.2501");
    EXPECT_EQ(m->EditSG3->text(), "4");
    EXPECT_EQ(m->EditSCDensity->text(), "4.00E+12");
    EXPECT_TRUE(m->ButtonSimulation->isEnabled());
}

TEST_F(ResultFilesTest, ResultsFileThatCannotBeWrittenChangesNothing)
{
    makeStages();
    script.acceptProposedFile();
    m->ButtonSaveH1Click();
    const QString h1 = path("sample.H1");
    const QByteArray saved = readAll(h1);
    ASSERT_FALSE(saved.isEmpty());

    // A new evaluation of stage 1 brings the page back to "not saved".
    m->resetStage2Page();
    m->resetSimulationPage();
    m->resetSpeciesInput(0);
    m->ButtonSaveH1->setEnabled(true);
    m->ButtonSaveFigureH1->setEnabled(false);
    m->ButtonSimulation->setEnabled(false);
    C.evaluationType = "Type-D";
    const QStringList summary = FormObtainedResults->lines();

    auto expectUnchanged = [&] {
        EXPECT_EQ(m->LabelFilenameH1->text(), h1);
        EXPECT_EQ(QString::fromStdString(C.h1FileName), h1);
        EXPECT_TRUE(m->ButtonSaveH1->isEnabled());
        EXPECT_FALSE(m->ButtonSaveFigureH1->isEnabled());
        EXPECT_FALSE(m->ButtonCalcH2->isEnabled());
        EXPECT_FALSE(m->ButtonSimulation->isEnabled());
        EXPECT_FALSE(m->CheckBox1->isChecked());
        EXPECT_EQ(m->EditSDensity1->text(), "0");
        EXPECT_EQ(C.evaluationType, "Type-D");
        EXPECT_EQ(FormObtainedResults->lines(), summary);
        EXPECT_EQ(readAll(h1), saved);
    };

    // A folder that is a plain file cannot hold the new file.
    QFile plain(path("plain"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    const QString bad = path("plain/sample.H1");
    script.answerFile(bad);
    m->ButtonSaveH1Click();
    ASSERT_EQ(errors(), 1);
    EXPECT_TRUE(script.lastText().contains(bad)) << script.lastText().toStdString();
    EXPECT_FALSE(QFileInfo::exists(bad));
    expectUnchanged();

    // Writing over the earlier file fails too when the stage is incomplete,
    // and the earlier file survives.
    C.simulatedHCurve[0].clear();
    script.answerFile(h1);
    m->ButtonSaveH1Click();
    ASSERT_EQ(errors(), 2);
    EXPECT_TRUE(script.lastText().contains(h1)) << script.lastText().toStdString();
    expectUnchanged();
    EXPECT_EQ(script.messages.size(), 2u); // no "Evaluation has been completed!" either
}

TEST_F(ResultFilesTest, ExperimentalFilesDisableTheirButtonOnlyWhenWritten)
{
    makeStages();
    C.h1FileName = path("sample.H1").toStdString();
    QPushButton* buttons[] = {m->ButtonSaveExperimentalH1Data, m->ButtonSaveExperimentalH2Data,
                              m->ButtonSaveExperimentalH3Data};
    void (TFormMain::*clicks[])() = {&TFormMain::ButtonSaveExperimentalH1DataClick,
                                     &TFormMain::ButtonSaveExperimentalH2DataClick,
                                     &TFormMain::ButtonSaveExperimentalH3DataClick};
    const std::string* fields[] = {&C.experimentalH1FileName, &C.experimentalH2FileName,
                                   &C.experimentalH3FileName};
    for (int s = 0; s < 3; ++s) {
        SCOPED_TRACE(s);
        script.messages.clear();
        const QString name = path(QString("sample.H%1E").arg(s + 1));
        script.answerFile(path(QString("missing/sample.H%1E").arg(s + 1)));
        std::invoke(clicks[s], m); // one read of the member pointer (GCC's bounds check misreads the inline form)
        EXPECT_EQ(errors(), 1);
        EXPECT_TRUE(buttons[s]->isEnabled());
        EXPECT_TRUE(fields[s]->empty());

        script.acceptProposedFile();
        std::invoke(clicks[s], m);
        EXPECT_EQ(errors(), 1) << script.lastText().toStdString();
        EXPECT_TRUE(QFileInfo::exists(name)) << s;
        EXPECT_EQ(QString::fromStdString(*fields[s]), name);
        EXPECT_FALSE(buttons[s]->isEnabled());
        // Only the results file opens anything.
        EXPECT_FALSE(m->ButtonSimulation->isEnabled());
        EXPECT_FALSE(m->CheckBox1->isChecked());
    }
    EXPECT_TRUE(m->LabelFilenameH1->text().isEmpty());
}

// ---- simulation ------------------------------------------------------------------------

TEST_F(ResultFilesTest, SimulationReadsThePageAndDrawsInsideTheMeasuredRange)
{
    makeStages();
    m->CheckBox1->setChecked(true);
    m->EditSDensity1->setText("1e16");
    m->EditSEnergy1->setText("0.045");
    m->EditSG1->setText("2");
    m->CheckBox2->setChecked(false); // typed but left out
    m->EditSDensity2->setText("5e17");
    m->EditSEnergy2->setText("0.2");
    m->EditSG2->setText("3");
    m->EditSDensity3->setText("7E14");
    m->EditSEnergy3->setText("0.3");
    m->EditSG3->setText("4");
    m->CheckBox4->setChecked(true);
    m->EditSCDensity->setText("1e14");
    // As after an earlier saved simulation.
    for (QPushButton* b : {m->ButtonSaveFigureSimulation1, m->ButtonSaveFigureSimulation2,
                           m->ButtonFineAdjustment})
        b->setEnabled(true);
    m->MenuCurveFitting->setEnabled(true);

    m->ButtonSimulationClick();
    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    EXPECT_EQ(C.simulationInclude, (std::array<unsigned char, 5>{1, 0, 0, 0, 1}));
    EXPECT_EQ(C.simulationDensity[0], 1e16);
    EXPECT_EQ(C.simulationEnergyLevel[0], 0.045);
    EXPECT_EQ(C.degeneracyFactor[0], 2);
    EXPECT_EQ(C.simulationDensity[1], 5e17);
    EXPECT_EQ(C.simulationEnergyLevel[1], 0.2);
    EXPECT_EQ(C.degeneracyFactor[1], 3);
    EXPECT_EQ(C.simulationDensity[2], 7e14);
    EXPECT_EQ(C.simulationEnergyLevel[2], 0.3);
    EXPECT_EQ(C.degeneracyFactor[2], 4);
    EXPECT_EQ(C.simulationCompensatingDensity, 1e14);

    // The measured points lie on the curve at 60 K and 80 K; the line is
    // drawn strictly between them only (the end points may round either way).
    for (bool inverse : {false, true}) {
        SCOPED_TRACE(inverse);
        ChartPlot* chart = inverse ? m->ChartSimulationReverseT : m->ChartSimulationT;
        EXPECT_EQ(chart->count(0), 3);
        const QVector<QPointF>& line = chart->data(1);
        EXPECT_GE(line.size(), 199);
        EXPECT_LE(line.size(), 201);
        for (const QPointF& p : line) {
            const double T = inverse ? 1000.0 / p.x() : p.x();
            EXPECT_GE(T, 60 - 1e-9);
            EXPECT_LE(T, 80 + 1e-9);
            EXPECT_GT(p.y(), C.concentration[0]);
            EXPECT_LT(p.y(), C.concentration[2]);
            EXPECT_NEAR(p.y() / oneSpecies(T, 1e16, 0.045, 2, 1e14), 1, 2e-6) << T;
        }
    }

    EXPECT_TRUE(m->ButtonSimulation->isEnabled());
    EXPECT_TRUE(m->ButtonSaveSimulation->isEnabled());
    EXPECT_FALSE(m->ButtonSaveFigureSimulation1->isEnabled());
    EXPECT_FALSE(m->ButtonSaveFigureSimulation2->isEnabled());
    EXPECT_FALSE(m->MenuCurveFitting->isEnabled());
    EXPECT_FALSE(m->ButtonFineAdjustment->isEnabled());
}

TEST_F(ResultFilesTest, SimulationStopsAtTheFirstTextThatIsNotANumber)
{
    makeStages();
    C.simulationDensity[2] = 7;
    C.simulationCompensatingDensity = 7;
    m->EditSDensity1->setText("1e16");
    m->EditSEnergy1->setText("0.05");
    m->EditSG1->setText("3");
    m->EditSDensity2->setText("2e15");
    m->EditSEnergy2->setText("0.1");
    m->EditSG2->setText("two");
    m->EditSDensity3->setText("1e15");
    m->EditSCDensity->setText("1e13");
    m->ButtonSimulationClick();

    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::ConversionError);
    EXPECT_TRUE(script.messages[0].text.contains("two"));
    // What was read before stays stored; nothing after it is read or computed.
    EXPECT_EQ(C.degeneracyFactor[0], 3);
    EXPECT_EQ(C.simulationDensity[1], 2e15);
    EXPECT_EQ(C.simulationEnergyLevel[1], 0.1);
    EXPECT_EQ(C.degeneracyFactor[1], 2);
    EXPECT_EQ(C.simulationDensity[2], 7);
    EXPECT_EQ(C.simulationCompensatingDensity, 7);
    EXPECT_TRUE(C.simulatedConcentration.empty());
    EXPECT_EQ(m->ChartSimulationT->count(1), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(m->ButtonSimulation->isEnabled());
    EXPECT_FALSE(m->ButtonSaveSimulation->isEnabled());

    // The last field is read too.
    m->EditSG2->setText("2");
    m->EditSCDensity->setText("1e13x");
    m->ButtonSimulationClick();
    ASSERT_EQ(script.messages.size(), 2u);
    EXPECT_EQ(script.messages[1].kind, ScriptedModal::Message::ConversionError);
    EXPECT_EQ(C.simulationDensity[2], 1e15);
    EXPECT_EQ(C.simulationCompensatingDensity, 7);
    EXPECT_FALSE(m->ButtonSaveSimulation->isEnabled());
}

TEST_F(ResultFilesTest, NegativeCompensationCautionFollowsTheAnalysisNotThePage)
{
    makeStages();
    m->CheckBox1->setChecked(true);
    m->EditSDensity1->setText("1e16");
    m->EditSEnergy1->setText("0.045");
    m->EditSG1->setText("2");
    struct Case {
        double analysis;
        const char* page;
        bool caution;
    };
    for (const Case& c : {Case{-1e13, "5e13", true}, Case{2e13, "-5e13", false}, Case{0, "0", false}}) {
        C.compensatingDensity = c.analysis;
        m->EditSCDensity->setText(c.page);
        script.messages.clear();
        m->ButtonSimulationClick();
        if (c.caution) {
            ASSERT_EQ(script.messages.size(), 1u);
            EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::Confirmation);
            EXPECT_EQ(script.messages[0].text, kNegativeNote);
        } else {
            EXPECT_TRUE(script.messages.empty()) << c.analysis;
        }
        EXPECT_TRUE(m->ButtonSaveSimulation->isEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
}

TEST_F(ResultFilesTest, SaveSimulationProposesItsNameAndUnlocksCurveFitting)
{
    makeStages();
    C.h1FileName = path("first.H1").toStdString();
    m->CheckBox1->setChecked(true);
    m->EditSDensity1->setText("1e16");
    m->EditSEnergy1->setText("0.045");
    m->ButtonSimulationClick();

    for (int functionType : {1, 2, 5}) {
        C.functionType = functionType;
        script.cancelFile();
        m->ButtonSaveSimulationClick();
        EXPECT_EQ(script.fileDialogs.back().proposedName,
                  path(functionType == 1 ? "first.simS" : "first.simH"));
        EXPECT_EQ(script.fileDialogs.back().filterIndex, 6);
    }
    EXPECT_TRUE(m->ButtonSaveSimulation->isEnabled());
    EXPECT_TRUE(C.simulationFileName.empty());

    C.functionType = 2;
    script.acceptProposedFile();
    m->ButtonSaveSimulationClick();
    const QString sim = path("first.simH");
    // The only box: the simulation misses the measured points by more than 20 %.
    ASSERT_EQ(script.messages.size(), 1u) << script.lastText().toStdString();
    EXPECT_TRUE(script.messages[0].text.startsWith(
        "Warning: the simulated concentration deviates from the measured one by up to "));
    EXPECT_EQ(m->LabelSimulationDeviation->text().left(46), "Largest deviation from the measured points: 46");
    EXPECT_EQ(firstLine(sim), "% Simulation of Majority-Carrier Concentartion (Auto-evaluation version)");
    EXPECT_EQ(QString::fromStdString(C.simulationFileName), sim);
    EXPECT_EQ(m->LabelFilenameSimulation->text(), sim);
    EXPECT_FALSE(m->ButtonSaveSimulation->isEnabled());
    EXPECT_TRUE(m->ButtonSaveFigureSimulation1->isEnabled());
    EXPECT_TRUE(m->ButtonSaveFigureSimulation2->isEnabled());
    EXPECT_TRUE(m->MenuCurveFitting->isEnabled());
    EXPECT_TRUE(m->ButtonFineAdjustment->isEnabled());

    // A new simulation that cannot be saved leaves everything locked.
    m->ButtonSimulationClick();
    const QString bad = path("nowhere/first.simH");
    script.answerFile(bad);
    m->ButtonSaveSimulationClick();
    ASSERT_EQ(errors(), 1);
    EXPECT_TRUE(script.lastText().contains(bad)) << script.lastText().toStdString();
    EXPECT_EQ(QString::fromStdString(C.simulationFileName), sim);
    EXPECT_EQ(m->LabelFilenameSimulation->text(), sim);
    EXPECT_TRUE(m->ButtonSaveSimulation->isEnabled());
    EXPECT_FALSE(m->ButtonSaveFigureSimulation1->isEnabled());
    EXPECT_FALSE(m->ButtonSaveFigureSimulation2->isEnabled());
    EXPECT_FALSE(m->MenuCurveFitting->isEnabled());
    EXPECT_FALSE(m->ButtonFineAdjustment->isEnabled());
}

// ---- obtained results and remarks -------------------------------------------------------

TEST_F(ResultFilesTest, SaveResultsShowsAndRefillsTheSummary)
{
    makeStages();
    ASSERT_NE(FormObtainedResults, nullptr);
    FormObtainedResults->hide();
    FormObtainedResults->clearText();
    m->ButtonSaveResultsClick();
    EXPECT_TRUE(FormObtainedResults->isVisible());
    const QStringList lines = FormObtainedResults->lines();
    ASSERT_EQ(lines.size(), 21);
    EXPECT_EQ(lines[3], "Sample Number:             S-7");
    EXPECT_EQ(lines[14], "First Density:                   1.23E+16 cm^-3");
    EXPECT_EQ(lines[19], "Third Energy Level:              0.2501 eV");
    FormObtainedResults->hide();
}

class SeeRemarksTest : public ResultFilesTest {
protected:
    QString labels[4];
    bool againOffered = false;

    // Stage results saved up to H3 and a simulation drawn, on the Simulation page.
    void prepare(int lastStage)
    {
        makeStages();
        C.stageCompensatingDensity = {-4.5e14, -7e13, 2e12, 0};
        C.compensatingDensity = 3e13;
        C.lowestThermalEnergy = 0.0043;
        C.h1FileName = path("sample.H1").toStdString();
        C.h2FileName = path("sample.H2").toStdString();
        C.h3FileName = path("sample.H3").toStdString();
        C.lastEvaluatedStage = lastStage;
        m->ChartH2->setData(0, {{60, 1e30}, {70, 2e30}});
        m->ChartH3->setData(0, {{60, 1e30}, {70, 2e30}});
        m->LabelEref2->setText("0.012");
        m->LabelEref3->setText("0.034");
        m->LabelFilenameH2->setText(path("sample.H2"));
        m->LabelFilenameH3->setText(path("sample.H3"));
        m->CheckBox1->setChecked(true);
        m->CheckBox4->setChecked(true);
        m->EditSDensity1->setText("1e16");
        m->EditSEnergy1->setText("0.045");
        m->EditSG1->setText("2");
        m->EditSCDensity->setText("1e14");
        m->ButtonSimulationClick();
        ASSERT_GT(m->ChartSimulationT->count(1), 0);
        // The later species as their saves left them.
        m->CheckBox2->setChecked(true);
        m->CheckBox3->setChecked(true);
        m->EditSDensity2->setText("5.68E+15");
        m->EditSDensity3->setText("2.50E+14");
        script.messages.clear();
        m->PageControl1->setCurrentWidget(m->TabSheet6);
        m->ButtonSeeResults->setEnabled(true);
        m->ButtonSaveH2->setEnabled(true);
        m->ButtonSaveH3->setEnabled(true);
    }
    void answer(int result)
    {
        script.windowHandler = [this, result](QDialog*) {
            QLabel* l[] = {FormRemarks->Label1, FormRemarks->Label2, FormRemarks->Label3,
                           FormRemarks->Label4};
            for (int i = 0; i < 4; ++i)
                labels[i] = l[i]->text();
            againOffered = FormRemarks->ButtonEvaluationAgain->isEnabled();
            return result;
        };
    }
    // Everything "Evaluation again" may change, as one comparable text.
    std::string state() const
    {
        std::ostringstream o;
        o << int(C.compensationFixed) << ' ' << C.compensationStage << ' ' << C.compensatingDensity << ' '
          << C.h3FileName << ' ' << C.simulatedConcentration.size() << ' '
          << m->ButtonCalcH2->isEnabled() << m->ButtonCalcH2->text().toStdString() << ' '
          << m->ButtonCalcH3->isEnabled() << m->ButtonCalcH3->text().toStdString() << ' '
          << m->ButtonSaveH2->isEnabled() << m->ButtonSaveH3->isEnabled() << ' '
          << m->ChartH2->count(0) << ' ' << m->ChartH3->count(0) << ' '
          << m->LabelEref2->text().toStdString() << ' ' << m->LabelEref3->text().toStdString() << ' '
          << m->LabelFilenameH2->text().toStdString() << ' ' << m->LabelFilenameH3->text().toStdString()
          << ' ' << m->CheckBox2->isChecked() << m->CheckBox3->isChecked() << m->CheckBox4->isChecked()
          << ' ' << m->EditSDensity2->text().toStdString() << ' ' << m->EditSDensity3->text().toStdString()
          << ' ' << m->PageControl1->currentIndex() << ' ' << m->ButtonSeeResults->isEnabled() << ' '
          << m->ButtonSaveSimulation->isEnabled() << ' ' << m->ChartSimulationT->count(1);
        return o.str();
    }
};

TEST_F(SeeRemarksTest, EvaluationAgainForH2FixesTheH1CompensationAndGoesBackToH2)
{
    prepare(1);
    answer(TFormRemarks::EvaluationAgain);
    m->ButtonSeeResultsClick();

    ASSERT_EQ(script.windowsShown.size(), 1u);
    EXPECT_EQ(script.windowsShown[0], "FormRemarks");
    EXPECT_EQ(labels[0], "The second energy level obtained in H2 may not be reliable.");
    EXPECT_TRUE(labels[1].contains("0.0043")) << labels[1].toStdString();
    EXPECT_TRUE(labels[2].endsWith("compensating density of -4.50E+14 cm^-3.")) << labels[2].toStdString();
    EXPECT_TRUE(againOffered);

    EXPECT_EQ(C.compensationFixed, 1);
    EXPECT_EQ(C.compensationStage, 0);
    EXPECT_EQ(C.compensatingDensity, -4.5e14);
    EXPECT_TRUE(m->ButtonCalcH2->isEnabled());
    EXPECT_EQ(m->ButtonCalcH2->text(), "Calculation again");
    EXPECT_FALSE(m->ButtonSaveH2->isEnabled());
    EXPECT_EQ(m->ChartH2->count(0), 0);
    EXPECT_EQ(m->LabelEref2->text(), "0");
    EXPECT_TRUE(m->LabelFilenameH2->text().isEmpty());
    // Stage 3 and the simulation are gone, in the analysis and on the pages.
    EXPECT_TRUE(C.h3FileName.empty());
    EXPECT_TRUE(C.simulatedConcentration.empty());
    EXPECT_EQ(m->ChartH3->count(0), 0);
    EXPECT_TRUE(m->LabelFilenameH3->text().isEmpty());
    EXPECT_FALSE(m->ButtonCalcH3->isEnabled());
    EXPECT_FALSE(m->CheckBox2->isChecked());
    EXPECT_FALSE(m->CheckBox3->isChecked());
    EXPECT_FALSE(m->CheckBox4->isChecked());
    EXPECT_EQ(m->EditSDensity2->text(), "0");
    EXPECT_EQ(m->EditSCDensity->text(), "0");
    EXPECT_EQ(m->ChartSimulationT->count(1), 0);
    EXPECT_FALSE(m->ButtonSaveSimulation->isEnabled());
    EXPECT_FALSE(m->ButtonSeeResults->isEnabled());
    // Stage 1 stays as it was.
    EXPECT_TRUE(m->CheckBox1->isChecked());
    EXPECT_EQ(QString::fromStdString(C.h1FileName), path("sample.H1"));
    EXPECT_EQ(m->PageControl1->currentWidget(), m->TabSheet4);
    EXPECT_TRUE(script.messages.empty());
}

TEST_F(SeeRemarksTest, EvaluationAgainForH3FixesTheH2CompensationAndGoesBackToH3)
{
    prepare(2);
    answer(TFormRemarks::EvaluationAgain);
    m->ButtonSeeResultsClick();

    EXPECT_EQ(labels[0], "The third energy level obtained in H3 may not be reliable.");
    EXPECT_TRUE(labels[2].endsWith("compensating density of -7.00E+13 cm^-3.")) << labels[2].toStdString();
    EXPECT_EQ(C.compensationFixed, 1);
    EXPECT_EQ(C.compensationStage, 1);
    EXPECT_EQ(C.compensatingDensity, -7e13);
    EXPECT_TRUE(m->ButtonCalcH3->isEnabled());
    EXPECT_EQ(m->ButtonCalcH3->text(), "Calculation again");
    EXPECT_FALSE(m->ButtonSaveH3->isEnabled());
    EXPECT_EQ(m->ChartH3->count(0), 0);
    EXPECT_EQ(m->LabelEref3->text(), "0");
    EXPECT_TRUE(m->LabelFilenameH3->text().isEmpty());
    EXPECT_FALSE(m->CheckBox3->isChecked());
    EXPECT_FALSE(m->CheckBox4->isChecked());
    EXPECT_TRUE(C.simulatedConcentration.empty());
    EXPECT_EQ(m->ChartSimulationT->count(1), 0);
    EXPECT_FALSE(m->ButtonSaveSimulation->isEnabled());
    // Stage 2 stays as it was.
    EXPECT_EQ(m->ChartH2->count(0), 2);
    EXPECT_EQ(m->LabelEref2->text(), "0.012");
    EXPECT_TRUE(m->ButtonSaveH2->isEnabled());
    EXPECT_TRUE(m->CheckBox2->isChecked());
    EXPECT_EQ(m->PageControl1->currentWidget(), m->TabSheet5);
}

TEST_F(SeeRemarksTest, ContinueOrClosingTheWindowChangesNothing)
{
    for (int result : {int(TFormRemarks::Continue), 0}) {
        SCOPED_TRACE(result);
        prepare(1);
        const std::string before = state();
        answer(result);
        m->ButtonSeeResultsClick();
        EXPECT_EQ(script.windowsShown.size(), 1u);
        EXPECT_EQ(state(), before);
        destroyForms();
        script.windowsShown.clear();
    }
}

TEST_F(SeeRemarksTest, StageOneHasNoRecommendationAndNoEvaluationAgain)
{
    prepare(0);
    FormRemarks->fill(1); // texts of an earlier H2 remark
    const std::string before = state();
    // Even a window that answered "Evaluation again" would change nothing.
    answer(TFormRemarks::EvaluationAgain);
    m->ButtonSeeResultsClick();
    EXPECT_EQ(script.windowsShown.size(), 1u);
    EXPECT_TRUE(labels[0].isEmpty());
    EXPECT_TRUE(labels[1].contains("lower than 0.0043 eV")) << labels[1].toStdString();
    EXPECT_TRUE(labels[2].isEmpty());
    EXPECT_TRUE(labels[3].isEmpty());
    EXPECT_FALSE(againOffered);
    EXPECT_EQ(state(), before);
}

TEST_F(SeeRemarksTest, NoEvaluatedStageShowsNoWindow)
{
    prepare(-1);
    const std::string before = state();
    answer(TFormRemarks::EvaluationAgain);
    m->ButtonSeeResultsClick();
    EXPECT_TRUE(script.windowsShown.empty());
    EXPECT_EQ(state(), before);
}

} // namespace
