#include "spectroscopy/Functiontype.h"

TFormFunctionType::TFormFunctionType(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormFunctionType");
    setWindowTitle("Type of Function");
}

void TFormFunctionType::prepare() {}
