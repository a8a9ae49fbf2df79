// The windows of the spectroscopy results: obtained results, remarks and the
// two progress windows with the progress reporter.
#include "analysis/data/Analysis.h"
#include "app/Forms.h"
#include "toolkit/Modal.h"
#include "spectroscopy/Detailedprogressreport.h"
#include "spectroscopy/Obtainedresults.h"
#include "spectroscopy/Progressreport.h"
#include "toolkit/ProgressWindows.h"
#include "spectroscopy/Remarks.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

struct Scripted {
    ScriptedModal s;
    Scripted() { setModal(&s); }
    ~Scripted() { setModal(nullptr); }
};

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList expectedLines()
{
    QStringList out;
    for (const std::string& l : C.obtainedResultsLines())
        out << QString::fromStdString(l);
    return out;
}

void fillResults(const QString& dir)
{
    C.resetAll();
    C.versionInformation = "Version 1.7.1 (2017/8/23)";
    C.sampleNumber = "A-17";
    C.experimentalDataFileName = (dir + "/a17.nT").toStdString();
    C.fermiLevelFileName = (dir + "/a17.fl").toStdString();
    C.density[0] = 2.345e16;
    C.energyLevel[0] = 0.04449;
    C.compensatingDensity = 1e14;
}

} // namespace

// ---- obtained results ----------------------------------------------------------

TEST(ObtainedResultsWindow, CreatedWithLabelsAndRefilledFromTheAnalysis)
{
    QTemporaryDir dir;
    fillResults(dir.path());
    TFormObtainedResults w;
    EXPECT_EQ(w.windowTitle(), "Obtained Results");
    EXPECT_TRUE(w.RichEditResults->isReadOnly());
    QStringList labels = w.lines();
    ASSERT_EQ(labels.size(), 21);
    EXPECT_EQ(labels[14], "First Density:                   ");
    EXPECT_EQ(labels[20], "Conpensating Density:            ");

    w.prepare();
    EXPECT_EQ(w.lines(), expectedLines());
    EXPECT_EQ(w.lines()[14], "First Density:                   2.35E+16 cm^-3");
    EXPECT_EQ(w.lines()[15], "First Energy Level:              0.0445 eV");
    EXPECT_EQ(w.lines()[3], "Sample Number:             A-17");

    // A refill replaces the lines instead of appending.
    C.density[0] = 5e15;
    w.prepare();
    EXPECT_EQ(w.lines().size(), 21);
    EXPECT_EQ(w.lines()[14], "First Density:                   5.00E+15 cm^-3");

    w.clearText();
    EXPECT_TRUE(w.lines().isEmpty());
    C.resetAll();
}

TEST(ObtainedResultsWindow, SaveWritesTheLinesWithCrLfAndShowsThePath)
{
    QTemporaryDir dir;
    fillResults(dir.path());
    TFormObtainedResults w;
    w.prepare();
    EXPECT_FALSE(w.isTextSaved());
    Scripted sc;

    sc.s.cancelFile();
    w.ToolButtonSave->click();
    ASSERT_EQ(sc.s.fileDialogs.size(), 1u);
    EXPECT_TRUE(sc.s.fileDialogs[0].save);
    EXPECT_EQ(sc.s.fileDialogs[0].filter,
              "Obtained Results (*.datH, *.datS)|*.datH;*.datS|All Files (*.*)|*.*");
    EXPECT_EQ(sc.s.fileDialogs[0].filterIndex, 1);
    EXPECT_EQ(sc.s.fileDialogs[0].proposedName, dir.path() + "/a17.datH");
    EXPECT_EQ(w.windowTitle(), "Obtained Results");
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/a17.datH"));

    sc.s.acceptProposedFile();
    w.ToolButtonSave->click();
    const QString path = dir.path() + "/a17.datH";
    const QByteArray content = readFile(path);
    EXPECT_EQ(content, (expectedLines().join("\r\n") + "\r\n").toUtf8());
    EXPECT_EQ(content.count("\n"), 21);
    EXPECT_EQ(content.count("\r\n"), 21);
    EXPECT_EQ(w.windowTitle(), path);
    EXPECT_EQ(w.savedPath(), path);
    EXPECT_TRUE(w.isTextSaved());
    EXPECT_TRUE(sc.s.messages.empty());

    // The next refill keeps the caption; the text is changed, not saved.
    w.prepare();
    EXPECT_EQ(w.windowTitle(), path);
    EXPECT_FALSE(w.isTextSaved());

    // The S function proposes *.datS.
    C.functionType = 1;
    sc.s.cancelFile();
    w.ToolButtonSave->click();
    EXPECT_EQ(sc.s.fileDialogs.back().proposedName, dir.path() + "/a17.datS");

    // A name typed without extension gets the default one.
    sc.s.answerFile(dir.path() + "/summary");
    w.ToolButtonSave->click();
    EXPECT_TRUE(QFileInfo::exists(dir.path() + "/summary.dat"));
    EXPECT_EQ(w.windowTitle(), dir.path() + "/summary.dat");
    C.resetAll();
}

