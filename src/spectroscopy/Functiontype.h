// "Type of Function to be Evaluated": H or S function. A change discards
// every spectroscopy result, in the analysis object and on the main window.
#pragma once

#include <QDialog>

class QLabel;
class QRadioButton;

class TFormFunctionType : public QDialog {
    Q_OBJECT
public:
    explicit TFormFunctionType(QWidget* parent = nullptr);
    // Sets the radio buttons from the function type of the analysis object.
    void prepare();

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
