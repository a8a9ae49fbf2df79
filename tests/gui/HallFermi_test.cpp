// Main window: the Fermi Level page (material parameters, effective density
// of states, Fermi level, its *.fl / *.flE files and loading a *.fl file).
#include "HallTestSupport.h"
#include "utilities/Informationsemiconductor.h"

#include <QFile>
#include <QFileInfo>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cmath>

namespace {

// Constants of the program, restated so that the expected Fermi levels do
// not come from the code under test.
constexpr double kBoltzmann = 1.38054e-23;
constexpr double kCharge = 1.6021e-19;
// The 5 K spacing of the 4H-SiC example needs more smoothing than the default.
const QString kSic4hSmoothness = "20000";

double expectedFermiLevel(double dos0, double T, double n)
{
    return std::log(dos0 * std::pow(T, 1.5) / n) * (T * kBoltzmann / kCharge);
}

class FermiPageTest : public MainWindowTest {
protected:
    QTemporaryDir dir;

    QString copyExample(const char* name, const QByteArray& from = {}, const QByteArray& to = {})
    {
        QFile in(example(name));
        EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << name;
        QByteArray text = in.readAll();
        if (!from.isEmpty()) {
            EXPECT_TRUE(text.contains(from));
            text.replace(from, to);
        }
        const QString path = dir.filePath(name);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text);
        return path;
    }
    // Data loaded, spline calculated and saved: the Fermi page is open.
    void openFermiPage(TFormMain* m, const QString& data, const QString& smoothness = "5000")
    {
        load(m, data);
        ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
        m->EditSmoothness->setText(smoothness);
        m->ButtonCalcSplineClick();
        script.acceptProposedFile();
        m->ButtonSaveSplineClick();
        ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
        ASSERT_TRUE(m->ButtonCalcFermiLevel->isEnabled());
    }
    void calculateAndSave(TFormMain* m)
    {
        m->ButtonCalcFermiLevelClick();
        script.acceptProposedFile();
        m->ButtonSaveFermiLevelClick();
        ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    }
    static QList<QByteArray> lines(const QString& path)
    {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        return f.readAll().split('\n');
    }
};

std::vector<QPushButton*> stage1Start(TFormMain* m)
{
    return {m->ButtonCalcH1, m->ButtonDecreaseErefH1, m->ButtonDecreaseErefH1Precise,
            m->ButtonIncreaseErefH1Precise, m->ButtonIncreaseErefH1, m->ButtonCalculationH1Precise};
}

void expectStage1Closed(TFormMain* m)
{
    for (QPushButton* b : stage1Start(m))
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    for (QAction* a : {m->MenuInverseT, m->MenuInverseTCom, m->MenuDHES})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
}

} // namespace

TEST_F(FermiPageTest, CalculationDrawsTheFermiLevelOnTheGridAndSaveOpensStage1)
{
    TFormMain* m = create(1);
    openFermiPage(m, copyExample("sic4h_n_two_donors.nT"), kSic4hSmoothness);
    m->ButtonCalcFermiLevelClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    ASSERT_EQ(m->ChartFermiLevel->count(0), C.splineCount);
    EXPECT_EQ(m->ChartFermiLevel->count(1), 0); // Normal mode: no experimental points
    for (int k = 0; k < C.splineCount; k += 400) {
        const QPointF p = m->ChartFermiLevel->data(0)[k];
        EXPECT_DOUBLE_EQ(p.x(), C.splineTemperature[k]);
        EXPECT_NEAR(p.y(), expectedFermiLevel(3.26e15, p.x(), C.splineConcentration[k]), 1e-12);
    }
    EXPECT_TRUE(m->ButtonSaveFermiLevel->isEnabled());
    EXPECT_FALSE(m->ButtonSaveFigureFermi->isEnabled());
    expectStage1Closed(m);

    script.acceptProposedFile();
    m->ButtonSaveFermiLevelClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    const QString fl = dir.filePath("sic4h_n_two_donors.fl");
    const ScriptedModal::FileDialog& d = script.fileDialogs.back();
    EXPECT_TRUE(d.save);
    EXPECT_EQ(d.filter, MainSaveFilter);
    EXPECT_EQ(d.filterIndex, SaveFilterIndex::FermiLevel);
    EXPECT_EQ(d.proposedName, fl);
    EXPECT_TRUE(QFileInfo::exists(fl));
    EXPECT_EQ(m->LabelFilenameFermiLevel->text(), fl);
    EXPECT_FALSE(m->ButtonSaveFermiLevel->isEnabled());
    EXPECT_TRUE(m->ButtonSaveFigureFermi->isEnabled());
    EXPECT_TRUE(m->ButtonSaveExperimentalFermiLevelData->isEnabled());
    for (QPushButton* b : stage1Start(m))
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    for (QAction* a : {m->MenuInverseT, m->MenuInverseTCom, m->MenuDHES})
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    for (QAction* a : {m->MenuExcitedStates, m->MenuCurveFitting, m->MenuDXCenter})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    // The other analyses have no windows in this build: choosing them is harmless.
    m->MenuInverseT->trigger();
    m->MenuDHES->trigger();

    const QList<QByteArray> l = lines(fl);
    EXPECT_EQ(l[0], "% Temperature dependence of Fermi level\r");
    EXPECT_EQ(l[5], "% Fermi level file: " + fl.toUtf8() + "\r");
    EXPECT_EQ(l[26], "% Temperature [K]   Fermi Level [eV] \r");
    EXPECT_EQ(l.size(), 27 + C.splineCount + 1);
}

