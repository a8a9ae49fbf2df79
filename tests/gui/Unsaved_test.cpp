// Nothing is lost without a question: unsaved results before the analysis is
// replaced, typed data before a window closes, edits of the file viewer; a
// file that fails to load leaves the sample in use; the status bar says what
// is true after each button.
#include "HallTestSupport.h"
#include "input/Datasheet.h"
#include "utilities/Editor.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <functional>

namespace {

using Unsaved = ModalInterface::Unsaved;

class UnsavedTest : public MainWindowTest {
protected:
    QTemporaryDir dir;
    QString copy(const char* name)
    {
        const QString to = dir.filePath(name);
        QFile::remove(to);
        EXPECT_TRUE(QFile::copy(example(name), to)) << name;
        return to;
    }
    int questions() const { return script.texts(ScriptedModal::Message::UnsavedQuestion).size(); }
};

} // namespace

TEST_F(UnsavedTest, ReplacingUnsavedResultsAsksFirst)
{
    struct Case {
        const char* what;
        Unsaved answer;
        // The action; true when it replaced the analysis.
        std::function<bool(TFormMain*, const QString& other)> act;
    };
    const auto allClear = [](TFormMain* m, const QString&) {
        m->MenuAllClear->trigger();
        return C.dataCount == 0;
    };
    const auto loadOther = [this](TFormMain* m, const QString& other) {
        script.answerFile(other);
        m->ButtonLoadExperimentalClick();
        return C.experimentalDataFileName == other.toStdString();
    };
    const auto quit = [](TFormMain* m, const QString&) { return m->close(); };
    const Case cases[] = {
        {"All Clear", Unsaved::Cancel, allClear},  {"All Clear", Unsaved::Discard, allClear},
        {"All Clear", Unsaved::Save, allClear},    {"Load Data", Unsaved::Cancel, loadOther},
        {"Load Data", Unsaved::Discard, loadOther}, {"Load Data", Unsaved::Save, loadOther},
        {"closing", Unsaved::Cancel, quit},        {"closing", Unsaved::Discard, quit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + " answered " + std::to_string(int(c.answer)));
        script.fileAnswers.clear();
        TFormMain* m = create(1);
        const QString data = copy("si_p_single.nT");
        const QString other = copy("gaas_n_shallow.nT");
        load(m, data);
        m->ButtonCalcSplineClick();
        ASSERT_TRUE(m->ButtonSaveSpline->isEnabled());
        const QString spl = dir.filePath("si_p_single.spl");
        QFile::remove(spl);
        script.messages.clear();
        script.unsavedAnswers = {c.answer};
        if (c.answer == Unsaved::Save)
            script.acceptProposedFile(); // the spline's own save dialog
        const bool replaced = c.act(m, other);
        EXPECT_EQ(questions(), 1);
        EXPECT_EQ(replaced, c.answer != Unsaved::Cancel);
        EXPECT_EQ(QFile::exists(spl), c.answer == Unsaved::Save);
        if (c.answer == Unsaved::Cancel) {
            EXPECT_EQ(C.experimentalDataFileName, data.toStdString());
            EXPECT_GT(m->ChartExperimentalLog->count(1), 0);
        }
        destroyForms();
    }

    // Everything saved: nothing to ask.
    TFormMain* m = create(1);
    load(m, copy("si_p_single.nT"));
    script.messages.clear();
    m->MenuAllClear->trigger();
    EXPECT_EQ(questions(), 0);
    EXPECT_EQ(C.dataCount, 0);
}

TEST_F(UnsavedTest, AFileThatFailsToLoadLeavesTheSampleInUse)
{
    TFormMain* m = create(1);
    const QString data = copy("si_p_single.nT");
    load(m, data);
    m->ButtonCalcSpline->click();
    const int points = C.dataCount;
    const int spline = m->ChartExperimentalLog->count(1);
    const QString status = m->statusBar()->currentMessage();
    const QString broken = dir.filePath("broken.nT");
    QFile f(broken);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("% not a data file\r\n");
    f.close();
    script.messages.clear();
    script.unsavedAnswers = {Unsaved::Discard};
    script.answerFile(broken);
    m->ButtonLoadExperimental->click();
    EXPECT_EQ(script.texts(ScriptedModal::Message::Error).size(), 1);
    EXPECT_EQ(C.experimentalDataFileName, data.toStdString());
    EXPECT_EQ(C.dataCount, points);
    EXPECT_EQ(m->ChartExperimentalLog->count(1), spline);
    EXPECT_TRUE(m->ButtonSaveSpline->isEnabled());
    EXPECT_EQ(m->statusBar()->currentMessage(), status);
}

