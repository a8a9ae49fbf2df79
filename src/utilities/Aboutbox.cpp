#include "utilities/Aboutbox.h"

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName("AboutBox");
    setWindowTitle("About");
}

void TAboutBox::prepare() {}
