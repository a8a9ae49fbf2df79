// The file viewer: dialogs, captions, saving without losing a file or a
// byte, and the files named on the command line.
#include "analysis/data/Analysis.h"
#include "HallTestSupport.h"
#include "app/Application.h"
#include "toolkit/Modal.h"
#include "toolkit/WindowRegistry.h"
#include "utilities/Editor.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>

namespace {

struct Scripted {
    ScriptedModal s;
    Scripted() { setModal(&s); }
    ~Scripted() { setModal(nullptr); }
};

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

TEST(FileViewer, MenusAndFilters)
{
    TFormEditor e;
    EXPECT_EQ(e.windowTitle(), "File Viewer");
    QStringList file, edit, popup;
    for (QAction* a : e.FileEditor->actions()) file << a->text();
    for (QAction* a : e.EditEditor->actions()) edit << a->text();
    for (QAction* a : e.PopupMenuEditor->actions()) popup << a->text();
    EXPECT_EQ(file, QStringList({"Open", "Save", "Save As", "Print", "All Clear", "Exit"}));
    EXPECT_EQ(edit, QStringList({"Cut", "Copy", "Paste"}));
    EXPECT_EQ(popup, edit);

    Scripted sc;
    e.OpenEditor->trigger();
    e.SaveAsEditor->trigger();
    ASSERT_EQ(sc.s.fileDialogs.size(), 2u);
    EXPECT_EQ(sc.s.fileDialogs[0].filter,
              "VORN Data|*.nT;*.pT;*.spl;*.fl;*.flE;*.H1;*.H1E;*.H2;*.H2E;*.H3;*.H3E;*.S1;*.S1E;*.S2;"
              "*.S2E;*.S3;*.S3E;*.simH;*.simS;*.simN;*.datH;*.datS;*.DHES;*.CNO;*.CNC;*.exc;*.cft;"
              "*.sie;*.cfe|All Files (*.*)|*.*");
    EXPECT_EQ(sc.s.fileDialogs[1].filter,
              "VORN Data|*.nT;*.pT;*.fl;*.flE;*.spl;*.H1;*.H1E;*.H2;*.H2E;*.H3;*.H3E;*.S1;*.S1E;*.S2;"
              "*.S2E;*.S3;*.S3E;*.simH;*.simS;*.simN;*.datH;*.datS;*.DHES;*.CNO;*.CNC;*.exc;*.cft;"
              "*.sie;*.cfe|All Files (*.*)|*.*");
    EXPECT_TRUE(sc.s.fileDialogs[1].save);
}

// Open, Save, Save As and the reopened viewer: which dialog runs, what is
// written, and the caption afterwards. Cancelled dialogs change nothing.
TEST(FileViewer, SaveOpenAndCaptionRules)
{
    QTemporaryDir dir;
    const QString a = dir.path() + "/a.H1", b = dir.path() + "/b.cft";
    writeBytes(a, "% a\r\n1     2\r\n");
    TFormEditor e;
    Scripted sc;

    // Save with no file name asks; cancelling it writes nothing.
    e.RichEditEditor->setPlainText("typed");
    sc.s.cancelFile();
    e.SaveEditor->trigger();
    EXPECT_EQ(sc.s.fileDialogs.size(), 1u);
    EXPECT_EQ(e.windowTitle(), "File Viewer");
    EXPECT_TRUE(e.fileName().isEmpty());
    EXPECT_EQ(e.RichEditEditor->toPlainText(), "typed");

    sc.s.answerFile(b);
    e.SaveEditor->trigger();
    EXPECT_EQ(readBytes(b), "typed");
    EXPECT_EQ(e.windowTitle(), b);

    // Cancelled open: text, name and caption stay.
    sc.s.cancelFile();
    e.OpenEditor->trigger();
    EXPECT_EQ(sc.s.fileDialogs.back().proposedName, b);
    EXPECT_EQ(e.RichEditEditor->toPlainText(), "typed");
    EXPECT_EQ(e.windowTitle(), b);

    sc.s.answerFile(a);
    e.OpenEditor->trigger();
    EXPECT_EQ(e.RichEditEditor->toPlainText(), "% a\n1     2\n");
    EXPECT_EQ(e.windowTitle(), a);
    EXPECT_FALSE(e.RichEditEditor->document()->isModified());

    // Save with a name writes without a dialog; the caption stays.
    const size_t dialogs = sc.s.fileDialogs.size();
    e.RichEditEditor->appendPlainText("3     4");
    e.SaveEditor->trigger();
    EXPECT_EQ(sc.s.fileDialogs.size(), dialogs);
    EXPECT_EQ(readBytes(a), "% a\r\n1     2\r\n\r\n3     4");
    EXPECT_FALSE(e.RichEditEditor->document()->isModified());

    // Save As cancelled leaves everything; All Clear keeps name and caption.
    sc.s.cancelFile();
    e.SaveAsEditor->trigger();
    EXPECT_EQ(e.windowTitle(), a);
    e.AllClearEditor->trigger();
    EXPECT_TRUE(e.RichEditEditor->toPlainText().isEmpty());
    EXPECT_EQ(e.windowTitle(), a);

    // Reopened, the viewer is empty and "Save" asks before it writes over
    // the last file; cancelling keeps the file.
    e.RichEditEditor->setPlainText("x");
    e.prepare();
    EXPECT_TRUE(e.RichEditEditor->toPlainText().isEmpty());
    EXPECT_EQ(e.fileName(), a);
    e.RichEditEditor->setPlainText("new");
    sc.s.cancelFile();
    e.SaveEditor->trigger();
    EXPECT_EQ(sc.s.fileDialogs.back().proposedName, a);
    EXPECT_TRUE(sc.s.fileDialogs.back().save);
    EXPECT_EQ(readBytes(a), "% a\r\n1     2\r\n\r\n3     4");
    // Confirmed, it writes, and the next "Save" goes straight to the file.
    sc.s.acceptProposedFile();
    e.SaveEditor->trigger();
    EXPECT_EQ(readBytes(a), "new");
    const size_t before = sc.s.fileDialogs.size();
    e.SaveEditor->trigger();
    EXPECT_EQ(sc.s.fileDialogs.size(), before);
    EXPECT_TRUE(sc.s.messages.empty());
}

// Files go back as they came: unchanged byte for byte, edited in their own
// encoding and line ends.
TEST(FileViewer, KeepsBytesEncodingAndLineEnds)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        QByteArray edited; // after "Z" is typed at the very end
    };
    const Case cases[] = {
        {"crlf", "% T [K]\r\n10     1e+16\r\n", "% T [K]\r\n10     1e+16\r\nZ"},
        {"lf", "a\nb\n", "a\nb\nZ"},
        {"latin1", "% \xB5m \xE9\r\n", "% \xB5m \xE9\r\nZ"},
        {"utf8 bom", "\xEF\xBB\xBF\xC2\xB5m\r\n", "\xEF\xBB\xBF\xC2\xB5m\r\nZ"},
        {"no end", "last", "lastZ"},
        {"nbsp", "a\xA0" "b\r\n", "a\xA0" "b\r\nZ"},
        {"mixed", "a\r\nb\nc\r", "a\r\nb\r\nc\r\nZ"},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.path() + "/f.exc";
        writeBytes(path, c.bytes);
        TFormEditor e;
        e.navigate(path);
        e.SaveEditorClick();
        EXPECT_EQ(readBytes(path), c.bytes);
        QTextCursor cursor(e.RichEditEditor->document());
        cursor.movePosition(QTextCursor::End);
        cursor.insertText("Z");
        e.SaveEditorClick();
        EXPECT_EQ(readBytes(path), c.edited);
    }
}