TEST(ObtainedResultsWindow, UnwritableFileShowsErrorAndKeepsEverything)
{
    QTemporaryDir dir;
    fillResults(dir.path());
    TFormObtainedResults w;
    w.prepare();
    Scripted sc;
    sc.s.answerFile(dir.path() + "/first.datH");
    w.ToolButtonSave->click();
    ASSERT_EQ(w.windowTitle(), dir.path() + "/first.datH");

    w.prepare();
    const QString bad = dir.path() + "/no/such/folder/x.datH";
    sc.s.answerFile(bad);
    w.ToolButtonSave->click();
    ASSERT_EQ(sc.s.texts(ScriptedModal::Message::Error).size(), 1);
    EXPECT_TRUE(sc.s.texts(ScriptedModal::Message::Error)[0].contains(bad))
        << sc.s.texts(ScriptedModal::Message::Error)[0].toStdString();
    EXPECT_FALSE(w.isTextSaved());
    EXPECT_EQ(w.windowTitle(), dir.path() + "/first.datH");
    EXPECT_EQ(w.savedPath(), dir.path() + "/first.datH");
    EXPECT_FALSE(QFileInfo::exists(bad));
    C.resetAll();
}

TEST(ObtainedResultsWindow, ResetWindowForgetsTheSavedFile)
{
    QTemporaryDir dir;
    fillResults(dir.path());
    TFormObtainedResults w;
    w.prepare();
    Scripted sc;
    sc.s.acceptProposedFile();
    w.ToolButtonSave->click();
    ASSERT_EQ(w.savedPath(), dir.path() + "/a17.datH");

    w.clearText();
    w.resetWindow();
    EXPECT_EQ(w.windowTitle(), "Obtained Results");
    EXPECT_EQ(w.savedPath(), "");
    ASSERT_EQ(w.lines().size(), 21);
    EXPECT_EQ(w.lines()[14], "First Density:                   ");
    C.resetAll();
}

TEST(ObtainedResultsWindow, PrintRunsPrinterSetupAndPrintsOnlyWhenConfirmed)
{
    QTemporaryDir dir;
    fillResults(dir.path());
    TFormObtainedResults w;
    w.prepare();
    const QString pdf = dir.path() + "/print.pdf";
    w.printer()->setOutputFormat(QPrinter::PdfFormat);
    w.printer()->setOutputFileName(pdf);
    Scripted sc;

    sc.s.printerAnswer = false;
    w.ToolButtonPrint->click();
    EXPECT_EQ(sc.s.printerDialogs, 1);
    EXPECT_FALSE(QFileInfo::exists(pdf));

    sc.s.acceptProposedFile();
    w.ToolButtonSave->click();
    sc.s.printerAnswer = true;
    w.ToolButtonPrint->click();
    EXPECT_EQ(sc.s.printerDialogs, 2);
    EXPECT_EQ(w.printer()->docName(), dir.path() + "/a17.datH");
    EXPECT_TRUE(readFile(pdf).startsWith("%PDF"));
    C.resetAll();
}

