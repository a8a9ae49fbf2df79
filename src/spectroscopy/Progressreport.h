// "Progress Report": the bar of the long computations (E_ref search,
// evaluations, simulation). Also home of the progress reporter that lets the
// analysis object drive this window and the detailed one.
#pragma once

#include <QDialog>

class ProgressReporter;
class QProgressBar;

class TFormProgressReport : public QDialog {
    Q_OBJECT
public:
    explicit TFormProgressReport(QWidget* parent = nullptr);
    // Back to an empty bar (range 0..100, position 0).
    void prepare();

    QProgressBar* ProgressBar1 = nullptr;
};

// The reporter for C.progress: bar 0 is the progress window, bar 1 the
// detailed progress window (either may be missing). Showing a bar opens its
// window; closing hides it. While a bar moves, the GUI repaints a few times
// a second; user input waits until the computation is over, since the
// analysis object is busy and not reentrant. The object lives for the run.
ProgressReporter* windowProgressReporter();
