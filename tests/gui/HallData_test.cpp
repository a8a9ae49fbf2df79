// Main window: loading experimental data and saving figures.
#include "HallTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryDir>
#include <functional>

namespace {

bool copyExample(const QString& from, const QString& to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}

void writeText(const QString& path, const QByteArray& text)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// A valid 17-line header with `thickness` in line 12 and the given points.
QByteArray dataFile(const QByteArray& thickness, const QByteArray& conductionType, int count,
                    const QByteArray& points)
{
    return "% Data of Hall-Effect Measurement\r\n"
           "% Version Information: Version 1.7.1 (2017/8/23)\r\n"
           "% Original file: \r\n"
           "% Experimental data file: x.nT\r\n"
           "% Name of measurement: m\r\n"
           "% Date of measurement: d\r\n"
           "% Name of analysis: a\r\n"
           "% Date of Analysis: d\r\n"
           "% Sample number: S-1\r\n"
           "% Semiconductor: Si\r\n"
           "% Conduction type: " + conductionType + "\r\n"
           "% Sample thickness [micron]: " + thickness + "\r\n"
           "% Magnetic Field [T]: 0.5\r\n"
           "% Current [A]: 1E-6\r\n"
           "% Number of data: " + QByteArray::number(count) + "\r\n"
           "% comment\r\n"
           "% Temperature [K]   Majority-Carrier Concentration [cm^-3]   Reliability   \r\n" +
           points;
}

void expectNothingPlotted(TFormMain* m)
{
    for (ChartPlot* c : {m->ChartExperimentalLinear, m->ChartExperimentalLog,
                         m->ChartSimulationReverseT, m->ChartSimulationT})
        EXPECT_EQ(c->count(0), 0) << c->objectName().toStdString();
    EXPECT_FALSE(m->ButtonChangeData->isEnabled());
    EXPECT_FALSE(m->ButtonCalcSpline->isEnabled());
    EXPECT_FALSE(m->MenuLoadSpline->isEnabled());
}

} // namespace

TEST_F(MainWindowTest, LoadDataDrawsOnlyReliablePointsOnTheFourCharts)
{
    TFormMain* m = create(1);
    const QString path = example("edge_reliability.nT");
    load(m, path);
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    ASSERT_EQ(script.fileDialogs.size(), 1u);
    EXPECT_FALSE(script.fileDialogs[0].save);
    EXPECT_EQ(script.fileDialogs[0].filter, MainOpenFilter);
    EXPECT_EQ(script.fileDialogs[0].filterIndex, 1);
    EXPECT_TRUE(script.fileDialogs[0].proposedName.isEmpty());

    // 38 points in the file; 30 K and 400 K have reliability 0, 220 K 0.5.
    EXPECT_EQ(C.dataCount, 38);
    for (ChartPlot* c : {m->ChartExperimentalLinear, m->ChartExperimentalLog,
                         m->ChartSimulationReverseT, m->ChartSimulationT}) {
        EXPECT_EQ(c->count(0), 35) << c->objectName().toStdString();
        EXPECT_EQ(c->drawnCount(0), 35) << c->objectName().toStdString();
        EXPECT_EQ(c->count(1), 0);
    }
    for (const QPointF& p : m->ChartExperimentalLinear->data(0)) {
        EXPECT_NE(p.x(), 30);
        EXPECT_NE(p.x(), 220);
        EXPECT_NE(p.x(), 400);
    }
    const QPointF first = m->ChartSimulationReverseT->data(0).front();
    EXPECT_DOUBLE_EQ(first.x(), 1000.0 / 40.0);
    EXPECT_DOUBLE_EQ(first.y(), 7.82459e13);
    EXPECT_EQ(m->ChartSimulationT->data(0).front(), QPointF(40, 7.82459e13));
    EXPECT_TRUE(m->ChartExperimentalLog->leftLog());
    EXPECT_TRUE(m->ChartSimulationReverseT->leftLog());
    EXPECT_TRUE(m->ChartSimulationT->leftLog());
    EXPECT_FALSE(m->ChartExperimentalLinear->leftLog());

    // Buttons and menu items of the next stage.
    EXPECT_TRUE(m->ButtonChangeData->isEnabled());
    EXPECT_TRUE(m->ButtonCalcSpline->isEnabled());
    EXPECT_FALSE(m->ButtonSaveSpline->isEnabled());
    EXPECT_FALSE(m->ButtonCalcFermiLevel->isEnabled());
    EXPECT_FALSE(m->ButtonCalcH1->isEnabled());
    // The loading items are hidden in Normal mode; once shown they offer the
    // data-for-analysis file but not yet the Fermi-level file.
    m->setMode(true);
    EXPECT_TRUE(m->MenuLoadSpline->isEnabled());
    EXPECT_FALSE(m->MenuLoadFermiLevel->isEnabled());
    m->setMode(false);

    // The sample is named everywhere.
    EXPECT_EQ(m->LabelFilenameExperimentalData->text(), path);
    EXPECT_EQ(m->PanelFilenameExperimentalData->text(), path);
    EXPECT_EQ(m->PanelSampleNumber->text(), "SYN-edge_reliability");

    // n-type presentation, also on the Fermi page after its reset.
    for (QLineEdit* e : {m->EditGH1, m->EditGH2, m->EditGH3})
        EXPECT_EQ(e->text(), "2");
    EXPECT_EQ(m->ChartExperimentalLinear->leftTitle(), "Electron Concentration  [cm^-3]");
    EXPECT_EQ(m->ChartSimulationT->leftTitle(), "Electron Concentarion  [cm^-3]");
    EXPECT_EQ(m->ChartFermiLevel->leftTitle(), "Fermi Level from Conduction Band  [eV]");
    EXPECT_EQ(m->LabelFermiConductionTypeN->text(), "n-type");
    EXPECT_TRUE(m->LabelFermiConductionTypeP->text().isEmpty());
    EXPECT_TRUE(m->LabelAcceptorH3->text().isEmpty());
    for (FormulaPicture* p : m->pictures())
        EXPECT_EQ(p->shown(), FormulaPicture::NType);
}

