// Main window: the stage pages H1..H3 (what a page shows after its
// calculation, the automatic calculations and their recalculation chain,
// the manual E_ref and the peak steps, the progress windows and the cursor).
#include "HallTestSupport.h"

#include "spectroscopy/Detailedprogressreport.h"
#include "spectroscopy/Progressreport.h"

#include <QApplication>
#include <QFile>
#include <QProgressBar>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>

namespace {

const QString kH2Question = "  There is a possibility that a reasonable energy level may not be "
                            "obtained. \n  Do you calculate H2 again using the compensating "
                            "density obtained in H1?";
const QString kH3Question = "  There is a possibility that a reasonable energy level may not be "
                            "obtained. \n  Do you calculate H3 again using the compensating "
                            "density obtained in H2?";

bool matches(const QString& text, const char* regex)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(regex)).match(text).hasMatch();
}

class StagePageTest : public MainWindowTest {
protected:
    QTemporaryDir dir;

    QString copyExample(const char* name, const QByteArray& from = {}, const QByteArray& to = {})
    {
        QFile in(example(name));
        EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << name;
        QByteArray text = in.readAll();
        if (!from.isEmpty()) {
            EXPECT_TRUE(text.contains(from)) << from.constData();
            text.replace(from, to);
        }
        const QString path = dir.filePath(name);
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(text);
        return path;
    }
    // Data loaded, spline and Fermi level calculated and saved: stage 1 may start.
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
        ASSERT_TRUE(m->ButtonCalcH1->isEnabled());
    }
    static void expectIdle()
    {
        EXPECT_FALSE(FormProgressReport->isVisible());
        EXPECT_FALSE(FormDetailedProgressReport->isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    QStringList texts(ScriptedModal::Message::Kind kind) const { return script.texts(kind); }
};

using Kind = ScriptedModal::Message::Kind;

// Index of the first local maximum reached from index 0 by walking down
// while the curve falls and then up while it rises.
int firstPeakFromStart(const QVector<QPointF>& curve)
{
    const int n = curve.size();
    int j = 1;
    while (j < n && curve[j].y() < curve[j - 1].y())
        ++j;
    if (j >= n)
        return n - 1;
    while (j + 1 < n && curve[j + 1].y() > curve[j].y())
        ++j;
    return j;
}

void expectPeakShown(ChartPlot* chart, QLabel* peakT, QLabel* peakV, int k)
{
    const int p = C.peakIndex[k];
    ASSERT_EQ(chart->count(2), 1);
    const QPointF peak = chart->data(2)[0];
    EXPECT_DOUBLE_EQ(peak.x(), C.splineTemperature[p]);
    EXPECT_DOUBLE_EQ(peak.y(), chart->data(0)[p].y());
    EXPECT_NEAR(peakT->text().toDouble(), C.splineTemperature[p], 1e-9) << peakT->text().toStdString();
    EXPECT_TRUE(matches(peakV->text(), R"(\d\.\d\dE[+-]\d\d)")) << peakV->text().toStdString();
    EXPECT_NEAR(peakV->text().toDouble() / peak.y(), 1.0, 0.005);
}

// ---- H1 ----------------------------------------------------------------------------

TEST_F(StagePageTest, H1CalculationDrawsTheCurveWithItsPeakAndFillsTheLabels)
{
    TFormMain* m = create(1); // Normal mode
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    m->ButtonCalcH1Click();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    const int n = C.splineCount;
    ASSERT_GT(n, 100);
    ASSERT_EQ(m->ChartH1->count(0), n);
    const QVector<QPointF>& curve = m->ChartH1->data(0);
    for (int j = 0; j < n; j += 250)
        EXPECT_DOUBLE_EQ(curve[j].x(), C.splineTemperature[j]);

    // The square sits on a maximum of the black line, inside the grid.
    const int p = C.peakIndex[0];
    ASSERT_GT(p, 0);
    ASSERT_LT(p, n - 1);
    EXPECT_GE(curve[p].y(), curve[p - 1].y());
    EXPECT_GE(curve[p].y(), curve[p + 1].y());
    expectPeakShown(m->ChartH1, m->LabelPeakT1, m->LabelPeakV1, 0);

    EXPECT_TRUE(matches(m->LabelEref1->text(), R"(-?\d+(\.\d{1,6})?)")) << m->LabelEref1->text().toStdString();
    EXPECT_NEAR(m->LabelEref1->text().toDouble(), C.referenceEnergy[0], 5e-7);
    EXPECT_EQ(m->EditEref1->text(), m->LabelEref1->text());

    EXPECT_TRUE(m->ButtonEvaluation1->isEnabled());
    EXPECT_TRUE(m->ButtonDecreasePeakH1->isEnabled());
    EXPECT_TRUE(m->ButtonIncreasePeakH1->isEnabled());
    EXPECT_TRUE(m->ButtonCalcH1->isEnabled());
    EXPECT_EQ(m->ButtonCalcH1->text(), "Calculation");
    EXPECT_TRUE(m->ButtonCalculationH1Precise->isEnabled());
    EXPECT_TRUE(m->ButtonSaveExperimentalH1Data->isEnabled());
    EXPECT_FALSE(m->MenuExcitedStates->isEnabled());
    EXPECT_FALSE(m->ButtonFineAdjustment->isEnabled());
    // Normal mode draws no experimental points; no red line before an evaluation.
    EXPECT_EQ(m->ChartH1->count(3), 0);
    EXPECT_EQ(m->ChartH1->count(1), 0);
    EXPECT_EQ(C.recalculationRequested, 0);

    // The E_ref search drove the progress window, which is closed again.
    EXPECT_EQ(FormProgressReport->ProgressBar1->maximum(), 1093);
    EXPECT_GT(FormProgressReport->ProgressBar1->value(), 0);
    expectIdle();
}

TEST_F(StagePageTest, AdvancedModeShowsOnlyReliablePointsButThePreciseCalculationShowsAll)
{
    TFormMain* m = create(0); // Advanced mode
    // Two points made less reliable after the spline: 0.93 and 0.95 are not
    // above 0.95.
    ASSERT_NO_FATAL_FAILURE(openStage1(m, copyExample("sic4h_n_two_donors.nT")));
    C.reliability[24] = 0.93; // 200 K
    C.reliability[40] = 0.95; // 280 K: not above 0.95
    ASSERT_DOUBLE_EQ(C.temperature[24], 200);

    m->ButtonCalcH1Click();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(m->ButtonCalcH1->text(), "Auto Calculation");
    ASSERT_EQ(m->ChartH1->count(3), C.dataCount - 2);
    for (const QPointF& pt : m->ChartH1->data(3)) {
        EXPECT_NE(pt.x(), 200);
        EXPECT_NE(pt.x(), 280);
    }

    m->EditEref1->setText("0.05");
    m->ButtonCalculationH1PreciseClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(m->ChartH1->count(3), C.dataCount);
}

TEST_F(StagePageTest, PreciseCalculationUsesTheTypedErefAndTheFirstPeakFromBelow)
{
    TFormMain* m = create(0);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    m->EditEref1->setText("0.05");
    m->ButtonCalculationH1PreciseClick();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    EXPECT_DOUBLE_EQ(C.referenceEnergy[0], 0.05);
    EXPECT_EQ(C.autoCalculation, 0);
    ASSERT_EQ(m->ChartH1->count(0), C.splineCount);
    EXPECT_EQ(C.peakIndex[0], firstPeakFromStart(m->ChartH1->data(0)));
    expectPeakShown(m->ChartH1, m->LabelPeakT1, m->LabelPeakV1, 0);
    EXPECT_EQ(m->EditEref1->text(), "0.05");
    for (QPushButton* b : {m->ButtonEvaluation1, m->ButtonDecreasePeakH1, m->ButtonIncreasePeakH1,
                           m->ButtonCalcH1, m->ButtonDecreaseErefH1, m->ButtonDecreaseErefH1Precise,
                           m->ButtonIncreaseErefH1Precise, m->ButtonIncreaseErefH1,
                           m->ButtonCalculationH1Precise, m->ButtonSaveExperimentalH1Data})
        EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_FALSE(m->MenuCurveFitting->isEnabled());
    expectIdle();
}

TEST_F(StagePageTest, H1FailureIsReportedAndStageOneCanBeTriedAgain)
{
    TFormMain* m = create(0);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    C.functionType = 3; // neither S nor H: no curve can be computed

    m->ButtonCalcH1Click();
    EXPECT_EQ(texts(Kind::Error),
              QStringList({"Calculation of H could not be carried out.", "H1 could not be calculated."}));
    EXPECT_EQ(m->ChartH1->count(0), 0);
    EXPECT_FALSE(m->ButtonEvaluation1->isEnabled());
    EXPECT_TRUE(m->ButtonCalcH1->isEnabled());
    EXPECT_TRUE(m->ButtonCalculationH1Precise->isEnabled());
    expectIdle();

    script.messages.clear();
    m->EditEref1->setText("0.01");
    m->ButtonCalculationH1PreciseClick();
    EXPECT_EQ(texts(Kind::Error), QStringList({"H1 could not be calculated."}));
    EXPECT_FALSE(m->ButtonEvaluation1->isEnabled());
    EXPECT_FALSE(m->ButtonSaveExperimentalH1Data->isEnabled());
    expectIdle();

    // A mistyped E_ref stops before anything changes.
    script.messages.clear();
    m->EditEref1->setText("0,01x");
    C.referenceEnergy[0] = 0.123;
    m->ButtonCalculationH1PreciseClick();
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(script.messages[0].kind, Kind::ConversionError);
    EXPECT_DOUBLE_EQ(C.referenceEnergy[0], 0.123);
    expectIdle();
}

TEST_F(StagePageTest, NewH1CalculationReleasesAFixedCompensatingDensity)
{
    TFormMain* m = create(0);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    auto fix = [&] {
        C.compensationFixed = 1;
        C.compensationStage = 1;
        C.compensatingDensity = 3e15;
        m->ButtonCalcH2->setText("Calculation again");
        m->ButtonCalcH3->setText("Calculation again");
    };
    auto expectReleased = [&] {
        EXPECT_EQ(C.compensationFixed, 0);
        EXPECT_EQ(C.compensationStage, -1);
        EXPECT_EQ(C.compensatingDensity, 0);
        EXPECT_EQ(m->ButtonCalcH2->text(), "Calculation");
        EXPECT_EQ(m->ButtonCalcH3->text(), "Calculation");
    };
    fix();
    m->ButtonCalcH1Click();
    expectReleased();
    fix();
    m->EditEref1->setText("0.02");
    m->ButtonCalculationH1PreciseClick();
    expectReleased();
    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
}

TEST_F(StagePageTest, ErefStepButtonsRoundToSixDecimalsAndClearTheChart)
{
    TFormMain* m = create(0);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    m->ButtonCalcH1Click();
    ASSERT_GT(m->ChartH1->count(0), 0);

    m->EditEref1->setText("0.0123456789");
    m->ButtonIncreaseErefH1Click(); // 0.0133456789
    EXPECT_EQ(m->EditEref1->text(), "0.013346");
    for (int s = 0; s < 4; ++s)
        EXPECT_EQ(m->ChartH1->count(s), 0) << s;
    m->ButtonDecreaseErefH1PreciseClick();
    EXPECT_EQ(m->EditEref1->text(), "0.013345");
    m->ButtonIncreaseErefH1PreciseClick();
    EXPECT_EQ(m->EditEref1->text(), "0.013346");
    m->ButtonDecreaseErefH1Click();
    EXPECT_EQ(m->EditEref1->text(), "0.012346");

    // "<<" then ">>" gives the text back only up to the rounding.
    m->EditEref1->setText("0.0000004");
    m->ButtonDecreaseErefH1Click(); // -0.0009996
    EXPECT_EQ(m->EditEref1->text(), "-0.001");
    m->ButtonIncreaseErefH1Click();
    EXPECT_EQ(m->EditEref1->text(), "0");

    // Only the edit changes: C keeps the E_ref of the drawn curve.
    const double eref = C.referenceEnergy[0];
    m->EditEref1->setText("abc");
    m->ButtonIncreaseErefH1Click();
    EXPECT_EQ(m->EditEref1->text(), "abc");
    EXPECT_EQ(texts(Kind::ConversionError).size(), 1);
    EXPECT_DOUBLE_EQ(C.referenceEnergy[0], eref);
}

// Records what the computations report; a bar counts as open from its show
// to its close.
class RecordingReporter : public ProgressReporter {
public:
    int shown[2] = {0, 0};
    int position[2] = {0, 0};
    bool open[2] = {false, false};
    void show(int bar, int) override { ++shown[bar], open[bar] = true, position[bar] = 0; }
    void setPosition(int bar, int to) override { position[bar] = to; }
    void step(int bar, int by) override { position[bar] += by; }
    void close(int bar) override { open[bar] = false; }
};

TEST_F(StagePageTest, ErefSearchAdvancesTheProgressWindowAndClosesItOnEveryPath)
{
    TFormMain* m = create(0);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    RecordingReporter rec;
    C.progress = &rec;

    m->ButtonCalcH1Click();
    EXPECT_EQ(rec.shown[ProgressReporter::Main], 1);
    // E_ref stays 0 here: one curve, then the rest of the 1 meV phase's budget.
    ASSERT_EQ(C.referenceEnergy[0], 0);
    EXPECT_GE(rec.position[ProgressReporter::Main], 1000);
    EXPECT_FALSE(rec.open[0]);
    EXPECT_FALSE(rec.open[1]);

    C.functionType = 3;
    m->ButtonCalcH1Click();
    EXPECT_EQ(rec.shown[ProgressReporter::Main], 2);
    EXPECT_FALSE(rec.open[0]);
    EXPECT_FALSE(rec.open[1]);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// ---- peak steps ------------------------------------------------------------------------

TEST_F(StagePageTest, PeakStepsMoveToTheNeighbouringMaximumAndReleaseTheStagesCompensation)
{
    TFormMain* m = create(0);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    m->ButtonCalcH1Click();
    const int n = C.splineCount;
    const int start = C.peakIndex[0];
    const QVector<QPointF> curve = m->ChartH1->data(0);

    C.compensationFixed = 1;
    C.compensationStage = 0;
    m->ChartH1->addPoint(1, 300, 1); // a red line from before
    m->ButtonEvaluation1->setEnabled(false);
    m->MenuExcitedStates->setEnabled(true);
    m->ButtonIncreasePeakH1Click();
    EXPECT_EQ(C.compensationFixed, 0);
    EXPECT_EQ(m->ChartH1->count(1), 0);
    const int up = C.peakIndex[0];
    ASSERT_GT(up, start);
    if (up < n - 1) {
        EXPECT_GE(curve[up].y(), curve[up - 1].y());
        EXPECT_GE(curve[up].y(), curve[up + 1].y());
    }
    // Between the two peaks the curve has a valley.
    double valley = curve[start].y();
    for (int j = start; j <= up; ++j)
        valley = std::min(valley, curve[j].y());
    EXPECT_LT(valley, curve[start].y());
    expectPeakShown(m->ChartH1, m->LabelPeakT1, m->LabelPeakV1, 0);
    EXPECT_TRUE(m->ButtonEvaluation1->isEnabled());
    EXPECT_FALSE(m->MenuExcitedStates->isEnabled());
    EXPECT_FALSE(m->ButtonFineAdjustment->isEnabled());

    m->ButtonDecreasePeakH1Click();
    EXPECT_LT(C.peakIndex[0], up);
    expectPeakShown(m->ChartH1, m->LabelPeakT1, m->LabelPeakV1, 0);
}

TEST_F(StagePageTest, H2PeakStepsReleaseOnlyACompensationFixedByH2)
{
    TFormMain* m = create(0);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    m->ButtonCalcH1Click();
    m->ButtonEvaluation1Click();
    m->ButtonCalcH2Click(); // E_ref 0 with the peak above A_0/2: the window is halved
    m->ButtonCalcH2Click();
    ASSERT_TRUE(m->ButtonEvaluation2->isEnabled()) << script.lastText().toStdString();

    C.compensationFixed = 1;
    C.compensationStage = 0;
    m->ButtonIncreasePeakH2Click();
    EXPECT_EQ(C.compensationFixed, 1);
    C.compensationStage = 1;
    m->ButtonDecreasePeakH2Click();
    EXPECT_EQ(C.compensationFixed, 0);
    expectPeakShown(m->ChartH2, m->LabelPeakT2, m->LabelPeakV2, 1);
    EXPECT_TRUE(m->ButtonEvaluation2->isEnabled());
}

// ---- H2 and H3 ----------------------------------------------------------------------------

TEST_F(StagePageTest, H2WithZeroErefBelowH1PeakHalvesTheWindowAndCalculatesAgain)
{
    TFormMain* m = create(0);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    m->ButtonCalcH1Click();
    m->ButtonEvaluation1Click();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    m->ButtonCalcH2Click();
    ASSERT_EQ(C.referenceEnergy[1], 0);
    EXPECT_EQ(script.messages.size(), 1u);
    EXPECT_EQ(texts(Kind::Confirmation), QStringList({"Calculation of reasonable H2 is carried out again."}));
    EXPECT_EQ(C.h2WindowHalved, 1);
    EXPECT_TRUE(m->ButtonCalcH2->isEnabled());
    EXPECT_EQ(m->ButtonCalcH2->text(), "Calculation again");
    EXPECT_EQ(m->ChartH2->count(0), 0);
    expectIdle();

    script.messages.clear();
    m->ButtonCalcH2Click();
    // The halved window asks no question, whatever the new E_ref.
    EXPECT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(m->ButtonCalcH2->text(), "Calculation");
    EXPECT_TRUE(m->ButtonCalcH2->isEnabled());
    EXPECT_LE(C.peakIndex[1], C.fitStartIndex[0] / 2);
    ASSERT_EQ(m->ChartH2->count(0), C.splineCount);
    EXPECT_EQ(m->ChartH2->count(3), C.dataCount); // all points are reliable
    expectPeakShown(m->ChartH2, m->LabelPeakT2, m->LabelPeakV2, 1);
    EXPECT_NEAR(m->LabelEref2->text().toDouble(), C.referenceEnergy[1], 5e-7);
    EXPECT_TRUE(m->ButtonEvaluation2->isEnabled());
    EXPECT_TRUE(m->ButtonUseNegativeNcom->isEnabled());
    EXPECT_TRUE(m->ButtonSaveExperimentalH2Data->isEnabled());
    EXPECT_EQ(C.recalculationRequested, 0);
    expectIdle();
}

TEST_F(StagePageTest, H2SearchFailuresLeadToEvaluationHasBeenFinished)
{
    TFormMain* m = create(1);
    openStage1(m, copyExample("si_p_single.nT"));
    m->ButtonCalcH1Click();
    m->ButtonEvaluation1Click();
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();

    // A single species: H2 has no peak of its own. The search first halves
    // its window, then runs into the grid end and asks for the H1
    // compensating density, and finally gives up with the density fixed.
    m->ButtonCalcH2Click();
    m->ButtonCalcH2Click();
    EXPECT_EQ(texts(Kind::Confirmation), QStringList({"Calculation of reasonable H2 is carried out again.",
                                                      "Calculation of reasonable H2 is carried out again."}));
    EXPECT_EQ(C.recalculationRequested, 1);
    EXPECT_EQ(C.compensationFixed, 1);
    EXPECT_EQ(C.compensationStage, 0);
    EXPECT_DOUBLE_EQ(C.compensatingDensity, C.stageCompensatingDensity[0]);
    EXPECT_EQ(m->LabelComDensityH2->text(), "-3.53E+11");
    EXPECT_EQ(m->EditSCDensity->text(), m->LabelComDensityH2->text());
    EXPECT_TRUE(m->CheckBox4->isChecked());
    EXPECT_EQ(m->ButtonCalcH2->text(), "Calculation again");
    ASSERT_TRUE(m->ButtonCalcH2->isEnabled());

    script.messages.clear();
    m->ButtonCalcH2Click();
    EXPECT_EQ(texts(Kind::Confirmation), QStringList({"Evaluation has been finished!"}));
    EXPECT_FALSE(m->ButtonCalcH2->isEnabled());
    EXPECT_EQ(m->ButtonCalcH2->text(), "Calculation");
    EXPECT_EQ(C.recalculationRequested, 0);
    EXPECT_TRUE(m->CheckBox4->isChecked());
    expectIdle();
}

TEST_F(StagePageTest, H3SearchFailureIsReported)
{
    TFormMain* m = create(0);
    openStage1(m, copyExample("sic4h_n_two_donors.nT"));
    m->ButtonCalcH1Click();
    m->ButtonEvaluation1Click();
    m->ButtonCalcH2Click();
    m->ButtonCalcH2Click();
    m->ButtonEvaluation2Click();
    ASSERT_EQ(C.compensationStage, 1) << "H2 fixed its compensating density";
    script.messages.clear();

    m->ButtonCalcH3Click(); // only two species: E_ref runs to its bound
    EXPECT_EQ(texts(Kind::Error), QStringList({"Reasonable H3 could not be calculated."}));
    EXPECT_TRUE(m->ButtonCalcH3->isEnabled());
    EXPECT_EQ(m->ButtonCalcH3->text(), "Calculation");
    EXPECT_EQ(m->EditSCDensity->text(), "2.69E+14"); // fixed by H2
    EXPECT_TRUE(m->CheckBox4->isChecked());
    EXPECT_EQ(C.recalculationRequested, 0);
    expectIdle();
}

// The H2 question comes when H2 peaks below H1 with a positive E_ref. With
// the H1 peak moved down (as a peak step would), the H2 maximum at E_ref = 0
// lies above the window, so the search raises E_ref.
class RecalculationQuestionTest : public StagePageTest {
protected:
    TFormMain* m = nullptr;
    void SetUp() override
    {
        StagePageTest::SetUp();
        m = create(0);
        openStage1(m, copyExample("sic4h_p_al.pT"));
        m->ButtonCalcH1Click();
        m->ButtonEvaluation1Click();
        ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
        ASSERT_EQ(C.compensationStage, -1);
        ASSERT_NE(C.stageCompensatingDensity[0], 0);
        C.peakIndex[0] = C.splineCount * 2 / 5;
    }
    void calculateH2(bool answer)
    {
        script.yesNoAnswers.push_back(answer);
        m->ButtonCalcH2Click();
        ASSERT_GT(C.referenceEnergy[1], 0);
        ASSERT_LT(C.peakIndex[1], C.peakIndex[0]);
        ASSERT_EQ(script.messages.size(), 1u) << script.lastText().toStdString();
        EXPECT_EQ(script.messages[0].kind, Kind::Question);
        EXPECT_EQ(script.messages[0].text, kH2Question);
        EXPECT_TRUE(m->ButtonEvaluation2->isEnabled());
        EXPECT_TRUE(m->ButtonCalcH2->isEnabled());
    }
};

TEST_F(RecalculationQuestionTest, NoToTheH2QuestionLeavesEverythingAsItWas)
{
    const QString label = m->LabelComDensityH2->text();
    calculateH2(false);
    EXPECT_EQ(C.compensationFixed, 0);
    EXPECT_EQ(C.compensationStage, -1);
    EXPECT_EQ(C.compensatingDensity, 0);
    EXPECT_EQ(m->ButtonCalcH2->text(), "Calculation");
    EXPECT_EQ(m->LabelComDensityH2->text(), label);
    EXPECT_EQ(m->EditSCDensity->text(), "0");
    EXPECT_FALSE(m->CheckBox4->isChecked());
}

TEST_F(RecalculationQuestionTest, YesToTheH2QuestionFixesTheH1DensityForTheNextCalculation)
{
    calculateH2(true);
    const double h1 = C.stageCompensatingDensity[0];
    EXPECT_EQ(C.compensationFixed, 1);
    EXPECT_EQ(C.compensationStage, 0);
    EXPECT_DOUBLE_EQ(C.compensatingDensity, h1);
    EXPECT_EQ(m->ButtonCalcH2->text(), "Calculation again");
    EXPECT_EQ(m->LabelComDensityH2->text(), "-3.95E+15");
    EXPECT_EQ(m->EditSCDensity->text(), "-3.95E+15");
    EXPECT_TRUE(m->CheckBox4->isChecked());

    // "Calculation again" adds it: the curve starts above the H1 peak.
    script.messages.clear();
    m->ButtonCalcH2Click();
    EXPECT_DOUBLE_EQ(C.compensatingDensity, h1);
    EXPECT_EQ(C.hStartIndex, C.peakIndex[0]);
    ASSERT_EQ(static_cast<int>(C.hCurve[1].size()), C.splineCount);
    for (int j = 0; j < C.peakIndex[0]; j += 10)
        ASSERT_EQ(C.hCurve[1][j], 0) << j;
    EXPECT_TRUE(m->CheckBox4->isChecked());
    expectIdle();
}

// Stage 2 as an evaluation might leave it, with no species of its own, so
// that H3 repeats H2 and peaks below the H2 peak.
class H3QuestionTest : public RecalculationQuestionTest {
protected:
    void SetUp() override
    {
        RecalculationQuestionTest::SetUp();
        C.peakIndex[0] = C.peakIndex[1] = C.splineCount * 2 / 5;
        C.referenceEnergy[1] = C.referenceEnergy[0];
        C.density[1] = 0;
        C.energyLevel[1] = 0.1;
        C.stageCompensatingDensity[1] = 4e15;
    }
    void calculateH3(bool answer)
    {
        script.yesNoAnswers.push_back(answer);
        m->ButtonCalcH3Click();
        ASSERT_GT(C.referenceEnergy[2], 0);
        ASSERT_LT(C.peakIndex[2], C.peakIndex[1]);
        ASSERT_EQ(script.messages.size(), 1u) << script.lastText().toStdString();
        EXPECT_EQ(script.messages[0].kind, Kind::Question);
        EXPECT_EQ(script.messages[0].text, kH3Question);
        EXPECT_TRUE(m->ButtonCalcH3->isEnabled());
        EXPECT_TRUE(m->ButtonSaveExperimentalH3Data->isEnabled());
        expectPeakShown(m->ChartH3, m->LabelPeakT3, m->LabelPeakV3, 2);
    }
};

TEST_F(H3QuestionTest, NoLeavesTheCompensationOpen)
{
    calculateH3(false);
    EXPECT_EQ(C.compensationFixed, 0);
    EXPECT_EQ(C.compensationStage, -1);
    EXPECT_EQ(m->ButtonCalcH3->text(), "Calculation");
    EXPECT_FALSE(m->CheckBox4->isChecked());
}

TEST_F(H3QuestionTest, YesFixesTheH2Density)
{
    calculateH3(true);
    EXPECT_EQ(C.compensationFixed, 1);
    EXPECT_EQ(C.compensationStage, 1);
    EXPECT_DOUBLE_EQ(C.compensatingDensity, 4e15);
    EXPECT_EQ(m->ButtonCalcH3->text(), "Calculation again");
    EXPECT_EQ(m->LabelComDensityH3->text(), "4.00E+15");
    EXPECT_EQ(m->EditSCDensity->text(), "4.00E+15");
    EXPECT_TRUE(m->CheckBox4->isChecked());

    // The next click takes the H2 density again and searches with it.
    script.messages.clear();
    m->ButtonCalcH3Click();
    EXPECT_DOUBLE_EQ(C.compensatingDensity, 4e15);
    EXPECT_EQ(C.hStartIndex, C.peakIndex[1]);
    expectIdle();
}

} // namespace
