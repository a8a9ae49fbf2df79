// "Automatic Evaluation Type": chooses how the evaluation picks one of its
// fitting candidates. Every change of the text goes straight into the
// analysis object; there is no OK button.
#pragma once

#include "toolkit/WindowRegistry.h"

#include <QDialog>

class QComboBox;
class QLabel;

class TFormAutomaticEvaluationType : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    QWidget* widget() override { return this; }
    explicit TFormAutomaticEvaluationType(QWidget* parent = nullptr);
    // Puts the evaluation type of the analysis object into the drop-down.
    void prepare() override;

    void ComboBoxAutomaticEvaluationTypeChange(const QString& text);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* ComboBoxAutomaticEvaluationType = nullptr;
};