TEST_F(FermiPageTest, RecalculationClearsStage1Again)
{
    TFormMain* m = create(1);
    ASSERT_NO_FATAL_FAILURE(openFermiPage(m, copyExample("sic4h_n_two_donors.nT"), kSic4hSmoothness));
    calculateAndSave(m);
    m->ButtonSaveFigureFermi->setEnabled(true);
    m->ChartH1->setData(0, {{100, 1}, {200, 2}});
    m->LabelDensity1->setText("5E15");

    m->ButtonCalcFermiLevelClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(m->ChartFermiLevel->count(0), C.splineCount);
    EXPECT_TRUE(m->ButtonSaveFermiLevel->isEnabled());
    EXPECT_FALSE(m->ButtonSaveFigureFermi->isEnabled());
    EXPECT_EQ(m->ChartH1->count(0), 0);
    EXPECT_EQ(m->LabelDensity1->text(), "0");
    for (QPushButton* b : stage1Start(m))
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    // The conventional analyses keep their menu items; the later ones do not.
    EXPECT_TRUE(m->MenuInverseT->isEnabled());
    EXPECT_FALSE(m->MenuExcitedStates->isEnabled());
    EXPECT_FALSE(m->ButtonFineAdjustment->isEnabled());
}

TEST_F(FermiPageTest, AdvancedModeShowsTheExperimentalFermiLevelOfReliablePointsAndSavesIt)
{
    TFormMain* m = create(0);
    m->AdvancedModeClick();
    openFermiPage(m, copyExample("edge_reliability.nT"));
    m->ButtonCalcFermiLevelClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    // edge_reliability holds points of reliability 0 and 0.5 among the 1s.
    int reliable = 0;
    for (int i = 0; i < C.dataCount; ++i)
        reliable += C.reliability[i] > 0.95;
    ASSERT_LT(reliable, C.dataCount);
    ASSERT_EQ(m->ChartFermiLevel->count(1), reliable);
    const double dos0 = 5.25e15; // Si, n-type
    int j = 0;
    for (int i = 0; i < C.dataCount; ++i) {
        if (!(C.reliability[i] > 0.95))
            continue;
        const QPointF p = m->ChartFermiLevel->data(1)[j++];
        EXPECT_DOUBLE_EQ(p.x(), C.temperature[i]);
        EXPECT_NEAR(p.y(), expectedFermiLevel(dos0, C.temperature[i], C.concentration[i]), 1e-12);
    }
    EXPECT_EQ(m->ChartFermiLevel->count(0), C.splineCount);

    script.acceptProposedFile();
    m->ButtonSaveFermiLevelClick();
    ASSERT_TRUE(m->ButtonSaveExperimentalFermiLevelData->isEnabled());
    script.acceptProposedFile();
    m->ButtonSaveExperimentalFermiLevelDataClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    const QString flE = dir.filePath("edge_reliability.flE");
    const ScriptedModal::FileDialog& d = script.fileDialogs.back();
    EXPECT_EQ(d.filterIndex, SaveFilterIndex::ExperimentalFermiLevel);
    EXPECT_EQ(d.proposedName, flE);
    EXPECT_TRUE(QFileInfo::exists(flE));
    EXPECT_EQ(lines(flE).size(), 27 + C.dataCount + 1);
    EXPECT_FALSE(m->ButtonSaveExperimentalFermiLevelData->isEnabled());
}

