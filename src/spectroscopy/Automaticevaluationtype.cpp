#include "spectroscopy/Automaticevaluationtype.h"

TFormAutomaticEvaluationType::TFormAutomaticEvaluationType(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormAutomaticEvaluationType");
    setWindowTitle("Automatic Evaluation Type");
}

void TFormAutomaticEvaluationType::prepare() {}
