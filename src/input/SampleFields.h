// The sample description fields shared by the data sheet and the converter:
// the same edits and boxes under the same names in both windows.
#pragma once

#include "analysis/data/DataEntry.h"

#include <QString>

class QComboBox;
class QGroupBox;
class QLineEdit;
class QWidget;

struct SampleFields {
    QLineEdit* EditNameOfMeasurement = nullptr;
    QLineEdit* EditDateOfMeasurement = nullptr;
    QLineEdit* EditNameOfAnalysis = nullptr;
    QLineEdit* EditDateOfAnalysis = nullptr;
    QComboBox* ComboBoxSemiconductor = nullptr;  // the material names and "Input name"
    QComboBox* ComboBoxConductionType = nullptr; // "n-type", "p-type"
    QLineEdit* EditSampleNumber = nullptr;
    QLineEdit* EditThickness = nullptr;          // micron
    QLineEdit* EditMagneticField = nullptr;      // T
    QLineEdit* EditCurrent = nullptr;            // A
    QLineEdit* EditComment = nullptr;            // at most 100 characters

    // Creates the fields in a group box with this title.
    QGroupBox* createSampleFields(QWidget* parent, const QString& title);
    dataentry::SampleForm sampleForm() const;
    void showSampleForm(const dataentry::SampleForm& form);
    // Texts emptied, the three numbers "0".
    void clearSampleFields();
};

// The form as the analysis object holds it (numbers in the general format).
dataentry::SampleForm sampleFormOf(const class Analysis& a);
