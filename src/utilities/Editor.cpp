#include "utilities/Editor.h"

#include "analysis/base/TextFile.h"
#include "toolkit/Modal.h"

#include <QFile>
#include <algorithm>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QStringConverter>
#include <QVBoxLayout>

const QString TFormEditor::OpenDialogFilter =
    "VORN Data|*.nT;*.pT;*.spl;*.fl;*.flE;*.H1;*.H1E;*.H2;*.H2E;*.H3;*.H3E;*.S1;*.S1E;*.S2;*.S2E;"
    "*.S3;*.S3E;*.simH;*.simS;*.simN;*.datH;*.datS;*.DHES;*.CNO;*.CNC;*.exc;*.cft;*.sie;*.cfe|"
    "All Files (*.*)|*.*";
const QString TFormEditor::SaveDialogFilter =
    "VORN Data|*.nT;*.pT;*.fl;*.flE;*.spl;*.H1;*.H1E;*.H2;*.H2E;*.H3;*.H3E;*.S1;*.S1E;*.S2;*.S2E;"
    "*.S3;*.S3E;*.simH;*.simS;*.simN;*.datH;*.datS;*.DHES;*.CNO;*.CNC;*.exc;*.cft;*.sie;*.cfe|"
    "All Files (*.*)|*.*";
const QString TFormEditor::WindowCaption = "File Viewer";

namespace {

std::string localPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The text edit control keeps lines, not line ends.
QString withLineFeeds(QString text)
{
    text.replace("\r\n", "\n");
    text.replace('\r', '\n');
    return text;
}

} // namespace

TFormEditor::TFormEditor(QWidget* parent) : QDialog(parent), printer_(std::make_unique<QPrinter>())
{
    setObjectName("FormEditor");
    setWindowTitle(WindowCaption);
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    MainMenu = new QMenuBar(this);
    FileEditor = MainMenu->addMenu("File");
    FileEditor->setObjectName("FileEditor");
    OpenEditor = FileEditor->addAction("Open");
    SaveEditor = FileEditor->addAction("Save");
    SaveAsEditor = FileEditor->addAction("Save As");
    PrintEditor = FileEditor->addAction("Print");
    AllClearEditor = FileEditor->addAction("All Clear");
    ExitEditor = FileEditor->addAction("Exit");
    EditEditor = MainMenu->addMenu("Edit");
    EditEditor->setObjectName("EditEditor");
    CutEditor = EditEditor->addAction("Cut");
    CopyEditor = EditEditor->addAction("Copy");
    PasteEditor = EditEditor->addAction("Paste");

    RichEditEditor = new QPlainTextEdit(this);
    RichEditEditor->setObjectName("RichEditEditor");
    RichEditEditor->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEditEditor->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEditEditor->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont fixed("Monospace");
    fixed.setStyleHint(QFont::TypeWriter);
    RichEditEditor->setFont(fixed);

    PopupMenuEditor = new QMenu(this);
    Cut1 = PopupMenuEditor->addAction("Cut");
    Copy1 = PopupMenuEditor->addAction("Copy");
    Paste1 = PopupMenuEditor->addAction("Paste");
    RichEditEditor->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(RichEditEditor, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenuEditor->popup(RichEditEditor->mapToGlobal(at)); });

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(MainMenu);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(RichEditEditor);
    resize(720, 560);

    connect(OpenEditor, &QAction::triggered, this, &TFormEditor::OpenEditorClick);
    connect(SaveEditor, &QAction::triggered, this, &TFormEditor::SaveEditorClick);
    connect(SaveAsEditor, &QAction::triggered, this, &TFormEditor::SaveAsEditorClick);
    connect(PrintEditor, &QAction::triggered, this, &TFormEditor::PrintEditorClick);
    connect(AllClearEditor, &QAction::triggered, this, &TFormEditor::AllClearEditorClick);
    connect(ExitEditor, &QAction::triggered, this, &TFormEditor::ExitEditorClick);
    for (QAction* a : {CutEditor, Cut1})
        connect(a, &QAction::triggered, this, &TFormEditor::CutEditorClick);
    for (QAction* a : {CopyEditor, Copy1})
        connect(a, &QAction::triggered, this, &TFormEditor::CopyEditorClick);
    for (QAction* a : {PasteEditor, Paste1})
        connect(a, &QAction::triggered, this, &TFormEditor::PasteEditorClick);
}

TFormEditor::~TFormEditor() = default;

bool TFormEditor::edited() const { return currentText() != loadedText_; }

