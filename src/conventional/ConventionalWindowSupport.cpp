#include "conventional/ConventionalWindowSupport.h"

#include "analysis/data/Analysis.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Modal.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QPushButton>

namespace conventionalui {

QLabel* picture(const QString& html, const char* objectName, QWidget* parent)
{
    auto* l = new QLabel(parent);
    l->setObjectName(objectName);
    l->setTextFormat(Qt::RichText);
    l->setText(html);
    return l;
}

const char* const typedRangeRefused =
    "Fewer than two measured points lie between the typed temperatures: the range is unchanged.";
const char* const clickHint =
    "Or click a measured point on the upper chart: the nearer end of the range moves to it.";

TypedRange typedRange(QWidget* parent, QGridLayout* grid, int row)
{
    TypedRange r;
    r.low = new QLineEdit(parent);
    r.low->setObjectName("EditRangeLowT");
    r.high = new QLineEdit(parent);
    r.high->setObjectName("EditRangeHighT");
    r.set = new QPushButton("Set Range", parent);
    r.set->setObjectName("ButtonSetRange");
    r.set->setAutoDefault(false);
    for (QLineEdit* e : {r.low, r.high}) {
        e->setMaximumWidth(70);
        e->setToolTip("Temperature [K] of an end of the fitting range");
    }
    r.set->setToolTip(QString("Fit the points whose temperatures lie between the two typed values. ") + clickHint);
    auto* from = new QLabel("T from", parent);
    auto* to = new QLabel("to", parent);
    auto* unit = new QLabel("K", parent);
    grid->addWidget(from, row, 0);
    grid->addWidget(r.low, row, 1);
    grid->addWidget(to, row, 2, Qt::AlignCenter);
    grid->addWidget(r.high, row, 3);
    grid->addWidget(unit, row, 4);
    grid->addWidget(r.set, row + 1, 0, 1, 5);
    QObject::connect(r.low, &QLineEdit::returnPressed, r.set, &QPushButton::click);
    QObject::connect(r.high, &QLineEdit::returnPressed, r.set, &QPushButton::click);
    return r;
}

bool readTypedRange(const TypedRange& r, double& low, double& high)
{
    return editToDouble(r.low, low) && editToDouble(r.high, high);
}


} // namespace conventionalui