TEST_F(MainWindowTest, PTypeDataGiveHolePresentationAndDegeneracyFour)
{
    TFormMain* m = create(1);
    m->MenuLoadExperimental->trigger(); // cancelled: nothing queued
    EXPECT_EQ(C.dataCount, 0);
    load(m, example("sic4h_p_al.pT"));
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(m->ChartExperimentalLog->count(0), C.dataCount);
    for (QLineEdit* e : {m->EditGH1, m->EditGH2, m->EditGH3})
        EXPECT_EQ(e->text(), "4");
    EXPECT_EQ(m->ChartExperimentalLog->leftTitle(), "Hole Concentration  [cm^-3]");
    EXPECT_EQ(m->ChartFermiLevel->leftTitle(), "Fermi Level from Valence Band  [eV]");
    EXPECT_EQ(m->LabelSAcceptor->text(), "p-type");
    EXPECT_TRUE(m->LabelSDonor->text().isEmpty());
    EXPECT_EQ(m->PictureEnergy[0].shown(), FormulaPicture::PType);

    // Loading again resets first: n-type data bring "2" back.
    load(m, example("gaas_n_shallow.nT"));
    EXPECT_EQ(m->EditGH2->text(), "2");
    EXPECT_EQ(m->LabelAcceptorH1->text(), "");
}

TEST_F(MainWindowTest, NewDataClearEveryLaterStage)
{
    TFormMain* m = create(0);
    C.smoothness = 12;
    C.compensatingDensity = 4e14;
    m->ButtonCalcH2->setText("Calculation again");
    m->ChartH2->setData(0, {{100, 1}});
    m->ButtonSaveFigureH1->setEnabled(true);
    m->MenuDHES->setEnabled(true);
    m->ButtonFineAdjustment->setEnabled(true);
    load(m, example("gaas_n_shallow.nT"));
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(C.smoothness, 5000);
    EXPECT_EQ(C.dos0, 4.8e15);
    EXPECT_EQ(C.compensatingDensity, 0);
    EXPECT_EQ(C.compensationStage, -1);
    EXPECT_EQ(m->ChartH2->count(0), 0);
    EXPECT_FALSE(m->ButtonSaveFigureH1->isEnabled());
    EXPECT_FALSE(m->MenuDHES->isEnabled());
    EXPECT_FALSE(m->ButtonFineAdjustment->isEnabled());
    EXPECT_EQ(m->ButtonCalcH2->text(), "Calculation");
    EXPECT_EQ(m->ButtonCalcH3->text(), "Calculation");
    EXPECT_EQ(m->ButtonCalcH1->text(), "Auto Calculation"); // Advanced mode
    EXPECT_EQ(m->EditSmoothness->text(), "5000");
}