bool TFormEditor::mayDropEdits(const QString& when)
{
    if (!edited())
        return true;
    const auto answer = modal().unsavedWork(
        this, "The text in the file viewer has been changed.\nSave it before " + when + "?");
    if (answer == ModalInterface::Unsaved::Cancel)
        return false;
    if (answer == ModalInterface::Unsaved::Save)
        SaveEditorClick();
    return !edited() || answer == ModalInterface::Unsaved::Discard;
}

void TFormEditor::reject()
{
    if (mayDropEdits("the window closes"))
        QDialog::reject();
}

void TFormEditor::prepare()
{
    // Shown again while edits are open: they stay unless the user lets go.
    if (isVisible() && !mayDropEdits("the text is emptied"))
        return;
    RichEditEditor->clear();
    RichEditEditor->document()->setModified(false);
    loadedBytes_.clear();
    loadedText_.clear();
    utf8_ = true;
    crlf_ = true;
    askBeforeSave_ = true;
}

void TFormEditor::navigate(const QString& path)
{
    if (mayDropEdits("another file is shown"))
        openPath(path);
}

void TFormEditor::openPath(const QString& path)
{
    if (load(path)) {
        fileName_ = path;
        setWindowTitle(path);
    }
}

QString TFormEditor::currentText() const
{
    QString text = RichEditEditor->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, '\n');
    return text;
}

bool TFormEditor::load(const QString& path)
{
    std::string bytes, error;
    if (!textfile::readText(localPath(path), bytes, error)) {
        modal().error(this, QString::fromStdString(error));
        return false;
    }
    const QByteArray raw = QByteArray::fromStdString(bytes);
    // UTF-8 when the bytes are valid UTF-8, otherwise one byte per
    // character, which reads any older 8-bit file and writes it back as it was.
    QStringDecoder utf8(QStringConverter::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8.decode(raw);
    utf8_ = !utf8.hasError();
    if (!utf8_)
        text = QString::fromLatin1(raw);
    crlf_ = raw.contains("\r\n") || !raw.contains('\n');

    loadedBytes_ = raw;
    loadedText_ = withLineFeeds(text);
    RichEditEditor->setPlainText(loadedText_);
    RichEditEditor->document()->setModified(false);
    askBeforeSave_ = false;
    return true;
}

bool TFormEditor::saveTo(const QString& path)
{
    const QString text = currentText();
    QByteArray bytes;
    if (text == loadedText_) {
        bytes = loadedBytes_;
    } else {
        QString out = text;
        if (crlf_)
            out.replace("\n", "\r\n");
        const bool fitsLatin1 = std::all_of(out.cbegin(), out.cend(), [](QChar c) { return c.unicode() < 256; });
        bytes = utf8_ || !fitsLatin1 ? out.toUtf8() : out.toLatin1();
    }
    std::string error;
    if (!textfile::writeAtomic(localPath(path), bytes.toStdString(), error)) {
        modal().error(this, QString::fromStdString(error));
        return false;
    }
    loadedBytes_ = bytes;
    loadedText_ = text;
    RichEditEditor->document()->setModified(false);
    askBeforeSave_ = false;
    return true;
}

void TFormEditor::saveThroughDialog()
{
    int filterIndex = 1;
    QString name = fileName_;
    if (!modal().saveFile(this, SaveDialogFilter, filterIndex, name))
        return;
    // A failed save keeps the old name, so that "Save" never aims at a file
    // that could not be written.
    if (!saveTo(name))
        return;
    fileName_ = name;
    setWindowTitle(name);
}

void TFormEditor::OpenEditorClick()
{
    if (!mayDropEdits("another file is opened"))
        return;
    int filterIndex = 1;
    QString name = fileName_;
    if (!modal().openFile(this, OpenDialogFilter, filterIndex, name))
        return;
    openPath(name);
}

void TFormEditor::SaveEditorClick()
{
    if (fileName_.isEmpty() || askBeforeSave_)
        saveThroughDialog();
    else
        saveTo(fileName_);
}

void TFormEditor::SaveAsEditorClick() { saveThroughDialog(); }

void TFormEditor::PrintEditorClick()
{
    if (!modal().printerSetup(this, printer_.get()))
        return;
    printer_->setDocName(fileName_);
    RichEditEditor->document()->print(printer_.get());
}

void TFormEditor::AllClearEditorClick() { RichEditEditor->clear(); }

void TFormEditor::ExitEditorClick() { close(); }

void TFormEditor::CutEditorClick() { RichEditEditor->cut(); }

void TFormEditor::CopyEditorClick() { RichEditEditor->copy(); }

void TFormEditor::PasteEditorClick() { RichEditEditor->paste(); }
