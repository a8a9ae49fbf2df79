// "Progress Report": the bar of the long computations (E_ref search,
// evaluations, simulation). Also home of the progress reporter that lets the
// analysis object drive this window and the detailed one.
#pragma once

#include "toolkit/WindowRegistry.h"

#include <QDialog>

class ProgressReporter;
class QProgressBar;

class TFormProgressReport : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    QWidget* widget() override { return this; }
    explicit TFormProgressReport(QWidget* parent = nullptr);
    // Back to an empty bar (range 0..100, position 0).
    void prepare() override;

    QProgressBar* progressBar() override { return ProgressBar1; }

    QProgressBar* ProgressBar1 = nullptr;
};
