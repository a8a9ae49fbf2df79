#include "spectroscopy/Obtainedresults.h"

TFormObtainedResults::TFormObtainedResults(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormObtainedResults");
    setWindowTitle("Obtained Results");
}

void TFormObtainedResults::prepare() {}
