// "Caution": shown modally by the H1 evaluation when the second fit was the
// better one, pointing the user to the excited states of the dopant.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class TFormDeepLevel : public QDialog {
    Q_OBJECT
public:
    explicit TFormDeepLevel(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr; // red
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr; // blue
    QPushButton* ButtonOK = nullptr;
};