TEST_F(MainWindowTest, CancelledOrFailedLoadLeavesTheSampleInUse)
{
    // Advanced mode, so that the loading menu items are visible.
    TFormMain* m = create(0);
    const QString data = example("gaas_n_shallow.nT");
    load(m, data);
    const int count = C.dataCount;
    const QString sample = m->PanelSampleNumber->text();
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.nT");
    writeText(bad, dataFile("thick", "n-type", 2, "100 1e15 1\r\n200 2e15 1\r\n"));
    for (const QString& answer : {QString(), bad}) {
        script.messages.clear();
        if (answer.isEmpty())
            script.cancelFile();
        else
            script.answerFile(answer);
        m->ButtonLoadExperimentalClick();
        EXPECT_EQ(script.messages.size(), answer.isEmpty() ? 0u : 1u);
        EXPECT_EQ(C.dataCount, count);
        EXPECT_EQ(C.experimentalDataFileName, data.toStdString());
        EXPECT_EQ(m->PanelSampleNumber->text(), sample);
        EXPECT_EQ(m->ChartExperimentalLog->count(0), count);
        EXPECT_TRUE(m->ButtonCalcSpline->isEnabled());
        EXPECT_EQ(m->EditGH1->text(), "2");
    }
}

TEST_F(MainWindowTest, UnreadableDataFileShowsTheErrorAndEnablesNothing)
{
    // Advanced mode, so that the loading menu items are visible.
    TFormMain* m = create(0);
    QTemporaryDir dir;
    const QString bad = dir.filePath("bad.nT");
    writeText(bad, dataFile("thick", "n-type", 2, "100 1e15 1\r\n200 2e15 1\r\n"));
    load(m, bad);
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::Error);
    EXPECT_EQ(script.messages[0].text, QString::fromStdString(C.lastError));
    EXPECT_FALSE(script.messages[0].text.isEmpty());
    expectNothingPlotted(m);
    EXPECT_TRUE(m->PanelFilenameExperimentalData->text().isEmpty());
    EXPECT_EQ(m->EditGH1->text(), "1");

    // A missing file fails the same way and names the file.
    script.messages.clear();
    load(m, dir.filePath("missing.nT"));
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_TRUE(script.messages[0].text.contains("missing.nT"));
    expectNothingPlotted(m);

    // A good file after the failures loads normally.
    script.messages.clear();
    const QString good = dir.filePath("good.nT");
    writeText(good, dataFile("500", "n-type", 3, "100 1e15 1\r\n150 2e15 0.89\r\n200 4e15 0.9\r\n"));
    load(m, good);
    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(m->ChartExperimentalLinear->count(0), 2);
    EXPECT_TRUE(m->ButtonCalcSpline->isEnabled());
}

TEST_F(MainWindowTest, InputDataClosedWithoutSavingKeepsTheData)
{
    TFormMain* m = create(1);
    load(m, example("gaas_n_shallow.nT"));
    const int count = C.dataCount;
    const QString sample = m->PanelSampleNumber->text();
    const bool splineMenu = m->MenuLoadSpline->isEnabled();
    m->ButtonInputDataClick(); // the chooser closed without a choice
    EXPECT_EQ(script.windowsShown, (std::vector<QString>{"FormHowToInput"}));
    EXPECT_EQ(C.dataCount, count);
    EXPECT_GT(m->ChartExperimentalLog->count(0), 0);
    EXPECT_TRUE(m->ButtonChangeData->isEnabled());
    EXPECT_TRUE(m->ButtonCalcSpline->isEnabled());
    EXPECT_EQ(m->MenuLoadSpline->isEnabled(), splineMenu);
    EXPECT_EQ(m->PanelSampleNumber->text(), sample);
    EXPECT_TRUE(script.messages.empty());
}

TEST_F(MainWindowTest, ChangeDataClosedWithoutSavingChangesNothing)
{
    TFormMain* m = create(1);
    load(m, example("gaas_n_shallow.nT"));
    const int points = m->ChartExperimentalLinear->count(0);
    m->ButtonChangeDataClick();
    EXPECT_EQ(m->ChartExperimentalLinear->count(0), points);
    EXPECT_TRUE(m->ButtonCalcSpline->isEnabled());
    EXPECT_EQ(script.fileDialogs.size(), 1u);
    EXPECT_EQ(script.windowsShown, (std::vector<QString>{"FormDataSheet"}));
    EXPECT_EQ(C.experimentalDataFileName, example("gaas_n_shallow.nT").toStdString());
}

// ---- figures ----------------------------------------------------------------

TEST_F(MainWindowTest, FigureIsNamedAfterTheDataFileAndButtonDisabledAfterSave)
{
    TFormMain* m = create(1);
    QTemporaryDir dir;
    const QString data = dir.filePath("sample.nT");
    ASSERT_TRUE(copyExample(example("gaas_n_shallow.nT"), data));
    load(m, data);
    m->ButtonSaveFigureCon1->setEnabled(true);
    script.acceptProposedFile();
    m->ButtonSaveFigureCon1->click();

    ASSERT_EQ(script.fileDialogs.size(), 2u);
    const auto& d = script.fileDialogs[1];
    EXPECT_TRUE(d.save);
    EXPECT_EQ(d.filter, MainSaveFilter);
    EXPECT_EQ(d.filterIndex, 10);
    EXPECT_EQ(d.proposedName, dir.filePath("sampleCon1.bmp"));
    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(QImageReader::imageFormat(dir.filePath("sampleCon1.bmp")), "bmp");
    EXPECT_FALSE(m->ButtonSaveFigureCon1->isEnabled());

    // Cancelling changes nothing.
    m->ButtonSaveFigureCon2->setEnabled(true);
    script.cancelFile();
    m->ButtonSaveFigureCon2Click();
    EXPECT_EQ(script.fileDialogs.back().proposedName, dir.filePath("sampleCon2.bmp"));
    EXPECT_TRUE(m->ButtonSaveFigureCon2->isEnabled());
    EXPECT_FALSE(QFile::exists(dir.filePath("sampleCon2.bmp")));
}

