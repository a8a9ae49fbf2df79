// Main window: the "Evaluation" buttons of the stage pages (results, red
// line, copies on the later pages, out-of-range levels, failures, the silent
// H2 recalculation request), the remarks window and the negative-compensation
// toggle.
#include "HallTestSupport.h"

#include "spectroscopy/Detailedprogressreport.h"
#include "spectroscopy/Progressreport.h"
#include "spectroscopy/Remarks.h"

#include <QApplication>
#include <QFile>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

using Kind = ScriptedModal::Message::Kind;

bool matches(const QString& text, const char* regex)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(regex)).match(text).hasMatch();
}

struct Donor {
    double density;  // cm^-3
    double level;    // eV below the conduction band
    double g;
};

// n(T) of donors with fully ionised acceptors from charge neutrality,
// solved by bisection on the Fermi level; the program's constants.
double electronConcentration(double T, double dos0, const std::vector<Donor>& donors, double acceptors)
{
    const double kT = T * 1.38054e-23 / 1.6021e-19;
    const double nc = dos0 * std::pow(T, 1.5);
    auto balance = [&](double x) {
        double ionised = 0;
        for (const Donor& d : donors)
            ionised += d.density / (1 + d.g * std::exp((d.level - x) / kT));
        return ionised - acceptors - nc * std::exp(-x / kT);
    };
    double lo = 0, hi = 1.5;
    for (int i = 0; i < 100; ++i) {
        const double mid = (lo + hi) / 2;
        (balance(lo) * balance(mid) > 0 ? lo : hi) = mid;
    }
    return nc * std::exp(-lo / kT);
}

class EvaluationPageTest : public MainWindowTest {
protected:
    QTemporaryDir dir;

