// "Use Data File with Another Format File": a measurement system's own text
// loaded into an editor, the columns of temperature and concentration
// chosen, the sample described, and the result saved as a data file.
#pragma once

#include "input/SampleFields.h"
#include "toolkit/WindowRegistry.h"

#include <QDialog>

class QAction;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

extern const QString ConvertOpenFilter;
extern const QString ConvertSaveFilter;

class TFormConvert : public QDialog, public ManagedWindow, public SampleFields {
    Q_OBJECT
public:
    QWidget* widget() override { return this; }
    explicit TFormConvert(QWidget* parent = nullptr);
    // Empties the columns, the form and the text.
    void prepare() override;

    void ButtonLoadAnotherDataClick();
    void ButtonSaveDataClick();
    void Cut1Click();
    void Copy1Click();
    void Paste1Click();

    QComboBox* ComboBoxColumnT = nullptr; // "1" .. "15"
    QComboBox* ComboBoxColumnC = nullptr;
    // What the instrument writes: the concentration, R_H or the Hall voltage
    // (with the columns of current and field, empty = the form's values),
    // the Hall factor and the units of temperature and field.
    QComboBox* ComboBoxQuantity = nullptr;
    QComboBox* ComboBoxColumnCurrent = nullptr;
    QComboBox* ComboBoxColumnField = nullptr;
    QLineEdit* EditHallFactor = nullptr;
    QComboBox* ComboBoxTemperatureUnit = nullptr; // "K", "°C"
    QComboBox* ComboBoxFieldUnit = nullptr;       // "T", "G"
    QPushButton* ButtonLoadAnotherData = nullptr; // "Load"
    QPushButton* ButtonSaveData = nullptr;        // "Save (*.nT or *.pT)"
    QPlainTextEdit* RichEditConvert = nullptr;
    QAction* Cut1 = nullptr;
    QAction* Copy1 = nullptr;
    QAction* Paste1 = nullptr;
    QString sourceFileName;

    // Text, columns or form differ from what was loaded or prepared.
    bool typedDataChanged() const;
    // Esc and the window frame: typed data are not dropped without a question.
    void reject() override;

private:
    struct Shown {
        QString text;
        int columnT = -1, columnC = -1;
        dataentry::SampleForm form;
        bool operator==(const Shown&) const = default;
    };
    Shown shown() const;
    Shown shown_;
    // Save / discard / cancel before typed data are dropped; true to go on.
    bool mayDropTypedData(const QString& when);
};
