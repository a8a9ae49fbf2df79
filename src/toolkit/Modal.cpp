#include "toolkit/Modal.h"

#include "analysis/base/NumberFormat.h"
#include "analysis/data/Outcomes.h"

#include <QComboBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace {
ModalInterface* current = nullptr;

// "Desc|*.a;*.b|Desc2|*.c" -> Qt name filters "Desc (*.a *.b)".
QStringList toQtFilters(const QString& filter)
{
    QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        out << parts[i] + " (" + patterns + ")";
    }
    return out;
}

bool runFileDialog(QWidget* parent, bool save, const QString& filter, int& filterIndex,
                   QString& fileName)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters = toQtFilters(filter);
    dialog.setNameFilters(filters);
    if (filterIndex >= 1 && filterIndex <= filters.size())
        dialog.selectNameFilter(filters[filterIndex - 1]);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().first();
    int chosen = filters.indexOf(dialog.selectedNameFilter());
    if (chosen >= 0)
        filterIndex = chosen + 1;
    return true;
}
} // namespace

ModalInterface& modal()
{
    static WidgetModal real;
    return current ? *current : real;
}

void setModal(ModalInterface* m) { current = m; }

bool WidgetModal::openFile(QWidget* parent, const QString& filter, int& filterIndex, QString& fileName)
{
    return runFileDialog(parent, false, filter, filterIndex, fileName);
}

bool WidgetModal::saveFile(QWidget* parent, const QString& filter, int& filterIndex, QString& fileName)
{
    return runFileDialog(parent, true, filter, filterIndex, fileName);
}

bool WidgetModal::saveFigureFile(QWidget* parent, const QString& filter, int& filterIndex,
                                 QString& fileName, FigureSize& size)
{
    const QStringList own = toQtFilters(filter);
    const QStringList extra = toQtFilters(figureExportFilter());
    QFileDialog dialog(parent, "Save Figure");
    // The toolkit's own dialog, so that the size fields can sit below the list.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(own + extra);
    if (filterIndex >= 1 && filterIndex <= own.size())
        dialog.selectNameFilter(own[filterIndex - 1]);
    if (!fileName.isEmpty())
        dialog.selectFile(fileName);

    auto* sizeRow = new QWidget(&dialog);
    auto* h = new QHBoxLayout(sizeRow);
    h->setContentsMargins(0, 0, 0, 0);
    auto* width = new QDoubleSpinBox;
    auto* height = new QDoubleSpinBox;
    auto* unit = new QComboBox;
    auto* dpi = new QSpinBox;
    unit->addItems({"pixels", "cm"});
    dpi->setRange(30, 2400);
    dpi->setSuffix(" dpi");
    for (QDoubleSpinBox* b : {width, height})
        b->setRange(1, 20000);
    auto showSize = [=](const FigureSize& s) {
        unit->setCurrentIndex(s.unit == FigureSize::Centimetres ? 1 : 0);
        width->setDecimals(s.unit == FigureSize::Centimetres ? 1 : 0);
        height->setDecimals(s.unit == FigureSize::Centimetres ? 1 : 0);
        width->setValue(s.width);
        height->setValue(s.height);
        dpi->setValue(s.dpi);
    };
    showSize(size);
    QObject::connect(unit, &QComboBox::activated, sizeRow, [=](int i) {
        showSize(i == 1 ? FigureSize::defaultCentimetres() : FigureSize::defaultPixels());
    });
    width->setToolTip("Width of a PNG, SVG or PDF figure (a BMP figure is saved as shown)");
    height->setToolTip("Height of a PNG, SVG or PDF figure");
    dpi->setToolTip("Resolution: pixels per inch of a PNG, physical size of SVG and PDF");
    h->addWidget(new QLabel("Size for PNG, SVG, PDF:"));
    h->addWidget(width);
    h->addWidget(new QLabel("x"));
    h->addWidget(height);
    h->addWidget(unit);
    h->addWidget(dpi);
    h->addStretch(1);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(sizeRow, grid->rowCount(), 0, 1, grid->columnCount());

    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    fileName = dialog.selectedFiles().first();
    const int chosen = dialog.nameFilters().indexOf(dialog.selectedNameFilter());
    if (chosen >= own.size()) {
        // A format of the export list: the name takes its extension.
        const QString ext = extra[chosen - own.size()].section("(*.", 1).section(')', 0, 0);
        if (QFileInfo(fileName).suffix().toLower() != ext) {
            const QFileInfo info(fileName);
            fileName = info.path() + "/" + info.completeBaseName() + "." + ext;
        }
    } else if (chosen >= 0) {
        filterIndex = chosen + 1;
    }
    size.unit = unit->currentIndex() == 1 ? FigureSize::Centimetres : FigureSize::Pixels;
    size.width = width->value();
    size.height = height->value();
    size.dpi = dpi->value();
    return true;
}

