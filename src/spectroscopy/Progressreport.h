#pragma once

#include <QDialog>

class TFormProgressReport : public QDialog {
    Q_OBJECT
public:
    explicit TFormProgressReport(QWidget* parent = nullptr);
    // Re-reads the analysis object before each showing.
    void prepare();
};