TEST_F(UnsavedTest, TheDataSheetKeepsTypedDataAndEveryDigit)
{
    TFormMain* m = create(1);
    load(m, copy("si_p_single.nT"));
    // Values with more digits than the file's usual six.
    C.temperature[0] = 0.1 + 0.2 + C.temperature[0];
    C.concentration[0] = 4.13876543210987e16;
    const DoubleArray t = C.temperature, n = C.concentration, r = C.reliability;
    FormDataSheet->prepare();
    FormDataSheet->show();

    // Esc (reject) with nothing typed closes without a question.
    FormDataSheet->reject();
    EXPECT_FALSE(FormDataSheet->isVisible());
    EXPECT_EQ(questions(), 0);

    FormDataSheet->prepare();
    FormDataSheet->show();
    FormDataSheet->StringGridData->item(1, 2)->setText("0.5");
    script.unsavedAnswers = {Unsaved::Cancel, Unsaved::Discard};
    FormDataSheet->reject();
    EXPECT_TRUE(FormDataSheet->isVisible());
    FormDataSheet->reject();
    EXPECT_FALSE(FormDataSheet->isVisible());
    EXPECT_EQ(questions(), 2);

    // "Clear Data" asks; No keeps the points.
    FormDataSheet->prepare();
    script.yesNoAnswers = {false};
    FormDataSheet->ButtonClearDataClick();
    EXPECT_FALSE(FormDataSheet->cell(0, 1).isEmpty());

    // Saved unchanged and loaded again: bit for bit, under the sample's name.
    const QString saved = dir.filePath("again.nT");
    script.answerFile(saved);
    FormDataSheet->ButtonSaveExperimentalDataClick();
    const QString proposed = script.fileDialogs.back().proposedName;
    EXPECT_TRUE(proposed.startsWith(dir.path() + "/") && proposed.endsWith(".nT") && !proposed.contains('*'))
        << proposed.toStdString();
    Analysis back;
    ASSERT_TRUE(back.loadExperimentalData(saved.toStdString()).ok);
    EXPECT_EQ(back.temperature, t);
    EXPECT_EQ(back.concentration, n);
    EXPECT_EQ(back.reliability, r);
}

TEST_F(UnsavedTest, TheFileViewerAsksBeforeDroppingEdits)
{
    create(1);
    FormEditor->prepare();
    FormEditor->show();
    FormEditor->RichEditEditor->setPlainText("typed by hand");
    script.unsavedAnswers = {Unsaved::Cancel, Unsaved::Discard};
    FormEditor->reject();
    EXPECT_TRUE(FormEditor->isVisible());
    EXPECT_EQ(FormEditor->RichEditEditor->toPlainText(), "typed by hand");
    FormEditor->reject();
    EXPECT_FALSE(FormEditor->isVisible());
    EXPECT_EQ(questions(), 2);
}

TEST_F(UnsavedTest, StatusBarAfterACalculationOfAStage)
{
    TFormMain* m = create(1);
    load(m, copy("si_p_single.nT"));
    m->ButtonCalcSpline->click();
    script.acceptProposedFile();
    m->ButtonSaveSpline->click();
    m->ButtonCalcFermiLevel->click();
    script.acceptProposedFile();
    m->ButtonSaveFermiLevel->click();
    m->ButtonCalcH1->click();
    const QString status = m->statusBar()->currentMessage();
    EXPECT_TRUE(status.startsWith("H1 calculated")) << status.toStdString();
    EXPECT_FALSE(status.contains("evaluated")) << status.toStdString();
    EXPECT_FALSE(m->ButtonSaveH1->isEnabled());
    if (m->ButtonEvaluation1->isEnabled()) {
        m->ButtonEvaluation1->click();
        EXPECT_TRUE(m->statusBar()->currentMessage().startsWith("H1 evaluated: save"))
            << m->statusBar()->currentMessage().toStdString();
    }
}