TEST_F(FermiPageTest, DensityOfStatesMustBeCalculatedForAnUnknownMaterial)
{
    TFormMain* m = create(1);
    openFermiPage(m, copyExample("si_p_single.nT", "% Semiconductor: Si", "% Semiconductor: si"));
    ASSERT_TRUE(m->ButtonCalcEffectiveDensityOfStates->isEnabled());

    m->ButtonCalcFermiLevelClick();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::Error);
    EXPECT_EQ(script.messages[0].text, "Please calcutate the effective density of states first.");
    EXPECT_EQ(m->ChartFermiLevel->count(0), 0);
    EXPECT_FALSE(m->ButtonSaveFermiLevel->isEnabled());
    EXPECT_TRUE(C.fermiLevel.empty());

    // "Input or Change" opens the edits and holds the Fermi level back.
    m->ButtonInputChangeInformationClick();
    for (QWidget* w : {static_cast<QWidget*>(m->EditMass),
                       static_cast<QWidget*>(m->EditEquivalentMinima),
                       static_cast<QWidget*>(m->EditEffectiveDensityOfStates),
                       static_cast<QWidget*>(m->ButtonCalcEffectiveDensityOfStates)})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_FALSE(m->ButtonCalcFermiLevel->isEnabled());

    // A mass that is not a number: conversion error, nothing changes.
    script.messages.clear();
    m->EditMass->setText("abc");
    m->ButtonCalcEffectiveDensityOfStatesClick();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::ConversionError);
    EXPECT_DOUBLE_EQ(C.dos0, 4.83e15);
    EXPECT_TRUE(m->ButtonCalcEffectiveDensityOfStates->isEnabled());
    EXPECT_FALSE(m->ButtonCalcFermiLevel->isEnabled());

    // So is a typed number of minima of an n-type sample.
    script.messages.clear();
    m->EditMass->setText("0.5");
    m->EditEquivalentMinima->setText("six");
    m->ButtonCalcEffectiveDensityOfStatesClick();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::ConversionError);
    EXPECT_DOUBLE_EQ(C.effectiveMass, 1);
    EXPECT_DOUBLE_EQ(C.dos0, 4.83e15);

    // A mass the physics cannot use is refused by the core.
    script.messages.clear();
    m->EditMass->setText("0");
    m->EditEquivalentMinima->setText("1");
    m->ButtonCalcEffectiveDensityOfStatesClick();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::Error);
    EXPECT_EQ(script.messages[0].text, QString::fromStdString(C.lastError));
    EXPECT_DOUBLE_EQ(C.dos0, 4.83e15);
    EXPECT_FALSE(m->ButtonCalcFermiLevel->isEnabled());

    // Mass 1, one minimum: 2 (2 pi m0 k / h^2)^1.5 1e-6 = 4.83e15, shown per k^1.5.
    script.messages.clear();
    m->EditMass->setText("1");
    m->ButtonCalcEffectiveDensityOfStatesClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(m->EditEffectiveDensityOfStates->text(), "9.42E+49");
    EXPECT_NEAR(C.dos0 / 4.83e15, 1.0, 2e-3);
    EXPECT_TRUE(m->ButtonCalcFermiLevel->isEnabled());
    EXPECT_FALSE(m->ButtonCalcEffectiveDensityOfStates->isEnabled());

    m->ButtonCalcFermiLevelClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(m->ChartFermiLevel->count(0), C.splineCount);
    EXPECT_TRUE(m->ButtonSaveFermiLevel->isEnabled());
}

TEST_F(FermiPageTest, SeeSemiconductorDataShowsTheInformationTable)
{
    TFormMain* m = create(1);
    ASSERT_NE(FormInformation, nullptr);
    FormInformation->prepare();
    FormInformation->StringGridMaterial->item(1, 1)->setText("changed");
    m->ButtonSeeInformationClick();
    EXPECT_TRUE(FormInformation->isVisible());
    EXPECT_FALSE(FormInformation->isModal());
    // Prepared before showing: the table is filled again.
    EXPECT_EQ(FormInformation->StringGridMaterial->item(1, 1)->text(), "0.32");
    EXPECT_TRUE(script.windowsShown.empty());
}

