#include "input/Datasheet.h"

#include "analysis/data/Analysis.h"
#include "toolkit/Modal.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

const QString DataSheetSaveFilter = "n-type semiconducotr (*.nT)|*.nT|p-type semiconductor (*.pT)|*.pT";

namespace {
QPushButton* button(const QString& text, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setAutoDefault(false);
    return b;
}
} // namespace

TFormDataSheet::TFormDataSheet(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormDataSheet");
    setWindowTitle("Data Sheet");

    QGroupBox* input = createSampleFields(this, "Input");

    StringGridData = new QTableWidget(dataentry::sheetRows, 3, this);
    StringGridData->setObjectName("StringGridData");
    StringGridData->setHorizontalHeaderLabels(
        {"Temperature [K]", "Concentration [cm^-3]", "Reliability [0<= r <=1]"});
    StringGridData->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    StringGridData->setTabKeyNavigation(true);
    StringGridData->setMinimumWidth(460);
    StringGridData->setContextMenuPolicy(Qt::ActionsContextMenu);
    // The keys reach the grid through eventFilter (ahead of the view's own
    // copy of one cell); the menu offers the same.
    StringGridData->installEventFilter(this);
    auto* copy = new QAction("Copy", StringGridData);
    auto* paste = new QAction("Paste", StringGridData);
    StringGridData->addAction(copy);
    StringGridData->addAction(paste);
    connect(copy, &QAction::triggered, this, &TFormDataSheet::copyToClipboard);
    connect(paste, &QAction::triggered, this, &TFormDataSheet::pasteFromClipboard);

    ButtonSaveExperimentalData = button("Save (*.nT or *.pT)", "ButtonSaveExperimentalData", this);
    ButtonClearData = button("Clear Data", "ButtonClearData", this);
    ButtonClearAllData = button("Clear All Data", "ButtonClearAllData", this);
    ButtonSort = button("Sort Data from Low T to High T", "ButtonSort", this);
    connect(ButtonSaveExperimentalData, &QPushButton::clicked, this,
            &TFormDataSheet::ButtonSaveExperimentalDataClick);
    connect(ButtonClearData, &QPushButton::clicked, this, &TFormDataSheet::ButtonClearDataClick);
    connect(ButtonClearAllData, &QPushButton::clicked, this, &TFormDataSheet::ButtonClearAllDataClick);
    connect(ButtonSort, &QPushButton::clicked, this, &TFormDataSheet::ButtonSortClick);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {ButtonSaveExperimentalData, ButtonSort, ButtonClearData, ButtonClearAllData})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* left = new QVBoxLayout;
    left->addWidget(input);
    left->addLayout(buttons);
    auto* main = new QHBoxLayout(this);
    main->addLayout(left);
    main->addWidget(StringGridData, 1);
    resize(900, 640);
}

QString TFormDataSheet::cell(int column, int row) const
{
    const QTableWidgetItem* item = StringGridData->item(row - 1, column);
    return item ? item->text() : QString();
}

void TFormDataSheet::setCell(int column, int row, const QString& text)
{
    QTableWidgetItem* item = StringGridData->item(row - 1, column);
    if (item)
        item->setText(text);
    else if (!text.isEmpty())
        StringGridData->setItem(row - 1, column, new QTableWidgetItem(text));
}

dataentry::Sheet TFormDataSheet::sheet() const
{
    dataentry::Sheet rows(StringGridData->rowCount());
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < 3; ++c)
            rows[r][c] = cell(c, r + 1).toStdString();
    return rows;
}

void TFormDataSheet::showSheet(const dataentry::Sheet& rows)
{
    StringGridData->setRowCount(std::max(dataentry::sheetRows, int(rows.size())));
    for (int r = 0; r < StringGridData->rowCount(); ++r)
        for (int c = 0; c < 3; ++c)
            setCell(c, r + 1, r < int(rows.size()) ? QString::fromStdString(rows[r][c]) : QString());
}

void TFormDataSheet::prepareFor(int argument)
{
    if (argument == DataSheetOpening::EmptySheet)
        emptySheetRequested = true;
    prepare();
}

void TFormDataSheet::prepare()
{
    newSample_ = emptySheetRequested;
    if (emptySheetRequested) {
        // A new sample: nothing of the one in use is shown or changed until
        // the new one is saved.
        emptySheetRequested = false;
        clearSampleFields();
        showSheet({});
        markUnchanged();
        return;
    }
    showSampleForm(sampleFormOf(C));
    showSheet(dataentry::sheetFromAnalysis(C));
    markUnchanged();
}

void TFormDataSheet::markUnchanged()
{
    shownSheet_ = sheet();
    shownForm_ = sampleForm();
}

bool TFormDataSheet::typedDataChanged() const
{
    if (sampleForm() != shownForm_)
        return true;
    const dataentry::Sheet now = sheet();
    // Rows added by a paste count only when they hold something.
    for (std::size_t r = 0; r < std::max(now.size(), shownSheet_.size()); ++r) {
        const dataentry::SheetRow empty{};
        const dataentry::SheetRow& a = r < now.size() ? now[r] : empty;
        const dataentry::SheetRow& b = r < shownSheet_.size() ? shownSheet_[r] : empty;
        if (a != b)
            return true;
    }
    return false;
}

