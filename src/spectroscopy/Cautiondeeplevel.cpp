#include "spectroscopy/Cautiondeeplevel.h"

TFormDeepLevel::TFormDeepLevel(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormDeepLevel");
    setWindowTitle("Caution");
}

void TFormDeepLevel::prepare() {}