    QString copyExample(const char* name)
    {
        const QString to = dir.filePath(name);
        QFile::remove(to);
        EXPECT_TRUE(QFile::copy(example(name), to)) << name;
        return to;
    }
    // An n-type 4H-SiC data file (header of the shared example, whose
    // material gives dos0 = 3.26e15) with n(T) of the given donors.
    QString syntheticData(const char* name, const std::vector<Donor>& donors, double acceptors,
                          double from, double to)
    {
        QFile in(example("sic4h_n_two_donors.nT"));
        EXPECT_TRUE(in.open(QIODevice::ReadOnly));
        QList<QByteArray> header = in.readAll().split('\n').mid(0, 17);
        QByteArray data;
        int count = 0;
        for (double T = from; T <= to + 1e-9; T += 5, ++count)
            data += QByteArray::number(T) + "     " +
                    QByteArray::number(electronConcentration(T, 3.26e15, donors, acceptors), 'g', 6) +
                    "     1\r\n";
        QByteArray text;
        for (QByteArray line : header) {
            line = line.trimmed();
            if (line.startsWith("% Number of data:"))
                line = "% Number of data: " + QByteArray::number(count);
            text += line + "\r\n";
        }
        const QString path = dir.filePath(name);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text + data);
        return path;
    }
    void openStage1(TFormMain* m, const QString& data)
    {
        load(m, data);
        ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
        m->EditSmoothness->setText("20000");
        m->ButtonCalcSplineClick();
        script.acceptProposedFile();
        m->ButtonSaveSplineClick();
        m->ButtonCalcFermiLevelClick();
        script.acceptProposedFile();
        m->ButtonSaveFermiLevelClick();
        ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    }
    // H1 calculated and evaluated, H2 calculated until its page can be
    // evaluated (the first search may ask for a second one).
    void throughH2Calculation(TFormMain* m)
    {
        m->ButtonCalcH1Click();
        m->ButtonEvaluation1Click();
        ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
        for (int i = 0; i < 2 && !m->ButtonEvaluation2->isEnabled(); ++i)
            m->ButtonCalcH2Click();
        ASSERT_TRUE(m->ButtonEvaluation2->isEnabled()) << script.lastText().toStdString();
        script.messages.clear();
    }
    static void expectIdle()
    {
        EXPECT_FALSE(FormProgressReport->isVisible());
        EXPECT_FALSE(FormDetailedProgressReport->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    // Every red point lies strictly inside the value range of the black line,
    // and every grid point of the simulated curve inside it is drawn.
    static void expectRedLineInsideBlackLine(ChartPlot* chart, int k)
    {
        const QVector<QPointF>& black = chart->data(0);
        ASSERT_FALSE(black.empty());
        double lo = black[0].y(), hi = black[0].y();
        for (const QPointF& p : black)
            lo = std::min(lo, p.y()), hi = std::max(hi, p.y());
        int inside = 0;
        for (double v : C.simulatedHCurve[k])
            inside += lo < v && v < hi;
        ASSERT_GT(inside, 0);
        EXPECT_EQ(chart->count(1), inside);
        for (const QPointF& p : chart->data(1)) {
            EXPECT_GT(p.y(), lo);
            EXPECT_LT(p.y(), hi);
        }
    }
};

// ---- H1 ----------------------------------------------------------------------------

TEST_F(EvaluationPageTest, Evaluation1FillsResultsCopiesAndTheRedLine)
{
    TFormMain* m = create(0); // Advanced mode: "DX Center" is visible
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    m->ButtonCalcH1Click();
    m->ButtonEvaluation1Click();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    EXPECT_TRUE(matches(m->LabelDensity1->text(), R"(\d\.\d\dE[+-]\d\d)")) << m->LabelDensity1->text().toStdString();
    EXPECT_TRUE(matches(m->LabelEnergy1->text(), R"(\d\.\d{1,4})")) << m->LabelEnergy1->text().toStdString();
    EXPECT_TRUE(matches(m->LabelCDensity1->text(), R"(-?\d\.\d\dE[+-]\d\d)")) << m->LabelCDensity1->text().toStdString();
    EXPECT_NEAR(m->LabelDensity1->text().toDouble() / C.density[0], 1, 0.005);
    EXPECT_NEAR(m->LabelEnergy1->text().toDouble(), C.energyLevel[0], 5e-5);
    EXPECT_NEAR(m->LabelCDensity1->text().toDouble() / C.stageCompensatingDensity[0], 1, 0.005);
    // The first species found is the deeper donor of the sample (k site,
    // 0.12 eV, 5e16 cm^-3). The shallower one, still ionised at the H1 peak,
    // goes into a negative compensating density, which the single-species
    // model absorbs only approximately: level 0.3 % low, N 10 % high.
    EXPECT_NEAR(C.energyLevel[0], 0.12, 0.0006);
    EXPECT_NEAR(C.density[0] / 5e16, 1, 0.13);

    EXPECT_EQ(m->LabelDensity1H2->text(), m->LabelDensity1->text());
    EXPECT_EQ(m->LabelEnergy1H2->text(), m->LabelEnergy1->text());
    EXPECT_EQ(m->LabelComDensityH2->text(), "0.00E+00"); // negative in H1: nothing fixed yet

    EXPECT_TRUE(m->ButtonSaveH1->isEnabled());
    EXPECT_FALSE(m->ButtonSaveFigureH1->isEnabled());
    EXPECT_FALSE(m->ButtonEvaluation1->isEnabled());
    EXPECT_FALSE(m->ButtonCalcH2->isEnabled()); // opened by the results save
    EXPECT_TRUE(m->MenuExcitedStates->isEnabled());
    EXPECT_TRUE(m->MenuDXCenter->isEnabled());
    EXPECT_EQ(C.lastEvaluatedStage, -1);
    expectRedLineInsideBlackLine(m->ChartH1, 0);

    EXPECT_EQ(FormDetailedProgressReport->ProgressBar1->maximum(), 23);
    EXPECT_GT(FormProgressReport->ProgressBar1->value(), 0);
    expectIdle();
}

// Records what the evaluation reports; a bar counts as open from its show
// to its close.
class RecordingReporter : public ProgressReporter {
public:
    int shown[2] = {0, 0};
    int steps[2] = {0, 0};
    bool open[2] = {false, false};
    void show(int bar, int) override { ++shown[bar], open[bar] = true; }
    void setPosition(int bar, int position) override { steps[bar] += position > 0; }
    void step(int bar, int by) override { steps[bar] += by; }
    void close(int bar) override { open[bar] = false; }
};

TEST_F(EvaluationPageTest, EvaluationAdvancesBothProgressWindowsAndClosesThemOnEveryPath)
{
    TFormMain* m = create(1);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    m->ButtonCalcH1Click();
    RecordingReporter rec;
    C.progress = &rec;

    m->ButtonEvaluation1Click();
    ASSERT_TRUE(m->ButtonSaveH1->isEnabled());
    EXPECT_EQ(rec.shown[ProgressReporter::Main], 1);
    EXPECT_EQ(rec.shown[ProgressReporter::Detailed], 1);
    EXPECT_EQ(rec.steps[ProgressReporter::Main], 10); // five fits, five deviations
    EXPECT_GT(rec.steps[ProgressReporter::Detailed], 0);
    EXPECT_FALSE(rec.open[0]);
    EXPECT_FALSE(rec.open[1]);

    m->ButtonEvaluation1->setEnabled(true);
    C.functionType = 3;
    m->ButtonEvaluation1Click();
    EXPECT_EQ(rec.shown[ProgressReporter::Main], 2);
    EXPECT_FALSE(rec.open[0]);
    EXPECT_FALSE(rec.open[1]);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(EvaluationPageTest, LevelOutOfRangeShowsTheMessageAndZeros)
{
    TFormMain* m = create(1);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    m->ButtonCalcH1Click();
    // With the compensation fixed the level comes from the peak position; a
    // strongly negative E_ref puts a 1 meV level's peak above the measured one.
    C.referenceEnergy[0] = -0.05;
    C.compensationFixed = 1;
    C.compensationStage = 0;
    for (QLabel* l : {m->LabelDensity1, m->LabelEnergy1, m->LabelCDensity1})
        l->setText("x");
    m->ButtonSaveH1->setEnabled(true);

    m->ButtonEvaluation1Click();
    EXPECT_EQ(script.texts(Kind::Error), QStringList({"The energy level might be shallower than 1 meV"}));
    EXPECT_EQ(script.messages.size(), 1u);
    for (QLabel* l : {m->LabelDensity1, m->LabelEnergy1, m->LabelCDensity1})
        EXPECT_EQ(l->text(), "0");
    EXPECT_FALSE(m->ButtonSaveH1->isEnabled());
    expectIdle();
}

TEST_F(EvaluationPageTest, FailedEvaluationsNameTheStageAndReenableTheButton)
{
    TFormMain* m = create(1);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    m->ButtonCalcH1Click();
    C.functionType = 3; // no model curve can be computed: every candidate fails

    m->ButtonEvaluation1Click();
    EXPECT_EQ(script.texts(Kind::Error),
              QStringList({"The density and energy level could not be evaluated.",
                           "First density and energy level could not be evaluated."}));
    EXPECT_TRUE(m->ButtonEvaluation1->isEnabled());
    EXPECT_FALSE(m->ButtonSaveH1->isEnabled());
    EXPECT_EQ(m->LabelDensity1->text(), "0");
    expectIdle();

    // The same curve on the H3 page.
    script.messages.clear();
    C.hCurve[2] = C.hCurve[0];
    C.peakIndex[2] = C.peakIndex[0];
    m->ButtonEvaluation3->setEnabled(true);
    m->ButtonEvaluation3Click();
    EXPECT_EQ(script.texts(Kind::Error).last(), "Third density and energy level could not be evaluated.");
    EXPECT_TRUE(m->ButtonEvaluation3->isEnabled());
    expectIdle();
}

TEST_F(EvaluationPageTest, MistypedDegeneracyFactorStopsBeforeAnythingChanges)
{
    TFormMain* m = create(1);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    m->ButtonCalcH1Click();
    m->EditGH1->setText("two");
    m->ButtonEvaluation1Click();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, Kind::ConversionError);
    EXPECT_TRUE(m->ButtonEvaluation1->isEnabled());
    EXPECT_EQ(m->LabelDensity1->text(), "0");
    expectIdle();
}

// ---- H2 ----------------------------------------------------------------------------

TEST_F(EvaluationPageTest, Evaluation2FillsTheCopiesOnTheH3Page)
{
    TFormMain* m = create(1);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    throughH2Calculation(m);
    m->ButtonEvaluation2Click();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    // The second species is the shallower donor (h site, 0.06 eV, 3e16 cm^-3):
    // level 1.6 % and N 3.7 % high.
    EXPECT_NEAR(C.energyLevel[1], 0.06, 0.0015);
    EXPECT_NEAR(C.density[1] / 3e16, 1, 0.06);
    EXPECT_EQ(m->LabelDensity2->text(), "3.11E+16");
    EXPECT_EQ(m->LabelDensity1H3->text(), m->LabelDensity1->text());
    EXPECT_EQ(m->LabelEnergy1H3->text(), m->LabelEnergy1->text());
    EXPECT_EQ(m->LabelDensity2H3->text(), m->LabelDensity2->text());
    EXPECT_EQ(m->LabelEnergy2H3->text(), m->LabelEnergy2->text());
    EXPECT_EQ(m->LabelComDensityH3->text(), "2.69E+14"); // fixed by H2; 2e14 went in
    EXPECT_TRUE(m->ButtonSaveH2->isEnabled());
    EXPECT_TRUE(script.windowsShown.empty());
    EXPECT_EQ(C.lastEvaluatedStage, -1);
    expectRedLineInsideBlackLine(m->ChartH2, 1);
    expectIdle();
}

TEST_F(EvaluationPageTest, H2WithoutCandidatesAndNegativeH1CompensationAsksForAnotherH2)
{
    TFormMain* m = create(1);
    // A deep donor and a very shallow one: H1 takes a negative compensating
    // density, and no H2 candidate fits.
    ASSERT_NO_FATAL_FAILURE(
        openStage1(m, syntheticData("shallow.nT", {{5e16, 0.15, 2}, {3e16, 0.005, 2}}, 1e14, 80, 600)));
    ASSERT_NO_FATAL_FAILURE(throughH2Calculation(m));
    ASSERT_LT(C.stageCompensatingDensity[0], 0);

    m->ButtonEvaluation2Click();
    ASSERT_EQ(script.messages.size(), 1u) << script.lastText().toStdString();
    EXPECT_EQ(script.messages[0].kind, Kind::Confirmation);
    EXPECT_EQ(script.messages[0].text, "Calculation of reasonable H2 is carried out again.");
    EXPECT_EQ(C.recalculationRequested, 1);
    EXPECT_DOUBLE_EQ(C.compensatingDensity, C.stageCompensatingDensity[0]);
    EXPECT_TRUE(m->ButtonCalcH2->isEnabled());
    EXPECT_EQ(m->ButtonCalcH2->text(), "Calculation again");
    EXPECT_EQ(m->LabelComDensityH2->text(), "-2.85E+16");
    EXPECT_EQ(m->EditSCDensity->text(), "-2.85E+16");
    EXPECT_TRUE(m->CheckBox4->isChecked());
    EXPECT_FALSE(m->ButtonSaveH2->isEnabled());
    expectIdle();

    // Calculated again with that density, H2 finds the deep donor's
    // counterpart as a species of its own.
    script.messages.clear();
    m->ButtonCalcH2Click();
    ASSERT_TRUE(m->ButtonEvaluation2->isEnabled()) << script.lastText().toStdString();
    m->ButtonEvaluation2Click();
    EXPECT_TRUE(m->ButtonSaveH2->isEnabled()) << script.lastText().toStdString();
}

// A shallow second donor measured only above 250 K: H2 finds a level below
// kT at the lowest temperature, and the remarks window offers to evaluate
// again with the H1 compensating density.
class RemarksTest : public EvaluationPageTest {
protected:
    TFormMain* m = nullptr;
    void evaluateH2(int answer)
    {
        script.windowHandler = [answer](QDialog*) { return answer; };
        m = create(1);
        ASSERT_NO_FATAL_FAILURE(
            openStage1(m, syntheticData("deep.nT", {{1e17, 0.25, 2}, {3e16, 0.01, 2}}, 1e15, 250, 700)));
        ASSERT_NO_FATAL_FAILURE(throughH2Calculation(m));
        m->ButtonEvaluation2Click();
        // A level below kT at 250 K is also below 3 kT: the one box is that warning.
        ASSERT_EQ(script.messages.size(), 1u) << script.lastText().toStdString();
        EXPECT_EQ(script.messages[0].text.left(51), "Warning: the energy level of the second species (0.");
        ASSERT_LT(C.energyLevel[1], C.lowestThermalEnergy);
        EXPECT_EQ(script.windowsShown, std::vector<QString>({"FormRemarks"}));
        EXPECT_EQ(C.lastEvaluatedStage, 1);
        EXPECT_EQ(FormRemarks->Label1->text(), "The second energy level obtained in H2 may not be reliable.");
        EXPECT_EQ(FormRemarks->Label3->text(), "Recommend that you evaluate the second energy level using a "
                                               "compensating density of -2.87E+16 cm^-3.");
        expectIdle();
    }
};

TEST_F(RemarksTest, ContinueKeepsTheH2Results)
{
    ASSERT_NO_FATAL_FAILURE(evaluateH2(TFormRemarks::Continue));
    EXPECT_TRUE(m->ButtonSaveH2->isEnabled());
    EXPECT_EQ(m->ButtonCalcH2->text(), "Calculation");
    EXPECT_EQ(C.compensationStage, 1); // fixed by H2 itself
}

TEST_F(RemarksTest, EvaluationAgainFixesTheH1DensityForAnotherH2)
{
    ASSERT_NO_FATAL_FAILURE(evaluateH2(TFormRemarks::EvaluationAgain));
    EXPECT_EQ(C.compensationFixed, 1);
    EXPECT_EQ(C.compensationStage, 0);
    EXPECT_DOUBLE_EQ(C.compensatingDensity, C.stageCompensatingDensity[0]);
    EXPECT_EQ(m->LabelComDensityH2->text(), "-2.87E+16");
    EXPECT_TRUE(m->ButtonCalcH2->isEnabled());
    EXPECT_EQ(m->ButtonCalcH2->text(), "Calculation again");
    EXPECT_FALSE(m->ButtonSaveH2->isEnabled());
    EXPECT_TRUE(m->CheckBox4->isChecked());
}

TEST_F(EvaluationPageTest, NegativeCompensationToggle)
{
    TFormMain* m = create(0);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    m->ButtonCalcH1Click();
    m->ButtonEvaluation1Click();
    const double h1 = C.stageCompensatingDensity[0];
    ASSERT_LT(h1, 0);
    m->ButtonCalcH3->setText("Calculation again");

    m->ButtonUseNegativeNcomClick();
    EXPECT_TRUE(C.useNegativeCompensation);
    EXPECT_EQ(m->ButtonUseNegativeNcom->text(), "Do not Use Negative Value");
    EXPECT_EQ(C.compensationFixed, 1);
    EXPECT_EQ(C.compensationStage, 0);
    EXPECT_DOUBLE_EQ(C.compensatingDensity, h1);
    EXPECT_EQ(m->LabelComDensityH2->text(), "-2.46E+16");
    EXPECT_EQ(m->EditSCDensity->text(), "-2.46E+16");
    EXPECT_EQ(m->ButtonCalcH3->text(), "Calculation");
    EXPECT_TRUE(m->CheckBox4->isChecked());

    m->ButtonUseNegativeNcomClick();
    EXPECT_FALSE(C.useNegativeCompensation);
    EXPECT_EQ(m->ButtonUseNegativeNcom->text(), "Use Negative Compensating Density");
    EXPECT_EQ(C.compensationFixed, 0);
    EXPECT_EQ(C.compensationStage, -1);
    EXPECT_EQ(C.compensatingDensity, 0);
    EXPECT_EQ(m->LabelComDensityH2->text(), "0");
    EXPECT_EQ(m->EditSCDensity->text(), "0");
    EXPECT_FALSE(m->CheckBox4->isChecked());
}

} // namespace
