#include "conventional/ConventionalWindowSupport.h"

#include "Analysis.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Modal.h"

#include <QLabel>
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


} // namespace conventionalui
