// The curve-fitting window driven as a user drives it, and the batch
// program's --fit writing the same bytes.
#include "HallTestSupport.h"
#include "batch/Batch.h"
#include "curvefit/Curvefitting.h"

#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class CurveFittingWindow : public MainWindowTest {
protected:
    testfiles::TempDir dir;

    // The pipeline up to the saved simulation (the batch program writes what
    // the clicks write), with or without its own curve fitting.
    BatchResult analyse(const char* example, bool fit, bool precise)
    {
        const fs::path data = dir.path() / example;
        fs::copy_file(testfiles::example(example), data, fs::copy_options::overwrite_existing);
        BatchOptions o;
        o.fit = fit;
        o.fitPrecise = precise;
        o.quiet = true;
        std::ostringstream err;
        BatchResult r = runBatchFile(data.string(), o, err);
        EXPECT_EQ(r.status, 0) << r.failure << err.str();
        return r;
    }
    TFormCurveFitting* open(TFormMain* m)
    {
        m->ButtonFineAdjustmentClick();
        EXPECT_TRUE(FormCurveFitting->isVisible());
        return FormCurveFitting;
    }
    static QPointF marker(TFormCurveFitting* w, int series)
    {
        const QVector<QPointF>& d = w->ChartCurveFitting->data(series);
        return d.size() == 1 ? d[0] : QPointF(-1, -1);
    }
};

} // namespace

TEST_F(CurveFittingWindow, PressesAndSaveWriteTheBatchBytes)
{
    struct Case {
        const char* example;
        bool precise;
    } cases[] = {{"sic4h_n_deep_visible.nT", false}, {"sic4h_n_two_donors.nT", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.example);
        TFormMain* m = create(1);
        const BatchResult r = analyse(c.example, true, c.precise);
        ASSERT_TRUE(r.fit.done);
        const std::string cft = r.files.back();
        const std::string byBatch = testfiles::readAll(cft);
        fs::remove(cft);

        TFormCurveFitting* w = open(m);
        w->CheckBoxPrecise->setChecked(c.precise);
        int presses = 0;
        while (w->ButtonCurveFitting->isEnabled() && presses < 20) {
            w->ButtonCurveFitting->click();
            ++presses;
        }
        EXPECT_EQ(presses, r.fit.presses);
        EXPECT_EQ(w->ButtonCurveFitting->text(), QString("Curve Fitting %1 times").arg(r.fit.times));
        EXPECT_EQ(w->ChartCurveFitting->count(TFormCurveFitting::CurveFit), static_cast<int>(C.splineCount));
        // "± ..." beside the fitted rows, nothing beside the others.
        for (std::size_t k = 0; k < 3; ++k)
            EXPECT_EQ(w->LabelErrorEnergy[k]->text().startsWith(QString::fromUtf8("\xC2\xB1 ")),
                      k < r.fit.species.size())
                << k << ": " << w->LabelErrorEnergy[k]->text().toStdString();
        EXPECT_TRUE(w->LabelErrorCDensity->text().startsWith(QString::fromUtf8("\xC2\xB1 ")));

        script.acceptProposedFile();
        w->ButtonSave->click();
        ASSERT_FALSE(script.fileDialogs.empty());
        EXPECT_EQ(script.fileDialogs.back().proposedName.toStdString(), cft);
        EXPECT_EQ(script.fileDialogs.back().filterIndex, 1);
        EXPECT_TRUE(testfiles::readAll(cft) == byBatch) << "the window's *.cft differs from the batch's";
        EXPECT_EQ(w->LabelFileName->text().toStdString(), cft);
        destroyForms();
    }
}

