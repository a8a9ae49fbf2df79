// "Caution": shown modally by the H1 evaluation when the second fit was the
// better one, pointing the user to the excited states of the dopant.
#pragma once

#include "toolkit/WindowRegistry.h"

#include <QDialog>

class QLabel;
class QPushButton;

class TFormDeepLevel : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    QWidget* widget() override { return this; }
    explicit TFormDeepLevel(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr; // red
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr; // blue
    QPushButton* ButtonOK = nullptr;
};
