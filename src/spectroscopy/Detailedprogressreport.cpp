#include "spectroscopy/Detailedprogressreport.h"

#include <QProgressBar>
#include <QVBoxLayout>

TFormDetailedProgressReport::TFormDetailedProgressReport(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormDetailedProgressReport");
    setWindowTitle("Detailed Progress Report");
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setMinimumWidth(360);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ProgressBar1);
    prepare();
}

void TFormDetailedProgressReport::prepare()
{
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
}
