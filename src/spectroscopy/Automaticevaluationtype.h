#pragma once

#include <QDialog>

class TFormAutomaticEvaluationType : public QDialog {
    Q_OBJECT
public:
    explicit TFormAutomaticEvaluationType(QWidget* parent = nullptr);
    // Re-reads the analysis object before each showing.
    void prepare();
};
