// Main window: the data for analysis (spline calculation, *.spl save and
// load) and the material lookup that the save triggers.
#include "HallTestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

class SplinePageTest : public MainWindowTest {
protected:
    QTemporaryDir dir;

    // A copy of a shared example inside the temporary folder, so that the
    // names proposed next to it are written there.
    QString copyExample(const char* name)
    {
        const QString to = dir.filePath(name);
        QFile::remove(to);
        EXPECT_TRUE(QFile::copy(example(name), to)) << name;
        return to;
    }
    // The example with one header text replaced.
    QString copyExampleReplacing(const char* name, const QByteArray& from, const QByteArray& to,
                                 const QString& as)
    {
        QFile in(example(name));
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        QByteArray text = in.readAll();
        EXPECT_TRUE(text.contains(from));
        text.replace(from, to);
        const QString path = dir.filePath(as);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text);
        return path;
    }
    void calculate(TFormMain* m, const QString& smoothness = "5000")
    {
        m->EditSmoothness->setText(smoothness);
        m->ButtonCalcSplineClick();
    }
    void saveProposed(TFormMain* m)
    {
        script.acceptProposedFile();
        m->ButtonSaveSplineClick();
    }
    // Data loaded, spline calculated and saved under the proposed name.
    void throughSplineSave(TFormMain* m, const char* exampleName, const QString& smoothness = "5000")
    {
        load(m, copyExample(exampleName));
        calculate(m, smoothness);
        saveProposed(m);
        ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    }
};

void expectFermiStageClosed(TFormMain* m)
{
    for (QPushButton* b : {m->ButtonInputChangeInformation, m->ButtonCalcEffectiveDensityOfStates,
                           m->ButtonCalcFermiLevel, m->ButtonSaveFermiLevel, m->ButtonSaveFigureFermi,
                           m->ButtonSaveExperimentalFermiLevelData, m->ButtonCalcH1,
                           m->ButtonCalculationH1Precise})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_EQ(m->ChartFermiLevel->count(0), 0);
    EXPECT_EQ(m->ChartFermiLevel->count(1), 0);
    EXPECT_TRUE(m->LabelFilenameFermiLevel->text().isEmpty());
    EXPECT_TRUE(m->LabelFermiSemiconductor->text().isEmpty());
    EXPECT_TRUE(C.fermiLevel.empty());
    for (QAction* a : {m->MenuInverseT, m->MenuInverseTCom, m->MenuDHES, m->MenuLoadFermiLevel})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
}

void expectNoSpline(TFormMain* m)
{
    EXPECT_EQ(C.splineCount, 0);
    EXPECT_TRUE(C.splineTemperature.empty());
    EXPECT_TRUE(C.splineConcentration.empty());
    EXPECT_EQ(m->ChartExperimentalLinear->count(1), 0);
    EXPECT_EQ(m->ChartExperimentalLog->count(1), 0);
    EXPECT_FALSE(m->ButtonSaveSpline->isEnabled());
    EXPECT_TRUE(m->LabelFilenameSpline->text().isEmpty());
}

} // namespace

TEST_F(SplinePageTest, CalculationDrawsTheGridOverThePointsOnBothCharts)
{
    TFormMain* m = create(1);
    load(m, copyExample("si_p_single.nT"));
    calculate(m);
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    // Points from 30 K to 400 K, all weighted: a 0.1 K grid of 3701 points.
    ASSERT_EQ(C.splineCount, 3701);
    EXPECT_DOUBLE_EQ(C.splineTemperature.front(), 30);
    EXPECT_NEAR(C.splineTemperature.back(), 400, 1e-9);
    for (ChartPlot* c : {m->ChartExperimentalLinear, m->ChartExperimentalLog}) {
        ASSERT_EQ(c->count(1), C.splineCount) << c->objectName().toStdString();
        EXPECT_EQ(c->count(0), C.dataCount); // the points stay
        EXPECT_EQ(c->data(1)[1234], QPointF(C.splineTemperature[1234], C.splineConcentration[1234]));
    }
    for (ChartPlot* c : {m->ChartExperimentalLinear, m->ChartExperimentalLog})
        EXPECT_EQ(c->data(1).back(), QPointF(C.splineTemperature.back(), C.splineConcentration.back()));
    EXPECT_TRUE(m->ButtonSaveSpline->isEnabled());
    EXPECT_FALSE(m->ButtonSaveFigureCon1->isEnabled());
    EXPECT_FALSE(m->ButtonSaveFigureCon2->isEnabled());
    EXPECT_TRUE(m->LabelFilenameSpline->text().isEmpty());
    expectFermiStageClosed(m);
}