TEST_F(FermiPageTest, PTypeCalculationIgnoresTheTypedNumberOfMaxima)
{
    TFormMain* m = create(1);
    openFermiPage(m, copyExample("sic4h_p_al.pT"));
    m->ButtonInputChangeInformationClick();
    m->EditMass->setText("2");
    m->EditEquivalentMinima->setText("not read");
    m->ButtonCalcEffectiveDensityOfStatesClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_DOUBLE_EQ(C.effectiveMass, 2);
    EXPECT_DOUBLE_EQ(C.equivalentMinima, 1);
    // N_0 grows with m^1.5 from the 4.83e15 of mass 1.
    EXPECT_NEAR(C.dos0 / (4.83e15 * std::pow(2.0, 1.5)), 1.0, 2e-3);
    EXPECT_TRUE(m->ButtonCalcFermiLevel->isEnabled());
}

TEST_F(FermiPageTest, SaveThatFailsOpensNothing)
{
    TFormMain* m = create(1);
    openFermiPage(m, copyExample("sic4h_n_two_donors.nT"), kSic4hSmoothness);
    m->ButtonCalcFermiLevelClick();
    const QString target = dir.filePath("missing/folder/x.fl");
    script.answerFile(target);
    m->ButtonSaveFermiLevelClick();

    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::Error);
    EXPECT_FALSE(script.messages[0].text.isEmpty());
    EXPECT_EQ(script.messages[0].text, QString::fromStdString(C.lastError));
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_TRUE(C.fermiLevelFileName.empty());
    EXPECT_TRUE(m->LabelFilenameFermiLevel->text().isEmpty());
    EXPECT_TRUE(m->ButtonSaveFermiLevel->isEnabled());
    EXPECT_FALSE(m->ButtonSaveFigureFermi->isEnabled());
    EXPECT_FALSE(m->ButtonSaveExperimentalFermiLevelData->isEnabled());
    expectStage1Closed(m);
}

TEST_F(FermiPageTest, ExperimentalSaveThatFailsKeepsItsButton)
{
    TFormMain* m = create(0);
    m->AdvancedModeClick();
    ASSERT_NO_FATAL_FAILURE(openFermiPage(m, copyExample("sic4h_n_two_donors.nT"), kSic4hSmoothness));
    calculateAndSave(m);
    const std::string previous = C.experimentalFermiLevelFileName;
    const QString target = dir.filePath("missing/x.flE");
    script.answerFile(target);
    m->ButtonSaveExperimentalFermiLevelDataClick();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].text, QString::fromStdString(C.lastError));
    EXPECT_FALSE(QFileInfo::exists(target));
    EXPECT_EQ(C.experimentalFermiLevelFileName, previous);
    EXPECT_TRUE(m->ButtonSaveExperimentalFermiLevelData->isEnabled());
}

