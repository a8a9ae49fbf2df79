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


bool saveFigure(QWidget* window, ChartPlot* chart, QPushButton* button, const QString& filter,
                const QString& resultFile, const QString& suffix)
{
    QString name =
        QString::fromStdString(Analysis::replaceExtension(resultFile.toStdString(), suffix.toStdString()));
    int filterIndex = 3;
    if (!saveChartFigure(window, chart, filter, filterIndex, name))
        return false;
    button->setEnabled(false);
    return true;
}

} // namespace conventionalui
