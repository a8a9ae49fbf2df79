// The windows of the conventional analyses driven as a user does it, their
// files compared line by line with those of vorn-batch for the same range.
#include "HallTestSupport.h"
#include "batch/Batch.h"
#include "analysis/base/NumberFormat.h"
#include "conventional/Conventionalanalysis.h"
#include "conventional/Conventionalanalysis2.h"
#include "conventional/Onedonoroneacceptorconfirmation.h"

#include <QDialog>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> fileLines(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    EXPECT_TRUE(in) << "cannot open " << p;
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

class ConventionalWindowTest : public MainWindowTest {
protected:
    testfiles::TempDir dir;

    fs::path copyExample(const char* name)
    {
        const fs::path to = dir.path() / name;
        fs::copy_file(testfiles::examplePath(name), to);
        return to;
    }
    // Data loaded, spline and Fermi level calculated and saved with the
    // proposed names: the conventional analyses are open.
    TFormMain* throughFermiLevel(const fs::path& data)
    {
        TFormMain* m = create(1);
        load(m, QString::fromStdString(data.string()));
        m->ButtonCalcSplineClick();
        script.acceptProposedFile();
        m->ButtonSaveSplineClick();
        m->ButtonCalcFermiLevelClick();
        EXPECT_FALSE(m->MenuInverseT->isEnabled());
        script.acceptProposedFile();
        m->ButtonSaveFermiLevelClick();
        EXPECT_TRUE(m->MenuInverseT->isEnabled());
        EXPECT_TRUE(m->MenuInverseTCom->isEnabled());
        return m;
    }
    // vorn-batch on the same data with `options`, then the file it wrote.
    std::vector<std::string> batchFile(const fs::path& data, BatchOptions o, const char* extension)
    {
        destroyForms();
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path() != data)
                fs::remove(e.path());
        std::ostringstream err;
        const BatchResult r = runBatchFile(data.string(), o, err);
        EXPECT_EQ(r.status, 0) << r.failure << "\n" << err.str();
        return fileLines(fs::path(Analysis::replaceExtension(data.string(), extension)));
    }
    static void expectSameLines(const std::vector<std::string>& window, const std::vector<std::string>& batch)
    {
        ASSERT_EQ(window.size(), batch.size());
        for (std::size_t i = 0; i < window.size(); ++i)
            EXPECT_EQ(window[i], batch[i]) << "line " << i + 1;
    }
};

std::string inverseT(double T) { return numfmt::pattern(1000 / T, "#0.000"); }

} // namespace