// ---- remarks -------------------------------------------------------------------

TEST(RemarksWindow, FillPerStageAndKeepTextsForOtherStages)
{
    C.resetAll();
    C.lowestThermalEnergy = 0.00172;
    C.energyLevel[0] = 0.0451;
    C.stageCompensatingDensity = {-1.5e14, 2.25e15, 0, 0};
    TFormRemarks w;
    EXPECT_EQ(w.windowTitle(), "Remarks!");
    for (QLabel* l : {w.Label1, w.Label2, w.Label3, w.Label4})
        EXPECT_EQ(l->text(), "");
    EXPECT_EQ(w.ButtonEvaluationAgain->text(), "Evaluation again");
    EXPECT_EQ(w.ButtonContinue->text(), "Continue");

    w.fill(1);
    EXPECT_EQ(w.filledStage(), 1);
    EXPECT_EQ(w.Label1->text(), "The second energy level obtained in H2 may not be reliable.");
    EXPECT_EQ(w.Label2->text(), "This is because the energy level is lower than 0.0017 eV, which "
                                "is corresponding to the lowest measurment temperature.");
    EXPECT_EQ(w.Label3->text(), "Recommend that you evaluate the second energy level using a "
                                "compensating density of -1.50E+14 cm^-3.");
    EXPECT_EQ(w.Label4->text(), "The negative compensating density means that energy levels "
                                "shallower than 0.0451 eV may exist.");
    EXPECT_TRUE(w.ButtonEvaluationAgain->isEnabled());

    w.fill(2);
    EXPECT_EQ(w.Label1->text(), "The third energy level obtained in H3 may not be reliable.");
    EXPECT_EQ(w.Label3->text(), "Recommend that you evaluate the third energy level using a "
                                "compensating density of 2.25E+15 cm^-3.");

    w.fill(3);
    w.fill(-1);
    EXPECT_EQ(w.filledStage(), 2);
    EXPECT_EQ(w.Label1->text(), "The third energy level obtained in H3 may not be reliable.");

    // H1 has no stage before it: no recommendation, no "Evaluation again".
    w.fill(0);
    EXPECT_EQ(w.Label1->text(), "");
    EXPECT_TRUE(w.Label2->text().startsWith("This is because"));
    EXPECT_EQ(w.Label3->text(), "");
    EXPECT_EQ(w.Label4->text(), "");
    EXPECT_FALSE(w.ButtonEvaluationAgain->isEnabled());
    w.fill(1);
    EXPECT_TRUE(w.ButtonEvaluationAgain->isEnabled());
    C.resetAll();
}

TEST(RemarksWindow, ButtonsGiveTheResultCodes)
{
    C.resetAll();
    TFormRemarks w;
    w.fill(1);
    Scripted sc;
    sc.s.windowHandler = [](QDialog* d) {
        static_cast<TFormRemarks*>(d)->ButtonEvaluationAgain->click();
        return d->result();
    };
    EXPECT_EQ(modal().execWindow(&w), 1);
    EXPECT_EQ(modal().execWindow(&w), int(TFormRemarks::EvaluationAgain));
    sc.s.windowHandler = [](QDialog* d) {
        static_cast<TFormRemarks*>(d)->ButtonContinue->click();
        return d->result();
    };
    EXPECT_EQ(modal().execWindow(&w), 7);
    EXPECT_EQ(sc.s.windowsShown.size(), 3u);
    EXPECT_EQ(sc.s.windowsShown[0], "FormRemarks");
}

// ---- progress windows and reporter ------------------------------------------------

namespace {
// Gives the reporter its two windows for one test (it finds them in the
// window registry).
struct ProgressWindows {
    ManagedWindow* savedMain = windows().find(WindowId::ProgressReport);
    ManagedWindow* savedDetailed = windows().find(WindowId::DetailedProgressReport);
    TFormProgressReport main;
    TFormDetailedProgressReport detailed;
    ProgressWindows()
    {
        windows().add(WindowId::ProgressReport, &main);
        windows().add(WindowId::DetailedProgressReport, &detailed);
    }
    ~ProgressWindows()
    {
        windows().add(WindowId::ProgressReport, savedMain);
        windows().add(WindowId::DetailedProgressReport, savedDetailed);
        C.progress = nullptr;
    }
};
} // namespace

