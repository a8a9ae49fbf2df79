#include "spectroscopy/Remarks.h"

TFormRemarks::TFormRemarks(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormRemarks");
    setWindowTitle("Remarks");
}

void TFormRemarks::prepare() {}