TEST_F(CurveFittingWindow, RangeFieldsFiguresAndMessages)
{
    TFormMain* m = create(1);
    analyse("sic4h_n_two_donors.nT", false, false);
    TFormCurveFitting* w = open(m);
    const curvefit::Session& s = w->session();
    const int M = s.pointCount();
    ASSERT_GE(M, 4);
    EXPECT_EQ(w->ChartCurveFitting->count(TFormCurveFitting::CurveMeasured), M);
    EXPECT_EQ(w->ChartSimulation->count(TFormCurveFitting::SimLine), C.splineCount);
    EXPECT_FALSE(w->donorPictures.front()->isHidden());
    EXPECT_TRUE(w->acceptorPictures.front()->isHidden());
    EXPECT_EQ(w->ChartSimulation->leftTitle(), "Electron Concentration  [cm^-3]");
    EXPECT_EQ(w->EditCFEnergy[0]->text(), w->LabelEnergy[0]->text());
    EXPECT_TRUE(w->CheckBoxUse[1]->isChecked());
    EXPECT_FALSE(w->ButtonSave->isEnabled());

    // The markers follow the range buttons; the range keeps two points.
    struct Step {
        QPushButton* button;
        int lo, hi;
    } steps[] = {
        {w->ButtonIncreaseLow, 1, M - 1}, {w->ButtonDecreaseHigh, 1, M - 2}, {w->ButtonDecreaseLow, 0, M - 2},
        {w->ButtonIncreaseHigh, 0, M - 1}, {w->ButtonIncreaseHigh, 0, M - 1}, {w->ButtonDecreaseLow, 0, M - 1},
    };
    for (const Step& st : steps) {
        st.button->click();
        EXPECT_EQ(marker(w, TFormCurveFitting::CurveLow), QPointF(1000 / s.T[st.lo], s.n[st.lo]));
        EXPECT_EQ(marker(w, TFormCurveFitting::CurveHigh), QPointF(1000 / s.T[st.hi], s.n[st.hi]));
    }

    // A field that is not a number: the conversion error, nothing changes.
    w->EditCFDensity[1]->setText("4e16x");
    w->ButtonCurveFitting->click();
    EXPECT_EQ(script.texts(ScriptedModal::Message::ConversionError).size(), 1);
    EXPECT_TRUE(w->ButtonCurveFitting->isEnabled());
    EXPECT_FALSE(w->ButtonSave->isEnabled());
    w->ButtonInitializeClick();
    EXPECT_EQ(w->EditCFDensity[1]->text(), w->LabelDensity[1]->text());

    w->ButtonIncreaseLow->click();
    w->ButtonCurveFitting->click();
    EXPECT_TRUE(w->ButtonSave->isEnabled());
    EXPECT_FALSE(w->ButtonSaveFigureSim->isEnabled());
    EXPECT_GT(w->ChartCurveFitting->count(TFormCurveFitting::CurveFit), 0);
    const QString cft = QString::fromStdString((dir.path() / "fit.cft").string());
    script.answerFile(cft);
    w->ButtonSave->click();
    EXPECT_TRUE(w->ButtonSaveFigureSim->isEnabled() && w->ButtonSaveFigureCurve->isEnabled());
    EXPECT_NE(testfiles::readAll(cft.toStdString()).find("% Lowest Temperature for curve fitting [K] : 85\r\n"),
              std::string::npos);

    script.acceptProposedFile();
    w->ButtonSaveFigureCurve->click();
    EXPECT_EQ(script.fileDialogs.back().proposedName, QString::fromStdString((dir.path() / "fitCurve.bmp").string()));
    EXPECT_EQ(script.fileDialogs.back().filterIndex, 2);
    EXPECT_TRUE(fs::exists(dir.path() / "fitCurve.bmp"));
    EXPECT_FALSE(w->ButtonSaveFigureCurve->isEnabled());
    EXPECT_TRUE(w->ButtonSaveFigureSim->isEnabled());

    // A save that fails is reported; the file written before survives.
    const std::string before = testfiles::readAll(cft.toStdString());
    w->ButtonInitialize->click();
    w->ButtonCurveFitting->click();
    script.answerFile(QString::fromStdString((dir.path() / "no/fit.cft").string()));
    w->ButtonSave->click();
    EXPECT_TRUE(script.lastText().contains("no/fit.cft"));
    EXPECT_EQ(testfiles::readAll(cft.toStdString()), before);

    // Print: the printer set-up cancelled prints nothing.
    w->ButtonPrint->click();
    EXPECT_EQ(script.printerDialogs, 1);
}

TEST_F(CurveFittingWindow, FewerThanTwoReliablePoints)
{
    TFormMain* m = create(1);
    analyse("si_p_single.nT", false, false);
    for (std::size_t i = 1; i < C.reliability.size(); ++i)
        C.reliability[i] = 0.9;
    TFormCurveFitting* w = open(m);
    ASSERT_EQ(script.texts(ScriptedModal::Message::Error).size(), 1);
    EXPECT_TRUE(script.lastText().contains("at least two experimental points"));
    EXPECT_FALSE(w->ButtonCurveFitting->isEnabled());
    w->ButtonInitialize->click();
    w->ButtonIncreaseHigh->click();
    EXPECT_FALSE(w->ButtonCurveFitting->isEnabled());
    EXPECT_EQ(w->ChartCurveFitting->count(TFormCurveFitting::CurveLow), 0);
}
