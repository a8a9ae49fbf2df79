#include "input/Howtoinputdata.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPushButton>
#include <algorithm>
#include <QVBoxLayout>

TFormHowToInput::TFormHowToInput(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormHowToInput");
    setWindowTitle("How to input data");
    Button1 = new QPushButton("Input Data from Key Board", this);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton("Use Data File with Aonther Format File", this);
    Button2->setObjectName("Button2");
    // Wide enough for the caption in the title bar beside the frame's own
    // buttons, not only for the two button texts.
    const int titleWidth = QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(windowTitle());
    for (QPushButton* b : {Button1, Button2})
        b->setMinimumWidth(std::max({Button1->sizeHint().width(), Button2->sizeHint().width(), titleWidth + 160}));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Button1);
    layout->addWidget(Button2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(Button1, &QPushButton::clicked, this, &TFormHowToInput::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFormHowToInput::Button2Click);
}

// The analysis object is left alone here: the sheet and the converter
// replace it only when they have written a new data file.
void TFormHowToInput::Button1Click()
{
    windows().prepareAndExec(WindowId::DataSheet, DataSheetOpening::EmptySheet);
    reject();
}

void TFormHowToInput::Button2Click()
{
    windows().prepareAndExec(WindowId::Convert);
    reject();
}