TEST_F(FermiPageTest, LoadInAdvancedModeRestoresTheFileAndOpensStage1)
{
    TFormMain* m = create(0);
    m->AdvancedModeClick();
    const QString data = copyExample("sic4h_n_two_donors.nT");
    ASSERT_NO_FATAL_FAILURE(openFermiPage(m, data, kSic4hSmoothness));
    C.fermiLevelComment = "annealed at 1700 C";
    m->ButtonCalcFermiLevelClick();
    const std::vector<double> saved = C.fermiLevel;
    script.acceptProposedFile();
    m->ButtonSaveFermiLevelClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    // Start again from the data, load the *.spl, then the *.fl.
    load(m, data);
    script.acceptProposedFile();
    m->LoadSplineClick();
    ASSERT_TRUE(m->MenuLoadFermiLevel->isEnabled());
    script.acceptProposedFile();
    m->LoadFermiLevelClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    const QString fl = dir.filePath("sic4h_n_two_donors.fl");
    const ScriptedModal::FileDialog& d = script.fileDialogs.back();
    EXPECT_FALSE(d.save);
    EXPECT_EQ(d.filter, MainOpenFilter);
    EXPECT_EQ(d.filterIndex, OpenFilterIndex::FermiLevel);
    EXPECT_EQ(d.proposedName, fl);

    ASSERT_EQ(m->ChartFermiLevel->count(0), C.splineCount);
    ASSERT_EQ(C.fermiLevel.size(), saved.size());
    for (std::size_t k = 0; k < saved.size(); k += 300)
        EXPECT_NEAR(m->ChartFermiLevel->data(0)[k].y(), saved[k], 1e-5 * std::fabs(saved[k]) + 1e-9);
    EXPECT_EQ(m->ChartFermiLevel->count(1), 0);
    EXPECT_EQ(m->LabelFilenameFermiLevel->text(), fl);
    EXPECT_EQ(m->EditMass->text(), "0.37");
    EXPECT_EQ(m->EditEquivalentMinima->text(), "3");
    EXPECT_EQ(m->EditEffectiveDensityOfStates->text(), "6.4E+49"); // one decimal from a file
    EXPECT_EQ(m->EditFermiLevelComment->text(), "annealed at 1700 C");
    EXPECT_TRUE(m->ButtonInputChangeInformation->isEnabled());
    EXPECT_FALSE(m->ButtonCalcEffectiveDensityOfStates->isEnabled());
    EXPECT_FALSE(m->ButtonCalcFermiLevel->isEnabled());
    EXPECT_FALSE(m->ButtonSaveFermiLevel->isEnabled());
    EXPECT_FALSE(m->ButtonSaveFigureFermi->isEnabled());
    for (QPushButton* b : stage1Start(m))
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_TRUE(m->ButtonSimulation->isEnabled());
    for (QAction* a : {m->MenuInverseT, m->MenuInverseTCom, m->MenuDHES})
        EXPECT_TRUE(a->isEnabled()) << a->text().toStdString();
    for (QAction* a : {m->MenuExcitedStates, m->MenuDXCenter, m->MenuCurveFitting})
        EXPECT_FALSE(a->isEnabled()) << a->text().toStdString();
    EXPECT_FALSE(m->ButtonFineAdjustment->isEnabled());
}

TEST_F(FermiPageTest, LoadOfAnotherGridIsRefusedAndOpensNothing)
{
    TFormMain* m = create(0);
    m->AdvancedModeClick();
    // A *.fl of the 80 K .. 600 K grid of one sample ...
    ASSERT_NO_FATAL_FAILURE(openFermiPage(m, copyExample("sic4h_n_two_donors.nT"), kSic4hSmoothness));
    calculateAndSave(m);
    const QString otherFl = QString::fromStdString(C.fermiLevelFileName);
    // ... loaded over the 30 K .. 400 K grid of another.
    openFermiPage(m, copyExample("si_p_single.nT"));
    script.acceptProposedFile();
    m->LoadSplineClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    ASSERT_EQ(C.splineCount, 3701);

    // Cancelled first: nothing changes.
    script.cancelFile();
    m->LoadFermiLevelClick();
    EXPECT_TRUE(script.messages.empty());
    EXPECT_TRUE(m->ButtonCalcFermiLevel->isEnabled());

    script.answerFile(otherFl);
    m->LoadFermiLevelClick();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::Error);
    // The reader's message names the file and both grid sizes.
    EXPECT_TRUE(script.messages[0].text.contains(otherFl)) << script.lastText().toStdString();
    EXPECT_TRUE(script.messages[0].text.contains("5201"));
    EXPECT_TRUE(script.messages[0].text.contains("3701"));
    EXPECT_TRUE(C.fermiLevel.empty());
    EXPECT_TRUE(C.fermiLevelFileName.empty());
    EXPECT_EQ(C.splineCount, 3701); // the grid in memory stays
    EXPECT_EQ(m->ChartFermiLevel->count(0), 0);
    EXPECT_TRUE(m->LabelFilenameFermiLevel->text().isEmpty());
    EXPECT_FALSE(m->ButtonSaveFermiLevel->isEnabled());
    expectStage1Closed(m);
    // The page is ready to calculate from the grid instead (Si, n-type).
    EXPECT_EQ(m->EditMass->text(), "0.32");
    EXPECT_DOUBLE_EQ(C.dos0, 5.25e15);
    EXPECT_TRUE(m->ButtonCalcFermiLevel->isEnabled());

    // A file that does not exist is refused the same way.
    script.messages.clear();
    script.answerFile(dir.filePath("none.fl"));
    m->LoadFermiLevelClick();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, ScriptedModal::Message::Error);
    EXPECT_TRUE(script.messages[0].text.contains("none.fl")) << script.lastText().toStdString();
    expectStage1Closed(m);

    script.messages.clear();
    m->ButtonCalcFermiLevelClick();
    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(m->ChartFermiLevel->count(0), 3701);
}
