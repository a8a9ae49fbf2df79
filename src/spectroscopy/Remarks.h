// "Remarks!": warns that an energy level found in H2 or H3 lies below kT at
// the lowest measured temperature and offers to evaluate that stage again
// with the compensating density of the stage before. Run modally; the caller
// reads the result code.
#pragma once

#include "toolkit/WindowRegistry.h"

#include <QDialog>

class QLabel;
class QPushButton;

class TFormRemarks : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    QWidget* widget() override { return this; }
    // Result codes of the window (closing it with the frame gives 0, which
    // callers treat as Continue).
    enum Result { EvaluationAgain = WindowResult::EvaluationAgain, Continue = WindowResult::Continue };

    explicit TFormRemarks(QWidget* parent = nullptr);
    // Fills the four texts for stage s (1 = H2, 2 = H3) from the analysis
    // object. Stage 0 (H1) shows only the reason and offers no "Evaluation
    // again", since there is no stage before H1. Any other value leaves the
    // window as it was.
    void fill(int stage);
    void prepareFor(int stage) override { fill(stage); }
    int filledStage() const { return stage_; }

    void ButtonEvaluationAgainClick();
    void ButtonContinueClick();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton* ButtonEvaluationAgain = nullptr;
    QPushButton* ButtonContinue = nullptr;

private:
    int stage_ = -1;
};
