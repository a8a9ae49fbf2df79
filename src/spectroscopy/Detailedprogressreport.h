// "Detailed Progress Report": the inner bar of the long computations, driven
// through windowProgressReporter() (Progressreport.h).
#pragma once

#include "toolkit/WindowRegistry.h"

#include <QDialog>

class QProgressBar;

class TFormDetailedProgressReport : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    QWidget* widget() override { return this; }
    explicit TFormDetailedProgressReport(QWidget* parent = nullptr);
    // Back to an empty bar (range 0..100, position 0).
    void prepare() override;

    QProgressBar* progressBar() override { return ProgressBar1; }

    QProgressBar* ProgressBar1 = nullptr;
};
