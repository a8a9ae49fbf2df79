#include "spectroscopy/Progressreport.h"

#include "analysis/data/Analysis.h"

#include <QCoreApplication>
#include <algorithm>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QVBoxLayout>

TFormProgressReport::TFormProgressReport(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormProgressReport");
    setWindowTitle("Progress Report");
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setMinimumWidth(360);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ProgressBar1);
    prepare();
}

void TFormProgressReport::prepare()
{
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
}
