#pragma once

#include <QDialog>

class TFormSampleCondition : public QDialog {
    Q_OBJECT
public:
    explicit TFormSampleCondition(QWidget* parent = nullptr);
    // Re-reads the analysis object before each showing.
    void prepare();
};