TEST(ProgressWindows, CaptionsAndEmptyBars)
{
    TFormProgressReport p;
    TFormDetailedProgressReport d;
    EXPECT_EQ(p.windowTitle(), "Progress Report");
    EXPECT_EQ(d.windowTitle(), "Detailed Progress Report");
    EXPECT_EQ(p.ProgressBar1->value(), 0);
    p.ProgressBar1->setValue(40);
    p.prepare();
    EXPECT_EQ(p.ProgressBar1->value(), 0);
}

TEST(ProgressWindows, ReporterMovesBothBarsThroughTheAnalysis)
{
    ProgressWindows w;
    C.progress = windowProgressReporter();

    C.progressShow(ProgressReporter::Main, 50);
    EXPECT_TRUE(w.main.isVisible());
    EXPECT_FALSE(w.detailed.isVisible());
    EXPECT_EQ(w.main.ProgressBar1->maximum(), 50);
    EXPECT_EQ(w.main.ProgressBar1->value(), 0);
    C.progressStep(ProgressReporter::Main);
    C.progressStep(ProgressReporter::Main, 4);
    EXPECT_EQ(w.main.ProgressBar1->value(), 5);

    C.progressShow(ProgressReporter::Detailed, 10);
    EXPECT_TRUE(w.detailed.isVisible());
    C.progressSet(ProgressReporter::Detailed, 7);
    EXPECT_EQ(w.detailed.ProgressBar1->value(), 7);
    EXPECT_EQ(w.main.ProgressBar1->value(), 5);
    // Past the end the bar stays full instead of stopping short.
    C.progressStep(ProgressReporter::Detailed, 20);
    EXPECT_EQ(w.detailed.ProgressBar1->value(), 10);
    C.progressClose(ProgressReporter::Detailed);
    EXPECT_FALSE(w.detailed.isVisible());
    EXPECT_TRUE(w.main.isVisible());

    // A new run starts the bar from zero.
    C.progressShow(ProgressReporter::Main, 3);
    EXPECT_EQ(w.main.ProgressBar1->value(), 0);
    C.progressClose(ProgressReporter::Main);
    EXPECT_FALSE(w.main.isVisible());
}

TEST(ProgressWindows, ReporterLetsPendingEventsRunAndCopesWithMissingWindows)
{
    {
        ProgressWindows w;
        bool ran = false;
        QTimer::singleShot(0, [&] { ran = true; });
        windowProgressReporter()->show(ProgressReporter::Main, 5);
        EXPECT_TRUE(ran);
        windowProgressReporter()->close(ProgressReporter::Main);
    }
    // Without a registered detailed window its bar is simply not shown.
    ProgressWindows w;
    windows().remove(WindowId::DetailedProgressReport);
    ProgressReporter* r = windowProgressReporter();
    r->show(ProgressReporter::Main, 5);
    r->show(ProgressReporter::Detailed, 5);
    r->step(ProgressReporter::Detailed, 1);
    r->setPosition(2, 1);
    EXPECT_FALSE(w.detailed.isVisible());
    EXPECT_EQ(w.detailed.ProgressBar1->maximum(), 100);
    EXPECT_EQ(w.main.ProgressBar1->value(), 0);
    r->close(ProgressReporter::Detailed);
    EXPECT_TRUE(w.main.isVisible());
    // Once the main window is no longer registered, neither a step nor a
    // close reaches the bar still on screen.
    windows().remove(WindowId::ProgressReport);
    r->step(ProgressReporter::Main, 1);
    r->close(ProgressReporter::Main);
    EXPECT_EQ(w.main.ProgressBar1->value(), 0);
    EXPECT_TRUE(w.main.isVisible());
}
