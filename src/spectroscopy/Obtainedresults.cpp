#include "spectroscopy/Obtainedresults.h"

#include "analysis/data/Analysis.h"
#include "toolkit/Modal.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

const QString TFormObtainedResults::SaveFilter =
    "Obtained Results (*.datH, *.datS)|*.datH;*.datS|All Files (*.*)|*.*";

namespace {
const char* const windowCaption = "Obtained Results";
}

TFormObtainedResults::TFormObtainedResults(QWidget* parent)
    : QDialog(parent), printer_(std::make_unique<QPrinter>())
{
    setObjectName("FormObtainedResults");
    setWindowTitle(windowCaption);
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    ToolButtonSave = new QToolButton(this);
    ToolButtonSave->setObjectName("ToolButtonSave");
    ToolButtonSave->setText("Save");
    ToolButtonSave->setToolTip("Save the obtained results (*.datH, *.datS)");
    ToolButtonPrint = new QToolButton(this);
    ToolButtonPrint->setObjectName("ToolButtonPrint");
    ToolButtonPrint->setText("Print");
    ToolButtonPrint->setToolTip("Print the obtained results");

    RichEditResults = new QPlainTextEdit(this);
    RichEditResults->setObjectName("RichEditResults");
    RichEditResults->setReadOnly(true);
    RichEditResults->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichEditResults->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    RichEditResults->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The labels are padded with blanks to line the values up.
    RichEditResults->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* tools = new QHBoxLayout;
    tools->addWidget(ToolButtonSave);
    tools->addWidget(ToolButtonPrint);
    tools->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(tools);
    layout->addWidget(RichEditResults, 1);
    resize(640, 440);

    connect(ToolButtonSave, &QToolButton::clicked, this, &TFormObtainedResults::ToolButtonSaveClick);
    connect(ToolButtonPrint, &QToolButton::clicked, this, &TFormObtainedResults::ToolButtonPrintClick);

    setLines(Analysis::obtainedResultsLabels());
}

TFormObtainedResults::~TFormObtainedResults() = default;

void TFormObtainedResults::setLines(const std::vector<std::string>& lines)
{
    QStringList text;
    for (const std::string& l : lines)
        text << QString::fromStdString(l);
    RichEditResults->setPlainText(text.join('\n'));
    RichEditResults->document()->setModified(true);
}

void TFormObtainedResults::clearText()
{
    RichEditResults->clear();
    RichEditResults->document()->setModified(true);
}

void TFormObtainedResults::prepare()
{
    clearText();
    setLines(C.obtainedResultsLines());
}

void TFormObtainedResults::resetWindow()
{
    savedPath_.clear();
    setWindowTitle(windowCaption);
    setLines(Analysis::obtainedResultsLabels());
}

QStringList TFormObtainedResults::lines() const
{
    const QString text = RichEditResults->toPlainText();
    return text.isEmpty() ? QStringList() : text.split('\n');
}

bool TFormObtainedResults::isTextSaved() const { return !RichEditResults->document()->isModified(); }

void TFormObtainedResults::ToolButtonSaveClick()
{
    int filterIndex = 1;
    QString fileName = QString::fromStdString(C.obtainedResultsFileName());
    if (!modal().saveFile(this, SaveFilter, filterIndex, fileName))
        return;
    // The dialog's default extension: a name typed without one gets ".dat".
    fileName = QString::fromStdString(Analysis::withDefaultExtension(fileName.toStdString(), "dat"));
    std::vector<std::string> out;
    for (const QString& l : lines())
        out.push_back(l.toStdString());
    if (!C.writeObtainedResults(fileName.toStdString(), out)) {
        modal().error(this, QString::fromStdString(C.lastError));
        return;
    }
    savedPath_ = fileName;
    RichEditResults->document()->setModified(false);
    setWindowTitle(savedPath_);
}

void TFormObtainedResults::ToolButtonPrintClick()
{
    if (!modal().printerSetup(this, printer_.get()))
        return;
    printer_->setDocName(savedPath_.isEmpty() ? QString(windowCaption) : savedPath_);
    RichEditResults->document()->print(printer_.get());
}
