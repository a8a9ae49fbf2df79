// "Data Sheet": measured points typed in (or edited) in a grid, with the
// sample description; saving writes a data file and hands it to the main
// window. Blocks of rows can be pasted from and copied to a spreadsheet.
#pragma once

#include "input/SampleFields.h"
#include "toolkit/WindowRegistry.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

// The save dialog's filters, as the program has always shown them.
extern const QString DataSheetSaveFilter;

class TFormDataSheet : public QDialog, public ManagedWindow, public SampleFields {
    Q_OBJECT
public:
    QWidget* widget() override { return this; }
    explicit TFormDataSheet(QWidget* parent = nullptr);
    // Fills the form and the grid from the analysis object, or leaves both
    // empty when an empty sheet was requested (a new sample).
    void prepare() override;
    // DataSheetOpening::EmptySheet requests the empty sheet.
    void prepareFor(int argument) override;

    void ButtonSaveExperimentalDataClick();
    void ButtonClearDataClick();
    void ButtonClearAllDataClick();
    void ButtonSortClick();

    // The block of rows in `text` (tabs between cells, one point per line)
    // written from the current cell on; the grid grows to take it all.
    void pasteBlock(const QString& text);
    // The selected block as a spreadsheet takes it.
    QString selectedBlock() const;
    void pasteFromClipboard();
    void copyToClipboard();

    // The data rows as typed (row 1 of the sheet first) and back.
    dataentry::Sheet sheet() const;
    void showSheet(const dataentry::Sheet& rows);
    QString cell(int column, int row) const; // row 1 on, as the sheet counts

    bool emptySheetRequested = false;
    // The grid or the form differ from what the sheet showed when it was
    // prepared (typed data that closing would drop).
    bool typedDataChanged() const;
    // The name the save dialog proposes: the sample number with the
    // extension of the conduction type, in the folder of the data in use.
    QString proposedFileName(int filterIndex) const;
    // Esc and the window frame: typed data are not dropped without a question.
    void reject() override;

    QTableWidget* StringGridData = nullptr;
    QPushButton* ButtonSaveExperimentalData = nullptr; // "Save (*.nT or *.pT)"
    QPushButton* ButtonClearData = nullptr;            // "Clear Data"
    QPushButton* ButtonClearAllData = nullptr;         // "Clear All Data"
    QPushButton* ButtonSort = nullptr;                 // "Sort Data from Low T to High T"

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The sheet shows a new sample: its save starts from the general reset.
    bool newSample_ = false;
    dataentry::Sheet shownSheet_;
    dataentry::SampleForm shownForm_;
    void markUnchanged();
    void setCell(int column, int row, const QString& text);
};
