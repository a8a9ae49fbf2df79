// "Detailed Progress Report": the inner bar of the long computations, driven
// through windowProgressReporter() (Progressreport.h).
#pragma once

#include <QDialog>

class QProgressBar;

class TFormDetailedProgressReport : public QDialog {
    Q_OBJECT
public:
    explicit TFormDetailedProgressReport(QWidget* parent = nullptr);
    // Back to an empty bar (range 0..100, position 0).
    void prepare();

    QProgressBar* ProgressBar1 = nullptr;
};