TEST(FileViewer, FailuresAreReportedAndLoseNothing)
{
    QTemporaryDir dir;
    const QString good = dir.path() + "/good.CNO";
    writeBytes(good, "kept\r\n");
    TFormEditor e;
    Scripted sc;
    e.navigate(good);
    e.RichEditEditor->setPlainText("edited");

    struct Case {
        const char* name;
        QString path;
        bool save;
    };
    const Case cases[] = {
        {"open missing", dir.path() + "/missing.H1", false},
        {"open folder", dir.path(), false},
        {"save in missing folder", dir.path() + "/no/such.H1", true},
        {"save over a folder", dir.path(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sc.s.messages.clear();
        sc.s.answerFile(c.path);
        if (c.save)
            e.SaveAsEditorClick();
        else
            e.OpenEditorClick();
        ASSERT_EQ(sc.s.texts(ScriptedModal::Message::Error).size(), 1);
        EXPECT_TRUE(sc.s.lastText().contains(c.path)) << sc.s.lastText().toStdString();
        EXPECT_EQ(e.RichEditEditor->toPlainText(), "edited");
        EXPECT_EQ(e.fileName(), good);
        EXPECT_EQ(e.windowTitle(), good);
    }
    EXPECT_EQ(readBytes(good), "kept\r\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"good.CNO"});
}

// A write over an existing file that fails half-way (a file size limit
// stops it for any user) leaves the file as it was.
TEST(FileViewer, FailedSaveKeepsThePreviousFile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/kept.spl";
    writeBytes(path, "% old\r\n");
    TFormEditor e;
    Scripted sc;
    e.navigate(path);
    e.RichEditEditor->setPlainText(QString(4096, 'x'));
    {
        rlimit saved{};
        ::getrlimit(RLIMIT_FSIZE, &saved);
        auto* savedHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = 64;
        ::setrlimit(RLIMIT_FSIZE, &limit);
        e.SaveEditorClick();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, savedHandler);
    }
    ASSERT_EQ(sc.s.texts(ScriptedModal::Message::Error).size(), 1);
    EXPECT_TRUE(sc.s.lastText().contains(path)) << sc.s.lastText().toStdString();
    EXPECT_EQ(readBytes(path), "% old\r\n");
    EXPECT_EQ(e.RichEditEditor->toPlainText(), QString(4096, 'x'));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.spl"});
}

TEST(FileViewer, PrintsUnderTheFileName)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/r.datH", pdf = dir.path() + "/out.pdf";
    writeBytes(path, "% results\r\n");
    TFormEditor e;
    Scripted sc;
    e.navigate(path);
    e.printer()->setOutputFormat(QPrinter::PdfFormat);
    e.printer()->setOutputFileName(pdf);
    e.PrintEditor->trigger();
    EXPECT_EQ(sc.s.printerDialogs, 1);
    EXPECT_FALSE(QFile::exists(pdf));
    sc.s.printerAnswer = true;
    e.PrintEditor->trigger();
    EXPECT_EQ(e.printer()->docName(), path);
    EXPECT_TRUE(QFile::exists(pdf));
}

TEST(FileViewer, ClipboardFromMenuAndContextMenu)
{
    TFormEditor e;
    e.RichEditEditor->setPlainText("abc");
    e.RichEditEditor->selectAll();
    e.Copy1->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), "abc");
    e.CutEditor->trigger();
    EXPECT_TRUE(e.RichEditEditor->toPlainText().isEmpty());
    e.PasteEditor->trigger();
    e.Paste1->trigger();
    EXPECT_EQ(e.RichEditEditor->toPlainText(), "abcabc");
    e.RichEditEditor->selectAll();
    e.Cut1->trigger();
    e.CopyEditor->trigger(); // nothing selected: the clipboard keeps the cut text
    EXPECT_EQ(QApplication::clipboard()->text(), "abcabc");
}

