// The excited-states window: opened after the "Caution" window of an H1
// evaluation, "Evaluation", both result files (the same lines as vorn-batch
// --excited writes), the enabled states and the clearing on close.
#include "HallTestSupport.h"
#include "batch/Batch.h"
#include "analysis/base/NumberFormat.h"
#include "excited/Excitedstates.h"

#include <QCheckBox>
#include <QMenuBar>

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

QStringList fileLines(const fs::path& p)
{
    const QString text = QString::fromStdString(testfiles::readAll(p.string()));
    return text.split("\r\n");
}

class ExcitedStatesWindowTest : public MainWindowTest {
protected:
    fs::path dir;
    void SetUp() override
    {
        MainWindowTest::SetUp();
        dir = fs::temp_directory_path() / ("vorn_excited_" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        fs::remove_all(dir);
        MainWindowTest::TearDown();
    }
    // The main window's pipeline up to "Evaluation" of H1, every save
    // dialog confirmed with its proposal, "OK" on the caution window. A
    // typed E_ref (Advanced mode) replaces the automatic "Calculation".
    void evaluateH1(TFormMain* m, const fs::path& data, const char* typedEref = nullptr)
    {
        load(m, QString::fromStdString(data.string()));
        m->ButtonCalcSplineClick();
        script.acceptProposedFile();
        m->ButtonSaveSplineClick();
        m->ButtonCalcFermiLevelClick();
        script.acceptProposedFile();
        m->ButtonSaveFermiLevelClick();
        if (typedEref) {
            m->EditEref1->setText(typedEref);
            m->ButtonCalculationH1PreciseClick();
        } else {
            m->ButtonCalcH1Click();
        }
        script.windowHandler = [](QDialog*) { return 1; };
        m->ButtonEvaluation1Click();
    }
};

} // namespace

// The sample made with excited states, H1 at a typed E_ref of 0.1 eV: the
// second fit is the better one, "Caution" comes, then this window, prepared.
TEST_F(ExcitedStatesWindowTest, OpensAfterTheCautionWindow)
{
    const char* example = "sic4h_p_al_excited_visible.pT";
    const fs::path data = dir / example;
    fs::copy_file(testfiles::example(example), data);
    TFormMain* m = create(0);
    EXPECT_FALSE(FormExcitedStates->isVisible());
    evaluateH1(m, data, "0.1");
    ASSERT_EQ(script.windowsShown, std::vector<QString>({"FormDeepLevel"}));
    TFormExcitedStates* w = FormExcitedStates;
    ASSERT_TRUE(w->isVisible());
    EXPECT_EQ(w->LabelEref->text(), "0.1");
    EXPECT_EQ(w->LabelEnergyLevelNormal->text().toStdString(), numfmt::pattern(C.energyLevel[0], "0.####"));
    EXPECT_EQ(w->ChartH1Excited->count(0), C.splineCount);
    EXPECT_TRUE(w->ButtonAuto->isEnabled());
}