TEST_F(SplinePageTest, SaveWritesTheFileAndOpensTheFermiStageWithTheMaterialOfTheSample)
{
    TFormMain* m = create(1);
    // The 5 K spacing of this sample needs more smoothing than the default.
    load(m, copyExample("sic4h_n_two_donors.nT"));
    calculate(m, "20000");
    saveProposed(m);
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    const QString spl = dir.filePath("sic4h_n_two_donors.spl");
    ASSERT_EQ(script.fileDialogs.size(), 2u);
    EXPECT_TRUE(script.fileDialogs[1].save);
    EXPECT_EQ(script.fileDialogs[1].filter, MainSaveFilter);
    EXPECT_EQ(script.fileDialogs[1].filterIndex, SaveFilterIndex::Spline);
    EXPECT_EQ(script.fileDialogs[1].proposedName, spl);
    EXPECT_TRUE(QFileInfo::exists(spl));
    EXPECT_EQ(QString::fromStdString(C.splineFileName), spl);
    EXPECT_EQ(m->LabelFilenameSpline->text(), spl);

    EXPECT_FALSE(m->ButtonSaveSpline->isEnabled());
    EXPECT_TRUE(m->ButtonInputChangeInformation->isEnabled());
    EXPECT_TRUE(m->ButtonCalcFermiLevel->isEnabled());
    EXPECT_TRUE(m->ButtonSaveFigureCon1->isEnabled());
    EXPECT_TRUE(m->ButtonSaveFigureCon2->isEnabled());
    EXPECT_TRUE(m->ButtonSimulation->isEnabled());
    EXPECT_FALSE(m->MenuLoadFermiLevel->isEnabled());
    EXPECT_FALSE(m->MenuCurveFitting->isEnabled());
    EXPECT_FALSE(m->ButtonFineAdjustment->isEnabled());

    // 4H-SiC, n-type: the conduction-band row of the table.
    EXPECT_EQ(m->LabelFermiSemiconductor->text(), "4H-SiC");
    EXPECT_EQ(m->EditMass->text(), "0.37");
    EXPECT_EQ(m->EditEquivalentMinima->text(), "3");
    EXPECT_EQ(m->EditEffectiveDensityOfStates->text(), "6.36E+49"); // 3.26e15 / k^1.5
    EXPECT_DOUBLE_EQ(C.dos0, 3.26e15);
    EXPECT_DOUBLE_EQ(C.dielectricConstant, 9.66);
    EXPECT_FALSE(m->ButtonCalcEffectiveDensityOfStates->isEnabled());
    EXPECT_FALSE(m->EditMass->isEnabled());

    // The file holds the header, the column line and the grid.
    QFile f(spl);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = f.readAll().split('\n');
    EXPECT_EQ(lines[4], "% File of data for analysis: " + spl.toUtf8() + "\r");
    EXPECT_EQ(lines[19], "% Number of data for analysis: 5201\r");
    EXPECT_EQ(lines[20], "% Smoothness: 20000\r");
    EXPECT_EQ(lines[21], "% Temperature [K]   Majority-Carrier Concentration [cm^-3] \r");
    EXPECT_EQ(lines.size(), 22 + 5201 + 1); // the last line end leaves an empty piece
}

