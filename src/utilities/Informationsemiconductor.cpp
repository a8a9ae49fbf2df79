#include "utilities/Informationsemiconductor.h"

TFormInformation::TFormInformation(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormInformation");
    setWindowTitle("Information on Semiconductors");
}

void TFormInformation::prepare() {}