TEST_F(ConventionalWindowTest, OneImpurityEvaluatesSavesAndMatchesTheBatch)
{
    const fs::path data = copyExample("si_p_single.nT");
    TFormMain* m = throughFermiLevel(data);
    m->MenuInverseT->trigger();
    TFormConventionalAnalysis* w = FormConventionalAnalysis;
    ASSERT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "Only One Donor  (SYN-si_p_single)");
    EXPECT_EQ(w->LabelSampleNumber->text(), "SYN-si_p_single");
    EXPECT_EQ(w->LabelA->text().toStdString(), numfmt::pattern(std::sqrt(0.5 * C.dos0), "0.0E+00"));
    EXPECT_EQ(w->ChartConventionalAnalysis1->leftTitle(), "n(T)/T^3/4  [cm^-3 K^-0.75]");
    const int last = C.dataCount - 1;
    EXPECT_EQ(w->LabelLow->text().toStdString(), inverseT(C.temperature[last]));
    EXPECT_EQ(w->ChartConventionalAnalysis1->count(TFormConventionalAnalysis::MeasuredSeries), C.dataCount);
    EXPECT_FALSE(w->MenuSave->isEnabled());

    // The freeze-out range 45 .. 75 K: indices 3 .. 9.
    for (int i = 0; i < 3; ++i)
        w->ButtonDecreaseHighClick();
    for (int i = 0; i < last - 9; ++i)
        w->ButtonIncreaseLowClick();
    ASSERT_EQ(w->state().range.IndexLowestT, 3);
    ASSERT_EQ(w->state().range.IndexHighestT, 9);
    EXPECT_EQ(w->LabelHigh->text().toStdString(), inverseT(45));
    EXPECT_EQ(w->LabelLow->text().toStdString(), inverseT(75));
    EXPECT_EQ(w->ChartConventionalAnalysis1->data(TFormConventionalAnalysis::LowBoundSeries).front().x(), 1000 / 75.0);
    w->ButtonAnalysisClick();
    ASSERT_TRUE(w->MenuSave->isEnabled());
    EXPECT_EQ(w->LabelEnergyLevel->text().toStdString(), numfmt::pattern(w->state().energyLevel, "0.####"));
    EXPECT_EQ(w->LabelComment[0]->text().toStdString(), w->state().comments[0]);
    EXPECT_EQ(w->ChartConventionalAnalysis1->count(TFormConventionalAnalysis::FitSeries), 2);
    EXPECT_GT(w->ChartConventionalAnalysis2->count(TFormConventionalAnalysis::SimulationSeries), 100);

    // A save that fails is reported naming the file and changes nothing.
    const QString unwritable = QString::fromStdString((dir.path() / "missing" / "a.CNO").string());
    script.answerFile(unwritable);
    w->SaveClick();
    ASSERT_FALSE(script.messages.empty());
    EXPECT_TRUE(script.lastText().contains(unwritable)) << script.lastText().toStdString();
    EXPECT_TRUE(w->MenuSave->isEnabled());
    EXPECT_FALSE(w->ButtonSaveFigure1->isEnabled());

    script.acceptProposedFile();
    w->SaveClick();
    const QString cno = QString::fromStdString(Analysis::replaceExtension(data.string(), ".CNO"));
    EXPECT_EQ(script.fileDialogs.back().proposedName, cno);
    EXPECT_EQ(script.fileDialogs.back().filter, TFormConventionalAnalysis::SaveFilter);
    EXPECT_FALSE(w->MenuSave->isEnabled());
    ASSERT_TRUE(w->ButtonSaveFigure2->isEnabled());
    script.acceptProposedFile();
    w->ButtonSaveFigure2Click();
    EXPECT_EQ(script.fileDialogs.back().proposedName,
              QString::fromStdString(Analysis::replaceExtension(data.string(), "CNO2.bmp")));
    EXPECT_EQ(script.fileDialogs.back().filterIndex, 3);
    EXPECT_FALSE(w->ButtonSaveFigure2->isEnabled());
    EXPECT_TRUE(fs::exists(Analysis::replaceExtension(data.string(), "CNO2.bmp")));

    // A bound move returns the results to 0 and keeps the simulated curve.
    w->ButtonIncreaseHighClick();
    EXPECT_EQ(w->LabelEnergyLevel->text(), "0");
    EXPECT_FALSE(w->MenuSave->isEnabled());
    EXPECT_GT(w->ChartConventionalAnalysis2->count(TFormConventionalAnalysis::SimulationSeries), 100);

    const std::vector<std::string> window = fileLines(cno.toStdString());
    EXPECT_EQ(window[27], "% Lowest temperature [K]: 45\r");
    EXPECT_EQ(window[28], "% Index Of lowest temperature: 3\r");
    BatchOptions o;
    o.oneImpurity = true;
    o.oneImpurityRange = {true, 45, 75};
    expectSameLines(window, batchFile(data, o, ".CNO"));
}

