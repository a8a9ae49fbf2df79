#pragma once

#include <QDialog>

class TFormDetailedProgressReport : public QDialog {
    Q_OBJECT
public:
    explicit TFormDetailedProgressReport(QWidget* parent = nullptr);
    // Re-reads the analysis object before each showing.
    void prepare();
};