TEST_F(SplinePageTest, SaveLooksUpTheBandOfTheConductionType)
{
    {
        TFormMain* m = create(1);
        throughSplineSave(m, "sic4h_p_al.pT");
        // 4H-SiC, p-type: valence band, one maximum.
        EXPECT_EQ(m->LabelFermiSemiconductor->text(), "4H-SiC");
        EXPECT_EQ(m->EditMass->text(), "1");
        EXPECT_EQ(m->EditEquivalentMinima->text(), "1");
        EXPECT_EQ(m->EditEffectiveDensityOfStates->text(), "9.42E+49"); // 4.83e15 / k^1.5
        EXPECT_DOUBLE_EQ(C.dos0, 4.83e15);
        EXPECT_EQ(m->LabelFermiConductionTypeP->text(), "p-type");
        EXPECT_TRUE(m->LabelFermiConductionTypeN->text().isEmpty());
        destroyForms();
    }
    {
        TFormMain* m = create(1);
        throughSplineSave(m, "si_p_single.nT"); // an n-type Si sample
        EXPECT_EQ(m->LabelFermiSemiconductor->text(), "Si");
        EXPECT_EQ(m->EditMass->text(), "0.32");
        EXPECT_EQ(m->EditEquivalentMinima->text(), "6");
        EXPECT_EQ(m->EditEffectiveDensityOfStates->text(), "1.02E+50"); // 5.25e15 / k^1.5
        EXPECT_DOUBLE_EQ(C.dos0, 5.25e15);
        EXPECT_DOUBLE_EQ(C.dielectricConstant, 11.9);
    }
}

TEST_F(SplinePageTest, UnknownMaterialTakesTheDefaultRowAndAsksForTheDensityOfStates)
{
    TFormMain* m = create(1);
    load(m, copyExampleReplacing("si_p_single.nT", "% Semiconductor: Si", "% Semiconductor: si",
                                 "lower.nT"));
    calculate(m);
    saveProposed(m);
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(m->LabelFermiSemiconductor->text(), "si");
    EXPECT_EQ(m->EditMass->text(), "1");
    EXPECT_EQ(m->EditEquivalentMinima->text(), "1");
    EXPECT_EQ(m->EditEffectiveDensityOfStates->text(), "9.42E+49");
    EXPECT_DOUBLE_EQ(C.dielectricConstant, 10);
    EXPECT_TRUE(m->ButtonCalcEffectiveDensityOfStates->isEnabled());
}

TEST_F(SplinePageTest, SmoothnessThatIsNotANumberStopsBeforeAnythingChanges)
{
    TFormMain* m = create(1);
    load(m, copyExample("si_p_single.nT"));
    calculate(m, "abc");
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::ConversionError);
    EXPECT_TRUE(script.messages[0].text.contains("abc"));
    expectNoSpline(m);
    EXPECT_DOUBLE_EQ(C.smoothness, 5000);

    // After a save the typo leaves the opened Fermi stage alone.
    script.messages.clear();
    calculate(m);
    saveProposed(m);
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    const int count = C.splineCount;
    calculate(m, "5e3x");
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::ConversionError);
    EXPECT_EQ(C.splineCount, count);
    EXPECT_EQ(m->ChartExperimentalLinear->count(1), count);
    EXPECT_TRUE(m->ButtonCalcFermiLevel->isEnabled());
    EXPECT_FALSE(m->LabelFilenameSpline->text().isEmpty());
}

TEST_F(SplinePageTest, SplineThatCannotBeComputedIsReportedAndLeavesNoStage)
{
    TFormMain* m = create(1);
    load(m, copyExample("edge_descending.nT"));
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    calculate(m);
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::Error);
    EXPECT_FALSE(script.messages[0].text.isEmpty());
    EXPECT_EQ(script.messages[0].text, QString::fromStdString(C.lastError));
    expectNoSpline(m);
    expectFermiStageClosed(m);
}