TEST_F(ConventionalWindowTest, DonorAcceptorAsksForTheNetDensityConfirmsAndMatchesTheBatch)
{
    const fs::path data = copyExample("si_p_single.nT");
    TFormMain* m = throughFermiLevel(data);
    m->MenuInverseTCom->trigger();
    TFormConventionalAnalysis2* w = FormConventionalAnalysis2;
    ASSERT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "One Donor and One acceptor  (SYN-si_p_single)");
    const int last = C.dataCount - 1;
    EXPECT_EQ(w->EditNetDensity->text().toStdString(), numfmt::pattern(C.concentration[last], "0.00E-00"));
    EXPECT_EQ(w->LabelDegeneracy->text(), "2");
    EXPECT_EQ(w->LabelG->text(), "");

    struct Typed {
        const char* text;
        ScriptedModal::Message::Kind kind;
        QString message;
    } refused[] = {
        {"0", ScriptedModal::Message::Error, "Please input the net density."},
        {"1e12", ScriptedModal::Message::Error, "Please input a large number as the net density."},
        {"abc", ScriptedModal::Message::ConversionError, ""},
    };
    for (const Typed& t : refused) {
        w->EditNetDensity->setText(t.text);
        script.messages.clear();
        w->ButtonEvaluationClick();
        ASSERT_EQ(script.messages.size(), 1u) << t.text;
        EXPECT_EQ(script.messages[0].kind, t.kind);
        if (!t.message.isEmpty()) {
            EXPECT_EQ(script.messages[0].text, t.message);
        }
        EXPECT_FALSE(w->ButtonSave->isEnabled());
    }

    // The range without the two highest temperatures, the true net density.
    w->ButtonIncreaseLowClick();
    w->ButtonIncreaseLowClick();
    EXPECT_EQ(w->LabelLow->text().toStdString(), inverseT(C.temperature[last - 2]));
    w->EditNetDensity->setText("9.9e15");
    script.messages.clear();
    w->ButtonEvaluationClick();
    EXPECT_TRUE(script.messages.empty());
    ASSERT_EQ(script.windowsShown.size(), 1u);
    EXPECT_EQ(script.windowsShown[0], "FormOneDonorOneAcceptorConfirmation");
    EXPECT_EQ(FormOneDonorOneAcceptorConfirmation->LabelConnect->text(), "and");
    ASSERT_TRUE(w->ButtonSave->isEnabled());
    EXPECT_EQ(w->LabelAcceptorDensity->text().toStdString(),
              numfmt::pattern(w->state().compensatingDensity, "0.00000000E+00"));
    EXPECT_EQ(w->ChartCAWithCom2->count(TFormConventionalAnalysis2::FitSeries), 2);
    EXPECT_GT(w->ChartCAWithCom1->count(TFormConventionalAnalysis2::SimulationSeries), 100);

    script.acceptProposedFile();
    w->ButtonSaveClick();
    EXPECT_FALSE(w->ButtonSave->isEnabled());
    EXPECT_TRUE(w->ButtonSaveFigure1->isEnabled());
    script.acceptProposedFile();
    w->ButtonSaveFigure1Click();
    EXPECT_EQ(script.fileDialogs.back().proposedName,
              QString::fromStdString(Analysis::replaceExtension(data.string(), "CNC1.bmp")));

    const std::vector<std::string> window = fileLines(Analysis::replaceExtension(data.string(), ".CNC"));
    BatchOptions o;
    o.netDensity = 9.9e15;
    o.donorAcceptorRange = {true, C.temperature[0], C.temperature[last - 2]};
    expectSameLines(window, batchFile(data, o, ".CNC"));
}

TEST_F(ConventionalWindowTest, PTypeSampleShowsTheAcceptorForms)
{
    const fs::path data = copyExample("sic4h_p_al.pT");
    TFormMain* m = throughFermiLevel(data);
    m->MenuInverseT->trigger();
    TFormConventionalAnalysis* one = FormConventionalAnalysis;
    EXPECT_TRUE(one->windowTitle().startsWith("Only One Acceptor  ("));
    EXPECT_TRUE(one->PanelPType->isVisibleTo(one));
    EXPECT_FALSE(one->PanelNType->isVisibleTo(one));
    EXPECT_EQ(one->ChartConventionalAnalysis2->leftTitle(), "p(T)  [cm^-3]");
    EXPECT_EQ(one->LabelAp->text().toStdString(), numfmt::pattern(0.5 * std::sqrt(C.dos0), "0.0E+00"));

    m->MenuInverseTCom->trigger();
    TFormConventionalAnalysis2* two = FormConventionalAnalysis2;
    EXPECT_EQ(two->LabelDegeneracy->text(), "4");
    EXPECT_FALSE(two->PanelMinima->isVisibleTo(two));
    EXPECT_TRUE(two->ImageFactorP->isVisibleTo(two));
    two->EditNetDensity->setText("2e17");
    two->ButtonEvaluationClick();
    ASSERT_EQ(script.windowsShown.size(), 1u);
    EXPECT_EQ(FormOneDonorOneAcceptorConfirmation->LabelConnect->text(), ".");
    EXPECT_FALSE(FormOneDonorOneAcceptorConfirmation->ImageMinima->isVisibleTo(FormOneDonorOneAcceptorConfirmation));
}
