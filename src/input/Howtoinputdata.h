// "How to input data": the choice between typing the points in and
// converting a file of another format.
#pragma once

#include "toolkit/WindowRegistry.h"

#include <QDialog>

class QPushButton;

class TFormHowToInput : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    QWidget* widget() override { return this; }
    explicit TFormHowToInput(QWidget* parent = nullptr);

    void Button1Click();
    void Button2Click();

    QPushButton* Button1 = nullptr; // "Input Data from Key Board"
    QPushButton* Button2 = nullptr; // "Use Data File with Aonther Format File"
};
