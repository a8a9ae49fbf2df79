#include "toolkit/SaveResults.h"

#include "analysis/data/Analysis.h"
#include "toolkit/ChartPlot.h"
#include "toolkit/Modal.h"

#include <QPushButton>

bool saveResultsFile(QWidget* parent, const QString& filter, int filterIndex, QString& name,
                     const std::function<FileOutcome(const std::string&)>& write,
                     const std::string& defaultExtension)
{
    if (!modal().saveFile(parent, filter, filterIndex, name))
        return false;
    if (!defaultExtension.empty())
        name = QString::fromStdString(Analysis::withDefaultExtension(name.toStdString(), defaultExtension));
    const FileOutcome out = write(name.toStdString());
    if (!out.ok) {
        modal().error(parent, QString::fromStdString(out.error));
        return false;
    }
    return true;
}

bool saveFigureOf(QWidget* parent, ChartPlot* chart, QPushButton* button, const QString& filter,
                  int filterIndex, const std::string& resultFile, const char* suffix)
{
    QString name = QString::fromStdString(Analysis::replaceExtension(resultFile, suffix));
    if (!saveChartFigure(parent, chart, filter, filterIndex, name))
        return false;
    button->setEnabled(false);
    return true;
}
