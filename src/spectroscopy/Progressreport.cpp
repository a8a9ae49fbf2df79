#include "spectroscopy/Progressreport.h"

TFormProgressReport::TFormProgressReport(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormProgressReport");
    setWindowTitle("Progress Report");
}

void TFormProgressReport::prepare() {}
