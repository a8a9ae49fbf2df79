#include "spectroscopy/Cautiondeeplevel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QLabel* line(const QString& text, const char* name, const char* colour, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    if (colour)
        l->setStyleSheet(QString("color: %1;").arg(colour));
    return l;
}
} // namespace

TFormDeepLevel::TFormDeepLevel(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormDeepLevel");
    setWindowTitle("Caution");

    Label1 = line("The simulated H1(T,E_ref)", "Label1", "red", this);
    Label2 = line("might be different from the experimental H1(T,E_ref),", "Label2", nullptr, this);
    Label3 = line("while the simulated concentration  may be in good agreement with the "
                  "experimental concentration. ",
                  "Label3", nullptr, this);
    Label4 = line("Let's consider the influence of the excited states of the dopant on the "
                  "majority-carrier concentraton.",
                  "Label4", "blue", this);

    ButtonOK = new QPushButton("OK", this);
    ButtonOK->setObjectName("ButtonOK");
    ButtonOK->setToolTip("Close this note and go on to the excited states of the dopant");
    ButtonOK->setDefault(true);
    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* first = new QHBoxLayout;
    first->addWidget(Label1);
    first->addWidget(Label2);
    first->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ButtonOK);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(first);
    layout->addWidget(Label3);
    layout->addSpacing(6);
    layout->addWidget(Label4);
    layout->addSpacing(10);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
