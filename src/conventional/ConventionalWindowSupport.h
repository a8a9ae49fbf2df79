// What the windows of the conventional analyses share: the formula pictures,
// printing an image of a window, saving a chart as a figure and the help
// viewer. Not a window of its own.
#pragma once

#include <QString>

class ChartPlot;
class QLabel;
class QPrinter;
class QPushButton;
class QWidget;

namespace conventionalui {

// A formula drawn as rich text (the relations of the analysis).
QLabel* picture(const QString& html, const char* objectName, QWidget* parent);

// Printer set-up, then an image of `window` as displayed, scaled to the page.
void printWindow(QWidget* window, QPrinter* printer);

// The figure dialog (third filter of `filter`) proposing `resultFile` with
// its extension replaced by `suffix`; a confirmed save disables `button`.
// A failed save is reported naming the file.
bool saveFigure(QWidget* window, ChartPlot* chart, QPushButton* button, const QString& filter,
                const QString& resultFile, const QString& suffix);

} // namespace conventionalui