TEST_F(SplinePageTest, FailedRecalculationDropsTheEarlierSplineAndItsLaterStages)
{
    TFormMain* m = create(1);
    throughSplineSave(m, "si_p_single.nT");
    m->ButtonCalcFermiLevelClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    calculate(m, "-1"); // a number, but no usable smoothness
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::Error);
    EXPECT_EQ(script.messages[0].text, QString::fromStdString(C.lastError));
    expectNoSpline(m);
    expectFermiStageClosed(m);
    EXPECT_FALSE(m->ButtonSaveFigureCon1->isEnabled());
    // The data stay: a usable smoothness computes again.
    script.messages.clear();
    calculate(m);
    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(C.splineCount, 3701);
    EXPECT_TRUE(m->ButtonSaveSpline->isEnabled());
}

TEST_F(SplinePageTest, SaveThatFailsKeepsTheStageUnsaved)
{
    TFormMain* m = create(1);
    load(m, copyExample("si_p_single.nT"));
    calculate(m);
    const QString target = dir.filePath("missing/folder/x.spl");
    script.answerFile(target);
    m->ButtonSaveSplineClick();

    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::Error);
    EXPECT_FALSE(script.messages[0].text.isEmpty());
    EXPECT_EQ(script.messages[0].text, QString::fromStdString(C.lastError));
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_TRUE(C.splineFileName.empty());
    EXPECT_TRUE(m->LabelFilenameSpline->text().isEmpty());
    EXPECT_TRUE(m->ButtonSaveSpline->isEnabled()); // may be retried
    EXPECT_FALSE(m->ButtonSaveFigureCon1->isEnabled());
    EXPECT_FALSE(m->ButtonSimulation->isEnabled());
    expectFermiStageClosed(m);

    // Cancelling the dialog changes nothing either.
    script.messages.clear();
    script.cancelFile();
    m->ButtonSaveSplineClick();
    EXPECT_TRUE(script.messages.empty());
    EXPECT_TRUE(m->ButtonSaveSpline->isEnabled());
    EXPECT_FALSE(m->ButtonCalcFermiLevel->isEnabled());
}

TEST_F(SplinePageTest, RecalculatingAfterTheSavesClosesTheFermiStageAgain)
{
    TFormMain* m = create(1);
    ASSERT_NO_FATAL_FAILURE(throughSplineSave(m, "si_p_single.nT"));
    m->ButtonCalcFermiLevelClick();
    script.acceptProposedFile();
    m->ButtonSaveFermiLevelClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    ASSERT_TRUE(m->ButtonCalcH1->isEnabled());
    ASSERT_TRUE(m->MenuInverseT->isEnabled());

    calculate(m, "8000");
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_DOUBLE_EQ(C.smoothness, 8000);
    EXPECT_EQ(m->ChartExperimentalLog->count(1), C.splineCount);
    EXPECT_TRUE(m->ButtonSaveSpline->isEnabled());
    EXPECT_FALSE(m->ButtonSaveFigureCon1->isEnabled());
    EXPECT_FALSE(m->ButtonSaveFigureCon2->isEnabled());
    expectFermiStageClosed(m);
    // The material parameters are back to their defaults until the next save.
    EXPECT_DOUBLE_EQ(C.dos0, 4.8e15);
    EXPECT_EQ(m->EditMass->text(), "1");
    EXPECT_EQ(m->EditEffectiveDensityOfStates->text(), "9.4E49");

    saveProposed(m);
    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_TRUE(m->ButtonCalcFermiLevel->isEnabled());
    EXPECT_DOUBLE_EQ(C.dos0, 5.25e15);
}

