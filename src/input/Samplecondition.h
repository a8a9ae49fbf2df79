// Read-only view of the current sample's description, small enough to stay
// open beside the main window.
#pragma once

#include "toolkit/WindowRegistry.h"

#include <QDialog>

class QLabel;

class TFormSampleCondition : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    QWidget* widget() override { return this; }
    explicit TFormSampleCondition(QWidget* parent = nullptr);
    // Copies the sample description of the analysis object into the value
    // labels (numbers in the general format).
    void prepare() override;

    QLabel* LabelNameOfMeasurement = nullptr;
    QLabel* LabelDateOfMeasurement = nullptr;
    QLabel* LabelNameOfAnalysis = nullptr;
    QLabel* LabelDateOfAnalysis = nullptr;
    QLabel* LabelSemiconductor = nullptr;
    QLabel* LabelConductionType = nullptr;
    QLabel* LabelSampleNumber = nullptr;
    QLabel* LabelThickness = nullptr;
    QLabel* LabelMagneticField = nullptr;
    QLabel* LabelCurrent = nullptr;
    QLabel* LabelComment = nullptr;
};
