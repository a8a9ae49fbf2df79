// The excited-states window: opened after the "Caution" window of an H1
// evaluation, "Evaluation", both result files (the same lines as vorn-batch
// --excited writes), the enabled states and the clearing on close.
#include "HallTestSupport.h"
#include "Batch.h"
#include "excited/Excitedstates.h"

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
    // dialog confirmed with its proposal, "OK" on the caution window.
    void evaluateH1(TFormMain* m, const fs::path& data)
    {
        load(m, QString::fromStdString(data.string()));
        m->ButtonCalcSplineClick();
        script.acceptProposedFile();
        m->ButtonSaveSplineClick();
        m->ButtonCalcFermiLevelClick();
        script.acceptProposedFile();
        m->ButtonSaveFermiLevelClick();
        m->ButtonCalcH1Click();
        script.windowHandler = [](QDialog*) { return 1; };
        m->ButtonEvaluation1Click();
    }
};

} // namespace

TEST_F(ExcitedStatesWindowTest, OpensAfterTheCautionAndWritesWhatTheBatchWrites)
{
    const char* example = "sic4h_p_al_excited_visible.pT";
    const fs::path data = dir / example;
    fs::copy_file(testfiles::example(example), data);
    TFormMain* m = create(1);
    evaluateH1(m, data);
    ASSERT_EQ(script.windowsShown, std::vector<QString>({"FormDeepLevel"}));
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
        EXPECT_EQ(s.button->isEnabled(), s.prepared ? s.evaluated || s.button == w->ButtonSaveNormal : s.evaluated)
            << s.button->objectName().toStdString();

    script.acceptProposedFile();
    w->ButtonSaveNormalClick();
    script.acceptProposedFile();
    w->ButtonSaveExcitedStatesClick();
    ASSERT_EQ(script.fileDialogs.size(), 5u); // spl, fl, simN, exc after the main window's
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
    o.excited = BatchOptions::Excited::OnCaution;
    std::ostringstream err;
    const BatchResult r = runBatchFile(data.string(), o, err);
    EXPECT_EQ(r.status, 0) << r.failure << err.str();
    EXPECT_TRUE(r.excited.caution);
    EXPECT_EQ(r.excited.levelCount, R);
    EXPECT_EQ(fileLines(dir / "sic4h_p_al_excited_visible.simN"), windowSimN);
    EXPECT_EQ(fileLines(dir / "sic4h_p_al_excited_visible.exc"), windowExc);
}