TEST_F(SplinePageTest, LoadInAdvancedModeRestoresTheGridAndOpensTheFermiStage)
{
    TFormMain* m = create(0);
    m->AdvancedModeClick();
    const QString data = copyExample("si_p_single.nT");
    load(m, data);
    calculate(m, "8000");
    saveProposed(m);
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    const std::vector<double> savedT = C.splineTemperature;
    const std::vector<double> savedN = C.splineConcentration;

    // Fresh data, then the saved spline instead of a calculation.
    load(m, data);
    EXPECT_EQ(m->ChartExperimentalLinear->count(1), 0);
    ASSERT_TRUE(m->MenuLoadSpline->isEnabled());
    script.acceptProposedFile();
    m->LoadSplineClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    const QString spl = dir.filePath("si_p_single.spl");
    const ScriptedModal::FileDialog& d = script.fileDialogs.back();
    EXPECT_FALSE(d.save);
    EXPECT_EQ(d.filter, MainOpenFilter);
    EXPECT_EQ(d.filterIndex, OpenFilterIndex::Spline);
    EXPECT_EQ(d.proposedName, spl);

    ASSERT_EQ(C.splineCount, int(savedT.size()));
    for (ChartPlot* c : {m->ChartExperimentalLinear, m->ChartExperimentalLog})
        EXPECT_EQ(c->count(1), C.splineCount);
    for (std::size_t k = 0; k < savedT.size(); k += 500) {
        EXPECT_NEAR(C.splineTemperature[k], savedT[k], 1e-9);
        EXPECT_NEAR(C.splineConcentration[k] / savedN[k], 1.0, 1e-5); // six digits in the file
    }
    EXPECT_EQ(m->LabelFilenameSpline->text(), spl);
    EXPECT_EQ(QString::fromStdString(C.splineFileName), spl);
    EXPECT_EQ(m->EditSmoothness->text(), "8000");
    EXPECT_FALSE(m->ButtonCalcSpline->isEnabled());
    EXPECT_FALSE(m->ButtonSaveSpline->isEnabled());
    EXPECT_TRUE(m->ButtonInputChangeInformation->isEnabled());
    EXPECT_TRUE(m->ButtonCalcFermiLevel->isEnabled());
    EXPECT_TRUE(m->MenuLoadFermiLevel->isEnabled());
    EXPECT_TRUE(m->ButtonSimulation->isEnabled());
    EXPECT_EQ(m->LabelFermiSemiconductor->text(), "Si");
    EXPECT_EQ(m->EditMass->text(), "0.32");
    EXPECT_DOUBLE_EQ(C.dos0, 5.25e15);
    for (QAction* a : {m->MenuInverseT, m->MenuInverseTCom, m->MenuDHES, m->MenuExcitedStates,
                       m->MenuCurveFitting, m->MenuDXCenter})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
}

TEST_F(SplinePageTest, LoadThatFailsLeavesNoSplineAndNothingAfterIt)
{
    TFormMain* m = create(0);
    m->AdvancedModeClick();
    load(m, copyExample("si_p_single.nT"));
    calculate(m);
    ASSERT_TRUE(m->ButtonSaveSpline->isEnabled());

    // Cancelled: the calculated spline stays as it was.
    script.cancelFile();
    m->LoadSplineClick();
    EXPECT_TRUE(script.messages.empty());
    EXPECT_EQ(C.splineCount, 3701);
    EXPECT_EQ(m->ChartExperimentalLinear->count(1), 3701);
    EXPECT_TRUE(m->ButtonSaveSpline->isEnabled());

    // A header that ends early.
    const QString bad = dir.filePath("short.spl");
    {
        QFile f(bad);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("% Data for Hall-Effect Analysis\r\n% Version Information: x\r\n");
    }
    script.answerFile(bad);
    m->LoadSplineClick();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::Error);
    EXPECT_FALSE(script.messages[0].text.isEmpty());
    EXPECT_EQ(script.messages[0].text, QString::fromStdString(C.lastError));
    EXPECT_TRUE(C.splineFileName.empty());
    expectNoSpline(m);
    expectFermiStageClosed(m);
    EXPECT_FALSE(m->ButtonSimulation->isEnabled());
    // The experimental data are still there to calculate from.
    EXPECT_TRUE(m->ButtonCalcSpline->isEnabled());

    // A file that does not exist.
    script.messages.clear();
    script.answerFile(dir.filePath("none.spl"));
    m->LoadSplineClick();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].text, QString::fromStdString(C.lastError));
    expectNoSpline(m);
}
