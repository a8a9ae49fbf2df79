// The best-model window driven as a user drives it: the batch program's
// --best-model writes the same bytes, a cancelled search keeps the results
// shown, and a simulation that misses the points offers the window.
#include "HallTestSupport.h"
#include "batch/Batch.h"
#include "bestmodel/BestModel.h"

#include <QTableWidget>
#include <QTimer>
#include <filesystem>
#include <sstream>

namespace fs = std::filesystem;

namespace {
class BestModelWindow : public MainWindowTest {
protected:
    testfiles::TempDir dir;
    BatchResult analyse(const char* example)
    {
        const fs::path data = dir.path() / example;
        fs::copy_file(testfiles::example(example), data, fs::copy_options::overwrite_existing);
        BatchOptions o;
        o.bestModel = true;
        o.quiet = true;
        std::ostringstream err;
        BatchResult r = runBatchFile(data.string(), o, err);
        EXPECT_EQ(r.status, 0) << r.failure << err.str();
        return r;
    }
};
} // namespace

TEST_F(BestModelWindow, SearchAndSaveWriteTheBatchBytesAndCancelKeepsTheResults)
{
    TFormMain* m = create(1);
    const BatchResult r = analyse("sic4h_n_two_donors.nT");
    ASSERT_TRUE(r.bestModel.done);
    const std::string mdl = r.files.back();
    const std::string byBatch = testfiles::readAll(mdl);
    fs::remove(mdl);

    m->MenuBestModelClick();
    TFormBestModel* w = FormBestModel;
    ASSERT_TRUE(w->isVisible());
    EXPECT_FALSE(w->ButtonSave->isEnabled());
    w->ButtonSearch->click();
    ASSERT_TRUE(w->selection().ok);
    EXPECT_EQ(w->GridSpecies->rowCount(), 3); // two species and the compensating density
    EXPECT_EQ(w->GridSpecies->item(0, 6)->text(), "determined");
    EXPECT_EQ(w->GridAlternatives->rowCount(), static_cast<int>(r.bestModel.alternatives.size()));
    EXPECT_EQ(w->ChartResidual->count(TFormBestModel::ResidualPoints), static_cast<int>(C.dataCount));
    EXPECT_GT(w->ChartFit->count(TFormBestModel::FitSpecies + 1), 0);
    EXPECT_EQ(w->ChartFit->count(TFormBestModel::FitSpecies + 2), 0);

    script.acceptProposedFile();
    w->ButtonSave->click();
    ASSERT_FALSE(script.fileDialogs.empty());
    EXPECT_EQ(script.fileDialogs.back().proposedName.toStdString(), mdl);
    EXPECT_TRUE(testfiles::readAll(mdl) == byBatch) << "the window's *.mdl differs from the batch's";
    EXPECT_FALSE(w->ButtonSave->isEnabled());

    // Cancel at the first progress step: the earlier model stays.
    const QString shown = w->GridSpecies->item(0, 1)->text();
    QTimer::singleShot(0, w->ButtonCancel, &QPushButton::click);
    w->ButtonSearch->click();
    EXPECT_TRUE(w->selection().ok);
    EXPECT_EQ(w->GridSpecies->item(0, 1)->text(), shown);
    EXPECT_TRUE(w->LabelStatus->text().startsWith("Search cancelled; the results of the last search stay."))
        << w->LabelStatus->text().toStdString();
    EXPECT_TRUE(w->ButtonSearch->isEnabled());
}

TEST_F(BestModelWindow, MissingSimulationOffersTheWindow)
{
    // si_p_single: the spectroscopy's default leaves a misfit above 20 %.
    TFormMain* m = create(1);
    const fs::path data = dir.path() / "si_p_single.nT";
    fs::copy_file(testfiles::example("si_p_single.nT"), data);
    BatchOptions o;
    o.quiet = true;
    std::ostringstream err;
    const BatchResult r = runBatchFile(data.string(), o, err);
    ASSERT_GT(r.largestDeviation, 0.2);
    m->setBestModelEnabled(true);
    script.yesNoAnswers.push_back(true);
    m->ButtonSimulationClick();
    bool asked = false;
    for (const ScriptedModal::Message& msg : script.messages)
        asked = asked || (msg.kind == ScriptedModal::Message::Question && msg.text.contains("Best Model"));
    EXPECT_TRUE(asked);
    EXPECT_TRUE(FormBestModel->isVisible());
}
