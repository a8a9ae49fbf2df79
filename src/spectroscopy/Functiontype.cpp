#include "spectroscopy/Functiontype.h"

#include "analysis/data/Analysis.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

namespace {
QLabel* formula(const QString& html, const char* name, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::RichText);
    l->setText("<span style=\"font-size:large\">" + html + "</span>");
    l->setFrameShape(QFrame::Box);
    l->setMargin(6);
    l->setStyleSheet("background: white; color: black;");
    return l;
}
} // namespace

TFormFunctionType::TFormFunctionType(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormFunctionType");
    setWindowTitle("Type of Function to be Evaluated");

    RadioButtonFunction1 = new QRadioButton(this);
    RadioButtonFunction1->setObjectName("RadioButtonFunction1");
    RadioButtonFunction1->setToolTip("Evaluate the S function; the stage pages start over");
    RadioButtonFunction2 = new QRadioButton(this);
    RadioButtonFunction2->setObjectName("RadioButtonFunction2");
    RadioButtonFunction2->setToolTip("Evaluate the H function (the usual choice); the stage pages start over");
    RadioButtonFunction2->setChecked(true);
    auto* group = new QButtonGroup(this);
    group->addButton(RadioButtonFunction1, 1);
    group->addButton(RadioButtonFunction2, 2);

    ImageFunction1 = formula("<i>S</i>(<i>T</i>,<i>E</i><sub>ref</sub>) = "
                             "<i>n</i>(<i>T</i>) exp(<i>E</i><sub>ref</sub>/<i>kT</i>) / <i>kT</i>",
                             "ImageFunction1", this);
    ImageFunction2 = formula("<i>H</i>(<i>T</i>,<i>E</i><sub>ref</sub>) = "
                             "<i>n</i>(<i>T</i>)<sup>2</sup> exp(<i>E</i><sub>ref</sub>/<i>kT</i>) / "
                             "(<i>kT</i>)<sup>2.5</sup>",
                             "ImageFunction2", this);
    ImageFunction1->setBuddy(RadioButtonFunction1);
    ImageFunction2->setBuddy(RadioButtonFunction2);

    auto* grid = new QGridLayout(this);
    grid->addWidget(RadioButtonFunction1, 0, 0);
    grid->addWidget(ImageFunction1, 0, 1);
    grid->addWidget(RadioButtonFunction2, 1, 0);
    grid->addWidget(ImageFunction2, 1, 1);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    connect(RadioButtonFunction1, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioButtonFunction1Click();
    });
    connect(RadioButtonFunction2, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            RadioButtonFunction2Click();
    });
}

void TFormFunctionType::prepare()
{
    // Setting the buttons from the analysis object is not a user's choice.
    QSignalBlocker b1(RadioButtonFunction1);
    QSignalBlocker b2(RadioButtonFunction2);
    if (C.functionType == 1)
        RadioButtonFunction1->setChecked(true);
    else
        RadioButtonFunction2->setChecked(true);
}

void TFormFunctionType::RadioButtonFunction1Click() { changeFunctionType(1); }

void TFormFunctionType::RadioButtonFunction2Click() { changeFunctionType(2); }

void TFormFunctionType::changeFunctionType(int type)
{
    windows().notify(WindowEvent::FunctionTypeChanged, C.changeFunctionType(type).resetFrom);
}