// ---- command line --------------------------------------------------------------------

class CommandLineTest : public MainWindowTest {};

TEST_F(CommandLineTest, DataFileLoadsResultFileOpensInTheViewer)
{
    TFormMain* m = create(1);
    auto* viewer = qobject_cast<TFormEditor*>(windows().find(WindowId::Editor)->widget());
    ASSERT_NE(viewer, nullptr);

    openFromCommandLine(example("sic4h_p_al.pT"));
    EXPECT_TRUE(script.messages.empty());
    EXPECT_EQ(C.experimentalDataFileName, example("sic4h_p_al.pT").toStdString());
    EXPECT_GT(C.dataCount, 0);
    EXPECT_TRUE(m->ButtonCalcSpline->isEnabled());
    EXPECT_FALSE(viewer->isVisible());

    QTemporaryDir dir;
    const QString result = dir.path() + "/sample.simH";
    writeBytes(result, "% Simulation\r\n10     1e+16\r\n");
    openFromCommandLine(result);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->windowTitle(), result);
    EXPECT_EQ(viewer->RichEditEditor->toPlainText(), "% Simulation\n10     1e+16\n");
    EXPECT_EQ(C.experimentalDataFileName, example("sic4h_p_al.pT").toStdString());

    openFromCommandLine(dir.path() + "/gone.spl");
    ASSERT_EQ(script.messages.size(), 1u);
    EXPECT_TRUE(script.lastText().contains("gone.spl"));
}

TEST_F(CommandLineTest, MenusShowTheViewers)
{
    TFormMain* m = create(1);
    auto* viewer = qobject_cast<TFormEditor*>(windows().find(WindowId::Editor)->widget());
    ASSERT_NE(viewer, nullptr);
    viewer->RichEditEditor->setPlainText("left over");
    m->MenuFileViewer->trigger();
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_TRUE(viewer->RichEditEditor->toPlainText().isEmpty());

    QWidget* help = windows().find(WindowId::HTML)->widget();
    EXPECT_FALSE(help->isVisible());
    m->MenuHelpViewer->trigger();
    EXPECT_TRUE(help->isVisible());
}
