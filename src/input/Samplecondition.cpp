#include "input/Samplecondition.h"

TFormSampleCondition::TFormSampleCondition(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormSampleCondition");
    setWindowTitle("Sample Condition");
}

void TFormSampleCondition::prepare() {}