void WidgetModal::error(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, "Error", text);
}

void WidgetModal::confirmation(QWidget* parent, const QString& text)
{
    QMessageBox::information(parent, "Confirmation", text);
}

bool WidgetModal::yesNo(QWidget* parent, const QString& text)
{
    return QMessageBox::question(parent, "Confirmation", text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

ModalInterface::Unsaved WidgetModal::unsavedWork(QWidget* parent, const QString& text)
{
    const auto b = QMessageBox::warning(parent, "Confirmation", text,
                                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel,
                                        QMessageBox::Save);
    return b == QMessageBox::Save ? Unsaved::Save : b == QMessageBox::Discard ? Unsaved::Discard : Unsaved::Cancel;
}

void WidgetModal::conversionError(QWidget* parent, const QString& text)
{
    QMessageBox::critical(parent, "VORN", text);
}

bool WidgetModal::printerSetup(QWidget* parent, QPrinter* printer)
{
    QPrintDialog dialog(printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

int WidgetModal::execWindow(QDialog* window)
{
    return window->exec();
}

QStringList ScriptedModal::texts(Message::Kind kind) const
{
    QStringList out;
    for (const Message& m : messages)
        if (m.kind == kind)
            out << m.text;
    return out;
}

bool ScriptedModal::answer(bool save, const QString& filter, int& filterIndex, QString& fileName)
{
    fileDialogs.push_back({save, filter, filterIndex, fileName});
    if (fileAnswers.empty())
        return false;
    FileAnswer a = fileAnswers.front();
    fileAnswers.pop_front();
    if (a.useProposed)
        return !fileName.isEmpty();
    if (a.path.isEmpty())
        return false;
    fileName = a.path;
    return true;
}

bool ScriptedModal::openFile(QWidget*, const QString& filter, int& filterIndex, QString& fileName)
{
    return answer(false, filter, filterIndex, fileName);
}

bool ScriptedModal::saveFile(QWidget*, const QString& filter, int& filterIndex, QString& fileName)
{
    return answer(true, filter, filterIndex, fileName);
}

bool ScriptedModal::saveFigureFile(QWidget*, const QString& filter, int& filterIndex, QString& fileName,
                                   FigureSize& size)
{
    size = figureSize;
    return answer(true, filter, filterIndex, fileName);
}

void ScriptedModal::error(QWidget*, const QString& text) { messages.push_back({Message::Error, text}); }

void ScriptedModal::confirmation(QWidget*, const QString& text)
{
    messages.push_back({Message::Confirmation, text});
}

bool ScriptedModal::yesNo(QWidget*, const QString& text)
{
    messages.push_back({Message::Question, text});
    if (yesNoAnswers.empty())
        return defaultYes;
    bool a = yesNoAnswers.front();
    yesNoAnswers.pop_front();
    return a;
}

ModalInterface::Unsaved ScriptedModal::unsavedWork(QWidget*, const QString& text)
{
    messages.push_back({Message::UnsavedQuestion, text});
    if (unsavedAnswers.empty())
        return Unsaved::Discard;
    const Unsaved a = unsavedAnswers.front();
    unsavedAnswers.pop_front();
    return a;
}

void ScriptedModal::conversionError(QWidget*, const QString& text)
{
    messages.push_back({Message::ConversionError, text});
}

bool ScriptedModal::printerSetup(QWidget*, QPrinter*)
{
    ++printerDialogs;
    return printerAnswer;
}

int ScriptedModal::execWindow(QDialog* window)
{
    windowsShown.push_back(window->objectName());
    return windowHandler ? windowHandler(window) : int(QDialog::Rejected);
}

bool textToDouble(const QString& text, double& value)
{
    return numfmt::parseDouble(text.toStdString(), value);
}

bool textToInt(const QString& text, int& value)
{
    return numfmt::parseInt(text.toStdString(), value);
}

bool editToDouble(QLineEdit* edit, double& value)
{
    if (textToDouble(edit->text(), value))
        return true;
    modal().conversionError(edit->window(),
                            QString::fromStdString(numfmt::notValidFloat(edit->text().toStdString())));
    return false;
}

void showMessages(QWidget* parent, const std::vector<OutcomeMessage>& messages)
{
    for (const OutcomeMessage& m : messages) {
        const QString text = QString::fromStdString(m.text);
        if (m.error)
            modal().error(parent, text);
        else
            modal().confirmation(parent, text);
    }
}