// Opened from the menu after an H1 evaluation: "Evaluation", both saves, the
// enabled states, and the same lines as vorn-batch --excited=always writes.
TEST_F(ExcitedStatesWindowTest, EvaluatesAndWritesWhatTheBatchWrites)
{
    const char* example = "sic4h_p_al_excited_visible.pT";
    const fs::path data = dir / example;
    fs::copy_file(testfiles::example(example), data);
    TFormMain* m = create(1);
    evaluateH1(m, data);
    ASSERT_TRUE(script.windowsShown.empty());
    ASSERT_TRUE(m->MenuExcitedStates->isEnabled());
    m->MenuExcitedStatesClick();
    TFormExcitedStates* w = FormExcitedStates;
    ASSERT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "Influence of Excted States of Dopant");
    EXPECT_EQ(w->PageControl->currentWidget(), w->TabSheetExcited);

    // Prepared: the stage-1 results, p-type forms, the measured points.
    EXPECT_EQ(w->LabelConductionType1->text(), "p-type");
    for (ChartPlot* c : {w->ChartConcentrationNormal, w->ChartConcentrationExcited})
        EXPECT_EQ(c->leftTitle(), "Hole Concentration  [cm^-3]");
    EXPECT_EQ(w->LabelDensity1->text().toStdString(), numfmt::pattern(C.density[0], "0.00E+00"));
    EXPECT_EQ(w->LabelDensityNormal->text(), w->LabelDensity1->text());
    EXPECT_EQ(w->EditDielectricConstant->text(), "9.66");
    EXPECT_EQ(w->LabelDensity->text(), "0");
    EXPECT_EQ(w->ChartConcentrationNormal->count(0), C.dataCount);
    EXPECT_EQ(w->ChartConcentrationNormal->count(1), C.splineCount);
    struct Enabled {
        QPushButton* button;
        bool prepared, evaluated, saved;
    } states[] = {
        {w->ButtonSaveNormal, true, true, false},     {w->ButtonSaveFigureSimN1, false, false, true},
        {w->ButtonSaveFigureSimN2, false, false, true}, {w->ButtonAuto, true, false, false},
        {w->ButtonSaveExcitedStates, false, true, false}, {w->ButtonSaveFigureExc1, false, false, true},
        {w->ButtonSaveFigureExc2, false, false, true},
    };
    for (const Enabled& s : states)
        EXPECT_EQ(s.button->isEnabled(), s.prepared) << s.button->objectName().toStdString();
    for (QWidget* row : w->ExcitedLevelRow)
        EXPECT_FALSE(row->isVisibleTo(w));
    EXPECT_FALSE(w->MenuFileViewer->isEnabled() && !windows().has(WindowId::Editor));

    w->ButtonAutoClick();
    ASSERT_TRUE(script.texts(ScriptedModal::Message::Error).filter("First").isEmpty());
    const int R = w->state.levelCount;
    ASSERT_GE(R, 2);
    ASSERT_LE(R, 10);
    for (int r = 2; r <= 10; ++r)
        EXPECT_EQ(w->ExcitedLevelRow[r - 2]->isVisibleTo(w), r <= R) << r;
    EXPECT_EQ(w->LabelDensity->text().toStdString(), numfmt::pattern(w->state.dopantDensity, "0.00E+00"));
    EXPECT_GT(w->ChartH1Excited->count(1), 0);
    EXPECT_GT(w->ChartConcentrationExcited->count(1), 0);
    for (const Enabled& s : states)
        EXPECT_EQ(s.button->isEnabled(), s.evaluated) << s.button->objectName().toStdString();

    script.acceptProposedFile();
    w->ButtonSaveNormalClick();
    script.acceptProposedFile();
    w->ButtonSaveExcitedStatesClick();
    ASSERT_GE(script.fileDialogs.size(), 2u);
    const ScriptedModal::FileDialog& simN = script.fileDialogs[script.fileDialogs.size() - 2];
    const ScriptedModal::FileDialog& exc = script.fileDialogs.back();
    EXPECT_EQ(simN.proposedName.toStdString(), (dir / "sic4h_p_al_excited_visible.simN").string());
    EXPECT_EQ(simN.filterIndex, 1);
    EXPECT_EQ(exc.proposedName.toStdString(), (dir / "sic4h_p_al_excited_visible.exc").string());
    EXPECT_EQ(exc.filterIndex, 2);
    for (const Enabled& s : states)
        EXPECT_EQ(s.button->isEnabled(), s.saved) << s.button->objectName().toStdString();
    w->EditDielectricConstantChange();
    EXPECT_TRUE(w->ButtonAuto->isEnabled());

    const QStringList windowSimN = fileLines(dir / "sic4h_p_al_excited_visible.simN");
    const QStringList windowExc = fileLines(dir / "sic4h_p_al_excited_visible.exc");
    // 50 header lines with R - 1 excited-state lines, a row per grid point, nothing after the last CR LF.
    ASSERT_EQ(windowExc.size(), 50 + (R - 1) + C.splineCount + 1);
    EXPECT_EQ(windowExc[42],
              "% 1 Excited state energy [eV]: " + QString::fromStdString(numfmt::general(w->state.excitedLevels[1])));
    EXPECT_EQ(windowExc[48 + R - 1], "% T    H1(T,E_ref)      sim H1(T,E_ref)   sim p(T)    sim E_F  sim E_ex  ");

    // Closing empties it; reopening from the menu shows no results until "Evaluation".
    w->close();
    EXPECT_EQ(w->ChartH1Excited->count(0), 0);
    EXPECT_TRUE(w->state.simulatedH1Curve.empty());
    m->MenuExcitedStatesClick();
    EXPECT_EQ(w->LabelDensity->text(), "0");
    EXPECT_TRUE(w->ButtonAuto->isEnabled());

    // The batch program with --excited: the same lines.
    destroyForms();
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename() != example)
            fs::remove(e.path());
    BatchOptions o;
    o.excited = BatchOptions::Excited::Always;
    std::ostringstream err;
    const BatchResult r = runBatchFile(data.string(), o, err);
    EXPECT_EQ(r.status, 0) << r.failure << err.str();
    EXPECT_FALSE(r.excited.caution);
    EXPECT_EQ(r.excited.levelCount, R);
    EXPECT_EQ(fileLines(dir / "sic4h_p_al_excited_visible.simN"), windowSimN);
    EXPECT_EQ(fileLines(dir / "sic4h_p_al_excited_visible.exc"), windowExc);
}