void TFormDataSheet::reject()
{
    if (typedDataChanged()) {
        const auto answer = modal().unsavedWork(
            this, "The data in the data sheet have not been saved.\nSave them before the sheet closes?");
        if (answer == ModalInterface::Unsaved::Cancel)
            return;
        if (answer == ModalInterface::Unsaved::Save) {
            // The save closes the sheet when it worked.
            ButtonSaveExperimentalDataClick();
            return;
        }
    }
    QDialog::reject();
}

QString TFormDataSheet::proposedFileName(int filterIndex) const
{
    return QString::fromStdString(dataentry::sampleProposal(EditSampleNumber->text().toStdString(),
                                                            C.experimentalDataFileName, filterIndex));
}

void TFormDataSheet::ButtonSortClick()
{
    dataentry::Sheet rows = sheet();
    std::string error;
    if (!dataentry::sortSheet(rows, error)) {
        modal().conversionError(this, QString::fromStdString(error));
        return;
    }
    showSheet(rows);
}

void TFormDataSheet::ButtonSaveExperimentalDataClick()
{
    dataentry::Sheet sorted;
    const dataentry::SaveCheck checked = dataentry::checkSheet(sheet(), sampleForm(), sorted);
    // The rows an error names are the sorted rows shown.
    if (!sorted.empty())
        showSheet(sorted);
    if (checked.kind == dataentry::SaveCheck::Kind::ConversionError) {
        modal().conversionError(this, QString::fromStdString(checked.message));
        return;
    }
    if (!checked.ready()) {
        modal().error(this, QString::fromStdString(checked.message));
        return;
    }
    if (!windows().mayReplaceAnalysis())
        return;
    int filter = checked.filterIndex;
    QString name = proposedFileName(filter);
    if (!modal().saveFile(this, DataSheetSaveFilter, filter, name))
        return;
    const FileOutcome saved = dataentry::saveNewData(
        C, checked, name.toStdString(), std::string(),
        newSample_ ? dataentry::Replace::NewSample : dataentry::Replace::SameSample);
    if (!saved.ok) {
        modal().error(this, QString::fromStdString(saved.error));
        return;
    }
    windows().notify(WindowEvent::DataSheetSaved, saved.resetFrom);
    markUnchanged();
    accept();
}

namespace {
bool holdsPoints(const dataentry::Sheet& rows)
{
    for (const dataentry::SheetRow& row : rows)
        for (const std::string& c : row)
            if (!dataentry::cellEmpty(c))
                return true;
    return false;
}
} // namespace

void TFormDataSheet::ButtonClearDataClick()
{
    if (holdsPoints(sheet()) && !modal().yesNo(this, "Clear every point of the data sheet?"))
        return;
    showSheet({});
}

void TFormDataSheet::ButtonClearAllDataClick()
{
    if ((holdsPoints(sheet()) || sampleForm() != dataentry::SampleForm{}) &&
        !modal().yesNo(this, "Clear every point and the sample description of the data sheet?"))
        return;
    clearSampleFields();
    showSheet({});
}

void TFormDataSheet::pasteBlock(const QString& text)
{
    const auto rows = dataentry::parseClipboardBlock(text.toStdString());
    const int row0 = std::max(StringGridData->currentRow(), 0);
    const int column0 = std::max(StringGridData->currentColumn(), 0);
    if (row0 + int(rows.size()) > StringGridData->rowCount())
        StringGridData->setRowCount(row0 + int(rows.size()));
    for (int i = 0; i < int(rows.size()); ++i)
        for (int k = 0; k < int(rows[i].size()) && column0 + k < 3; ++k)
            setCell(column0 + k, row0 + i + 1, QString::fromStdString(rows[i][k]));
}

QString TFormDataSheet::selectedBlock() const
{
    const QList<QTableWidgetSelectionRange> ranges = StringGridData->selectedRanges();
    int top = StringGridData->currentRow(), bottom = top;
    int left = StringGridData->currentColumn(), right = left;
    if (!ranges.isEmpty()) {
        top = ranges.front().topRow();
        bottom = ranges.front().bottomRow();
        left = ranges.front().leftColumn();
        right = ranges.front().rightColumn();
        for (const QTableWidgetSelectionRange& r : ranges) {
            top = std::min(top, r.topRow());
            bottom = std::max(bottom, r.bottomRow());
            left = std::min(left, r.leftColumn());
            right = std::max(right, r.rightColumn());
        }
    }
    if (top < 0 || left < 0)
        return {};
    std::vector<std::vector<std::string>> rows;
    for (int r = top; r <= bottom; ++r) {
        std::vector<std::string> cells;
        for (int c = left; c <= right; ++c)
            cells.push_back(cell(c, r + 1).toStdString());
        rows.push_back(std::move(cells));
    }
    return QString::fromStdString(dataentry::clipboardBlock(rows));
}

bool TFormDataSheet::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == StringGridData && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::Paste)) {
            pasteFromClipboard();
            return true;
        }
        if (key->matches(QKeySequence::Copy)) {
            copyToClipboard();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormDataSheet::pasteFromClipboard() { pasteBlock(QApplication::clipboard()->text()); }

void TFormDataSheet::copyToClipboard() { QApplication::clipboard()->setText(selectedBlock()); }
