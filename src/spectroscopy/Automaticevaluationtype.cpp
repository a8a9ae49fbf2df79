#include "spectroscopy/Automaticevaluationtype.h"

#include "analysis/data/Analysis.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

TFormAutomaticEvaluationType::TFormAutomaticEvaluationType(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormAutomaticEvaluationType");
    setWindowTitle("Automatic Evaluation Type");

    Label1 = new QLabel("When you think that you  could not obtained the desiable results,", this);
    Label1->setObjectName("Label1");
    Label1->setTextFormat(Qt::PlainText);
    Label2 = new QLabel("please try another auotomatic evaluation type.", this);
    Label2->setObjectName("Label2");
    Label2->setTextFormat(Qt::PlainText);

    ComboBoxAutomaticEvaluationType = new QComboBox(this);
    ComboBoxAutomaticEvaluationType->setObjectName("ComboBoxAutomaticEvaluationType");
    ComboBoxAutomaticEvaluationType->setToolTip("How the automatic calculation chooses the fitting range of a stage");
    ComboBoxAutomaticEvaluationType->setEditable(true);
    // A typed name is used as it stands but does not join the list.
    ComboBoxAutomaticEvaluationType->setInsertPolicy(QComboBox::NoInsert);
    for (const char* name : evaltype::kNames)
        ComboBoxAutomaticEvaluationType->addItem(name);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addSpacing(8);
    layout->addWidget(ComboBoxAutomaticEvaluationType);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The line edit reports typing and the choice of an item alike.
    connect(ComboBoxAutomaticEvaluationType, &QComboBox::editTextChanged, this,
            &TFormAutomaticEvaluationType::ComboBoxAutomaticEvaluationTypeChange);
    prepare();
}

void TFormAutomaticEvaluationType::prepare()
{
    ComboBoxAutomaticEvaluationType->setEditText(QString::fromStdString(C.evaluationType));
}

void TFormAutomaticEvaluationType::ComboBoxAutomaticEvaluationTypeChange(const QString& text)
{
    C.evaluationType = text.toStdString();
}
