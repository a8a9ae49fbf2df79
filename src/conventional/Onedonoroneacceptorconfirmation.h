// "Confirmation": after an evaluation of one donor and one acceptor, how to
// adjust the net density until the simulated curve meets the measured points.
#pragma once

#include "toolkit/WindowRegistry.h"

#include <QDialog>

class QLabel;
class QPushButton;

class TFormOneDonorOneAcceptorConfirmation : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    explicit TFormOneDonorOneAcceptorConfirmation(QWidget* parent = nullptr);
    QWidget* widget() override { return this; }
    // The pictures of the conduction type of the analysis object.
    void prepare() override;

    QLabel* ImageNetDensity1 = nullptr;
    QLabel* ImageNetDensity2 = nullptr;
    QLabel* ImageFactor = nullptr;
    QLabel* LabelConnect = nullptr;
    QLabel* ImageMinima = nullptr;
    QLabel* LabelClosing = nullptr;
    QPushButton* ButtonOK = nullptr;
};