TEST_F(MainWindowTest, FigureNameOfAFileWithoutExtensionAppendsTheSuffix)
{
    TFormMain* m = create(1);
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("run.2024"));
    const QString noExtension = dir.filePath("run.2024/sample");
    ASSERT_TRUE(copyExample(example("gaas_n_shallow.nT"), noExtension));
    load(m, noExtension);
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    m->ButtonSaveFigureCon2->setEnabled(true);
    script.acceptProposedFile();
    m->ButtonSaveFigureCon2Click();
    // The dot in the folder name is not an extension.
    EXPECT_EQ(script.fileDialogs.back().proposedName, dir.filePath("run.2024/sampleCon2.bmp"));
    EXPECT_TRUE(QFile::exists(dir.filePath("run.2024/sampleCon2.bmp")));

    EXPECT_EQ(TFormMain::replaceExtension("/a/b.c/name.fl", "Fermi.bmp"), "/a/b.c/nameFermi.bmp");
    EXPECT_EQ(TFormMain::replaceExtension("C:\\x.y\\name", "H1.bmp"), "C:\\x.y\\nameH1.bmp");
    EXPECT_EQ(TFormMain::replaceExtension("", "H1.bmp"), "H1.bmp");
}

TEST_F(MainWindowTest, EveryFigureButtonSavesItsChartUnderItsOwnBaseName)
{
    TFormMain* m = create(1);
    QTemporaryDir dir;
    C.experimentalDataFileName = dir.filePath("s.nT").toStdString();
    C.fermiLevelFileName = dir.filePath("s.fl").toStdString();
    C.h1FileName = dir.filePath("s.H1").toStdString();
    C.h2FileName = dir.filePath("s2.H2").toStdString();
    C.h3FileName = dir.filePath("s3.H3").toStdString();
    C.simulationFileName = dir.filePath("sim.simH").toStdString();
    struct Case {
        QPushButton* button;
        QString expected;
    };
    const Case cases[] = {
        {m->ButtonSaveFigureCon1, "sCon1.bmp"},     {m->ButtonSaveFigureCon2, "sCon2.bmp"},
        {m->ButtonSaveFigureFermi, "sFermi.bmp"},   {m->ButtonSaveFigureH1, "sH1.bmp"},
        {m->ButtonSaveFigureH2, "s2H2.bmp"},        {m->ButtonSaveFigureH3, "s3H3.bmp"},
        {m->ButtonSaveFigureSimulation1, "simSimH1.bmp"},
        {m->ButtonSaveFigureSimulation2, "simSimH2.bmp"},
    };
    for (const Case& c : cases) {
        c.button->setEnabled(true);
        script.acceptProposedFile();
        c.button->click();
        EXPECT_EQ(script.fileDialogs.back().proposedName, dir.filePath(c.expected));
        EXPECT_EQ(script.fileDialogs.back().filterIndex, 10);
        EXPECT_TRUE(QFile::exists(dir.filePath(c.expected))) << c.expected.toStdString();
        EXPECT_FALSE(c.button->isEnabled()) << c.expected.toStdString();
    }
    EXPECT_EQ(script.fileDialogs.size(), 8u);
    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
}

TEST_F(MainWindowTest, FailedFigureSaveNamesTheFileAndKeepsTheButton)
{
    TFormMain* m = create(1);
    QTemporaryDir dir;
    C.h1FileName = dir.filePath("s.H1").toStdString();
    m->ChartH1->setData(0, {{100, 1e30}, {200, 3e30}});
    m->ButtonSaveFigureH1->setEnabled(true);
    const QString unwritable = dir.filePath("no/such/folder/figure.bmp");
    script.answerFile(unwritable);
    m->ButtonSaveFigureH1Click();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::Error);
    EXPECT_TRUE(script.messages[0].text.contains(unwritable)) << script.messages[0].text.toStdString();
    EXPECT_TRUE(m->ButtonSaveFigureH1->isEnabled());
    EXPECT_FALSE(QFile::exists(unwritable));
}
