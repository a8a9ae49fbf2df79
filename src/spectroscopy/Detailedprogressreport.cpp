#include "spectroscopy/Detailedprogressreport.h"

TFormDetailedProgressReport::TFormDetailedProgressReport(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormDetailedProgressReport");
    setWindowTitle("Detailed Progress Report");
}

void TFormDetailedProgressReport::prepare() {}
