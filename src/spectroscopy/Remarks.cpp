#include "spectroscopy/Remarks.h"

#include "analysis/data/Analysis.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QLabel* textLabel(const char* name, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    return l;
}
} // namespace

TFormRemarks::TFormRemarks(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormRemarks");
    setWindowTitle("Remarks!");

    Label1 = textLabel("Label1", this);
    Label2 = textLabel("Label2", this);
    Label3 = textLabel("Label3", this);
    Label4 = textLabel("Label4", this);
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);

    ButtonEvaluationAgain = new QPushButton("Evaluation again", this);
    ButtonEvaluationAgain->setObjectName("ButtonEvaluationAgain");
    ButtonEvaluationAgain->setToolTip("Evaluate this stage again with the compensating density of the stage before fixed");
    ButtonContinue = new QPushButton("Continue", this);
    ButtonContinue->setObjectName("ButtonContinue");
    ButtonContinue->setToolTip("Keep the results as they are and go on");
    ButtonContinue->setDefault(true);
    connect(ButtonEvaluationAgain, &QPushButton::clicked, this, &TFormRemarks::ButtonEvaluationAgainClick);
    connect(ButtonContinue, &QPushButton::clicked, this, &TFormRemarks::ButtonContinueClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ButtonEvaluationAgain);
    buttons->addWidget(ButtonContinue);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addSpacing(6);
    layout->addWidget(Label2);
    layout->addSpacing(6);
    layout->addWidget(Label3);
    layout->addWidget(Label4);
    layout->addSpacing(10);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
}

void TFormRemarks::fill(int stage)
{
    std::array<std::string, 4> texts;
    if (!C.remarksTexts(stage, texts))
        return;
    stage_ = stage;
    QLabel* labels[4] = {Label1, Label2, Label3, Label4};
    for (int i = 0; i < 4; ++i)
        labels[i]->setText(QString::fromStdString(texts[i]));
    ButtonEvaluationAgain->setEnabled(stage >= 1);
}

void TFormRemarks::ButtonEvaluationAgainClick()
{
    if (ButtonEvaluationAgain->isEnabled())
        done(EvaluationAgain);
}

void TFormRemarks::ButtonContinueClick() { done(Continue); }