// The development setting adds "Option" and three pages; the shipped build
// has none of it. Precise mode, the pages after an evaluation, "Simulation"
// with no level ticked (the Fermi-Dirac curve) and the *.sie save.
TEST_F(ExcitedStatesWindowTest, DevelopmentSettingOnlyWhereBuilt)
{
    create(1);
    EXPECT_EQ(FormExcitedStates->ButtonOption, nullptr);
    EXPECT_EQ(FormExcitedStates->PageControl->count(), 2);
    destroyForms();

    const char* example = "sic4h_p_al_excited_visible.pT";
    const fs::path data = dir / example;
    fs::copy_file(testfiles::example(example), data);
    TFormMain* m = create(0);
    TFormExcitedStates* w = FormExcitedStates;
    ASSERT_NE(w->ButtonOption, nullptr);
    ASSERT_EQ(w->PageControl->count(), 5);
    for (int i = 2; i < 5; ++i)
        EXPECT_FALSE(w->PageControl->isTabVisible(i));
    evaluateH1(m, data, "0.1");
    ASSERT_TRUE(w->isVisible());
    EXPECT_EQ(w->ButtonOption->text(), "Auto Mode Now");
    EXPECT_FALSE(w->EditHighestLevel->isVisibleTo(w));

    w->ButtonOptionClick();
    EXPECT_EQ(w->ButtonOption->text(), "Precise Mode Now");
    EXPECT_TRUE(w->EditHighestLevel->isVisibleTo(w));
    EXPECT_EQ(w->EditHighestLevel->text(), "7");
    EXPECT_EQ(w->EditShiftOfEnergyLevel->text(), "0");
    w->EditHighestLevel->setText("12");
    w->ButtonAutoClick();
    ASSERT_EQ(w->state.levelCount, 12) << script.lastText().toStdString();
    EXPECT_TRUE(w->ButtonAuto->isEnabled()); // precise mode: the next r at once
    for (int i = 2; i < 5; ++i)
        EXPECT_TRUE(w->PageControl->isTabVisible(i));
    EXPECT_TRUE(w->CheckBoxHighestLevelSIM->isChecked());
    EXPECT_EQ(w->EditHighestLevelSIM->text(), "12");
    for (int r = 2; r <= 10; ++r)
        EXPECT_TRUE(w->CheckBoxESIM[r - 2]->isChecked()) << r;
    EXPECT_EQ(w->LabelDensityCFT1->text(), w->LabelDensity->text());
    EXPECT_TRUE(w->ButtonSimulation->isEnabled());
    EXPECT_FALSE(w->ButtonSaveSIM->isEnabled());

    for (QCheckBox* box : w->CheckBoxESIM)
        box->setChecked(false);
    w->ButtonSimulationClick();
    const QVector<QPointF>& excited = w->ChartConcentrationSimulation->data(2);
    const QVector<QPointF>& fermiDirac = w->ChartConcentrationSimulation->data(4);
    ASSERT_EQ(excited.size(), fermiDirac.size());
    ASSERT_FALSE(excited.isEmpty());
    for (int j = 0; j < excited.size(); j += 200)
        EXPECT_NEAR(excited[j].y() / fermiDirac[j].y(), 1, 1e-12);
    EXPECT_EQ(w->LabelWithoutExcSIMC->text(), "simulated concentration without influence of excited states");
    script.acceptProposedFile();
    w->ButtonSaveSIMClick();
    EXPECT_EQ(script.fileDialogs.back().filterIndex, 4);
    EXPECT_TRUE(fs::exists(dir / "sic4h_p_al_excited_visible.sie"));
    EXPECT_FALSE(w->ButtonSaveSIM->isEnabled());

    w->EditShiftOfEnergyLevel->setText("1.5");
    w->ButtonOptionClick();
    EXPECT_EQ(w->ButtonOption->text(), "Auto Mode Now");
    EXPECT_FALSE(w->EditShiftOfEnergyLevel->isVisibleTo(w));
    EXPECT_EQ(w->EditShiftOfEnergyLevel->text(), "1.5");
    EXPECT_EQ(w->LabelDensity->text(), "0");
    w->close();
    for (int i = 2; i < 5; ++i)
        EXPECT_FALSE(w->PageControl->isTabVisible(i));
}
