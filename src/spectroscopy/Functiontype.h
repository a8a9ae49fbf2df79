// "Type of Function to be Evaluated": H or S function. A change discards
// every spectroscopy result, in the analysis object and on the main window.
#pragma once

#include "toolkit/WindowRegistry.h"

#include <QDialog>

class QLabel;
class QRadioButton;

class TFormFunctionType : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    QWidget* widget() override { return this; }
    explicit TFormFunctionType(QWidget* parent = nullptr);
    // Sets the radio buttons from the function type of the analysis object.
    void prepare() override;

    // Handlers of a radio button becoming selected.
    void RadioButtonFunction1Click();
    void RadioButtonFunction2Click();

    QRadioButton* RadioButtonFunction1 = nullptr; // S function
    QRadioButton* RadioButtonFunction2 = nullptr; // H function
    QLabel* ImageFunction1 = nullptr;
    QLabel* ImageFunction2 = nullptr;

private:
    void changeFunctionType(int type);
};
