#pragma once

#include <QDialog>

class TFormRemarks : public QDialog {
    Q_OBJECT
public:
    explicit TFormRemarks(QWidget* parent = nullptr);
    // Re-reads the analysis object before each showing.
    void prepare();
};
